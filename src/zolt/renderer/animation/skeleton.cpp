#include "zolt/renderer/animation/skeleton.h"

#include <cmath>

#include "libs/utility/fatal_error.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/animation/temporary_pose_pool.h"
#include "zolt/renderer/animation/track_mixer_server.h"

namespace zolt::animation {
namespace {

constexpr uint32_t unsigned_type = core::property_type::unsigned_integer << 24;
constexpr uint32_t link_type = core::property_type::object_link << 24;
constexpr uint32_t float_type = core::property_type::floating << 24;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

core::Placement* find_placement(core::ObjectHandle handle) {
    return handle != 0 && core::placement_server.is_registered() ? core::placement_server.get_typed_object(handle)
                                                                 : nullptr;
}

const core::ResourceObject* find_resource(core::ObjectHandle handle) {
    if (handle == 0 || core::get_handle_server_type(handle) != core::server_type::resource) {
        return nullptr;
    }
    return static_cast<const core::ResourceObject*>(core::get_object(handle));
}

// True when the resource is open and holds a sound skeleton.
bool check_resource(const core::ResourceObject* resource, std::string* error) {
    if (resource == nullptr || resource->get_data() == nullptr || resource->get_info() == nullptr) {
        *error = "not open";
        return false;
    }
    return check_skeleton_resource(resource->get_info()->id, static_cast<const uint8_t*>(resource->get_data()),
                                   resource->get_info()->unpacked_size, error);
}

void post_u32(core::Message* message, uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    message->set_property(id, property);
}

}  // namespace

void post_animation_event(const Skeleton& skeleton, uint32_t event_id, uint32_t first_data, uint32_t second_data,
                          core::ObjectHandle track_mixer, core::ObjectHandle animator) {
    core::Message* const message =
        core::post_message(animation_event_message | event_id, animator, skeleton.get_context_handle(), 0);
    if (message == nullptr) {
        return;
    }
    namespace p = animation_event_property;
    const TrackMixer* const mixer = track_mixer_server.find_track_mixer(track_mixer);
    post_u32(message, p::event_id, event_id);
    post_u32(message, p::first_data, first_data);
    post_u32(message, p::second_data, second_data);
    post_u32(message, p::skeleton, skeleton.get_handle());
    post_u32(message, p::track_mixer, track_mixer);
    post_u32(message, p::track_mixer_key, mixer != nullptr ? mixer->get_key() : 0);
    post_u32(message, p::animator, animator);
    post_u32(message, p::parent_mixer, mixer != nullptr ? mixer->get_parent() : 0);
}

SkeletonView Skeleton::get_view() const {
    const core::ResourceObject* const resource = find_resource(resource_);
    if (resource == nullptr || resource->get_data() == nullptr) {
        return {};
    }
    const auto* const data = static_cast<const uint8_t*>(resource->get_data());
    return {data, read_skeleton_header(data)};
}

void Skeleton::initialize(uint32_t resource_id) {
    core::ResourceObject* const resource = core::resource_server.open_resource(resource_id);
    std::string error;
    if (!check_resource(resource, &error)) {
        ZOLT_PANIC("skeleton resource 0x%08x is broken: %s", resource_id, error.c_str());
    }
    resource_ = resource->get_handle();
    create_bones();
    track_mixer_ = 0;
    last_update_time_ = 0;
    speed_ = 1;
    group_ = 0;
    placement_ = 0;
    root_ = {};
    advance_always_ = 1;
    bounds_valid_ = false;
    scale_ = 1;
    pose_frozen_ = 0;
    pose_dirty_ = 1;
    write_pose_buffer(skeleton_server.get_pose_buffer(*this), true);
}

void Skeleton::create_bones() {
    const SkeletonView view = get_view();
    const uint32_t bones = view.header.bone_count;
    for (uint32_t channel = 0; channel < view.header.channel_count(); ++channel) {
        SkeletonChannel& entry = channels_[channel];
        if (channel < bones) {
            const RestRecord rest = read_rest_record(view.data, view.header, channel);
            core::Placement* const placement = core::placement_server.create_placement();
            placement->set_local_position(rest.position);
            placement->set_local_rotation(rest.rotation);
            entry = {placement->get_handle(), 1.0f};
        } else {
            entry = {0, read_factor_default(view.data, view.header, channel)};
        }
    }
    for (uint32_t bone = 0; bone < bones; ++bone) {
        const uint32_t parent = read_channel_record(view.data, view.header, bone).parent;
        if (parent != no_parent) {
            find_placement(channels_[bone].placement)->set_parent(find_placement(channels_[parent].placement));
        }
    }
}

void Skeleton::destroy_bones() {
    const uint32_t count = get_channel_count();
    // Children first, so no placement outlives the one it hangs under.
    for (uint32_t channel = count; channel-- > 0;) {
        if (core::Placement* const placement = find_placement(channels_[channel].placement)) {
            core::destroy_object(placement);
        }
        channels_[channel] = {};
    }
}

void Skeleton::finalize() {
    if (track_mixer_server.is_registered()) {
        core::for_each_live_object(&track_mixer_server, [this](core::ServerObject* object) {
            auto* const mixer = static_cast<TrackMixer*>(object);
            if (mixer->get_skeleton() == get_handle()) {
                mixer->bind_to_skeleton(0);
            }
        });
    }
    track_mixer_ = 0;
    destroy_bones();
    if (const core::ResourceObject* const resource = find_resource(resource_)) {
        core::resource_server.destroy_object_internal(const_cast<core::ResourceObject*>(resource));
    }
    resource_ = 0;
    placement_ = 0;
}

uint32_t Skeleton::find_channel(uint32_t key, bool bones_only) const {
    const SkeletonView view = get_view();
    const uint32_t count = view.header.channel_count();
    for (uint32_t index = 0; index < count; ++index) {
        const KeyEntry entry = read_skeleton_key(view.data, view.header, index);
        if (entry.key == key) {
            return bones_only && entry.channel >= view.header.bone_count ? no_parent : entry.channel;
        }
        if (entry.key > key) {
            break;
        }
    }
    return no_parent;
}

float Skeleton::get_rate() const {
    return speed_ * skeleton_server.get_time_scale(group_);
}

void Skeleton::update_to_time(uint32_t time) {
    // A time before the last one (as a wrap-safe difference) is a new start,
    // not a step of hours that would replay every event of the gap.
    const bool goes_back = static_cast<int32_t>(time - last_update_time_) < 0;
    const std::optional<float> step = compute_skeleton_step(last_update_time_, goes_back ? last_update_time_ : time,
                                                            speed_, skeleton_server.get_time_scale(group_));
    if (step && (advances_always() || *step > 0)) {
        if (TrackMixer* const mixer = track_mixer_server.find_track_mixer(track_mixer_)) {
            if (!mixer->advance(*step)) {
                core::destroy_object(mixer);
                track_mixer_ = 0;
            } else if (*step > 0) {
                MixedBone motion;
                mixer->mix_root_motion(motion);
                accumulate_root_motion(root_, motion.position, motion.rotation);
            }
        }
    }
    last_update_time_ = time;
}

void Skeleton::update_pose() {
    const SkeletonView view = get_view();
    const uint32_t count = view.header.channel_count();
    TemporaryPose pose(count);
    if (const TrackMixer* const mixer = track_mixer_server.find_track_mixer(track_mixer_)) {
        mixer->evaluate(pose.get());
    }
    const uint32_t bones = view.header.bone_count;
    for (uint32_t bone = 0; bone < bones; ++bone) {
        core::Placement* const placement = find_placement(channels_[bone].placement);
        // A bone that another placement drives keeps what it is given.
        if (placement == nullptr || placement->get_copy_source() != nullptr) {
            continue;
        }
        float scale = scale_;
        const uint32_t parent = read_channel_record(view.data, view.header, bone).parent;
        if (parent != no_parent) {
            scale *= channels_[parent].value;
        }
        placement->set_local_position(pose[bone].position * scale);
        placement->set_local_rotation(geometry::normalize(pose[bone].rotation));
    }
    for (uint32_t channel = bones; channel < count; ++channel) {
        channels_[channel].value = pose[channel].position.x;
    }
    bounds_valid_ = false;
}

std::optional<uint32_t> Skeleton::get_delay_to_next_event() const {
    const float rate = get_rate();
    if (!advances_always() || !(rate > negligible_weight)) {
        return std::nullopt;
    }
    const TrackMixer* const mixer = track_mixer_server.find_track_mixer(track_mixer_);
    const std::optional<float> delay = mixer != nullptr ? mixer->get_delay_to_nearest_event() : std::nullopt;
    if (!delay) {
        return std::nullopt;
    }
    const double ticks = std::floor(double(*delay) / rate);
    return ticks >= double(INT32_MAX) ? uint32_t{INT32_MAX} : static_cast<uint32_t>(ticks);
}

const SkeletonBounds& Skeleton::get_bounds() {
    if (!bounds_valid_) {
        geometry::Vector3 positions[maximum_skeleton_bones];
        const uint32_t bones = get_bone_count();
        for (uint32_t bone = 0; bone < bones; ++bone) {
            core::Placement* const placement = find_placement(channels_[bone].placement);
            positions[bone] = placement != nullptr ? placement->get_world_position() : geometry::Vector3{};
        }
        bounds_ = compute_skeleton_bounds(positions, bones);
        bounds_valid_ = true;
    }
    return bounds_;
}

void Skeleton::write_pose_buffer(PoseBuffer& buffer, bool always_factors) {
    pose_dirty_ = 0;
    const SkeletonView view = get_view();
    if (view.data == nullptr) {
        return;
    }
    BoneWorldTransform world[maximum_skeleton_bones];
    const uint32_t bones = view.header.bone_count;
    for (uint32_t bone = 0; bone < bones; ++bone) {
        core::Placement* const placement = find_placement(channels_[bone].placement);
        world[bone] = placement != nullptr
                          ? BoneWorldTransform{placement->get_world_position(), placement->get_world_rotation()}
                          : BoneWorldTransform{{}, geometry::identity_quaternion()};
    }
    write_skinning_matrices(view, world, scale_, &buffer);
    if (always_factors || buffer.factor_count != 0) {
        float values[maximum_skeleton_channels];
        for (uint32_t factor = 0; factor < view.header.factor_count; ++factor) {
            values[factor] = channels_[bones + factor].value;
        }
        write_animated_factors(view, values, &buffer);
    }
}

bool Skeleton::get_property(uint32_t id, core::Property& out) const {
    namespace p = skeleton_property;
    if (names(id, p::placement)) {
        out.set_u32(link_type, placement_);
    } else if (names(id, p::scale)) {
        out.set_float(float_type, scale_);
    } else if (names(id, p::last_update_time)) {
        out.set_u32(unsigned_type, last_update_time_);
    } else if (names(id, p::group_mask)) {
        out.set_u32(unsigned_type, 1u << group_);
    } else if (names(id, p::pose_frozen)) {
        out.set_u32(unsigned_type, pose_frozen_);
    } else if (names(id, p::bone_count)) {
        out.set_u32(unsigned_type, get_bone_count());
    } else if (names(id, p::factor_count)) {
        out.set_u32(unsigned_type, get_view().header.factor_count);
    } else if (names(id, p::track_mixer)) {
        out.set_u32(link_type, track_mixer_);
    } else if (names(id, p::speed)) {
        out.set_float(float_type, speed_);
    } else if (names(id, p::root_position)) {
        const float values[3] = {root_.position.x, root_.position.y, root_.position.z};
        out.set_floats(core::property_type::vector3 << 24, values, 3);
    } else if (names(id, p::root_rotation)) {
        const float values[4] = {root_.rotation.x, root_.rotation.y, root_.rotation.z, root_.rotation.w};
        out.set_floats(core::property_type::quaternion << 24, values, 4);
    } else if (names(id, p::group)) {
        out.set_u32(unsigned_type, group_);
    } else if (names(id, p::advance_always)) {
        out.set_u32(unsigned_type, advance_always_);
    } else {
        return ServerObject::get_property(id, out);
    }
    return true;
}

bool Skeleton::set_property(uint32_t id, const core::Property& value) {
    namespace p = skeleton_property;
    const uint32_t word = value.get_u32();
    switch (id) {
    case p::placement:
        if (word != 0 &&
            (core::get_handle_server_type(word) != core::server_type::placement || find_placement(word) == nullptr)) {
            return false;
        }
        placement_ = word;
        return true;
    case p::scale:
        scale_ = value.get_float();
        return true;
    case p::last_update_time:
        last_update_time_ = word;
        return true;
    case p::group_mask:
        if (word == 0 || (word & (word - 1)) != 0) {
            return false;
        }
        group_ = static_cast<uint8_t>(__builtin_ctz(word));
        return true;
    case p::pose_frozen:
        pose_frozen_ = word != 0 ? 1 : 0;
        pose_dirty_ = 1;
        return true;
    case p::track_mixer: {
        if (word == 0) {
            track_mixer_ = 0;
            return true;
        }
        const TrackMixer* const mixer = track_mixer_server.find_track_mixer(word);
        if (mixer == nullptr || mixer->get_skeleton() != get_handle()) {
            return false;
        }
        track_mixer_ = word;
        return true;
    }
    case p::speed:
        // Negative or not a number.
        if (!(value.get_float() >= 0)) {
            return false;
        }
        speed_ = value.get_float();
        return true;
    case p::group:
        if (word >= skeleton_group_count) {
            return false;
        }
        group_ = static_cast<uint8_t>(word);
        return true;
    case p::reset_root_motion:
        root_ = {};
        return true;
    case p::advance_always:
        advance_always_ = word != 0 ? 1 : 0;
        return true;
    default:
        return ServerObject::set_property(id, value);
    }
}

void Skeleton::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, resource_);
    core::write_u32(stream, track_mixer_);
    core::write_u32(stream, last_update_time_);
    core::write_f32(stream, speed_);
    core::write_u8(stream, group_);
    core::write_u32(stream, placement_);
    core::write_f32(stream, root_.position.x);
    core::write_f32(stream, root_.position.y);
    core::write_f32(stream, root_.position.z);
    core::write_f32(stream, root_.rotation.x);
    core::write_f32(stream, root_.rotation.y);
    core::write_f32(stream, root_.rotation.z);
    core::write_f32(stream, root_.rotation.w);
    core::write_u8(stream, advance_always_);
    core::write_f32(stream, bounds_valid_ ? bounds_.radius : -1.0f);
    core::write_f32(stream, bounds_.centre.x);
    core::write_f32(stream, bounds_.centre.y);
    core::write_f32(stream, bounds_.centre.z);
    core::write_f32(stream, bounds_.extents.x);
    core::write_f32(stream, bounds_.extents.y);
    core::write_f32(stream, bounds_.extents.z);
    core::write_f32(stream, scale_);
    core::write_u8(stream, pose_frozen_);
    for (uint32_t channel = 0; channel < get_channel_count(); ++channel) {
        core::write_u32(stream, channels_[channel].placement);
        core::write_f32(stream, channels_[channel].value);
    }
    core::for_each_live_object(&track_mixer_server, [&](core::ServerObject* object) {
        if (static_cast<TrackMixer*>(object)->get_skeleton() == get_handle()) {
            core::write_u32(stream, object->get_handle());
        }
    });
    core::write_u32(stream, 0);
}

