#pragma once
// Sampling an animation's keyframes into a pose: the two frames around a
// time and the fraction between them, and the three sampling modes
// (absolute, relative to the first frame, relative to the skeleton's rest
// pose). Works on checked resources only. Any thread.
#include <cstdint>

#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/pose_mixing.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation {

namespace sampling_mode {
constexpr uint32_t absolute = 0, relative_to_first_frame = 1024, relative_to_rest_pose = 2048;
constexpr uint32_t mask = 0xC00;
}  // namespace sampling_mode

// 255 in a channel map: the skeleton channel has no animation channel.
constexpr uint8_t unbound_channel = 255;

struct FrameLookup {
    uint32_t frame = 0;
    uint32_t next_frame = 0;
    float fraction = 1.0f;
};

FrameLookup find_frames(uint32_t duration, uint32_t frame_count, uint32_t time);

// Samples skeleton channels first to first + count - 1 at time into pose
// (indexed by channel), each entry with weight 1. channel_map, when given,
// holds the animation channel of every skeleton channel; without it channel
// c is animation channel c. Channels below bone_count are bones.
void sample_pose(const AnimationView& animation, const uint8_t* channel_map, uint32_t time, uint32_t first,
                 uint32_t count, MixedBone* pose, const SkeletonView& skeleton, uint32_t bone_count, uint32_t mode);

}  // namespace zolt::animation
