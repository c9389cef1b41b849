#pragma once
// Binding an animation's channels to a skeleton's by key: both key tables
// are ascending, so one merge pass fills the map. Any thread.
#include <cstdint>

#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation {

// Fills map[0 .. channel_count) with the animation channel bound to each
// skeleton channel (255 when none) from the skeleton key entries, which
// must be ascending by key and name channels below channel_count. True when
// every skeleton channel is bound to the animation channel of its own
// number, so the map can be dropped.
bool bind_channels(const KeyEntry* skeleton_keys, uint32_t key_count, const AnimationView& animation,
                   uint32_t channel_count, uint8_t* map);

// The skeleton's own key table as entries, for bind_channels.
uint32_t read_skeleton_keys(const SkeletonView& skeleton, KeyEntry* out);

}  // namespace zolt::animation
