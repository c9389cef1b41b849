#pragma once
// The script builtins of resource packs (197-201), the current language
// (182, 183) and the engine version of pack and save headers (225).
// Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

void bind_resource_builtins(BuiltinTable& table);

// Marks the packs whose key & mask == value.
void mark_resource_packs(uint32_t value, uint32_t mask);
void unmark_resource_packs(uint32_t value, uint32_t mask);
// True once everything marked is loaded; wait loads it all before answering.
bool apply_resource_marks(bool wait);
bool find_resource(uint32_t id);
// In memory or open.
bool is_resource_loaded(uint32_t id);

}  // namespace zolt::core
