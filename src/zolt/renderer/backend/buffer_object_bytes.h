#pragma once
// The bytes held in GL buffer objects and textures, weighed by the texture
// server against the video-memory budget: streams add their buffer objects,
// textures their estimated sizes, the upload pixel buffers their sizes. 64
// bits wide so that budgets of 4 GB and more count as they are. Rendering
// thread only.
#include <cstdint>

namespace zolt::renderer {

void add_buffer_object_bytes(uint64_t bytes);
// Never below 0: a mismatched subtraction stops at 0.
void subtract_buffer_object_bytes(uint64_t bytes);
uint64_t get_buffer_object_bytes();

}  // namespace zolt::renderer
