// Sanitizer builds only, compiled into every program that uses the plotting
// library: keeps the GL driver's modules mapped until the process ends.
// glfwTerminate closes the X display and libGL, which unloads Mesa's driver
// and its dispatch library; LeakSanitizer then finds what they still held
// unreachable and reports it from an unknown module, where no suppression can
// name it. Pinned, the modules keep their globals and their memory stays
// reachable.
#include <dlfcn.h>
#include <link.h>

#include <string>

namespace {

void pin(const char* file)
{
    dlopen(file, RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
}

// The software driver lies in dri/ beside the dispatch library.
void pinSoftwareDriver()
{
    void* glapi = dlopen("libglapi.so.0", RTLD_NOW | RTLD_NOLOAD);
    if (!glapi)
        return;
    struct link_map* map = nullptr;
    if (dlinfo(glapi, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
        std::string dir = map->l_name;
        dir.erase(dir.rfind('/') == std::string::npos ? 0 : dir.rfind('/'));
        pin((dir + "/dri/swrast_dri.so").c_str());
    }
    dlclose(glapi);
}

struct PinGlDriver {
    PinGlDriver()
    {
        for (const char* lib : {"libGL.so.1", "libGLX.so.0", "libGLX_mesa.so.0", "libglapi.so.0"})
            pin(lib);
        pinSoftwareDriver();
    }
} pinGlDriver;

} // namespace

// Mesa's software driver compiles shaders with LLVM, whose thread_local data
// live in dynamic TLS blocks that glibc allocates on the heap. Intercepting
// __tls_get_addr, the sanitizer guesses such a block's extent from where it
// lies: one that starts 16 bytes past a page boundary it takes for an old
// glibc's block with a header in front, reads the heap chunk's header as
// that, and the leak check dies scanning a range that does not exist. Left
// alone, the blocks are still reached through the thread's vector of them.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options()
{
    return "intercept_tls_get_addr=0";
}
