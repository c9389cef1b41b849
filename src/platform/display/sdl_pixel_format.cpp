#include <SDL.h>

#include <algorithm>

#include "platform/display/display_modes.h"
#include "platform/display/driver_allocations.h"
#include "platform/display/pixel_format_attributes.h"
#include "platform/display/sdl_display_state.h"

namespace zolt::platform {

namespace {

SdlPixelFormat pixel_formats[pixel_format_capacity];
uint32_t pixel_format_count = 0;

bool has_same_request(const SdlPixelFormat& a, const SdlPixelFormat& b) {
    return a.red_bits == b.red_bits && a.green_bits == b.green_bits && a.blue_bits == b.blue_bits &&
           a.depth_bits == b.depth_bits && a.stencil_bits == b.stencil_bits && a.samples == b.samples &&
           a.double_buffer == b.double_buffer;
}

// 0 when the table is full.
int32_t add_pixel_format(const SdlPixelFormat& format) {
    for (uint32_t index = 0; index < pixel_format_count; ++index) {
        if (has_same_request(pixel_formats[index], format)) {
            pixel_formats[index].info = format.info;
            return static_cast<int32_t>(index + 1);
        }
    }
    if (pixel_format_count == pixel_format_capacity) {
        return 0;
    }
    pixel_formats[pixel_format_count] = format;
    ++pixel_format_count;
    return static_cast<int32_t>(pixel_format_count);
}

// Makes a hidden window and a context with the attributes and reads back
// what the driver gave; the context current before is current again after.
bool probe_pixel_format(SdlPixelFormat* format) {
    SDL_Window* const previous_window = SDL_GL_GetCurrentWindow();
    const SDL_GLContext previous_context = SDL_GL_GetCurrentContext();
    apply_pixel_format_attributes(*format);
    DriverAllocationScope scope;
    SDL_Window* const window = SDL_CreateWindow("", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, 1, 1,
                                                SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        return false;
    }
    const SDL_GLContext context = SDL_GL_CreateContext(window);
    bool found = false;
    if (context != nullptr) {
        found = read_current_pixel_format(&format->info);
        SDL_GL_DeleteContext(context);
    }
    SDL_DestroyWindow(window);
    if (previous_context != nullptr) {
        SDL_GL_MakeCurrent(previous_window, previous_context);
    } else {
        SDL_GL_MakeCurrent(nullptr, nullptr);
    }
    return found;
}

// Double buffering is not compared: the window system gives it when asked,
// and the offscreen driver's surfaces report a single buffer whatever they do.
bool meets(const PixelFormatInfo& info, const PixelFormatRequest& request) {
    return info.red_bits >= request.red_bits && info.green_bits >= request.green_bits &&
           info.blue_bits >= request.blue_bits && info.depth_bits >= request.depth_bits &&
           info.stencil_bits >= request.stencil_bits && info.samples >= request.samples;
}

SdlPixelFormat make_format(const PixelFormatRequest& request) {
    SdlPixelFormat format;
    format.red_bits = static_cast<int>(request.red_bits);
    format.green_bits = static_cast<int>(request.green_bits);
    format.blue_bits = static_cast<int>(request.blue_bits);
    format.depth_bits = static_cast<int>(request.depth_bits);
    format.stencil_bits = static_cast<int>(request.stencil_bits);
    format.samples = static_cast<int>(request.samples);
    format.double_buffer = request.double_buffer ? 1 : 0;
    return format;
}

// Channels of a desktop of that many colour bits: 5, 6 and 5 for 16.
void limit_colour_bits(PixelFormatInfo* info, uint32_t colour_bits) {
    const uint32_t channel = colour_bits / 3;
    info->red_bits = std::min(info->red_bits, channel);
    info->green_bits = std::min(info->green_bits, colour_bits - 2 * channel);
    info->blue_bits = std::min(info->blue_bits, channel);
    info->alpha_bits = 0;
}

}  // namespace

const SdlPixelFormat* find_pixel_format(int32_t pixel_format) {
    if (pixel_format <= 0 || static_cast<uint32_t>(pixel_format) > pixel_format_count) {
        return nullptr;
    }
    return &pixel_formats[pixel_format - 1];
}

void apply_pixel_format_attributes(const SdlPixelFormat& format) {
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, format.red_bits);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, format.green_bits);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, format.blue_bits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depth_bits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencil_bits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, format.double_buffer);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, format.samples > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, format.samples);
    // The renderer draws in immediate mode, with quads and client arrays.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
}

