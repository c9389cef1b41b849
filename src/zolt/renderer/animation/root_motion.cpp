#include "zolt/renderer/animation/root_motion.h"

#include <cmath>

#include "zolt/renderer/animation/keyframe_sampling.h"

namespace zolt::animation {
namespace {

using geometry::Quaternion;
using geometry::Vector3;

Quaternion shorter_arc(const Quaternion& q) {
    return q.w < 0 ? geometry::negate(q) : q;
}

// The animation channel bound to skeleton channel 0, when it is a bone.
bool find_root_channel(const AnimationView& animation, const uint8_t* channel_map, AnimationChannel* channel) {
    const uint32_t bound = channel_map != nullptr ? channel_map[0] : 0;
    if (bound == unbound_channel || bound >= animation.header.key_count) {
        return false;
    }
    *channel = read_animation_channel(animation, bound);
    return channel->is_bone();
}

// q to the power count, about its own axis.
Quaternion repeat_rotation(const Quaternion& q, int32_t count) {
    const Quaternion unit = shorter_arc(geometry::normalize(q));
    const float sine = std::sqrt(unit.x * unit.x + unit.y * unit.y + unit.z * unit.z);
    if (!(sine > 0)) {
        return geometry::identity_quaternion();
    }
    const double half_angle = std::atan2(double(sine), double(unit.w)) * count;
    const double scale = std::sin(half_angle) / sine;
    return geometry::normalize({static_cast<float>(unit.x * scale), static_cast<float>(unit.y * scale),
                                static_cast<float>(unit.z * scale), static_cast<float>(std::cos(half_angle))});
}

RootTransform sample_root(const AnimationView& animation, const uint8_t* channel_map, const SkeletonView& skeleton,
                          uint32_t time) {
    MixedBone root;
    sample_pose(animation, channel_map, time, 0, 1, &root, skeleton, 1, sampling_mode::absolute);
    return {root.position, root.rotation};
}

}  // namespace

SplitRoot split_root_transform(const RootTransform& root, uint32_t flags) {
    SplitRoot split;
    const bool take[3] = {(flags & root_motion_flag::position_x) != 0, (flags & root_motion_flag::position_y) != 0,
                          (flags & root_motion_flag::position_z) != 0};
    split.kept.position = {take[0] ? 0 : root.position.x, take[1] ? 0 : root.position.y, take[2] ? 0 : root.position.z};
    split.taken.position = root.position - split.kept.position;
    if ((flags & root_motion_flag::rotation_mask) == 0) {
        split.kept.rotation = root.rotation;
        return split;
    }
    // Lanes of the angles: about Z, about X, about Y.
    const Vector3 angles = geometry::quaternion_to_euler(root.rotation);
    const bool take_z = (flags & root_motion_flag::rotation_z) != 0;
    const bool take_x = (flags & root_motion_flag::rotation_x) != 0;
    const bool take_y = (flags & root_motion_flag::rotation_y) != 0;
    split.kept.rotation =
        geometry::euler_to_quaternion({take_z ? 0 : angles.x, take_x ? 0 : angles.y, take_y ? 0 : angles.z});
    split.taken.rotation =
        geometry::euler_to_quaternion({take_z ? angles.x : 0, take_x ? angles.y : 0, take_y ? angles.z : 0});
    return split;
}

RootTransform compute_cycle_root_motion(const AnimationView& animation, const uint8_t* channel_map) {
    AnimationChannel channel;
    const uint32_t frames = animation.header.frame_count;
    if (frames < 2 || !find_root_channel(animation, channel_map, &channel)) {
        return {};
    }
    RootTransform cycle;
    if (!channel.has_constant_position()) {
        cycle.position =
            read_channel_position(animation, channel, frames - 1) - read_channel_position(animation, channel, 0);
    }
    if (!channel.has_constant_rotation()) {
        cycle.rotation = shorter_arc(geometry::conjugate(read_channel_rotation(animation, channel, 0)) *
                                     read_channel_rotation(animation, channel, frames - 1));
    }
    return cycle;
}

RootTransform compute_step_root_motion(const AnimationView& animation, const uint8_t* channel_map,
                                       const SkeletonView& skeleton, uint32_t flags, uint32_t from, uint32_t to,
                                       int32_t cycles, const RootTransform& cycle_motion) {
    AnimationChannel channel;
    if ((flags & root_motion_flag::mask) == 0 || !find_root_channel(animation, channel_map, &channel) ||
        (channel.has_constant_position() && channel.has_constant_rotation())) {
        return {};
    }
    const RootTransform first = split_root_transform(sample_root(animation, channel_map, skeleton, from), flags).taken;
    RootTransform second = split_root_transform(sample_root(animation, channel_map, skeleton, to), flags).taken;
    if (cycles != 0) {
        const RootTransform cycle = split_root_transform(cycle_motion, flags).taken;
        second.position = second.position + cycle.position * static_cast<float>(cycles);
        second.rotation = geometry::normalize(repeat_rotation(cycle.rotation, cycles) * second.rotation);
    }
    const Quaternion back = geometry::conjugate(first.rotation);
    return {geometry::rotate(back, second.position - first.position), shorter_arc(back * second.rotation)};
}

}  // namespace zolt::animation
