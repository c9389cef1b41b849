#include "zolt/builtins/builtin_binding.h"
#include "zolt/builtins/neutral_builtins.h"
#include "zolt/physics/physx_builtins.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

namespace ps = platform::physics;
using core::bind_builtin;
using core::BuiltinId;

namespace {

int32_t answer_zero() {
    return 0;
}

int32_t answer_one() {
    return 1;
}

// SDK parameter numbers a script may read and change: the visualization ones.
bool is_visualization_parameter(uint32_t id) {
    return (id >= 9 && id <= 14) || id == 22 || (id >= 27 && id <= 29) || (id >= 33 && id <= 45) ||
           (id >= 47 && id <= 51);
}

ps::Scene* get_main_scene() {
    return physx_server.get_scene(main_scene);
}

}  // namespace

geometry::Vector3 physx_get_gravity() {
    ps::Scene* const scene = get_main_scene();
    return scene != nullptr ? scene->get_gravity() : geometry::Vector3{};
}

void physx_set_gravity(geometry::Vector3 gravity) {
    ps::Scene* const scene = get_main_scene();
    if (scene != nullptr && is_finite(gravity)) {
        scene->set_gravity(gravity);
    }
}

bool physx_get_group_collision_flag(uint32_t group_a, uint32_t group_b) {
    ps::Scene* const scene = get_main_scene();
    if (scene == nullptr || group_a >= ps::collision_group_count || group_b >= ps::collision_group_count) {
        return false;
    }
    return scene->get_group_collision_flag(group_a, group_b);
}

void physx_set_group_collision_flag(uint32_t group_a, uint32_t group_b, bool enabled) {
    ps::Scene* const scene = get_main_scene();
    if (scene != nullptr && group_a < ps::collision_group_count && group_b < ps::collision_group_count) {
        scene->set_group_collision_flag(group_a, group_b, enabled);
    }
}

float physx_get_visualization_parameter(uint32_t parameter) {
    ps::PhysicsSdk* const sdk = physx_server.get_sdk();
    return sdk != nullptr && is_visualization_parameter(parameter) ? sdk->get_parameter(parameter) : 0.0f;
}

bool physx_set_visualization_parameter(uint32_t parameter, float value) {
    ps::PhysicsSdk* const sdk = physx_server.get_sdk();
    if (sdk == nullptr || !is_visualization_parameter(parameter) || !std::isfinite(value)) {
        return false;
    }
    return sdk->set_parameter(parameter, value);
}

uint32_t physx_get_simulation_time() {
    return physx_server.get_simulation_time();
}

float physx_get_interpolation_factor() {
    return physx_server.get_interpolation_factor();
}

void physx_set_interpolation_factor(float factor) {
    physx_server.set_interpolation_factor(factor);
}

void physx_step_main_scene() {
    physx_server.step_main_scene();
}

void flush_simulation_scene_caches() {
    physx_server.flush_simulation_scene_caches();
}

void physx_step_secondary_scene() {
    physx_server.step_secondary_scene();
}

bool physx_is_secondary_scene_asynchronous() {
    return physx_server.is_asynchronous_step_enabled();
}

void physx_set_secondary_scene_asynchronous(bool on) {
    physx_server.set_asynchronous_step_flag(on ? 1 : 0);
}

// No mesh is cached yet, so clearing succeeds whenever the scenes are empty.
bool physx_clear_resource_instances() {
    for (uint32_t scene = 0; scene < scene_count; ++scene) {
        const ps::Scene* const target = physx_server.get_scene(scene);
        if (target == nullptr || target->get_actor_count() != 0) {
            return false;
        }
    }
    return true;
}

bool physx_reset_world() {
    return physx_server.reset_world();
}

void physx_set_event_reporting(bool on) {
    physx_server.set_event_reporting(on);
}

void bind_physics_server_builtins(core::BuiltinTable& table) {
    bind_builtin<BuiltinId::unused_386, &answer_zero>(table);
    bind_builtin<BuiltinId::unused_387, &answer_zero>(table);
    bind_builtin<BuiltinId::unused_388, &answer_one>(table);
    bind_builtin<BuiltinId::physx_get_gravity, &physx_get_gravity>(table);
    bind_builtin<BuiltinId::physx_set_gravity, &physx_set_gravity>(table);
    bind_builtin<BuiltinId::physx_get_group_collision_flag, &physx_get_group_collision_flag>(table);
    bind_builtin<BuiltinId::physx_set_group_collision_flag, &physx_set_group_collision_flag>(table);
    bind_builtin<BuiltinId::physx_get_visualization_parameter, &physx_get_visualization_parameter>(table);
    bind_builtin<BuiltinId::physx_set_visualization_parameter, &physx_set_visualization_parameter>(table);
    bind_builtin<BuiltinId::physx_get_simulation_time, &physx_get_simulation_time>(table);
    bind_builtin<BuiltinId::physx_get_interpolation_factor, &physx_get_interpolation_factor>(table);
    bind_builtin<BuiltinId::physx_set_interpolation_factor, &physx_set_interpolation_factor>(table);
    bind_builtin<BuiltinId::physx_step_main_scene, &physx_step_main_scene>(table);
    bind_builtin<BuiltinId::flush_simulation_scene_caches, &flush_simulation_scene_caches>(table);
    bind_builtin<BuiltinId::physx_step_secondary_scene, &physx_step_secondary_scene>(table);
    bind_builtin<BuiltinId::physx_is_secondary_scene_asynchronous, &physx_is_secondary_scene_asynchronous>(table);
    bind_builtin<BuiltinId::physx_set_secondary_scene_asynchronous, &physx_set_secondary_scene_asynchronous>(table);
    bind_builtin<BuiltinId::physx_clear_resource_instances, &physx_clear_resource_instances>(table);
    bind_builtin<BuiltinId::physx_reset_world, &physx_reset_world>(table);
    bind_builtin<BuiltinId::physx_set_event_reporting, &physx_set_event_reporting>(table);
}

void bind_physics_builtins(core::BuiltinTable& table) {
    bind_physics_server_builtins(table);
    bind_physics_actor_builtins(table);
    bind_physics_descriptor_builtins(table);
    core::bind_unbuilt_family(table, core::BuiltinFamily::physics);
}

}  // namespace zolt::physics
