#include "zolt/renderer/animation/channel_binding.h"

#include <algorithm>

#include "zolt/renderer/animation/keyframe_sampling.h"

namespace zolt::animation {

bool bind_channels(const KeyEntry* skeleton_keys, uint32_t key_count, const AnimationView& animation,
                   uint32_t channel_count, uint8_t* map) {
    std::fill(map, map + channel_count, unbound_channel);
    const uint32_t animation_keys = animation.header.key_count;
    uint32_t scan = 0;
    for (uint32_t index = 0; index < key_count && scan < animation_keys; ++index) {
        const KeyEntry& entry = skeleton_keys[index];
        while (scan < animation_keys && read_animation_key(animation, scan) < entry.key) {
            ++scan;
        }
        if (scan < animation_keys && read_animation_key(animation, scan) == entry.key &&
            entry.channel < channel_count) {
            const uint32_t bound = read_animation_key_channel(animation, scan);
            // A channel number the map cannot hold stays unbound.
            map[entry.channel] = bound < unbound_channel ? static_cast<uint8_t>(bound) : unbound_channel;
        }
    }
    for (uint32_t channel = 0; channel < channel_count; ++channel) {
        if (map[channel] != channel) {
            return false;
        }
    }
    return true;
}

uint32_t read_skeleton_keys(const SkeletonView& skeleton, KeyEntry* out) {
    const uint32_t count = skeleton.header.channel_count();
    for (uint32_t index = 0; index < count; ++index) {
        out[index] = read_skeleton_key(skeleton.data, skeleton.header, index);
    }
    return count;
}

}  // namespace zolt::animation
