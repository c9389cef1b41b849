#pragma once
// Reading the GL_VERSION text: "major.minor[.release]" followed by a blank and
// vendor text, or by nothing. Any thread.
#include <cstdint>

namespace zolt::opengl {

struct OpenGLVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t release = 0;
};

// False for a null text and for one that does not start with a version; a
// release number that is not followed by a blank or the end counts as 0.
bool parse_version(const char* text, OpenGLVersion* version);

bool is_version_at_least(const OpenGLVersion& version, uint32_t major, uint32_t minor, uint32_t release);

}  // namespace zolt::opengl
