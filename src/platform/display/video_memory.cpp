#include "platform/display/video_memory.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <dlfcn.h>

#include <cstring>

namespace zolt::platform {

namespace {

// GL_NVX_gpu_memory_info, which the system's GL headers do not name.
constexpr GLenum gpu_memory_info_dedicated_vidmem_nvx = 0x9047;
constexpr uint32_t kilobytes_per_megabyte = 1024;

// The name counts only between blanks or the ends of the list.
bool lists_extension(const char* list, const char* name) {
    if (list == nullptr) {
        return false;
    }
    const size_t length = std::strlen(name);
    for (const char* found = std::strstr(list, name); found != nullptr; found = std::strstr(found + 1, name)) {
        const bool starts = found == list || found[-1] == ' ';
        if (starts && (found[length] == '\0' || found[length] == ' ')) {
            return true;
        }
    }
    return false;
}

uint32_t to_megabytes(GLint kilobytes) {
    return kilobytes > 0 ? static_cast<uint32_t>(kilobytes) / kilobytes_per_megabyte : 0;
}

template <typename Function>
Function find_function(void* library, const char* name) {
    return reinterpret_cast<Function>(dlsym(library, name));
}

uint32_t query_current_renderer_megabytes(void* library) {
    const auto get_current_context = find_function<decltype(&glXGetCurrentContext)>(library, "glXGetCurrentContext");
    const auto get_current_display = find_function<decltype(&glXGetCurrentDisplay)>(library, "glXGetCurrentDisplay");
    const auto query_context = find_function<decltype(&glXQueryContext)>(library, "glXQueryContext");
    const auto query_extensions =
        find_function<decltype(&glXQueryExtensionsString)>(library, "glXQueryExtensionsString");
    const auto get_proc_address = find_function<decltype(&glXGetProcAddressARB)>(library, "glXGetProcAddressARB");
    if (get_current_context == nullptr || get_current_display == nullptr || query_context == nullptr ||
        query_extensions == nullptr || get_proc_address == nullptr) {
        return 0;
    }
    GLXContext const context = get_current_context();
    Display* const display = get_current_display();
    int screen = 0;
    if (context == nullptr || display == nullptr || query_context(display, context, GLX_SCREEN, &screen) != Success ||
        !lists_extension(query_extensions(display, screen), "GLX_MESA_query_renderer")) {
        return 0;
    }
    const auto query_renderer = reinterpret_cast<PFNGLXQUERYCURRENTRENDERERINTEGERMESAPROC>(
        get_proc_address(reinterpret_cast<const GLubyte*>("glXQueryCurrentRendererIntegerMESA")));
    unsigned int megabytes = 0;
    if (query_renderer == nullptr || !query_renderer(GLX_RENDERER_VIDEO_MEMORY_MESA, &megabytes)) {
        return 0;
    }
    return megabytes;
}

// Mesa's renderer query. Only a GLX context can answer it, and one can be
// current only when the window layer has loaded GLX, so its functions are
// looked up in the loaded library, which is never loaded for this.
uint32_t query_glx_renderer_megabytes() {
    void* const library = dlopen("libGLX.so.0", RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr) {
        return 0;
    }
    const uint32_t megabytes = query_current_renderer_megabytes(library);
    dlclose(library);
    return megabytes;
}

}  // namespace

uint32_t query_video_memory_megabytes() {
    const char* const extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (lists_extension(extensions, "GL_NVX_gpu_memory_info")) {
        GLint kilobytes = 0;
        glGetIntegerv(gpu_memory_info_dedicated_vidmem_nvx, &kilobytes);
        return to_megabytes(kilobytes);
    }
    if (lists_extension(extensions, "GL_ATI_meminfo")) {
        // Free memory of the texture pool: total, largest block, and the
        // same two for auxiliary memory.
        GLint kilobytes[4] = {};
        glGetIntegerv(GL_TEXTURE_FREE_MEMORY_ATI, kilobytes);
        return to_megabytes(kilobytes[0]);
    }
    return query_glx_renderer_megabytes();
}

}  // namespace zolt::platform
