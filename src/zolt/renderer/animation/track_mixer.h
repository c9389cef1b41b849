#pragma once
// A track mixer (server type 42): a node of the mixing tree of one skeleton.
// A node plays one animator, mixes its child nodes, mixes up to eight slot
// animators weighted by a weight animation, or gives the skeleton's rest
// pose. Every node has a weight with an optional linear fade, a mixing
// type, a key for lookups, option flags and an optional channel-weight
// record. The skeleton, the parent and the children are named by handles;
// the children of a node form a ring through their sibling handles.
// Animators belong to their mixer and die with it. Main thread only.
#include <cstdint>
#include <optional>

#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/animation/animation_server_types.h"
#include "zolt/renderer/animation/pose_mixing.h"

namespace zolt::animation {

class Skeleton;

constexpr uint32_t track_mixer_capacity = 5000;
constexpr uint32_t track_mixer_slot_count = 8;

enum class TrackMixerType : uint32_t {
    AnimatorTrack = 0,
    EmptyTrack = 1,
    GroupTrack = 2,
    SlotTrack = 3,
    RestPoseTrack = 4,
};

namespace track_mixer_flag {
constexpr uint32_t full_weights = 1, normalised_weights = 2, complementary_second = 4, fade_out_others = 8,
                   end_when_silent = 16, fade_out_when_finished = 32, weight_from_children = 64;
}  // namespace track_mixer_flag

namespace track_mixer_property {
constexpr uint32_t flags = 0x03000015, mixer_type = 0x03000021, fade_duration = 0x03000127, skeleton = 0x010001FF,
                   parent = 0x0100021B, next_sibling = 0x0100021C, previous_sibling = 0x0100021D,
                   first_child = 0x0100021E, last_child = 0x0100021F, mixing_type = 0x03000220, key = 0x03000221,
                   weight = 0x05000222, fade_from = 0x05000223, fade_to = 0x05000224, fade_elapsed = 0x03000225,
                   animator = 0x01000226, channel_weights = 0x03000229, first_slot = 0x03000235, last_slot = 0x0300023C;
}  // namespace track_mixer_property

// A fade that starts by itself runs this long.
constexpr uint32_t automatic_fade_ticks = 10000;

class TrackMixer final : public core::ServerObject {
public:
    // The handle must name a skeleton, else fatal.
    void initialize(uint32_t skeleton_handle) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    // Advances fades, animators and children by ticks of skeleton time;
    // false when the mixer has ended and its owner should destroy it.
    bool advance(float ticks);
    // Ticks to the nearest animation event below this node, if any.
    std::optional<float> get_delay_to_nearest_event() const;
    // Mixes this node into a pose of the skeleton's channels.
    void evaluate(MixedBone* destination) const;
    // Mixes the root motion of the last advance into a one-entry pose.
    void mix_root_motion(MixedBone& destination) const;

    // Replaces the animator (builtins 561 and 562); nothing without a
    // skeleton.
    void replace_animator(uint32_t animation_id, bool loop, bool fixed_channels);

    core::ObjectHandle get_skeleton() const { return skeleton_; }
    // Takes the mixer from its skeleton (clearing the skeleton's root when
    // it named this mixer) and binds it to another, or to none.
    void bind_to_skeleton(core::ObjectHandle skeleton);
    core::ObjectHandle get_parent() const { return parent_; }
    core::ObjectHandle get_first_child() const { return first_child_; }
    core::ObjectHandle get_next_sibling() const { return next_sibling_; }
    uint32_t get_key() const { return key_; }
    float get_weight() const { return weight_; }
    TrackMixerType get_type() const { return static_cast<TrackMixerType>(mixer_type_); }
    core::ObjectHandle get_animator() const { return animator_; }

    // Tree edits; each refuses a move across skeletons or into a cycle.
    bool append_child(TrackMixer* child);
    bool prepend_child(TrackMixer* child);
    bool insert_after(TrackMixer* other);
    bool insert_before(TrackMixer* other);
    void detach_from_parent();
    // The children in ring order, at most track_mixer_capacity.
    uint32_t list_children(TrackMixer** out, uint32_t capacity) const;
    // Starts the links of a mixer read from a saved game: no parent, no
    // children.
    void reset_links();

private:
    // Visits the children in ring order; a visit may destroy the child it
    // is given, never another.
    template <typename Visit>
    void for_each_child(Visit visit) const;
    Skeleton* find_skeleton() const;
    bool can_adopt(const TrackMixer* child) const;
    void link_child(TrackMixer* child, TrackMixer* before, bool as_first);
    void destroy_animators();
    bool check_channel_weights(core::ObjectHandle record) const;
    // The record's channel range and per-channel weights (indexed by
    // channel); the whole skeleton and none without a record.
    bool read_channel_weights(uint32_t channel_count, uint32_t* first, uint32_t* count, float* weights) const;
    void evaluate_group(MixedBone* destination, uint32_t channel_count, uint32_t bone_count) const;
    void evaluate_slots(MixedBone* destination, uint32_t channel_count, uint32_t bone_count) const;
    void evaluate_rest_pose(MixedBone* destination, uint32_t channel_count, uint32_t bone_count) const;
    void mix_combined(const MixedBone* combined, MixedBone* destination, uint32_t channel_count,
                      uint32_t bone_count) const;
    void start_fade(float from, float to, uint32_t duration);

    core::ObjectHandle skeleton_ = 0;
    core::ObjectHandle parent_ = 0;
    core::ObjectHandle next_sibling_ = 0;
    core::ObjectHandle previous_sibling_ = 0;
    core::ObjectHandle first_child_ = 0;
    uint32_t mixer_type_ = static_cast<uint32_t>(TrackMixerType::GroupTrack);
    uint32_t mixing_type_ = 0;
    uint32_t key_ = 0;
    uint32_t flags_ = 0;
    float weight_ = 0;
    float fade_from_ = 0;
    float fade_to_ = 0;
    uint32_t fade_duration_ = 0;
    uint32_t fade_elapsed_ = 0;
    core::ObjectHandle channel_weights_ = 0;
    core::ObjectHandle animator_ = 0;
    bool has_slots_ = false;
    core::ObjectHandle slots_[track_mixer_slot_count] = {};
};

}  // namespace zolt::animation
