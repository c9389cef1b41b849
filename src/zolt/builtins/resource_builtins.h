#pragma once
// The script builtins of resource packs, one function per body, arguments in
// call order as plain values. Main thread only.
//   197  mask, value  -> none   mark_resources
//   198  mask, value  -> none   unmark_resources
//   199  wait         -> 0 / 1  apply_resource_marks: 1 once everything marked is loaded
//   200  id           -> 0 / 1  find_resource
//   201  id           -> 0 / 1  is_resource_loaded: in memory or open
#include <cstdint>

namespace zolt::core {

void mark_resources(uint32_t mask, uint32_t value);
void unmark_resources(uint32_t mask, uint32_t value);
// Non-zero wait loads everything marked before answering.
uint32_t apply_resource_marks(uint32_t wait);
uint32_t find_resource(uint32_t id);
uint32_t is_resource_loaded(uint32_t id);

}  // namespace zolt::core
