#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_scene.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/physics/physx_actor.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_builtins.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

namespace ps = platform::physics;
using core::bind_builtin;
using core::BuiltinId;
using geometry::Vector3;
using PhysXActorHandle = core::BuiltinHandle<core::BuiltinKind::physx_actor_handle>;

namespace {

// The dynamic SDK actor of a handle, or null.
ps::Actor* get_dynamic_sdk_actor(core::ObjectHandle handle) {
    PhysXActor* const actor = physx_actor_server.get_actor(handle);
    return actor != nullptr && actor->is_dynamic() ? actor->get_sdk_actor() : nullptr;
}

bool is_force_mode(uint32_t mode) {
    return mode < ps::force_mode_count;
}

}  // namespace

bool physx_create_actor(PhysXActorHandle handle, uint32_t scene, uint32_t owner) {
    PhysXActor* const actor = physx_actor_server.get_actor(handle);
    if (actor == nullptr || actor->get_sdk_actor() != nullptr || scene >= scene_count) {
        return false;
    }
    if (!physx_server.is_actor_descriptor_owner(owner)) {
        return false;
    }
    PhysXActorDescriptor& descriptor = physx_server.get_actor_descriptor();
    if (!ps::is_valid(descriptor.actor)) {
        return false;
    }
    // The secondary scene's bodies are pose-driven: a fixed unit mass.
    if (scene == secondary_scene && descriptor.is_dynamic()) {
        descriptor.body.mass = 1.0f;
        descriptor.body.mass_space_inertia = {1, 1, 1};
        descriptor.body.mass_local_pose = {};
        descriptor.actor.density = 0.0f;
    }
    return actor->create_sdk_actor(scene, descriptor.actor);
}

bool physx_add_actor_descriptor_shapes_to_actor(PhysXActorHandle handle, uint32_t owner) {
    ps::Actor* const actor = get_dynamic_sdk_actor(handle);
    if (actor == nullptr || !physx_server.is_actor_descriptor_owner(owner)) {
        return false;
    }
    const PhysXActorDescriptor& descriptor = physx_server.get_actor_descriptor();
    for (const ps::ShapeDescriptor& shape : descriptor.actor.shapes) {
        if (!ps::is_valid(shape)) {
            return false;
        }
    }
    bool all_created = true;
    for (const ps::ShapeDescriptor& shape : descriptor.actor.shapes) {
        all_created = actor->create_shape(shape) != nullptr && all_created;
    }
    if (&actor->get_scene() == physx_server.get_scene(main_scene)) {
        actor->update_mass_from_shapes(1.0f, 0.0f);
    }
    const bool visible = actor->read_body_flag(ps::body_flag::visualization);
    for (uint32_t index = 0; index < actor->get_shape_count(); ++index) {
        actor->get_shape(index)->set_flag(ps::shape_flag::visualization, visible);
    }
    return all_created;
}

void physx_remove_actor_shapes(PhysXActorHandle handle) {
    if (ps::Actor* const actor = get_dynamic_sdk_actor(handle)) {
        while (actor->get_shape_count() > 0) {
            actor->release_shape(actor->get_shape(actor->get_shape_count() - 1));
        }
    }
}

void physx_add_actor_force(PhysXActorHandle handle, Vector3 force, uint32_t mode) {
    ps::Actor* const actor = get_dynamic_sdk_actor(handle);
    if (actor != nullptr && is_force_mode(mode) && is_finite(force)) {
        actor->add_force(force, static_cast<ps::ForceMode>(mode), true);
    }
}

void physx_add_actor_force_at_position(PhysXActorHandle handle, Vector3 position, Vector3 force, uint32_t mode) {
    ps::Actor* const actor = get_dynamic_sdk_actor(handle);
    if (actor != nullptr && is_force_mode(mode) && is_finite(force) && is_finite(position)) {
        actor->add_force_at_position(force, position, static_cast<ps::ForceMode>(mode), true);
    }
}

void physx_add_actor_torque(PhysXActorHandle handle, Vector3 torque, uint32_t mode) {
    ps::Actor* const actor = get_dynamic_sdk_actor(handle);
    if (actor != nullptr && is_force_mode(mode) && is_finite(torque)) {
        actor->add_torque(torque, static_cast<ps::ForceMode>(mode), true);
    }
}

void bind_physics_actor_builtins(core::BuiltinTable& table) {
    bind_builtin<BuiltinId::physx_create_actor, &physx_create_actor>(table);
    bind_builtin<BuiltinId::physx_add_actor_descriptor_shapes_to_actor, &physx_add_actor_descriptor_shapes_to_actor>(
        table);
    bind_builtin<BuiltinId::physx_remove_actor_shapes, &physx_remove_actor_shapes>(table);
    bind_builtin<BuiltinId::physx_add_actor_force, &physx_add_actor_force>(table);
    bind_builtin<BuiltinId::physx_add_actor_force_at_position, &physx_add_actor_force_at_position>(table);
    bind_builtin<BuiltinId::physx_add_actor_torque, &physx_add_actor_torque>(table);
}

}  // namespace zolt::physics
