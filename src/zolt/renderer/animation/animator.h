#pragma once
// An animator (server type 40): plays one animation resource for one track
// mixer. It keeps a playback position in ticks and a speed, a map from the
// skeleton's channels to the animation's (none when they match one to one),
// samples keyframes into a pose, cuts its advances at event times and posts
// the events, takes root motion out of the root bone, and can follow the
// playback time of a sound entity. Created by track mixers, never directly
// by scripts. Main thread only.
#include <cstdint>
#include <optional>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/animation/animation_format.h"
#include "zolt/renderer/animation/animation_playback.h"
#include "zolt/renderer/animation/animation_server_types.h"
#include "zolt/renderer/animation/pose_mixing.h"
#include "zolt/renderer/animation/root_motion.h"
#include "zolt/renderer/animation/skeleton_format.h"

namespace zolt::animation {

class Skeleton;

constexpr uint32_t animator_capacity = 2500;

namespace animator_flag {
constexpr uint32_t root_motion_axes = 0xFF, events_handled = 0x100, looping = 0x200, sampling_mode = 0xC00;
}  // namespace animator_flag

namespace animator_property {
constexpr uint32_t root_motion_axes = 0x03000015, duration = 0x0300019D, sound_entity = 0x010001E7, speed = 0x05000218,
                   position = 0x0300022A, looping = 0x0400022B, sampling_mode = 0x03000232, reported_word = 0x03000233,
                   phase = 0x05000234;
}  // namespace animator_property

// Channels first to first + count - 1 of a mix, with a weight per channel
// (indexed by channel); no weights mixes every channel fully.
struct ChannelRange {
    uint32_t first = 0;
    uint32_t count = 0;
    const float* weights = nullptr;
};

class Animator final : public core::ServerObject {
public:
    // argument: non-zero for a looping animator.
    void initialize(uint32_t loop) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    // Opens the animation (a missing or broken one is fatal, naming its
    // id), binds its channels against the key entries and computes the
    // root motion of one cycle.
    void bind(uint32_t animation_id, uint32_t channel_count, const KeyEntry* keys, uint32_t key_count);

    AnimationView get_view() const;
    uint32_t get_channel_count() const { return channel_count_; }
    uint32_t get_position() const { return position_; }
    int32_t get_cycles() const { return cycles_; }
    float get_speed() const { return speed_; }

    // Samples the range at the position and mixes it into the destination.
    void evaluate(const ChannelRange& range, MixedBone* destination, TrackMixingType type, float weight,
                  const SkeletonView& skeleton) const;
    // Samples channels 0 to count - 1 (all scalars) into pose, each with
    // weight 1.
    void sample_scalars(MixedBone* pose, uint32_t count) const;
    // Advances by ticks of mixer time; events go to the skeleton's context.
    void advance(float ticks, const Skeleton* skeleton, core::ObjectHandle mixer);
    // Mixes the root motion of the last advance into a one-entry pose.
    void mix_root_motion(MixedBone& destination, TrackMixingType type, float weight) const;
    bool is_finished() const;
    // Ticks of mixer time to the next event or end; none while standing
    // still or following a sound.
    std::optional<float> get_delay_to_next_event() const;
    // Builtin 563: the same phase as the source.
    void copy_phase(const Animator& source);

private:
    AnimatorPlayback get_playback() const;
    void set_playback(const AnimatorPlayback& playback);
    const uint8_t* get_map() const { return has_map_ ? channel_map_ : nullptr; }
    std::optional<uint32_t> get_sound_step();
    void reset_step();

    core::ObjectHandle resource_ = 0;
    uint32_t channel_count_ = 0;
    uint32_t flags_ = 0;
    float speed_ = 1;
    uint32_t position_ = 0;
    int32_t cycles_ = 0;
    RootTransform cycle_root_;
    core::ObjectHandle sound_entity_ = 0;
    RootTransform step_root_;
    bool has_map_ = false;
    uint8_t channel_map_[maximum_skeleton_channels] = {};
};

}  // namespace zolt::animation
