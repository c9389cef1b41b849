#include "zolt/renderer/animation/temporary_pose_pool.h"

#include "libs/utility/fatal_error.h"

namespace zolt::animation {
namespace {

MixedBone poses[temporary_pose_count][maximum_skeleton_channels];
// Poses are taken and given back strictly nested, so a count is the free list.
uint32_t lent_count = 0;

}  // namespace

TemporaryPose::TemporaryPose(uint32_t count) {
    if (lent_count >= temporary_pose_count) {
        ZOLT_PANIC("out of memory");
    }
    pose_ = poses[lent_count++];
    clear_pose(pose_, count < maximum_skeleton_channels ? count : maximum_skeleton_channels);
}

TemporaryPose::~TemporaryPose() {
    --lent_count;
}

uint32_t count_lent_temporary_poses() {
    return lent_count;
}

}  // namespace zolt::animation
