#include "zolt/renderer/animation/skeleton_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/renderer/animation/animator_server.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/animation/track_mixer_server.h"

namespace zolt::animation {
namespace {

Skeleton* find(SkeletonHandle handle) {
    return skeleton_server.find_skeleton(handle.value);
}

// The channel record, or none for a channel the skeleton does not have.
bool read_record(const Skeleton* skeleton, uint32_t channel, ChannelRecord* record) {
    if (skeleton == nullptr || channel >= skeleton->get_channel_count()) {
        return false;
    }
    const SkeletonView view = skeleton->get_view();
    *record = read_channel_record(view.data, view.header, channel);
    return true;
}

bool read_bone_rest(const Skeleton* skeleton, uint32_t bone, RestRecord* rest) {
    if (skeleton == nullptr || bone >= skeleton->get_bone_count()) {
        return false;
    }
    const SkeletonView view = skeleton->get_view();
    *rest = read_rest_record(view.data, view.header, bone);
    return true;
}

template <typename Visit>
void for_each_skeleton_in_groups(uint32_t mask, Visit visit) {
    if (!skeleton_server.is_registered()) {
        return;
    }
    core::for_each_live_object(&skeleton_server, [&](core::ServerObject* object) {
        auto* const skeleton = static_cast<Skeleton*>(object);
        if ((mask >> skeleton->get_group() & 1u) != 0) {
            visit(*skeleton);
        }
    });
}

}  // namespace

uint32_t find_skeleton_bone(SkeletonHandle handle, uint32_t key) {
    const Skeleton* const skeleton = find(handle);
    return skeleton != nullptr ? skeleton->find_channel(key, true) : no_parent;
}

uint32_t find_skeleton_factor(SkeletonHandle handle, uint32_t key) {
    const Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr) {
        return no_parent;
    }
    const uint32_t channel = skeleton->find_channel(key, false);
    const uint32_t bones = skeleton->get_bone_count();
    return channel != no_parent && channel >= bones ? channel - bones : no_parent;
}

uint32_t get_skeleton_channel_parent(SkeletonHandle handle, uint32_t channel) {
    ChannelRecord record;
    return read_record(find(handle), channel, &record) ? record.parent : no_parent;
}

uint32_t get_skeleton_channel_kind(SkeletonHandle handle, uint32_t channel) {
    ChannelRecord record;
    return read_record(find(handle), channel, &record) ? record.kind : 0;
}

uint32_t get_skeleton_channel_attribute(SkeletonHandle handle, uint32_t channel) {
    ChannelRecord record;
    return read_record(find(handle), channel, &record) ? record.attribute : 0;
}

geometry::Vector3 get_skeleton_bone_rest_position(SkeletonHandle handle, uint32_t bone) {
    RestRecord rest;
    return read_bone_rest(find(handle), bone, &rest) ? rest.position : geometry::Vector3{};
}

geometry::Vector3 get_skeleton_bone_scaled_rest_position(SkeletonHandle handle, uint32_t bone) {
    Skeleton* const skeleton = find(handle);
    RestRecord rest;
    if (!read_bone_rest(skeleton, bone, &rest)) {
        return {};
    }
    float factor = skeleton->get_scale();
    ChannelRecord record;
    if (read_record(skeleton, bone, &record) && record.parent != no_parent) {
        factor *= skeleton->get_channel(record.parent)->value;
    }
    return rest.position * factor;
}

geometry::Quaternion get_skeleton_bone_rest_rotation(SkeletonHandle handle, uint32_t bone) {
    RestRecord rest;
    return read_bone_rest(find(handle), bone, &rest) ? rest.rotation : geometry::identity_quaternion();
}

float get_skeleton_channel_value(SkeletonHandle handle, uint32_t channel) {
    Skeleton* const skeleton = find(handle);
    const SkeletonChannel* const entry = skeleton != nullptr ? skeleton->get_channel(channel) : nullptr;
    return entry != nullptr ? entry->value : 0.0f;
}

void set_skeleton_channel_value(SkeletonHandle handle, uint32_t channel, float value) {
    Skeleton* const skeleton = find(handle);
    if (SkeletonChannel* const entry = skeleton != nullptr ? skeleton->get_channel(channel) : nullptr) {
        entry->value = value;
    }
}

