#include "zolt/core/placement/placement.h"

#include <initializer_list>

#include "libs/utility/fatal_error.h"
#include "libs/utility/ring_list.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/placement/placement_track.h"

namespace zolt::core {

using geometry::Quaternion;
using geometry::Vector3;
namespace validity = placement_validity;
namespace authority = placement_authority;

namespace {

// Resolving walks the placements a value depends on with this stack instead
// of recursing, so a long chain costs no machine stack. Without cycles a
// placement is on it at most once.
struct ResolveStep {
    Placement* placement;
    uint8_t needed;
};
ResolveStep resolve_stack[placement_capacity];
const Placement* dependency_stack[placement_capacity];

bool copies_from_world(uint8_t mode) {
    return mode == copy_mode::world_to_world || mode == copy_mode::world_to_local;
}

bool copies_into_world(uint8_t mode) {
    return mode == copy_mode::world_to_world || mode == copy_mode::local_to_world;
}

// The validity bits of the values a change of `what` touches.
uint8_t values_of_change(uint32_t what, uint8_t position_bit, uint8_t rotation_bit) {
    return static_cast<uint8_t>(((what & placement_change::position) ? position_bit : 0) |
                                ((what & placement_change::rotation) ? rotation_bit : 0));
}

template <typename Next, typename Visit>
void for_each_in_ring(Placement* first, Next get_next, Visit visit) {
    if (first == nullptr) {
        return;
    }
    Placement* placement = first;
    do {
        Placement* const next = get_next(placement);
        visit(placement);
        placement = next;
    } while (placement != first);
}

}  // namespace

void Placement::reset_fields() {
    parent_ = nullptr;
    next_child_ = previous_child_ = this;
    first_child_placement_ = nullptr;
    copy_source_ = nullptr;
    next_copy_ = previous_copy_ = this;
    first_copy_ = nullptr;
    authority_ = 0;
    validity_ = 0;
    copy_mode_ = copy_mode::world_to_local;
    notifying_attached_object_ = false;
    world_position_ = local_position_ = {};
    world_rotation_ = local_rotation_ = geometry::identity_quaternion();
    change_count_ = 0;
    track_ = nullptr;
    attached_object_ = 0;
}

void Placement::initialize(uint32_t) {
    reset_fields();
    validity_ = validity::values;
}

void Placement::finalize() {
    remove_track();
    attached_object_ = 0;
    // Children stay where they are in the world. One that a track or a copy
    // source drives keeps following it: given world values would shut it out.
    while (Placement* const child = first_child_placement_) {
        if (child->track_ == nullptr && child->copy_source_ == nullptr) {
            const Vector3 position = child->get_world_position();
            const Quaternion rotation = child->get_world_rotation();
            child->set_world_position(position);
            child->set_world_rotation(rotation);
        }
        child->unlink_parent();
        child->notify_changed(placement_change::both);
    }
    unlink_parent();
    unlink_copy_source();
    while (Placement* const copy = first_copy_) {
        copy->set_copy_source(nullptr);
    }
}

void Placement::update_values(uint8_t needed) {
    // The common case: only derived values are missing and the parent is
    // current.
    if ((copy_source_ == nullptr || (validity_ & validity::copy_applied)) &&
        (track_ == nullptr || (validity_ & validity::keyframes_sampled)) &&
        (parent_ == nullptr || parent_->is_current(validity::world))) {
        resolve_missing(needed);
        return;
    }
    uint32_t depth = 0;
    auto push = [&](Placement* placement, uint8_t values) {
        if (depth == placement_capacity) {
            ZOLT_PANIC("placement 0x%08x depends on itself", placement->get_handle());
        }
        resolve_stack[depth++] = {placement, values};
    };
    push(this, needed);
    while (depth > 0) {
        const ResolveStep step = resolve_stack[depth - 1];
        Placement* const placement = step.placement;
        if (placement->copy_source_ != nullptr && !(placement->validity_ & validity::copy_applied)) {
            Placement* const source = placement->copy_source_;
            const uint8_t source_values = copies_from_world(placement->copy_mode_) ? validity::world : validity::local;
            if (!source->is_current(source_values)) {
                push(source, source_values);
                continue;
            }
            placement->apply_copy_source();
        }
        if (placement->track_ != nullptr && !(placement->validity_ & validity::keyframes_sampled)) {
            placement->sample_track();
        }
        const uint8_t missing = step.needed & ~placement->validity_;
        if (missing != 0) {
            Placement* const parent = placement->parent_;
            if (parent != nullptr && !parent->is_current(validity::world)) {
                push(parent, validity::world);
                continue;
            }
            placement->resolve_missing(missing);
        }
        --depth;
    }
}

void Placement::apply_copy_source() {
    const Placement* const source = copy_source_;
    const bool from_world = copies_from_world(copy_mode_);
    const Vector3 position = from_world ? source->world_position_ : source->local_position_;
    const Quaternion rotation = from_world ? source->world_rotation_ : source->local_rotation_;
    if (copies_into_world(copy_mode_)) {
        world_position_ = position;
        world_rotation_ = rotation;
        validity_ = static_cast<uint8_t>((validity_ | validity::world) & ~validity::local);
    } else {
        local_position_ = position;
        local_rotation_ = rotation;
        validity_ = static_cast<uint8_t>((validity_ | validity::local) & ~validity::world);
    }
    validity_ |= validity::copy_applied;
}

void Placement::sample_track() {
    const uint32_t time = placement_server.get_playback_time();
    local_position_ = track_->sample_position(placement_server.get_position_keyframes(), time);
    local_rotation_ = track_->sample_rotation(placement_server.get_rotation_keyframes(), time);
    validity_ = static_cast<uint8_t>((validity_ | validity::local | validity::keyframes_sampled) & ~validity::world);
}

void Placement::resolve_missing(uint8_t needed) {
    const uint8_t missing = needed & ~validity_;
    if (missing & (validity::world_position | validity::local_position)) {
        resolve_position();
    }
    if (missing & (validity::world_rotation | validity::local_rotation)) {
        resolve_rotation();
    }
}

void Placement::resolve_position() {
    const Placement* const parent = parent_;
    if (authority_ & authority::position) {
        world_position_ = parent != nullptr
                              ? geometry::rotate(parent->world_rotation_, local_position_) + parent->world_position_
                              : local_position_;
    } else {
        local_position_ = parent != nullptr ? geometry::rotate(geometry::conjugate(parent->world_rotation_),
                                                               world_position_ - parent->world_position_)
                                            : world_position_;
    }
    validity_ |= validity::world_position | validity::local_position;
}

void Placement::resolve_rotation() {
    const Placement* const parent = parent_;
    if (authority_ & authority::rotation) {
        world_rotation_ =
            parent != nullptr ? geometry::normalize(parent->world_rotation_ * local_rotation_) : local_rotation_;
    } else {
        local_rotation_ = parent != nullptr
                              ? geometry::normalize(geometry::conjugate(parent->world_rotation_) * world_rotation_)
                              : world_rotation_;
    }
    validity_ |= validity::world_rotation | validity::local_rotation;
}

Vector3 Placement::world_to_local(const Vector3& point) {
    const Vector3 position = get_world_position();
    return geometry::rotate(geometry::conjugate(get_world_rotation()), point - position);
}

void Placement::tell_attached_object() {
    if (notifying_attached_object_) {
        return;
    }
    if (ServerObject* const attached = get_object(attached_object_)) {
        notifying_attached_object_ = true;
        attached->placement_changed();
        notifying_attached_object_ = false;
    }
}

void Placement::notify_dependents(uint32_t what) {
    for_each_in_ring(
        first_child_placement_, [](Placement* p) { return p->next_child_; },
        [what](Placement* child) { child->propagate_change(what, false); });
    for_each_in_ring(
        first_copy_, [](Placement* p) { return p->next_copy_; },
        [what](Placement* copy) { copy->notify_copy_changed(what); });
}

void Placement::propagate_change(uint32_t what, bool given_values_changed) {
    count_change();
    uint8_t invalidated = 0;
    if (what & placement_change::position) {
        const uint8_t derived =
            (authority_ & authority::position) ? validity::world_position : validity::local_position;
        invalidated |= validity_ & derived;
        validity_ &= static_cast<uint8_t>(~derived);
    }
    if (what & placement_change::rotation) {
        const uint8_t derived =
            (authority_ & authority::rotation) ? validity::world_rotation : validity::local_rotation;
        invalidated |= validity_ & derived;
        validity_ &= static_cast<uint8_t>(~derived);
    }
    // A value nobody read since it last became invalid cannot be held stale
    // anywhere below.
    if (invalidated == 0 && !given_values_changed) {
        return;
    }
    const uint8_t given_world =
        values_of_change(what, (authority_ & authority::position) ? 0 : validity::world_position,
                         (authority_ & authority::rotation) ? 0 : validity::world_rotation);
    // Children read only the world values; copies may read the local ones.
    if ((invalidated & validity::world) != 0 || (given_values_changed && given_world != 0)) {
        for_each_in_ring(
            first_child_placement_, [](Placement* p) { return p->next_child_; },
            [what](Placement* child) { child->propagate_change(what, false); });
    }
    for_each_in_ring(
        first_copy_, [](Placement* p) { return p->next_copy_; },
        [what](Placement* copy) { copy->notify_copy_changed(what); });
}

void Placement::notify_copy_changed(uint32_t what) {
    // The copied values themselves go stale; if they were applied, someone
    // may have read them.
    const bool was_applied = (validity_ & validity::copy_applied) != 0;
    validity_ &= static_cast<uint8_t>(~validity::copy_applied);
    propagate_change(what, was_applied);
}

void Placement::notify_changed(uint32_t what) {
    propagate_change(what, false);
}

void Placement::resample_track() {
    const bool was_sampled = (validity_ & validity::keyframes_sampled) != 0;
    validity_ &= static_cast<uint8_t>(~validity::keyframes_sampled);
    propagate_change(placement_change::both, was_sampled);
}

void Placement::set_world_position(const Vector3& position) {
    if (!(authority_ & authority::position) && geometry::equal_xyz(position, world_position_)) {
        return;
    }
    world_position_ = {position.x, position.y, position.z};
    authority_ &= static_cast<uint8_t>(~authority::position);
    validity_ = static_cast<uint8_t>((validity_ | validity::world_position) & ~validity::local_position);
    count_change();
    notify_dependents(placement_change::position);
}

void Placement::set_local_position(const Vector3& position) {
    if (track_ != nullptr) {
        const float value[4] = {position.x, position.y, position.z, 0};
        track_->positions.write(placement_server.get_position_keyframes(), placement_server.get_record_time(), value);
        if (validity_ & validity::keyframes_sampled) {
            resample_track();
        }
        return;
    }
    if ((authority_ & authority::position) && geometry::equal_xyz(position, local_position_)) {
        return;
    }
    local_position_ = {position.x, position.y, position.z};
    authority_ |= authority::position;
    validity_ = static_cast<uint8_t>((validity_ | validity::local_position) & ~validity::world_position);
    count_change();
    notify_dependents(placement_change::position);
}

void Placement::set_world_rotation(const Quaternion& rotation) {
    if (!(authority_ & authority::rotation) && geometry::equal_xyzw(rotation, world_rotation_)) {
        return;
    }
    world_rotation_ = rotation;
    authority_ &= static_cast<uint8_t>(~authority::rotation);
    validity_ = static_cast<uint8_t>((validity_ | validity::world_rotation) & ~validity::local_rotation);
    // Counted and told like the other setters: an attached visual, light or
    // camera must not keep a stale rotation.
    count_change();
    notify_dependents(placement_change::both);
}

void Placement::set_local_rotation(const Quaternion& rotation) {
    if (track_ != nullptr) {
        const float value[4] = {rotation.x, rotation.y, rotation.z, rotation.w};
        track_->rotations.write(placement_server.get_rotation_keyframes(), placement_server.get_record_time(), value);
        if (validity_ & validity::keyframes_sampled) {
            resample_track();
        }
        return;
    }
    if ((authority_ & authority::rotation) && geometry::equal_xyzw(rotation, local_rotation_)) {
        return;
    }
    local_rotation_ = rotation;
    authority_ |= authority::rotation;
    validity_ = static_cast<uint8_t>((validity_ | validity::local_rotation) & ~validity::world_rotation);
    count_change();
    notify_dependents(placement_change::both);
}

bool Placement::depends_on(const Placement* from, const Placement* target) {
    if (from == nullptr) {
        return false;
    }
    const uint32_t mark = placement_server.take_visit_mark();
    uint32_t depth = 0;
    dependency_stack[depth++] = from;
    from->visit_mark_ = mark;
    while (depth > 0) {
        const Placement* const placement = dependency_stack[--depth];
        if (placement == target) {
            return true;
        }
        for (const Placement* next : {placement->parent_, placement->copy_source_}) {
            if (next != nullptr && next->visit_mark_ != mark) {
                next->visit_mark_ = mark;
                dependency_stack[depth++] = next;
            }
        }
    }
    return false;
}

void Placement::link_parent(Placement* parent) {
    parent_ = parent;
    using ChildRing = RingList<Placement, &Placement::next_child_, &Placement::previous_child_>;
    ChildRing::append(parent->first_child_placement_, this);
}

void Placement::unlink_parent() {
    if (parent_ == nullptr) {
        return;
    }
    using ChildRing = RingList<Placement, &Placement::next_child_, &Placement::previous_child_>;
    ChildRing::remove(parent_->first_child_placement_, this);
    next_child_ = previous_child_ = this;
    parent_ = nullptr;
}

void Placement::link_copy_source(Placement* source) {
    copy_source_ = source;
    RingList<Placement, &Placement::next_copy_, &Placement::previous_copy_>::append(source->first_copy_, this);
}

void Placement::unlink_copy_source() {
    if (copy_source_ == nullptr) {
        return;
    }
    using CopyRing = RingList<Placement, &Placement::next_copy_, &Placement::previous_copy_>;
    CopyRing::remove(copy_source_->first_copy_, this);
    next_copy_ = previous_copy_ = this;
    copy_source_ = nullptr;
}

bool Placement::set_parent(Placement* parent) {
    if (parent == parent_) {
        return true;
    }
    if (depends_on(parent, this)) {
        return false;
    }
    unlink_parent();
    if (parent != nullptr) {
        link_parent(parent);
    }
    notify_changed(placement_change::both);
    return true;
}

bool Placement::set_copy_source(Placement* source) {
    if (source == nullptr && copy_source_ == nullptr) {
        return true;
    }
    if (depends_on(source, this)) {
        return false;
    }
    unlink_copy_source();
    if (source != nullptr) {
        link_copy_source(source);
    }
    // The given values start from the origin until the copy is applied.
    if (copies_into_world(copy_mode_)) {
        authority_ = 0;
        world_position_ = {};
        world_rotation_ = geometry::identity_quaternion();
        validity_ = validity::world;
    } else {
        authority_ = authority::position | authority::rotation;
        local_position_ = {};
        local_rotation_ = geometry::identity_quaternion();
        validity_ = validity::local;
    }
    count_change();
    notify_dependents(placement_change::both);
    return true;
}

bool Placement::set_copy_mode(uint32_t mode) {
    if (mode > copy_mode::local_to_world || track_ != nullptr) {
        return false;
    }
    if (mode == copy_mode_) {
        return true;
    }
    copy_mode_ = static_cast<uint8_t>(mode);
    if (copy_source_ != nullptr) {
        set_copy_source(copy_source_);
    }
    return true;
}

bool Placement::create_track() {
    if (copy_source_ != nullptr) {
        return false;
    }
    if (track_ != nullptr) {
        return true;
    }
    if (!placement_server.has_free_track()) {
        return false;
    }
    // Setting the pose again makes the local values the given ones.
    const Vector3 position = get_local_position();
    const Quaternion rotation = get_local_rotation();
    set_local_position(position);
    set_local_rotation(rotation);
    track_ = placement_server.take_track(this, position, rotation);
    validity_ &= static_cast<uint8_t>(~validity::keyframes_sampled);
    return true;
}

void Placement::remove_track() {
    if (track_ == nullptr) {
        return;
    }
    // The placement keeps the pose it has now.
    bring_up_to_date(validity::local);
    placement_server.give_back_track(track_);
    track_ = nullptr;
    validity_ &= static_cast<uint8_t>(~validity::keyframes_sampled);
}

void Placement::drop_keyframes_before(uint32_t time) {
    if (track_ == nullptr) {
        return;
    }
    // Before its first remaining keyframe the track holds the pose it has now.
    track_->base_position = get_local_position();
    track_->base_rotation = get_local_rotation();
    const bool positions_dropped = track_->positions.drop_before(placement_server.get_position_keyframes(), time);
    const bool rotations_dropped = track_->rotations.drop_before(placement_server.get_rotation_keyframes(), time);
    if ((positions_dropped || rotations_dropped) && (validity_ & validity::keyframes_sampled)) {
        resample_track();
    }
}

void Placement::drop_keyframes_after(uint32_t time) {
    if (track_ == nullptr) {
        return;
    }
    const bool positions_dropped = track_->positions.drop_after(placement_server.get_position_keyframes(), time);
    const bool rotations_dropped = track_->rotations.drop_after(placement_server.get_rotation_keyframes(), time);
    if ((positions_dropped || rotations_dropped) && (validity_ & validity::keyframes_sampled)) {
        resample_track();
    }
}

void Placement::drop_all_keyframes() {
    if (track_ == nullptr) {
        return;
    }
    const bool positions_dropped = track_->positions.drop_all(placement_server.get_position_keyframes());
    const bool rotations_dropped = track_->rotations.drop_all(placement_server.get_rotation_keyframes());
    if ((positions_dropped || rotations_dropped) && (validity_ & validity::keyframes_sampled)) {
        resample_track();
    }
}

Placement* get_placement_object(ObjectHandle handle) {
    if (get_server(server_type::placement) != &placement_server) {
        return nullptr;
    }
    ServerObject* const object = resolve_handle(handle);
    if (object == nullptr || get_handle_server_type(object->get_handle()) != server_type::placement) {
        return nullptr;
    }
    return static_cast<Placement*>(object);
}

Placement* get_root_placement() {
    return get_placement_object(root_placement_alias);
}

}  // namespace zolt::core
