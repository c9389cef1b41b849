#pragma once
// An OpenGL compatibility-profile context for tests, on Mesa's surfaceless
// EGL platform: no window system is needed. It renders into a pbuffer whose
// colour (RGBA 8), depth (24 bits) and stencil (8 bits) are read back with
// glReadPixels, as the game window's back buffer would be. One context per
// object, current on the creating thread while it lives.
#include <cstdint>

namespace zolt::platform {

class EglTestContext {
public:
    EglTestContext() = default;
    EglTestContext(const EglTestContext&) = delete;
    EglTestContext& operator=(const EglTestContext&) = delete;
    ~EglTestContext();

    // False when not even an EGL display can be made on this machine.
    bool open_display();
    // Opens the display when needed, then makes a context and a pbuffer of
    // the size current. Environment overrides of the driver (such as
    // MESA_GL_VERSION_OVERRIDE) must be set before the first context of the
    // process.
    bool create(uint32_t width, uint32_t height);
    // Releases the context and the pbuffer; the display stays open.
    void destroy();

    // What failed, for test output.
    const char* get_failure() const { return failure_; }

    // GL and EGL functions by name.
    static void* get_proc_address(const char* name);

private:
    void fail(const char* step);

    void* display_ = nullptr;
    void* context_ = nullptr;
    void* surface_ = nullptr;
    char failure_[160] = {};
};

}  // namespace zolt::platform
