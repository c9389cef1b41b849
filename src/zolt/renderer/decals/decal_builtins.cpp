#include "zolt/renderer/decals/decal_builtins.h"

#include <cmath>

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/decals/decal_geometry.h"
#include "zolt/renderer/decals/decal_server.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t physx_actor_server_type = 19;
constexpr uint32_t sector_server_type = 30;
constexpr uint32_t visual_server_type = 26;
constexpr uint32_t shader_asking_for_flags = 24;

bool is_finite(const geometry::Vector3& position, const geometry::Quaternion& rotation) {
    return std::isfinite(position.x) && std::isfinite(position.y) && std::isfinite(position.z) &&
           std::isfinite(rotation.x) && std::isfinite(rotation.y) && std::isfinite(rotation.z) &&
           std::isfinite(rotation.w);
}

// No actor, or one that names a physics actor.
bool is_actor_or_none(core::ObjectHandle actor) {
    return actor == 0 ||
           (core::get_handle_server_type(actor) == physx_actor_server_type && core::get_object(actor) != nullptr);
}

// The physics layer does not answer triangle queries yet: the whole
// geometry resource stands in for the actor's triangles.
void spawn_in_world(Decal& set, const geometry::Vector3& position, const geometry::Quaternion& rotation,
                    uint32_t group_mask) {
    DecalGeometry geometry;
    const DecalSurface* const surface = decal_server.open_surface(set.geometry_resource, geometry);
    set.spawn_in_world_space(position, geometry::normalize(rotation), group_mask, surface);
}

}  // namespace

void spawn_decal(DecalHandle handle, geometry::Vector3 position, geometry::Quaternion rotation, uint32_t group_mask,
                 PhysxActorHandle actor) {
    Decal* const set = decal_server.is_registered() ? decal_server.get_typed_object(handle.value) : nullptr;
    if (set == nullptr || !is_actor_or_none(actor.value) || !is_finite(position, rotation)) {
        return;
    }
    spawn_in_world(*set, position, rotation, group_mask);
}

void advance_decal_clock(uint32_t ticks) {
    if (decal_server.is_registered()) {
        decal_server.advance_clock(ticks);
    }
}

DecalHandle spawn_decal_on_target(core::AnyHandle target, geometry::Vector3 position, geometry::Quaternion rotation,
                                  uint32_t group_mask, core::GameHandle description_handle, bool use_shader_25,
                                  PhysxActorHandle actor) {
    DecalDescription description;
    if (!decal_server.is_registered() || !read_decal_description(description_handle.value, description) ||
        !is_actor_or_none(actor.value) || !is_finite(position, rotation)) {
        return {0};
    }
    const uint32_t target_type = core::get_handle_server_type(target.value);
    if ((target_type != sector_server_type && target_type != visual_server_type) ||
        core::get_object(target.value) == nullptr) {
        return {0};
    }
    // The description object is only read, so the switch to the flagged
    // shader never reaches it.
    if (use_shader_25 && description.shader_index == shader_asking_for_flags) {
        description.shader_index = flagged_triangles_shader;
    }
    Decal* const set = decal_server.find_or_create_set(description, target.value);
    if (set == nullptr) {
        return {0};
    }
    spawn_in_world(*set, position, rotation, group_mask);
    return {set->get_handle()};
}

uint32_t get_decal_triangle_flags(ResourceHandle geometry_handle, uint32_t triangle) {
    DecalGeometry geometry;
    uint16_t flags = 0;
    return decal_server.open_surface(geometry_handle.value, geometry) != nullptr &&
                   geometry.get_flags(triangle, &flags)
               ? flags
               : 0;
}

void bind_decal_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::spawn_decal, &spawn_decal>(table);
    bind_builtin<BuiltinId::advance_decal_clock, &advance_decal_clock>(table);
    bind_builtin<BuiltinId::spawn_decal_on_target, &spawn_decal_on_target>(table);
    bind_builtin<BuiltinId::get_decal_triangle_flags, &get_decal_triangle_flags>(table);
}

}  // namespace zolt::renderer
