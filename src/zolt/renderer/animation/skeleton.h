#pragma once
// A skeleton (server type 41): the animated hierarchy of one character,
// built from a skeleton resource. Each bone is a placement the skeleton
// creates and owns, linked under its parent bone's placement; each factor is
// a plain value. The root track mixer named by the skeleton is advanced in
// time, evaluated into a pose and applied to the bones; root motion is
// accumulated here. The pose buffer that drawing reads belongs to the
// server (skeleton_server.h). Objects reach the skeleton's track mixers and
// placements through handles only. Main thread only.
#include <cstdint>
#include <optional>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/renderer/animation/animation_server_types.h"
#include "zolt/renderer/animation/pose_buffer.h"
#include "zolt/renderer/animation/pose_mixing.h"
#include "zolt/renderer/animation/skeleton_format.h"
#include "zolt/renderer/animation/skeleton_motion.h"

namespace zolt::animation {

constexpr uint32_t skeleton_capacity = 250;
constexpr uint32_t skeleton_group_count = 32;

namespace skeleton_property {
constexpr uint32_t placement = 0x0100000A, scale = 0x05000054, last_update_time = 0x030000A3, group_mask = 0x030000BE,
                   pose_frozen = 0x0300018F, bone_count = 0x03000215, factor_count = 0x03000216,
                   track_mixer = 0x01000217, speed = 0x05000218, root_position = 0x30000219, root_rotation = 0x4100021A,
                   group = 0x03000227, reset_root_motion = 0x03000228, advance_always = 0x0300022C;
}  // namespace skeleton_property

// Message ids of animation events: this base or the event id, on the clock
// being run.
constexpr uint32_t animation_event_message = 0x7C1D0000;
namespace animation_event_property {
constexpr uint32_t event_id = 0x0300022F, first_data = 0x0300022D, second_data = 0x0300022E, skeleton = 0x010001FF,
                   track_mixer = 0x01000230, track_mixer_key = 0x03000231, animator = 0x01000226,
                   parent_mixer = 0x0100021B;
}  // namespace animation_event_property

namespace skeleton_status {
constexpr uint32_t released = 0, live = 1, destroyed = 2;
}

// A bone's placement (0 for factors) and its value: a bone's value scales
// the rest offsets of its children, a factor's value is the factor.
struct SkeletonChannel {
    core::ObjectHandle placement = 0;
    float value = 0;
};

class Skeleton final : public core::ServerObject {
public:
    // Opens the skeleton resource of this id; a missing or broken resource
    // is fatal, naming the id.
    void initialize(uint32_t resource_id) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    // The checked resource; an empty view while none is open.
    SkeletonView get_view() const;
    uint32_t get_bone_count() const { return get_view().header.bone_count; }
    uint32_t get_channel_count() const { return get_view().header.channel_count(); }
    // The channel of the key, 255 when absent (or a factor when only bones
    // are asked for).
    uint32_t find_channel(uint32_t key, bool bones_only) const;
    SkeletonChannel* get_channel(uint32_t channel) {
        return channel < get_channel_count() ? &channels_[channel] : nullptr;
    }

    // Advances the root track mixer by the time passed since the last
    // update, scaled by the speed and the group's time scale.
    void update_to_time(uint32_t time);
    // Evaluates the root track mixer and applies the pose to the bones.
    void update_pose();
    // Ticks of skeleton time to the next animation event; none when no
    // mixer reports one or the skeleton does not move.
    std::optional<uint32_t> get_delay_to_next_event() const;
    // Recomputed when stale.
    const SkeletonBounds& get_bounds();
    void invalidate_bounds() { bounds_valid_ = false; }
    // Writes bind x world of every bone and the animated factors.
    void write_pose_buffer(PoseBuffer& buffer, bool always_factors);
    bool needs_pose_buffer() const { return pose_frozen_ == 0 || pose_dirty_ != 0; }

    uint32_t get_last_update_time() const { return last_update_time_; }
    uint32_t get_group() const { return group_; }
    float get_scale() const { return scale_; }
    bool advances_always() const { return advance_always_ != 0 && get_context_handle() != 0; }
    core::ObjectHandle get_track_mixer() const { return track_mixer_; }
    void clear_track_mixer_if(core::ObjectHandle mixer) {
        if (track_mixer_ == mixer) {
            track_mixer_ = 0;
        }
    }
    const RootMotion& get_root_motion() const { return root_; }

    uint32_t status = skeleton_status::released;

private:
    float get_rate() const;
    void create_bones();
    void destroy_bones();

    core::ObjectHandle resource_ = 0;
    SkeletonChannel channels_[maximum_skeleton_channels];
    core::ObjectHandle track_mixer_ = 0;
    uint32_t last_update_time_ = 0;
    float speed_ = 1;
    uint8_t group_ = 0;
    core::ObjectHandle placement_ = 0;
    RootMotion root_;
    uint8_t advance_always_ = 1;
    bool bounds_valid_ = false;
    SkeletonBounds bounds_;
    float scale_ = 1;
    uint8_t pose_frozen_ = 0;
    uint8_t pose_dirty_ = 1;
};

// Posts an animation event to the skeleton's context as a message on the
// clock being run, with the event, mixer and animator as properties.
void post_animation_event(const Skeleton& skeleton, uint32_t event_id, uint32_t first_data, uint32_t second_data,
                          core::ObjectHandle track_mixer, core::ObjectHandle animator);

}  // namespace zolt::animation
