#pragma once
// The skeleton builtins' bodies (536-560), the skeleton first as the
// builtins take it (on top of the stack). A handle that names no skeleton
// gives the neutral result or does nothing. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::animation {

using SkeletonHandle = core::BuiltinHandle<core::BuiltinKind::skeleton_handle>;
using TrackMixerHandle = core::BuiltinHandle<core::BuiltinKind::track_mixer_handle>;
using AnimatorHandle = core::BuiltinHandle<core::BuiltinKind::animator_handle>;

void bind_skeleton_builtins(core::BuiltinTable& table);

uint32_t find_skeleton_bone(SkeletonHandle skeleton, uint32_t key);
uint32_t find_skeleton_factor(SkeletonHandle skeleton, uint32_t key);
uint32_t get_skeleton_channel_parent(SkeletonHandle skeleton, uint32_t channel);
uint32_t get_skeleton_channel_kind(SkeletonHandle skeleton, uint32_t channel);
uint32_t get_skeleton_channel_attribute(SkeletonHandle skeleton, uint32_t channel);
geometry::Vector3 get_skeleton_bone_rest_position(SkeletonHandle skeleton, uint32_t bone);
// The rest offset as the pose applies it: times the scale and the parent's
// channel value.
geometry::Vector3 get_skeleton_bone_scaled_rest_position(SkeletonHandle skeleton, uint32_t bone);
geometry::Quaternion get_skeleton_bone_rest_rotation(SkeletonHandle skeleton, uint32_t bone);
float get_skeleton_channel_value(SkeletonHandle skeleton, uint32_t channel);
void set_skeleton_channel_value(SkeletonHandle skeleton, uint32_t channel, float value);
core::PlacementHandle get_skeleton_bone_placement(SkeletonHandle skeleton, uint32_t bone);
float get_skeleton_factor_value(SkeletonHandle skeleton, uint32_t factor);
// The first bound track mixer with the key.
TrackMixerHandle find_skeleton_track_mixer(SkeletonHandle skeleton, uint32_t key);
void update_skeleton_pose(SkeletonHandle skeleton);
void update_skeleton_to_time(SkeletonHandle skeleton, uint32_t time);
void advance_skeleton(SkeletonHandle skeleton, uint32_t delta);
// -1 when no event lies ahead.
int32_t get_skeleton_delay_to_next_event(SkeletonHandle skeleton);
// The centre with the radius as w.
geometry::Vector4 get_skeleton_bounding_sphere(SkeletonHandle skeleton);
geometry::Vector3 get_skeleton_bounds_minimum(SkeletonHandle skeleton);
geometry::Vector3 get_skeleton_bounds_maximum(SkeletonHandle skeleton);
void invalidate_skeleton_bounds(SkeletonHandle skeleton);
void set_skeleton_group_time_scale(uint32_t mask, float scale);
// The group builtins walk the live skeletons in live order.
void update_skeleton_group_to_time(uint32_t mask, uint32_t time);
void advance_skeleton_group(uint32_t mask, uint32_t delta);
void update_skeleton_group_pose(uint32_t mask);

// 561 and 562: a handle that names no track mixer does nothing.
void set_track_mixer_animation(TrackMixerHandle mixer, uint32_t resource_id, bool loop);
void set_track_mixer_fixed_animation(TrackMixerHandle mixer, uint32_t resource_id);
void bind_track_mixer_builtins(core::BuiltinTable& table);

// 563: the target takes the source's phase; nothing unless both are
// animators.
void sync_animator_position(AnimatorHandle target, AnimatorHandle source);
void bind_animator_builtins(core::BuiltinTable& table);

}  // namespace zolt::animation
