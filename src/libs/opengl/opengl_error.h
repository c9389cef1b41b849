#pragma once
// Draining and reporting OpenGL errors. Both checks read glGetError until it
// answers no error and return how many they drained; they report at the
// caller's signature, file and line as messages of kind check, unless
// suppress_ogl_error_output is set, and return 0 at once when
// skip_all_ogl_checks is set. Rendering thread only.
#include <cstdint>

namespace zolt::opengl::error {

// "no error", "invalid enum" ... "table too large", else "unknown error".
const char* get_error_name(uint32_t code);

// One report with the count: "%u errors detected in skip_all_errors()".
uint32_t skip_all_errors(const char* signature, const char* file, uint32_t line);
// One report per error: "OpenGL error %u detected: %s".
uint32_t check_all_errors(const char* signature, const char* file, uint32_t line);

}  // namespace zolt::opengl::error

#define ZOLT_SKIP_OPENGL_ERRORS() ::zolt::opengl::error::skip_all_errors(__PRETTY_FUNCTION__, __FILE__, __LINE__)
#define ZOLT_CHECK_OPENGL_ERRORS() ::zolt::opengl::error::check_all_errors(__PRETTY_FUNCTION__, __FILE__, __LINE__)
