#include "zolt/renderer/animation/keyframe_sampling.h"

#include <algorithm>

namespace zolt::animation {
namespace {

using geometry::Quaternion;
using geometry::Vector3;

// A channel beyond the skeleton's (a weight animation bound through a fixed
// key table) has no rest record: it rests at zero.
bool has_rest(const SkeletonView& skeleton, uint32_t channel) {
    return skeleton.data != nullptr && channel < skeleton.header.channel_count();
}

void sample_unbound(MixedBone& entry, const SkeletonView& skeleton, uint32_t channel, bool is_bone, uint32_t mode) {
    const bool absolute = mode == sampling_mode::absolute && has_rest(skeleton, channel);
    if (is_bone) {
        const RestRecord rest = absolute ? read_rest_record(skeleton.data, skeleton.header, channel) : RestRecord{};
        entry.position = rest.position;
        entry.rotation = rest.rotation;
    } else {
        entry.position = {absolute ? read_factor_default(skeleton.data, skeleton.header, channel) : 0.0f, 0, 0};
    }
}

void sample_bone(MixedBone& entry, const AnimationView& animation, const AnimationChannel& source,
                 const FrameLookup& frames, const SkeletonView& skeleton, uint32_t channel, uint32_t mode) {
    const bool needs_rest = mode == sampling_mode::relative_to_rest_pose && has_rest(skeleton, channel);
    const RestRecord rest = needs_rest ? read_rest_record(skeleton.data, skeleton.header, channel) : RestRecord{};
    if (source.has_constant_position()) {
        const Vector3 value = read_channel_position(animation, source, 0);
        entry.position = mode == sampling_mode::relative_to_first_frame ? Vector3{}
                         : needs_rest                                   ? value - rest.position
                                                                        : value;
    } else {
        const Vector3 value =
            geometry::lerp(read_channel_position(animation, source, frames.frame),
                           read_channel_position(animation, source, frames.next_frame), frames.fraction);
        entry.position = mode == sampling_mode::relative_to_first_frame
                             ? value - read_channel_position(animation, source, 0)
                         : needs_rest ? value - rest.position
                                      : value;
    }
    if (source.has_constant_rotation()) {
        const Quaternion value = read_channel_rotation(animation, source, 0);
        entry.rotation = mode == sampling_mode::relative_to_first_frame ? geometry::identity_quaternion()
                         : needs_rest                                   ? geometry::conjugate(rest.rotation) * value
                                                                        : value;
    } else {
        const Quaternion value =
            geometry::slerp(read_channel_rotation(animation, source, frames.frame),
                            read_channel_rotation(animation, source, frames.next_frame), frames.fraction);
        entry.rotation = mode == sampling_mode::relative_to_first_frame
                             ? geometry::conjugate(read_channel_rotation(animation, source, 0)) * value
                         : needs_rest ? geometry::conjugate(rest.rotation) * value
                                      : value;
    }
}

void sample_scalar(MixedBone& entry, const AnimationView& animation, const AnimationChannel& source,
                   const FrameLookup& frames, const SkeletonView& skeleton, uint32_t channel, uint32_t mode) {
    const float rest = mode == sampling_mode::relative_to_rest_pose && has_rest(skeleton, channel)
                           ? read_factor_default(skeleton.data, skeleton.header, channel)
                           : 0;
    float value;
    if (source.has_constant_position()) {
        value =
            mode == sampling_mode::relative_to_first_frame ? 0.0f : read_channel_scalar(animation, source, 0) - rest;
    } else {
        const float a = read_channel_scalar(animation, source, frames.frame);
        const float b = read_channel_scalar(animation, source, frames.next_frame);
        value = a + (b - a) * frames.fraction;
        value -= mode == sampling_mode::relative_to_first_frame ? read_channel_scalar(animation, source, 0) : rest;
    }
    entry.position = {value, 0, 0};
}

}  // namespace

FrameLookup find_frames(uint32_t duration, uint32_t frame_count, uint32_t time) {
    if (duration == 0 || frame_count <= 1) {
        return {};
    }
    const uint64_t spans = frame_count - 1;
    const uint64_t at = std::min(time, duration);
    const uint64_t frame = std::min<uint64_t>(at * spans / duration, spans);
    const uint64_t start = frame * duration / spans;
    const uint64_t end = (frame + 1) * duration / spans;
    FrameLookup lookup;
    lookup.frame = static_cast<uint32_t>(frame);
    lookup.next_frame = static_cast<uint32_t>((frame + 1) % frame_count);
    // More frames than ticks can give two frames the same start time.
    lookup.fraction = end > start ? static_cast<float>(at - start) / static_cast<float>(end - start) : 0.0f;
    return lookup;
}

void sample_pose(const AnimationView& animation, const uint8_t* channel_map, uint32_t time, uint32_t first,
                 uint32_t count, MixedBone* pose, const SkeletonView& skeleton, uint32_t bone_count, uint32_t mode) {
    const FrameLookup frames = find_frames(animation.header.duration, animation.header.frame_count, time);
    for (uint32_t channel = first; channel < first + count; ++channel) {
        MixedBone& entry = pose[channel];
        entry.weight = 1.0f;
        const uint32_t bound = channel_map != nullptr ? channel_map[channel] : channel;
        const bool is_bone = channel < bone_count;
        if (bound == unbound_channel || bound >= animation.header.key_count) {
            sample_unbound(entry, skeleton, channel, is_bone, mode);
            continue;
        }
        const AnimationChannel source = read_animation_channel(animation, bound);
        if (source.is_bone() != is_bone) {
            sample_unbound(entry, skeleton, channel, is_bone, mode);
        } else if (is_bone) {
            sample_bone(entry, animation, source, frames, skeleton, channel, mode);
        } else {
            sample_scalar(entry, animation, source, frames, skeleton, channel, mode);
        }
    }
}

}  // namespace zolt::animation
