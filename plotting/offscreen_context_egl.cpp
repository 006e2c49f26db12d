// The off-screen context on Linux: EGL on Mesa's surfaceless platform, which
// renders with the system's GL driver (llvmpipe without a GPU) and needs no
// display server; drawing goes into framebuffer objects, as there is no
// surface.
#include "offscreen_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <glad/gl.h>

namespace Qvis {
namespace offscreen {

struct Context {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
};

namespace {

// EGL's last error as the EGL name of it.
std::string eglError()
{
    switch (eglGetError()) {
    case EGL_NOT_INITIALIZED: return "EGL_NOT_INITIALIZED";
    case EGL_BAD_ACCESS: return "EGL_BAD_ACCESS";
    case EGL_BAD_ALLOC: return "EGL_BAD_ALLOC";
    case EGL_BAD_ATTRIBUTE: return "EGL_BAD_ATTRIBUTE";
    case EGL_BAD_CONFIG: return "EGL_BAD_CONFIG";
    case EGL_BAD_CONTEXT: return "EGL_BAD_CONTEXT";
    case EGL_BAD_DISPLAY: return "EGL_BAD_DISPLAY";
    case EGL_BAD_MATCH: return "EGL_BAD_MATCH";
    case EGL_BAD_PARAMETER: return "EGL_BAD_PARAMETER";
    default: return "EGL error";
    }
}

GLADapiproc loadGl(const char* name)
{
    return reinterpret_cast<GLADapiproc>(eglGetProcAddress(name));
}

Context* fail(Context* c, std::string* error, const std::string& what)
{
    *error = "EGL: " + what;
    destroyContext(c);
    return nullptr;
}

} // namespace

Context* makeContext(std::string* error)
{
    auto* c = new Context;
    auto getPlatformDisplay =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    if (!getPlatformDisplay)
        return fail(c, error, "no platform displays (is Mesa's libegl-mesa0 installed?)");
    c->display = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    EGLint major = 0, minor = 0;
    if (c->display == EGL_NO_DISPLAY || !eglInitialize(c->display, &major, &minor))
        return fail(c, error, "cannot open Mesa's surfaceless display (" + eglError() + ")");
    if (!eglBindAPI(EGL_OPENGL_API))
        return fail(c, error, "no desktop OpenGL (" + eglError() + ")");
    const EGLint configAttribs[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_SURFACE_TYPE, EGL_PBUFFER_BIT,
                                    EGL_NONE};
    EGLConfig config = nullptr;
    EGLint configs = 0;
    if (!eglChooseConfig(c->display, configAttribs, &config, 1, &configs) || configs < 1)
        return fail(c, error, "no configuration for OpenGL (" + eglError() + ")");
    const EGLint contextAttribs[] = {EGL_CONTEXT_MAJOR_VERSION, 3, EGL_CONTEXT_MINOR_VERSION, 3,
                                     EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_CORE_PROFILE_BIT,
                                     EGL_NONE};
    c->context = eglCreateContext(c->display, config, EGL_NO_CONTEXT, contextAttribs);
    if (c->context == EGL_NO_CONTEXT)
        return fail(c, error, "cannot make an OpenGL 3.3 core context (" + eglError() + ")");
    if (!eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, c->context))
        return fail(c, error, "cannot make the context current (" + eglError() + ")");
    if (!gladLoadGL(loadGl))
        return fail(c, error, "cannot load the OpenGL 3.3 functions");
    return c;
}

void makeCurrent(Context* c)
{
    eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, c->context);
}

void destroyContext(Context* c)
{
    if (!c)
        return;
    if (c->display != EGL_NO_DISPLAY) {
        eglMakeCurrent(c->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (c->context != EGL_NO_CONTEXT)
            eglDestroyContext(c->display, c->context);
        eglTerminate(c->display);
    }
    delete c;
}

GLFWwindow* windowOf(Context*)
{
    return nullptr;
}

} // namespace offscreen
} // namespace Qvis
