#include "zolt/core/placement/placement.h"

#include <initializer_list>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_stream_words.h"
#include "zolt/core/placement/placement_track.h"

namespace zolt::core {

using geometry::Quaternion;
using geometry::Vector3;

namespace {

// The typed id of a key this class answers, else 0.
uint32_t get_typed_id(uint32_t key) {
    switch (key) {
    case 9:
        return placement_property::parent;
    case 11:
        return placement_property::position;
    case 12:
        return placement_property::rotation;
    case 53:
        return placement_property::change_count;
    case 54:
        return placement_property::world_position;
    case 55:
        return placement_property::local_position;
    case 56:
        return placement_property::world_rotation;
    case 57:
        return placement_property::local_rotation;
    case 58:
        return placement_property::copy_source;
    case 59:
        return placement_property::copy_mode;
    case 60:
        return placement_property::tracked;
    case 61:
        return placement_property::maximum_extrapolation;
    case 62:
        return placement_property::time_offset;
    default:
        return 0;
    }
}

ObjectHandle handle_of(const Placement* placement) {
    return placement != nullptr ? placement->get_handle() : 0;
}

void set_vector(Property& out, uint32_t type_word, const Vector3& vector) {
    const float lanes[3] = {vector.x, vector.y, vector.z};
    out.set_floats(type_word, lanes, 3);
}

void set_quaternion(Property& out, uint32_t type_word, const Quaternion& rotation) {
    const float lanes[4] = {rotation.x, rotation.y, rotation.z, rotation.w};
    out.set_floats(type_word, lanes, 4);
}

Vector3 get_vector(const Property& value) {
    return {value.get_float(0), value.get_float(1), value.get_float(2)};
}

Quaternion get_quaternion(const Property& value) {
    return {value.get_float(0), value.get_float(1), value.get_float(2), value.get_float(3)};
}

}  // namespace

bool Placement::get_property(uint32_t id, Property& out) const {
    const uint32_t key = id & 0xFFFFFFu;
    const uint32_t typed_id = get_typed_id(key);
    if (typed_id == 0 || (id != key && id != typed_id)) {
        return ServerObject::get_property(id, out);
    }
    // Reading brings cached values up to date; that changes no value.
    auto* const self = const_cast<Placement*>(this);
    const uint32_t type_word = typed_id & 0xFF000000u;
    switch (key) {
    case 9:
        out.set_u32(type_word, handle_of(parent_));
        return true;
    case 11:
    case 54:
        set_vector(out, type_word, self->get_world_position());
        return true;
    case 12:
    case 56:
        set_quaternion(out, type_word, self->get_world_rotation());
        return true;
    case 53:
        out.set_u32(type_word, change_count_);
        return true;
    case 55:
        set_vector(out, type_word, self->get_local_position());
        return true;
    case 57:
        set_quaternion(out, type_word, self->get_local_rotation());
        return true;
    case 58:
        out.set_u32(type_word, handle_of(copy_source_));
        return true;
    case 59:
        out.set_u32(type_word, copy_mode_);
        return true;
    case 60:
        out.set_u32(type_word, track_ != nullptr ? 1 : 0);
        return true;
    case 61:
        if (track_ == nullptr) {
            return false;
        }
        out.set_u32(type_word, track_->maximum_extrapolation);
        return true;
    default:
        if (track_ == nullptr) {
            return false;
        }
        out.set_u32(type_word, static_cast<uint32_t>(track_->time_offset));
        return true;
    }
}

bool Placement::set_property(uint32_t id, const Property& value) {
    switch (id) {
    case placement_property::parent:
    case placement_property::copy_source: {
        const ObjectHandle handle = value.get_u32();
        Placement* const placement = handle != 0 ? get_placement_object(handle) : nullptr;
        if (handle != 0 && placement == nullptr) {
            return false;
        }
        return id == placement_property::parent ? set_parent(placement) : set_copy_source(placement);
    }
    case placement_property::position:
    case placement_property::world_position:
        if (copy_source_ != nullptr || track_ != nullptr) {
            return false;
        }
        set_world_position(get_vector(value));
        return true;
    case placement_property::rotation:
    case placement_property::world_rotation:
        if (copy_source_ != nullptr || track_ != nullptr) {
            return false;
        }
        set_world_rotation(get_quaternion(value));
        return true;
    case placement_property::local_position:
        if (copy_source_ != nullptr) {
            return false;
        }
        set_local_position(get_vector(value));
        return true;
    case placement_property::local_rotation:
        if (copy_source_ != nullptr) {
            return false;
        }
        set_local_rotation(get_quaternion(value));
        return true;
    case placement_property::copy_mode:
        return set_copy_mode(value.get_u32());
    case placement_property::tracked:
        if (value.get_u32() == 0) {
            remove_track();
            return true;
        }
        return create_track();
    case placement_property::maximum_extrapolation:
        if (track_ == nullptr || value.get_u32() > maximum_extrapolation_limit) {
            return false;
        }
        if (value.get_u32() != track_->maximum_extrapolation) {
            track_->maximum_extrapolation = value.get_u32();
            track_->forget_samples();
            resample_track();
        }
        return true;
    case placement_property::time_offset:
        if (track_ == nullptr) {
            return false;
        }
        if (value.get_s32() != track_->time_offset) {
            track_->time_offset = value.get_s32();
            resample_track();
        }
        return true;
    default:
        return ServerObject::set_property(id, value);
    }
}

void Placement::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u8(stream, authority_);
    write_u8(stream, validity_);
    write_u8(stream, copy_mode_);
    for (const float lane : {world_position_.x, world_position_.y, world_position_.z, local_position_.x,
                             local_position_.y, local_position_.z}) {
        write_f32(stream, lane);
    }
    storage::write_vector_pair(stream, world_rotation_, local_rotation_);
    write_u32(stream, change_count_);
    write_u32(stream, attached_object_);
}

bool Placement::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream)) {
        return false;
    }
    reset_fields();
    uint8_t saved_validity = 0;
    if (!read_u8(stream, authority_) || !read_u8(stream, saved_validity) || !read_u8(stream, copy_mode_)) {
        return false;
    }
    for (float* lane : {&world_position_.x, &world_position_.y, &world_position_.z, &local_position_.x,
                        &local_position_.y, &local_position_.z}) {
        if (!read_f32(stream, *lane)) {
            return false;
        }
    }
    if (!storage::read_vector_pair(stream, world_rotation_, local_rotation_) || !read_u32(stream, change_count_) ||
        !read_u32(stream, attached_object_)) {
        return false;
    }
    if (authority_ > (placement_authority::position | placement_authority::rotation) ||
        copy_mode_ > copy_mode::local_to_world) {
        return false;
    }
    // A restored track samples again at the restored playback time.
    validity_ = saved_validity & (placement_validity::values | placement_validity::copy_applied);
    return true;
}

}  // namespace zolt::core
