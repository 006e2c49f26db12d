// The GL context of an off-screen target, made without showing anything: one
// small operation set, one file per platform. Linux makes it with EGL on
// Mesa's surfaceless platform, so that it needs no X server at all; Windows
// with a hidden window, whose context draws into framebuffer objects alike.
#pragma once

#include <string>

struct GLFWwindow;

namespace Qvis {
namespace offscreen {

struct Context;

// Makes an OpenGL 3.3 core context, makes it current and loads the GL
// functions; null, with *error saying which step failed, when it cannot.
Context* makeContext(std::string* error);

// Makes the context current again (another context may have been since).
void makeCurrent(Context* context);

// Releases the context and what it was made with.
void destroyContext(Context* context);

// The window behind the context, where the platform needs one; else null.
GLFWwindow* windowOf(Context* context);

} // namespace offscreen
} // namespace Qvis