core::PlacementHandle get_skeleton_bone_placement(SkeletonHandle handle, uint32_t bone) {
    Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr || bone >= skeleton->get_bone_count()) {
        return {0};
    }
    return {skeleton->get_channel(bone)->placement};
}

float get_skeleton_factor_value(SkeletonHandle handle, uint32_t factor) {
    Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr || factor >= skeleton->get_channel_count() - skeleton->get_bone_count()) {
        return 0.0f;
    }
    return skeleton->get_channel(skeleton->get_bone_count() + factor)->value;
}

TrackMixerHandle find_skeleton_track_mixer(SkeletonHandle handle, uint32_t key) {
    const Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr || !track_mixer_server.is_registered()) {
        return {0};
    }
    core::ObjectHandle found = 0;
    core::for_each_live_object(&track_mixer_server, [&](core::ServerObject* object) {
        const auto* const mixer = static_cast<const TrackMixer*>(object);
        if (found == 0 && mixer->get_skeleton() == skeleton->get_handle() && mixer->get_key() == key) {
            found = mixer->get_handle();
        }
    });
    return {found};
}

void update_skeleton_pose(SkeletonHandle handle) {
    if (Skeleton* const skeleton = find(handle)) {
        skeleton->update_pose();
    }
}

void update_skeleton_to_time(SkeletonHandle handle, uint32_t time) {
    if (Skeleton* const skeleton = find(handle)) {
        skeleton->update_to_time(time);
    }
}

void advance_skeleton(SkeletonHandle handle, uint32_t delta) {
    if (Skeleton* const skeleton = find(handle)) {
        skeleton->update_to_time(skeleton->get_last_update_time() + delta);
    }
}

int32_t get_skeleton_delay_to_next_event(SkeletonHandle handle) {
    const Skeleton* const skeleton = find(handle);
    const std::optional<uint32_t> delay = skeleton != nullptr ? skeleton->get_delay_to_next_event() : std::nullopt;
    return delay ? static_cast<int32_t>(*delay) : -1;
}

geometry::Vector4 get_skeleton_bounding_sphere(SkeletonHandle handle) {
    Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr) {
        return {};
    }
    const SkeletonBounds& bounds = skeleton->get_bounds();
    return {bounds.centre.x, bounds.centre.y, bounds.centre.z, bounds.radius};
}

geometry::Vector3 get_skeleton_bounds_minimum(SkeletonHandle handle) {
    Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr) {
        return {};
    }
    const SkeletonBounds& bounds = skeleton->get_bounds();
    return bounds.centre - bounds.extents;
}

geometry::Vector3 get_skeleton_bounds_maximum(SkeletonHandle handle) {
    Skeleton* const skeleton = find(handle);
    if (skeleton == nullptr) {
        return {};
    }
    const SkeletonBounds& bounds = skeleton->get_bounds();
    return bounds.centre + bounds.extents;
}

void invalidate_skeleton_bounds(SkeletonHandle handle) {
    if (Skeleton* const skeleton = find(handle)) {
        skeleton->invalidate_bounds();
    }
}

void set_skeleton_group_time_scale(uint32_t mask, float scale) {
    if (skeleton_server.is_registered()) {
        skeleton_server.set_time_scales(mask, scale);
    }
}

void update_skeleton_group_to_time(uint32_t mask, uint32_t time) {
    for_each_skeleton_in_groups(mask, [time](Skeleton& skeleton) { skeleton.update_to_time(time); });
}

void advance_skeleton_group(uint32_t mask, uint32_t delta) {
    for_each_skeleton_in_groups(
        mask, [delta](Skeleton& skeleton) { skeleton.update_to_time(skeleton.get_last_update_time() + delta); });
}

void update_skeleton_group_pose(uint32_t mask) {
    for_each_skeleton_in_groups(mask, [](Skeleton& skeleton) { skeleton.update_pose(); });
}

