// Skeleton and animation resources as the engine checks them when they
// open: the first byte picks the format. In an accepted skeleton every bone's
// parent chain ends; in an accepted animation every value the sampler can
// reach lies inside the resource, which sampling the whole pose at both
// ends and in between shows under the sanitizers.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/renderer/animation/animation_playback.h"
#include "zolt/renderer/animation/channel_binding.h"
#include "zolt/renderer/animation/keyframe_sampling.h"
#include "zolt/renderer/animation/root_motion.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::animation;

void check_skeleton(const uint8_t* data, uint32_t size) {
    std::string error;
    if (!check_skeleton_resource(0x5A100001, data, size, &error)) {
        fuzz::expect(error.find("skeleton 0x5a100001: ") == 0, "a refusal does not name the skeleton");
        return;
    }
    const SkeletonView view{data, read_skeleton_header(data)};
    for (uint32_t bone = 0; bone < view.header.bone_count; ++bone) {
        uint32_t parent = read_channel_record(data, view.header, bone).parent;
        uint32_t steps = 0;
        while (parent != no_parent) {
            fuzz::expect(parent < view.header.bone_count && ++steps <= view.header.bone_count,
                         "an accepted skeleton has a broken parent chain");
            parent = read_channel_record(data, view.header, parent).parent;
        }
        read_bind_matrix(data, view.header, bone);
        read_rest_record(data, view.header, bone);
    }
}

// A skeleton of 128 bone-or-factor channels keyed 0 to 127, for sampling.
struct SamplingSkeleton {
    uint8_t bytes[skeleton_header_size + maximum_skeleton_channels * (8 + 12 + 28)] = {};
    SkeletonView view;

    SamplingSkeleton() {
        const uint32_t channels = maximum_skeleton_channels;
        const uint32_t key_offset = skeleton_header_size;
        const uint32_t channel_offset = key_offset + channels * 8;
        const uint32_t rest_offset = channel_offset + channels * 12;
        const uint32_t header[6] = {64, 64, key_offset, channel_offset, rest_offset, 0};
        std::memcpy(bytes, header, sizeof header);
        for (uint32_t channel = 0; channel < channels; ++channel) {
            const uint32_t key[2] = {channel, channel};
            std::memcpy(bytes + key_offset + channel * 8, key, sizeof key);
            const uint32_t record[3] = {no_parent, 0, 0};
            std::memcpy(bytes + channel_offset + channel * 12, record, sizeof record);
            const float rest[7] = {0, 0, 0, 0, 0, 0, 1};
            std::memcpy(bytes + rest_offset + channel * 28, rest, sizeof rest);
        }
        view = {bytes, read_skeleton_header(bytes)};
    }
};

// Counts what an advance posts; an advance of a bounded step posts a bounded
// number of events.
class CountingSink final : public AnimationEventSink {
public:
    void post_animation_event(const AnimationEvent&) override { ++count; }
    uint64_t count = 0;
};

void check_animation(const uint8_t* data, uint32_t size) {
    std::string error;
    if (!check_animation_resource(0x5A200001, data, size, &error)) {
        fuzz::expect(error.find("animation 0x5a200001: ") == 0, "a refusal does not name the animation");
        return;
    }
    static const SamplingSkeleton skeleton;
    const AnimationView animation{data, read_animation_header(data)};
    KeyEntry keys[maximum_skeleton_channels];
    uint8_t map[maximum_skeleton_channels];
    const uint32_t count = read_skeleton_keys(skeleton.view, keys);
    const bool identity = bind_channels(keys, count, animation, count, map);
    MixedBone pose[maximum_skeleton_channels];
    const uint32_t duration = animation.header.duration;
    const uint32_t times[] = {0, duration / 3, duration};
    for (const uint32_t time : times) {
        for (const uint32_t mode :
             {sampling_mode::absolute, sampling_mode::relative_to_first_frame, sampling_mode::relative_to_rest_pose}) {
            sample_pose(animation, identity ? nullptr : map, time, 0, count, pose, skeleton.view, 64, mode);
        }
    }
    for (uint32_t index = 0; index < animation.header.event_count; ++index) {
        fuzz::expect(read_animation_event(animation, index).time <= duration,
                     "an accepted animation has an event past its end");
    }
    const RootTransform cycle = compute_cycle_root_motion(animation, identity ? nullptr : map);
    for (const float speed : {1.0f, -0.5f}) {
        AnimatorPlayback playback{{duration / 2, 0}, speed, speed > 0, false};
        CountingSink sink;
        const PlaybackPosition start = playback.at;
        advance_playback(animation, playback, 3000, true, sink);
        fuzz::expect(playback.at.position <= duration, "an advance left the animation");
        fuzz::expect(sink.count <= 3001 * (2 * uint64_t{animation.header.event_count} + 1),
                     "an advance posted more events than it passed");
        compute_step_root_motion(animation, identity ? nullptr : map, skeleton.view, root_motion_flag::mask,
                                 start.position, playback.at.position, playback.at.cycles - start.cycles, cycle);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 16384) {
        return 0;
    }
    // An exactly sized copy, so the sanitizer sees any read past the resource.
    const uint32_t length = static_cast<uint32_t>(size - 1);
    uint8_t* const resource = new uint8_t[length];
    std::memcpy(resource, data + 1, length);
    if (data[0] & 1) {
        check_animation(resource, length);
    } else {
        check_skeleton(resource, length);
    }
    delete[] resource;
    return 0;
}
