#pragma once
// The attribute names and values of the window system's pixel-format choice
// (WGL_ARB_pixel_format and WGL_ARB_multisample), as the engine passes them
// to wglChoosePixelFormatARB: a list of name and value pairs ended by 0.
#include <cstdint>

namespace zolt::platform {

constexpr int32_t WGL_DRAW_TO_WINDOW_ARB = 0x2001;
constexpr int32_t WGL_ACCELERATION_ARB = 0x2003;
constexpr int32_t WGL_SUPPORT_OPENGL_ARB = 0x2010;
constexpr int32_t WGL_DOUBLE_BUFFER_ARB = 0x2011;
constexpr int32_t WGL_PIXEL_TYPE_ARB = 0x2013;
constexpr int32_t WGL_RED_BITS_ARB = 0x2015;
constexpr int32_t WGL_GREEN_BITS_ARB = 0x2017;
constexpr int32_t WGL_BLUE_BITS_ARB = 0x2019;
constexpr int32_t WGL_DEPTH_BITS_ARB = 0x2022;
constexpr int32_t WGL_STENCIL_BITS_ARB = 0x2023;
constexpr int32_t WGL_FULL_ACCELERATION_ARB = 0x2027;
constexpr int32_t WGL_TYPE_RGBA_ARB = 0x202B;
constexpr int32_t WGL_SAMPLE_BUFFERS_ARB = 0x2041;
constexpr int32_t WGL_SAMPLES_ARB = 0x2042;

}  // namespace zolt::platform
