#pragma once
// Drawing with the index stream of the last shader pass. Rendering thread
// only.
#include <cstdint>

namespace zolt::renderer::shader_library {

// count 16-bit indices from (base offset + first) with the pass's primitive
// type; count 0 draws every index from there to the end of the stream.
// Nothing without an index stream. Marks the current GLSL program drawn and
// flushes when the force-flush switch asks for it.
void draw_indexed(uint32_t count, uint32_t first);
// compatibility_fix_force_glflush: 1 always, 2 with the Radeon X quirk.
bool is_force_flush_wanted();

}  // namespace zolt::renderer::shader_library