uint32_t get_windowed_colour_bit_limit() {
    const uint32_t desktop_bits = get_desktop_bits_per_pixel();
    return desktop_bits != 0 && desktop_bits < 24 ? desktop_bits : 0;
}

int32_t choose_pixel_format(const PixelFormatRequest& request) {
    SdlDisplayState& state = get_sdl_display_state();
    if (!state.video_open || !state.gl_library_loaded) {
        return 0;
    }
    const uint32_t colour_limit = get_windowed_colour_bit_limit();
    SdlPixelFormat format = make_format(request);
    if (colour_limit != 0) {
        // The window gets what the desktop has; more colour is not to be had.
        format.red_bits = format.green_bits = format.blue_bits = 0;
    }
    bool found = probe_pixel_format(&format);
    if (!found && !request.exact) {
        // Nearest: whatever the system has with the buffers asked for.
        format = make_format(PixelFormatRequest{});
        format.double_buffer = request.double_buffer ? 1 : 0;
        found = probe_pixel_format(&format);
    }
    if (!found) {
        return 0;
    }
    if (colour_limit != 0) {
        limit_colour_bits(&format.info, colour_limit);
    }
    if (request.exact && !meets(format.info, request)) {
        return 0;
    }
    return add_pixel_format(format);
}

bool describe_pixel_format(int32_t pixel_format, PixelFormatInfo* info) {
    const SdlPixelFormat* format = find_pixel_format(pixel_format);
    if (format == nullptr) {
        return false;
    }
    *info = format->info;
    return true;
}

// The window system's attribute-based choice, as the engine calls it through
// its entry-point table: one exact format for the listed minimums.
int32_t wgl_choose_pixel_format_arb(void* device_context, const int32_t* integer_attributes,
                                    const float* float_attributes, uint32_t maximum_formats, int32_t* formats,
                                    uint32_t* format_count) {
    if (format_count != nullptr) {
        *format_count = 0;
    }
    if (formats == nullptr || format_count == nullptr || maximum_formats == 0) {
        return 0;
    }
    PixelFormatRequest request;
    request.exact = true;
    bool sample_buffers = false;
    for (const int32_t* pair = integer_attributes; pair != nullptr && pair[0] != 0; pair += 2) {
        const uint32_t value = pair[1] > 0 ? static_cast<uint32_t>(pair[1]) : 0;
        switch (pair[0]) {
        case WGL_RED_BITS_ARB:
            request.red_bits = value;
            break;
        case WGL_GREEN_BITS_ARB:
            request.green_bits = value;
            break;
        case WGL_BLUE_BITS_ARB:
            request.blue_bits = value;
            break;
        case WGL_DEPTH_BITS_ARB:
            request.depth_bits = value;
            break;
        case WGL_STENCIL_BITS_ARB:
            request.stencil_bits = value;
            break;
        case WGL_DOUBLE_BUFFER_ARB:
            request.double_buffer = value != 0;
            break;
        case WGL_SAMPLE_BUFFERS_ARB:
            sample_buffers = value != 0;
            break;
        case WGL_SAMPLES_ARB:
            request.samples = value;
            break;
        case WGL_PIXEL_TYPE_ARB:
            if (pair[1] != WGL_TYPE_RGBA_ARB) {
                return 1;
            }
            break;
        default:
            // Drawing to a window with OpenGL is what every format here
            // does; full acceleration is a preference a software renderer
            // cannot meet.
            break;
        }
    }
    if (!sample_buffers) {
        request.samples = 0;
    }
    const int32_t format = choose_pixel_format(request);
    if (format != 0) {
        formats[0] = format;
        *format_count = 1;
    }
    return 1;
}

}  // namespace zolt::platform
