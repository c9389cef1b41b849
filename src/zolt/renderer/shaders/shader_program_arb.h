#pragma once
// ARB assembly programs of the shader library: vertex program n is GL
// program id n + 1, fragment program n id n + 2001. Each is loaded from its
// record's text on first use and stays until every program is deleted; an
// id whose text failed to load still counts as created, so a broken text is
// reported once. Rendering thread only.
#include <cstdint>

#include "libs/opengl/opengl_entry_points.h"
#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::shader_library {

constexpr uint32_t arb_vertex_program_first_id = 1;
constexpr uint32_t arb_fragment_program_first_id = 2001;

enum class ArbProgramKind : uint32_t { vertex, fragment };

// Binds the id to the target and loads the text; false when GL reported an
// error (its position and message are reported).
bool create_arb_program(GLenum target, uint32_t id, const char* text, uint32_t length);
// The GL id of the record at offset, created on first use.
uint32_t get_arb_program(ArbProgramKind kind, uint32_t record_offset);
bool is_arb_program_created(ArbProgramKind kind, uint32_t program_number);
// Deletes every created id of both kinds.
void delete_arb_programs();
// Forgets every id without GL calls: for a new context.
void reset_arb_program_cache();

}  // namespace zolt::renderer::shader_library
