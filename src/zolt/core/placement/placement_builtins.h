#pragma once
// The placement builtins' bodies (529-535), the placement first as the
// builtins take it (on top of the stack). A handle that names no placement,
// or an untracked placement, makes a per-placement builtin do nothing.
// Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::core {

void bind_placement_builtins(BuiltinTable& table);

// 529: every tracked placement samples again; answers the previous time.
uint32_t set_playback_time(uint32_t time);
// 530: answers the previous record time.
uint32_t set_record_time(uint32_t time);
// 531: on every tracked placement.
void drop_keyframes_before(uint32_t time);
// 532
void drop_placement_keyframes_before(PlacementHandle placement, uint32_t time);
// 533
void drop_placement_keyframes_after(PlacementHandle placement, uint32_t time);
// 534: every keyframe of every tracked placement.
void drop_all_keyframes();
// 535
void drop_placement_keyframes(PlacementHandle placement);

}  // namespace zolt::core
