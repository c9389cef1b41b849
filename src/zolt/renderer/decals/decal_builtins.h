#pragma once
// The decal builtins (598-601), arguments in stack order from the top. A
// handle of the wrong kind spawns nothing and reads 0; a position or
// rotation that is not finite spawns nothing. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::renderer {

using DecalHandle = core::BuiltinHandle<core::BuiltinKind::decal_handle>;
using PhysxActorHandle = core::BuiltinHandle<core::BuiltinKind::physx_actor_handle>;
using ResourceHandle = core::BuiltinHandle<core::BuiltinKind::resource_handle>;

void bind_decal_builtins(core::BuiltinTable& table);

// 598: one decal of the set, placed in world space.
void spawn_decal(DecalHandle set, geometry::Vector3 position, geometry::Quaternion rotation, uint32_t group_mask,
                 PhysxActorHandle actor);
// 599: the decal clock advanced; the sets aged when it moved far enough.
void advance_decal_clock(uint32_t ticks);
// 600: one decal on a sector or visual through a set matching the
// description (made when none does); the set, or 0.
DecalHandle spawn_decal_on_target(core::AnyHandle target, geometry::Vector3 position,
                                  geometry::Quaternion rotation, uint32_t group_mask, core::GameHandle description,
                                  bool use_shader_25, PhysxActorHandle actor);
// 601: the flags word of a triangle of a geometry resource, 0 out of range.
uint32_t get_decal_triangle_flags(ResourceHandle geometry, uint32_t triangle);

}  // namespace zolt::renderer