void set_track_mixer_animation(TrackMixerHandle handle, uint32_t resource_id, bool loop) {
    if (TrackMixer* const mixer = track_mixer_server.find_track_mixer(handle.value)) {
        mixer->replace_animator(resource_id, loop, false);
    }
}

void set_track_mixer_fixed_animation(TrackMixerHandle handle, uint32_t resource_id) {
    if (TrackMixer* const mixer = track_mixer_server.find_track_mixer(handle.value)) {
        mixer->replace_animator(resource_id, false, true);
    }
}

void sync_animator_position(AnimatorHandle target, AnimatorHandle source) {
    Animator* const to = animator_server.find_animator(target.value);
    const Animator* const from = animator_server.find_animator(source.value);
    if (to != nullptr && from != nullptr) {
        to->copy_phase(*from);
    }
}

void bind_skeleton_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::find_skeleton_bone, &find_skeleton_bone>(table);
    bind_builtin<BuiltinId::find_skeleton_factor, &find_skeleton_factor>(table);
    bind_builtin<BuiltinId::get_skeleton_channel_parent, &get_skeleton_channel_parent>(table);
    bind_builtin<BuiltinId::get_skeleton_channel_kind, &get_skeleton_channel_kind>(table);
    bind_builtin<BuiltinId::get_skeleton_channel_attribute, &get_skeleton_channel_attribute>(table);
    bind_builtin<BuiltinId::get_skeleton_bone_rest_position, &get_skeleton_bone_rest_position>(table);
    bind_builtin<BuiltinId::get_skeleton_bone_scaled_rest_position, &get_skeleton_bone_scaled_rest_position>(table);
    bind_builtin<BuiltinId::get_skeleton_bone_rest_rotation, &get_skeleton_bone_rest_rotation>(table);
    bind_builtin<BuiltinId::get_skeleton_channel_value, &get_skeleton_channel_value>(table);
    bind_builtin<BuiltinId::set_skeleton_channel_value, &set_skeleton_channel_value>(table);
    bind_builtin<BuiltinId::get_skeleton_bone_placement, &get_skeleton_bone_placement>(table);
    bind_builtin<BuiltinId::get_skeleton_factor_value, &get_skeleton_factor_value>(table);
    bind_builtin<BuiltinId::find_skeleton_track_mixer, &find_skeleton_track_mixer>(table);
    bind_builtin<BuiltinId::update_skeleton_pose, &update_skeleton_pose>(table);
    bind_builtin<BuiltinId::update_skeleton_to_time, &update_skeleton_to_time>(table);
    bind_builtin<BuiltinId::advance_skeleton, &advance_skeleton>(table);
    bind_builtin<BuiltinId::get_skeleton_delay_to_next_event, &get_skeleton_delay_to_next_event>(table);
    bind_builtin<BuiltinId::get_skeleton_bounding_sphere, &get_skeleton_bounding_sphere>(table);
    bind_builtin<BuiltinId::get_skeleton_bounds_minimum, &get_skeleton_bounds_minimum>(table);
    bind_builtin<BuiltinId::get_skeleton_bounds_maximum, &get_skeleton_bounds_maximum>(table);
    bind_builtin<BuiltinId::invalidate_skeleton_bounds, &invalidate_skeleton_bounds>(table);
    bind_builtin<BuiltinId::set_skeleton_group_time_scale, &set_skeleton_group_time_scale>(table);
    bind_builtin<BuiltinId::update_skeleton_group_to_time, &update_skeleton_group_to_time>(table);
    bind_builtin<BuiltinId::advance_skeleton_group, &advance_skeleton_group>(table);
    bind_builtin<BuiltinId::update_skeleton_group_pose, &update_skeleton_group_pose>(table);
}

void bind_track_mixer_builtins(core::BuiltinTable& table) {
    core::bind_builtin<core::BuiltinId::set_track_mixer_animation, &set_track_mixer_animation>(table);
    core::bind_builtin<core::BuiltinId::set_track_mixer_fixed_animation, &set_track_mixer_fixed_animation>(table);
}

void bind_animator_builtins(core::BuiltinTable& table) {
    core::bind_builtin<core::BuiltinId::sync_animator_position, &sync_animator_position>(table);
}

}  // namespace zolt::animation
