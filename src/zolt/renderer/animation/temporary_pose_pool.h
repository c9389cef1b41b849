#pragma once
// The shared temporary poses that posing a skeleton, evaluating an animator
// and evaluating a group of track mixers borrow while they mix: ten poses of
// 128 channels, one per nesting level being evaluated. Running out means a
// mixing tree nested deeper than that, which is fatal ("out of memory").
// Main thread only.
#include <cstdint>

#include "zolt/renderer/animation/pose_mixing.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation {

constexpr uint32_t temporary_pose_count = 10;

// Takes a pose on construction, cleared over count channels, and gives it
// back when it goes out of scope.
class TemporaryPose {
public:
    explicit TemporaryPose(uint32_t count);
    ~TemporaryPose();
    TemporaryPose(const TemporaryPose&) = delete;
    TemporaryPose& operator=(const TemporaryPose&) = delete;

    MixedBone* get() { return pose_; }
    MixedBone& operator[](uint32_t channel) { return pose_[channel]; }

private:
    MixedBone* pose_;
};

// Poses currently lent, for tests.
uint32_t count_lent_temporary_poses();

}  // namespace zolt::animation
