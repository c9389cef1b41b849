#include "zolt/renderer/animation/pose_mixing.h"

#include <algorithm>

#include "libs/utility/fatal_error.h"

namespace zolt::animation {

void clear_pose(MixedBone* pose, uint32_t count) {
    std::fill(pose, pose + count, MixedBone{});
}

bool compute_effective_mixing_weight(const MixedBone& bone, TrackMixingType type, float weight, float* effective) {
    float result = 0;
    switch (type) {
    case TrackMixingType::Blend:
    case TrackMixingType::Override:
    case TrackMixingType::Additive:
        result = weight;
        break;
    case TrackMixingType::BlendClamped:
        result = std::min(weight, 1.0f - bone.weight);
        break;
    case TrackMixingType::BlendIfNotFull:
        if (bone.weight >= 1.0f) {
            return false;
        }
        result = weight;
        break;
    case TrackMixingType::BlendRemainder:
        result = weight * (1.0f - bone.weight);
        break;
    default:
        ZOLT_PANIC("Unexpected mixing type %u.", static_cast<unsigned>(type));
    }
    // Also refuses NaN, which compares false.
    if (!(result > negligible_weight)) {
        return false;
    }
    *effective = result;
    return true;
}

void mix_pose(const MixedBone* source, uint32_t first, uint32_t count, MixedBone* destination, uint32_t bone_count,
              TrackMixingType type, float weight, const float* channel_weights) {
    if (!(weight > negligible_weight)) {
        return;
    }
    for (uint32_t channel = first; channel < first + count; ++channel) {
        float requested = source[channel].weight * weight;
        if (channel_weights != nullptr) {
            if (channel_weights[channel] == 0.0f) {
                continue;
            }
            requested *= channel_weights[channel];
        }
        MixedBone& target = destination[channel];
        float effective;
        if (!compute_effective_mixing_weight(target, type, requested, &effective)) {
            continue;
        }
        const MixedBone& from = source[channel];
        const bool is_bone = channel < bone_count;
        if (type == TrackMixingType::Additive) {
            target.weight += effective;
            target.position = target.position + from.position * effective;
            if (is_bone) {
                target.rotation = geometry::slerp(target.rotation, target.rotation * from.rotation, effective);
            }
            continue;
        }
        const float held = type == TrackMixingType::Override ? std::max(0.0f, 1.0f - effective) : target.weight;
        if (held <= negligible_weight) {
            target.weight = effective;
            target.position = from.position;
            if (is_bone) {
                target.rotation = from.rotation;
            }
            continue;
        }
        target.weight = held + effective;
        const float t = effective / (held + effective);
        target.position = geometry::lerp(target.position, from.position, t);
        if (is_bone) {
            target.rotation = geometry::slerp(target.rotation, from.rotation, t);
        }
    }
}

}  // namespace zolt::animation
