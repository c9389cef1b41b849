#include "platform/display/egl_test_context.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>

namespace zolt::platform {

EglTestContext::~EglTestContext() {
    destroy();
}

void EglTestContext::fail(const char* step) {
    std::snprintf(failure_, sizeof(failure_), "%s failed with EGL error 0x%04x", step,
                  static_cast<unsigned>(eglGetError()));
}

bool EglTestContext::open_display() {
    if (display_ != nullptr) {
        return true;
    }
    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY) {
        fail("eglGetPlatformDisplay (surfaceless)");
        return false;
    }
    EGLint major = 0;
    EGLint minor = 0;
    if (eglInitialize(display, &major, &minor) != EGL_TRUE) {
        fail("eglInitialize");
        return false;
    }
    display_ = display;
    return true;
}

bool EglTestContext::create(uint32_t width, uint32_t height) {
    if (!open_display()) {
        return false;
    }
    const EGLint config_attributes[] = {EGL_SURFACE_TYPE,
                                        EGL_PBUFFER_BIT,
                                        EGL_RENDERABLE_TYPE,
                                        EGL_OPENGL_BIT,
                                        EGL_RED_SIZE,
                                        8,
                                        EGL_GREEN_SIZE,
                                        8,
                                        EGL_BLUE_SIZE,
                                        8,
                                        EGL_ALPHA_SIZE,
                                        8,
                                        EGL_DEPTH_SIZE,
                                        24,
                                        EGL_STENCIL_SIZE,
                                        8,
                                        EGL_NONE};
    EGLConfig config = nullptr;
    EGLint config_count = 0;
    if (eglChooseConfig(display_, config_attributes, &config, 1, &config_count) != EGL_TRUE || config_count < 1) {
        fail("eglChooseConfig (pbuffer, RGBA 8, depth 24, stencil 8)");
        return false;
    }
    if (eglBindAPI(EGL_OPENGL_API) != EGL_TRUE) {
        fail("eglBindAPI (OpenGL)");
        return false;
    }
    // No version asked: the driver gives its highest compatibility version,
    // or the one an override sets.
    const EGLint context_attributes[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                         EGL_NONE};
    EGLContext context = eglCreateContext(display_, config, EGL_NO_CONTEXT, context_attributes);
    if (context == EGL_NO_CONTEXT) {
        fail("eglCreateContext (compatibility profile)");
        return false;
    }
    context_ = context;
    const EGLint surface_attributes[] = {EGL_WIDTH, static_cast<EGLint>(width), EGL_HEIGHT, static_cast<EGLint>(height),
                                         EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display_, config, surface_attributes);
    if (surface == EGL_NO_SURFACE) {
        fail("eglCreatePbufferSurface");
        return false;
    }
    surface_ = surface;
    if (eglMakeCurrent(display_, surface, surface, context) != EGL_TRUE) {
        fail("eglMakeCurrent");
        return false;
    }
    return true;
}

void EglTestContext::destroy() {
    if (display_ == nullptr) {
        return;
    }
    eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (surface_ != nullptr) {
        eglDestroySurface(display_, surface_);
        surface_ = nullptr;
    }
    if (context_ != nullptr) {
        eglDestroyContext(display_, context_);
        context_ = nullptr;
    }
    // The display stays initialised for the process: terminating it unloads
    // the driver, whose allocations for the life of the process then look
    // like leaks of an unknown module.
    eglReleaseThread();
    display_ = nullptr;
}

void* EglTestContext::get_proc_address(const char* name) {
    return reinterpret_cast<void*>(eglGetProcAddress(name));
}

}  // namespace zolt::platform
