#pragma once
// The placement builtins' bodies (529-535), with their arguments in call
// order. A handle that names no placement, or an untracked placement, makes
// a per-placement builtin do nothing. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::core {

// 529: every tracked placement samples again; answers the previous time.
uint32_t set_playback_time(uint32_t time);
// 530: answers the previous record time.
uint32_t set_record_time(uint32_t time);
// 531: on every tracked placement.
void drop_keyframes_before(uint32_t time);
// 532
void drop_placement_keyframes_before(uint32_t time, ObjectHandle placement);
// 533
void drop_placement_keyframes_after(uint32_t time, ObjectHandle placement);
// 534: every keyframe of every tracked placement.
void drop_all_keyframes();
// 535
void drop_placement_keyframes(ObjectHandle placement);

}  // namespace zolt::core
