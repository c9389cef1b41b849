#include "libs/opengl/opengl_error.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl::error {

namespace {

// glGetError inside glBegin answers an error forever; stop well before that hangs.
constexpr uint32_t endless_error_limit = 100;

enum class Reporting { total, each };

uint32_t drain_errors(Reporting reporting, const char* signature, const char* file, uint32_t line) {
    if (skip_all_ogl_checks) {
        return 0;
    }
    uint32_t count = 0;
    for (GLenum code = gl.glGetError(); code != GL_NO_ERROR; code = gl.glGetError()) {
        if (++count >= endless_error_limit) {
            ZOLT_PANIC("infinite loop in check_opengl_errors() detected, perhaps glBegin() is active?");
        }
        if (reporting == Reporting::each && !suppress_ogl_error_output) {
            report_message(MessageKind::Check, signature, file, line, "OpenGL error %u detected: %s", code,
                           get_error_name(code));
        }
    }
    if (reporting == Reporting::total && count > 0 && !suppress_ogl_error_output) {
        report_message(MessageKind::Check, signature, file, line, "%u errors detected in skip_all_errors()", count);
    }
    return count;
}

}  // namespace

const char* get_error_name(uint32_t code) {
    switch (code) {
    case GL_NO_ERROR:
        return "no error";
    case GL_INVALID_ENUM:
        return "invalid enum";
    case GL_INVALID_VALUE:
        return "invalid value";
    case GL_INVALID_OPERATION:
        return "invalid operation";
    case GL_STACK_OVERFLOW:
        return "stack overflow";
    case GL_STACK_UNDERFLOW:
        return "stack underflow";
    case GL_OUT_OF_MEMORY:
        return "out of memory";
    case GL_TABLE_TOO_LARGE:
        return "table too large";
    default:
        return "unknown error";
    }
}

uint32_t skip_all_errors(const char* signature, const char* file, uint32_t line) {
    return drain_errors(Reporting::total, signature, file, line);
}

uint32_t check_all_errors(const char* signature, const char* file, uint32_t line) {
    return drain_errors(Reporting::each, signature, file, line);
}

}  // namespace zolt::opengl::error
