#include "libs/opengl/opengl_version.h"

namespace zolt::opengl {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

// Reads at least one digit; a number too large for 32 bits saturates.
bool read_number(const char*& text, uint32_t* number) {
    if (!is_digit(*text)) {
        return false;
    }
    uint64_t value = 0;
    while (is_digit(*text)) {
        value = value * 10 + static_cast<uint32_t>(*text - '0');
        if (value > UINT32_MAX) {
            value = UINT32_MAX;
        }
        ++text;
    }
    *number = static_cast<uint32_t>(value);
    return true;
}

bool ends_word(char c) {
    return c == ' ' || c == '\0';
}

}  // namespace

bool parse_version(const char* text, OpenGLVersion* version) {
    if (text == nullptr) {
        return false;
    }
    OpenGLVersion parsed;
    if (!read_number(text, &parsed.major) || *text != '.') {
        return false;
    }
    ++text;
    if (!read_number(text, &parsed.minor)) {
        return false;
    }
    if (*text == '.') {
        ++text;
        uint32_t release = 0;
        if (read_number(text, &release) && ends_word(*text)) {
            parsed.release = release;
        }
    } else if (!ends_word(*text)) {
        return false;
    }
    *version = parsed;
    return true;
}

bool is_version_at_least(const OpenGLVersion& version, uint32_t major, uint32_t minor, uint32_t release) {
    if (version.major != major) {
        return version.major > major;
    }
    if (version.minor != minor) {
        return version.minor > minor;
    }
    return version.release >= release;
}

}  // namespace zolt::opengl
