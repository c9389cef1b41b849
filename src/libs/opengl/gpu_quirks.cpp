#include "libs/opengl/gpu_quirks.h"

#include <cstring>

#include "libs/opengl/opengl_version.h"

namespace zolt::opengl {

namespace {

bool is_white_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

char to_lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Whether the word stands at position in the list, letter case aside.
bool matches_at(const char* position, const char* word, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        if (position[i] == '\0' || to_lower(position[i]) != to_lower(word[i])) {
            return false;
        }
    }
    return true;
}

bool starts_word(const char* list, const char* position) {
    return position == list || is_white_space(position[-1]);
}

const char* get_gl_string(GLenum name) {
    if (gl.glGetString == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(gl.glGetString(name));
}

}  // namespace

bool has_extension_word(const char* list, const char* word) {
    if (list == nullptr || word == nullptr) {
        return false;
    }
    const size_t length = std::strlen(word);
    for (const char* position = list; *position != '\0'; ++position) {
        if (starts_word(list, position) && matches_at(position, word, length)) {
            const char after = position[length];
            if (after == '\0' || is_white_space(after)) {
                return true;
            }
        }
    }
    return false;
}

bool find_numbered_word(const char* list, const char* word, uint32_t minimum, uint32_t maximum) {
    if (list == nullptr || word == nullptr) {
        return false;
    }
    const size_t length = std::strlen(word);
    for (const char* position = list; *position != '\0'; ++position) {
        if (!starts_word(list, position) || !matches_at(position, word, length)) {
            continue;
        }
        const char* digits = position + length;
        if (!is_digit(*digits)) {
            continue;
        }
        uint64_t number = 0;
        while (is_digit(*digits)) {
            if (number <= UINT32_MAX) {
                number = number * 10 + static_cast<uint32_t>(*digits - '0');
            }
            ++digits;
        }
        if (number >= minimum && number <= maximum) {
            return true;
        }
    }
    return false;
}

GpuVendor detect_gpu_vendor(const char* vendor) {
    if (has_extension_word(vendor, "nvidia")) {
        return GpuVendor::nvidia;
    }
    if (has_extension_word(vendor, "ati") || has_extension_word(vendor, "amd")) {
        return GpuVendor::ati;
    }
    if (has_extension_word(vendor, "microsoft")) {
        return GpuVendor::microsoft;
    }
    return GpuVendor::other;
}

bool detect_radeon_x_series(const char* renderer) {
    return has_extension_word(renderer, "Radeon") && find_numbered_word(renderer, "X", 1000, 1999);
}

bool detect_geforce_7_series(const char* renderer) {
    return has_extension_word(renderer, "GeForce") && find_numbered_word(renderer, "", 7000, 7999);
}

bool detect_ati_driver_2_1_8577(GpuVendor vendor, const char* version) {
    OpenGLVersion parsed;
    if (vendor != GpuVendor::ati || !parse_version(version, &parsed)) {
        return false;
    }
    // Only that 2.1 series: every later AMD driver reports a higher version
    // and does not have the fault this quirk works around.
    return parsed.major == 2 && parsed.minor == 1 && parsed.release >= 8577;
}

void detect_gpu_quirks() {
    OpenGLCapabilities& found = capabilities;
    found.gpu_vendor = detect_gpu_vendor(get_gl_string(GL_VENDOR));
    found.quirk_radeon_x_series = false;
    found.quirk_geforce_7_series = false;
    if (found.gpu_vendor == GpuVendor::ati) {
        found.quirk_radeon_x_series = detect_radeon_x_series(get_gl_string(GL_RENDERER));
    }
    if (found.gpu_vendor == GpuVendor::nvidia) {
        found.quirk_geforce_7_series = detect_geforce_7_series(get_gl_string(GL_RENDERER));
    }
    found.quirk_nvidia_pixel_buffers =
        is_extension_present(Extension::ARB_pixel_buffer_object) && found.gpu_vendor == GpuVendor::nvidia;
    found.quirk_ati_driver_2_1_8577 = detect_ati_driver_2_1_8577(found.gpu_vendor, get_gl_string(GL_VERSION));
}

uint32_t get_driver_quirk_flag() {
    return capabilities.quirk_ati_driver_2_1_8577 ? 0 : 1;
}

}  // namespace zolt::opengl
