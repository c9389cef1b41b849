#pragma once
// Tagged stencil clears (GL_EXT_stencil_clear_tag): instead of clearing the
// stencil buffer after each light, the next of 63 tags makes the old values
// count as cleared; a real clear is needed only when the tags wrap. Off with
// compatibility_fix_ignore_tagged_stencil and without 8 stencil bits.
// Rendering thread only.
#include <cstdint>

namespace zolt::opengl {

// At display start.
void initialize_stencil_clear_tag();
bool are_tagged_stencil_clears_used();
// Nothing unless tagged clears are used.
void next_stencil_clear_tag();
// Every clear of the stencil buffer starts the tags again at 0.
void reset_stencil_clear_tag();
uint32_t get_stencil_clear_tag();

}  // namespace zolt::opengl