bool Skeleton::load(storage::LoadStream& stream) {
    float radius = -1;
    if (!ServerObject::load(stream) || !core::read_u32(stream, resource_)) {
        return false;
    }
    std::string error;
    if (!check_resource(find_resource(resource_), &error)) {
        resource_ = 0;
        return false;
    }
    const bool read = core::read_u32(stream, track_mixer_) && core::read_u32(stream, last_update_time_) &&
                      core::read_f32(stream, speed_) && core::read_u8(stream, group_) &&
                      core::read_u32(stream, placement_) && core::read_f32(stream, root_.position.x) &&
                      core::read_f32(stream, root_.position.y) && core::read_f32(stream, root_.position.z) &&
                      core::read_f32(stream, root_.rotation.x) && core::read_f32(stream, root_.rotation.y) &&
                      core::read_f32(stream, root_.rotation.z) && core::read_f32(stream, root_.rotation.w) &&
                      core::read_u8(stream, advance_always_) && core::read_f32(stream, radius) &&
                      core::read_f32(stream, bounds_.centre.x) && core::read_f32(stream, bounds_.centre.y) &&
                      core::read_f32(stream, bounds_.centre.z) && core::read_f32(stream, bounds_.extents.x) &&
                      core::read_f32(stream, bounds_.extents.y) && core::read_f32(stream, bounds_.extents.z) &&
                      core::read_f32(stream, scale_) && core::read_u8(stream, pose_frozen_);
    if (!read || group_ >= skeleton_group_count) {
        return false;
    }
    bounds_.radius = radius;
    bounds_valid_ = radius >= 0;
    pose_dirty_ = 1;
    const SkeletonView view = get_view();
    for (uint32_t channel = 0; channel < view.header.channel_count(); ++channel) {
        if (!core::read_u32(stream, channels_[channel].placement) ||
            !core::read_f32(stream, channels_[channel].value)) {
            return false;
        }
        const bool is_bone = channel < view.header.bone_count;
        if (is_bone != (find_placement(channels_[channel].placement) != nullptr)) {
            return false;
        }
    }
    uint32_t mixer_handle = 0;
    while (core::read_u32(stream, mixer_handle) && mixer_handle != 0) {
        TrackMixer* const mixer = track_mixer_server.find_track_mixer(mixer_handle);
        if (mixer == nullptr) {
            return false;
        }
        mixer->bind_to_skeleton(get_handle());
    }
    if (mixer_handle != 0) {
        return false;
    }
    const TrackMixer* const root = track_mixer_server.find_track_mixer(track_mixer_);
    if (track_mixer_ != 0 && (root == nullptr || root->get_skeleton() != get_handle())) {
        return false;
    }
    write_pose_buffer(skeleton_server.get_pose_buffer(*this), true);
    return true;
}

}  // namespace zolt::animation
