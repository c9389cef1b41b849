#include "zolt/renderer/shaders/shader_program_arb.h"

#include <bitset>
#include <cstring>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_error.h"
#include "libs/utility/message_handler.h"
#include "zolt/renderer/shaders/shader_library_data.h"

namespace zolt::renderer::shader_library {

using opengl::gl;

namespace {

struct ArbProgramIds {
    std::bitset<arb_program_number_limit> created;
    uint32_t lowest = arb_program_number_limit;
    uint32_t highest = 0;
};

ArbProgramIds program_ids[2];

uint32_t get_first_id(ArbProgramKind kind) {
    return kind == ArbProgramKind::vertex ? arb_vertex_program_first_id : arb_fragment_program_first_id;
}

GLenum get_target(ArbProgramKind kind) {
    return kind == ArbProgramKind::vertex ? GL_VERTEX_PROGRAM_ARB : GL_FRAGMENT_PROGRAM_ARB;
}

}  // namespace

bool create_arb_program(GLenum target, uint32_t id, const char* text, uint32_t length) {
    ZOLT_SKIP_OPENGL_ERRORS();
    gl.glBindProgramARB(target, id);
    gl.glProgramStringARB(target, GL_PROGRAM_FORMAT_ASCII_ARB, static_cast<GLsizei>(length), text);
    GLint error_position = -1;
    gl.glGetIntegerv(GL_PROGRAM_ERROR_POSITION_ARB, &error_position);
    const GLubyte* const error_string = gl.glGetString(GL_PROGRAM_ERROR_STRING_ARB);
    const bool failed = ZOLT_SKIP_OPENGL_ERRORS() > 0;
    if (failed) {
        report_message(MessageKind::Warning, __PRETTY_FUNCTION__, __FILE__, __LINE__,
                       "ARB program %u failed to load at %d: %s", id, error_position,
                       error_string != nullptr ? reinterpret_cast<const char*>(error_string) : "");
    }
    return !failed;
}

uint32_t get_arb_program(ArbProgramKind kind, uint32_t record_offset) {
    ArbProgramRecord record;
    std::memcpy(&record, get_loaded_library().data + record_offset, sizeof record);
    ArbProgramIds& ids = program_ids[static_cast<uint32_t>(kind)];
    const uint32_t id = get_first_id(kind) + record.program_number;
    if (!ids.created.test(record.program_number)) {
        create_arb_program(get_target(kind), id,
                           reinterpret_cast<const char*>(get_loaded_library().data + record.text_offset),
                           record.text_length);
        ids.created.set(record.program_number);
        ids.lowest = record.program_number < ids.lowest ? record.program_number : ids.lowest;
        ids.highest = record.program_number > ids.highest ? record.program_number : ids.highest;
    }
    return id;
}

bool is_arb_program_created(ArbProgramKind kind, uint32_t program_number) {
    return program_ids[static_cast<uint32_t>(kind)].created.test(program_number);
}

void delete_arb_programs() {
    for (uint32_t kind = 0; kind < 2; ++kind) {
        ArbProgramIds& ids = program_ids[kind];
        for (uint32_t number = ids.lowest; number <= ids.highest && number < arb_program_number_limit; ++number) {
            if (ids.created.test(number)) {
                const GLuint id = get_first_id(static_cast<ArbProgramKind>(kind)) + number;
                gl.glDeleteProgramsARB(1, &id);
            }
        }
    }
    reset_arb_program_cache();
}

void reset_arb_program_cache() {
    program_ids[0] = ArbProgramIds{};
    program_ids[1] = ArbProgramIds{};
}

}  // namespace zolt::renderer::shader_library
