#pragma once
// The orders in which sorted layers draw their requests: whether request a
// (by pool index) comes before request b. Each field decides when the two
// differ; the next is tried when they are equal. Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

// Sort key, the two sort bytes, shader, clip rectangle, object, view depth.
bool compare_by_program(uint32_t a, uint32_t b);
// Value provider, shader.
bool compare_by_provider(uint32_t a, uint32_t b);
// Farthest from the eye first, then sort key, shader.
bool compare_back_to_front(uint32_t a, uint32_t b);
// Sort key, object, clip rectangle, view depth.
bool compare_by_key(uint32_t a, uint32_t b);
// Farthest first, then sort key, object.
bool compare_back_to_front_by_key(uint32_t a, uint32_t b);
bool compare_by_object(uint32_t a, uint32_t b);
// No order: the heap decides.
bool compare_none(uint32_t a, uint32_t b);

}  // namespace zolt::renderer
