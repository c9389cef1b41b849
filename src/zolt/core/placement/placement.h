#pragma once
// Placements: transform nodes that keep a position and a rotation both in
// world space and in the space of a parent placement. Authority bits say
// which of the two is given (the other is derived); validity bits say which
// cached values are current, and values are recomputed only when read. A
// placement may copy its transform from a copy source in one of four modes,
// or follow a keyframe track. Every change is counted and told to the one
// attached object, and passed on only through values that were valid: to
// children when world values change, to copies when any value changes. The
// given values of a copy, or of a tracked placement, count as changed when
// its source or its sample does. Parent and copy-source links never form a
// cycle, so resolving a value always ends. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

class KeyframeTrack;

constexpr uint32_t placement_capacity = 15000;
// Alias slot 11 names the root placement.
constexpr ObjectHandle root_placement_alias = 0x0010000B;

namespace placement_authority {
// A set bit: the local value is given and the world value derived.
constexpr uint8_t position = 1, rotation = 2;
}  // namespace placement_authority

namespace placement_validity {
constexpr uint8_t world_position = 1, world_rotation = 2, local_position = 4, local_rotation = 8, copy_applied = 16,
                  keyframes_sampled = 32;
constexpr uint8_t world = world_position | world_rotation, local = local_position | local_rotation,
                  values = world | local;
}  // namespace placement_validity

// What notify_changed is told.
namespace placement_change {
constexpr uint32_t position = 1, rotation = 2, both = 3;
}  // namespace placement_change

// What is copied from the copy source into what.
namespace copy_mode {
constexpr uint8_t world_to_world = 0, local_to_local = 1, world_to_local = 2, local_to_world = 3;
}  // namespace copy_mode

namespace placement_property {
constexpr uint32_t parent = 0x01000009, position = 0x3000000B, rotation = 0x4100000C, change_count = 0x03000035,
                   world_position = 0x30000036, local_position = 0x30000037, world_rotation = 0x41000038,
                   local_rotation = 0x41000039, copy_source = 0x0100003A, copy_mode = 0x0300003B, tracked = 0x0300003C,
                   maximum_extrapolation = 0x0300003D, time_offset = 0x0400003E;
}  // namespace placement_property

class Placement final : public ServerObject {
public:
    void initialize(uint32_t argument) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;

    geometry::Vector3 get_world_position() {
        bring_up_to_date(placement_validity::world_position);
        return world_position_;
    }
    geometry::Vector3 get_local_position() {
        bring_up_to_date(placement_validity::local_position);
        return local_position_;
    }
    geometry::Quaternion get_world_rotation() {
        bring_up_to_date(placement_validity::world_rotation);
        return world_rotation_;
    }
    geometry::Quaternion get_local_rotation() {
        bring_up_to_date(placement_validity::local_rotation);
        return local_rotation_;
    }
    void set_world_position(const geometry::Vector3& position);
    // On a tracked placement this writes a keyframe at the record time.
    void set_local_position(const geometry::Vector3& position);
    void set_world_rotation(const geometry::Quaternion& rotation);
    void set_local_rotation(const geometry::Quaternion& rotation);
    // The point in this placement's frame.
    geometry::Vector3 world_to_local(const geometry::Vector3& point);
    // what: placement_change bits.
    void notify_changed(uint32_t what);

    Placement* get_parent() const { return parent_; }
    // Refuses a parent that depends on this placement.
    bool set_parent(Placement* parent);
    Placement* get_copy_source() const { return copy_source_; }
    // Null removes the copy source. Refuses a source that depends on this
    // placement. Setting the same source again re-applies it.
    bool set_copy_source(Placement* source);
    uint8_t get_copy_mode() const { return copy_mode_; }
    // Refuses modes above 3 and tracked placements.
    bool set_copy_mode(uint32_t mode);
    KeyframeTrack* get_track() const { return track_; }
    // Refuses a placement with a copy source, or no free track.
    bool create_track();
    void remove_track();
    // Track changes that alter the sample: the placement samples again.
    void resample_track();
    // Nothing on an untracked placement. Dropping the earlier keyframes
    // first keeps the current pose as the pose before the remaining ones.
    void drop_keyframes_before(uint32_t time);
    void drop_keyframes_after(uint32_t time);
    void drop_all_keyframes();

    uint8_t get_authority() const { return authority_; }
    uint8_t get_validity() const { return validity_; }
    uint32_t get_change_count() const { return change_count_; }
    ObjectHandle get_attached_object() const { return attached_object_; }
    // Set by the attached object's own server.
    void set_attached_object(ObjectHandle handle) { attached_object_ = handle; }

    // True when from, or anything its values are computed from, is target.
    static bool depends_on(const Placement* from, const Placement* target);

private:
    friend class PlacementServer;

    // Nothing to apply or sample, and the needed values valid.
    bool is_current(uint8_t needed) const {
        return (copy_source_ == nullptr || (validity_ & placement_validity::copy_applied)) &&
               (track_ == nullptr || (validity_ & placement_validity::keyframes_sampled)) &&
               (validity_ & needed) == needed;
    }
    void bring_up_to_date(uint8_t needed) {
        if (!is_current(needed)) {
            update_values(needed);
        }
    }
    void update_values(uint8_t needed);
    void apply_copy_source();
    void sample_track();
    // The parent's world values must be current.
    void resolve_missing(uint8_t needed);
    void resolve_position();
    void resolve_rotation();
    void count_change() {
        ++change_count_;
        if (attached_object_ != 0) {
            tell_attached_object();
        }
    }
    void tell_attached_object();
    void notify_dependents(uint32_t what);
    void propagate_change(uint32_t what, bool given_values_changed);
    void notify_copy_changed(uint32_t what);
    void link_parent(Placement* parent);
    void unlink_parent();
    void link_copy_source(Placement* source);
    void unlink_copy_source();
    void reset_fields();

    Placement* parent_ = nullptr;
    Placement* next_child_ = this;
    Placement* previous_child_ = this;
    Placement* first_child_placement_ = nullptr;
    Placement* copy_source_ = nullptr;
    Placement* next_copy_ = this;
    Placement* previous_copy_ = this;
    Placement* first_copy_ = nullptr;
    uint8_t authority_ = 0;
    uint8_t validity_ = 0;
    uint8_t copy_mode_ = copy_mode::world_to_local;
    // Set while the attached object hears of a change, so that a change it
    // makes in turn is not told back to it.
    bool notifying_attached_object_ = false;
    // Beside the links and bits, so that a change walking down a hierarchy
    // touches as few cache lines as it can.
    uint32_t change_count_ = 0;
    ObjectHandle attached_object_ = 0;
    // The last dependency walk that reached this placement.
    mutable uint32_t visit_mark_ = 0;
    KeyframeTrack* track_ = nullptr;
    geometry::Vector3 world_position_;
    geometry::Vector3 local_position_;
    geometry::Quaternion world_rotation_;
    geometry::Quaternion local_rotation_;
};

// Null unless the handle resolves to a placement (aliases followed).
Placement* get_placement_object(ObjectHandle handle);
Placement* get_root_placement();

}  // namespace zolt::core
