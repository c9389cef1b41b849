#pragma once
// Poses and the rule by which contributions are mixed into them. A pose is
// an array of MixedBone, one per skeleton channel; a factor channel keeps
// its value in position.x. Animators mix sampled poses into the pose of a
// track mixer, and mixers mix their combined poses into their parent's.
// Plain functions on plain records; any thread.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::animation {

struct MixedBone {
    float weight = 0;
    geometry::Vector3 position{};
    geometry::Quaternion rotation{};
};

enum class TrackMixingType : uint32_t {
    Blend = 0,
    BlendClamped = 1,
    BlendIfNotFull = 2,
    Override = 3,
    BlendRemainder = 4,
    Additive = 5,
};

// Weights at or below this contribute nothing.
constexpr float negligible_weight = 1.0f / 65536.0f;

// Sets every entry to weight 0, zero position and identity rotation.
void clear_pose(MixedBone* pose, uint32_t count);

// The weight a contribution of weight w gets against what the bone already
// holds; false when it contributes nothing. A type above Additive is a
// broken invariant and ends the program.
bool compute_effective_mixing_weight(const MixedBone& bone, TrackMixingType type, float weight, float* effective);

// Mixes channels first to first + count - 1 of source into destination
// (both indexed by channel). Channels below bone_count are bones; the rest
// are factors. channel_weights, when given, is indexed by channel; a weight
// of exactly 0 skips the channel.
void mix_pose(const MixedBone* source, uint32_t first, uint32_t count, MixedBone* destination, uint32_t bone_count,
              TrackMixingType type, float weight, const float* channel_weights);

}  // namespace zolt::animation
