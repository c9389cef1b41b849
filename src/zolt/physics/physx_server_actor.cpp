#include <cmath>

#include "zolt/builtins/builtin_binding.h"
#include "zolt/physics/physx_builtins.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

namespace ps = platform::physics;
using core::bind_builtin;
using core::BuiltinId;
using geometry::Quaternion;
using geometry::Vector3;

namespace {

constexpr uint32_t group_count = 32;

ps::ActorDescriptor* get_owned_descriptor(uint32_t owner) {
    return physx_server.is_actor_descriptor_owner(owner) ? &physx_server.get_actor_descriptor().actor : nullptr;
}

bool is_positive(float value) {
    return std::isfinite(value) && value > 0.0f;
}

// The checks every primitive shape passes before it is added.
bool are_common_shape_fields_valid(uint32_t material, uint32_t group, const Vector3& position,
                                   const Quaternion& orientation, float scale) {
    return physx_server.is_valid_material_index(material, main_scene) && group < group_count && is_finite(position) &&
           is_unit_quaternion(orientation) && is_positive(scale);
}

// Builtins 424 to 426 give the shape pose themselves: the outer pose is the
// identity, so the shape sits at the scaled position.
ps::ShapeDescriptor make_shape(ps::ShapeType type, uint32_t material, uint32_t group, const Vector3& position,
                               const Quaternion& orientation, float scale) {
    ps::ShapeDescriptor shape;
    shape.type = type;
    shape.material_index = static_cast<uint16_t>(material);
    shape.group = static_cast<uint16_t>(group);
    shape.local_pose = {position * scale, orientation};
    shape.skin_width = skin_width;
    return shape;
}

}  // namespace

uint32_t physx_acquire_actor_descriptor() {
    return physx_server.acquire_actor_descriptor();
}

void physx_release_actor_descriptor(uint32_t owner) {
    physx_server.release_actor_descriptor(owner);
}

void physx_set_actor_descriptor_position(uint32_t owner, Vector3 position) {
    if (ps::ActorDescriptor* const descriptor = get_owned_descriptor(owner);
        descriptor != nullptr && is_finite(position)) {
        descriptor->global_pose.position = position;
    }
}

void physx_set_actor_descriptor_orientation(uint32_t owner, Quaternion orientation) {
    ps::ActorDescriptor* const descriptor = get_owned_descriptor(owner);
    if (descriptor != nullptr && is_unit_quaternion(orientation)) {
        descriptor->global_pose.orientation = orientation;
    }
}

void physx_set_actor_descriptor_dynamic(uint32_t owner, bool dynamic) {
    if (ps::ActorDescriptor* const descriptor = get_owned_descriptor(owner)) {
        descriptor->body = dynamic ? &physx_server.get_actor_descriptor().body : nullptr;
        descriptor->density = dynamic ? 1.0f : 0.0f;
    }
}

void physx_add_actor_descriptor_plane(uint32_t owner, uint32_t material, uint32_t group, Vector3 position,
                                      Quaternion orientation, float scale) {
    ps::ActorDescriptor* const descriptor = get_owned_descriptor(owner);
    if (descriptor == nullptr || !are_common_shape_fields_valid(material, group, position, orientation, scale)) {
        return;
    }
    ps::ShapeDescriptor shape = make_shape(ps::ShapeType::plane, material, group, position, orientation, scale);
    const Vector3 normal = geometry::rotate(orientation, {0, 0, 1});
    const float length = std::sqrt(geometry::length_squared(normal));
    shape.plane_normal = normal * (1.0f / length);
    shape.plane_distance = geometry::dot(shape.plane_normal, position * scale) + skin_width;
    descriptor->shapes.push_back(shape);
}

void physx_add_actor_descriptor_sphere(uint32_t owner, float radius, float density, uint32_t material, uint32_t group,
                                       Vector3 position, Quaternion orientation, float scale) {
    ps::ActorDescriptor* const descriptor = get_owned_descriptor(owner);
    if (descriptor == nullptr || !are_common_shape_fields_valid(material, group, position, orientation, scale) ||
        !is_positive(radius) || !(std::isfinite(density) && density >= 0.0f)) {
        return;
    }
    ps::ShapeDescriptor shape = make_shape(ps::ShapeType::sphere, material, group, position, orientation, scale);
    shape.radius = scale * radius + skin_width;
    shape.density = density;
    descriptor->shapes.push_back(shape);
}

void physx_add_actor_descriptor_box(uint32_t owner, Vector3 half_extents, float density, uint32_t material,
                                    uint32_t group, Vector3 position, Quaternion orientation, float scale) {
    ps::ActorDescriptor* const descriptor = get_owned_descriptor(owner);
    if (descriptor == nullptr || !are_common_shape_fields_valid(material, group, position, orientation, scale) ||
        !is_positive(half_extents.x) || !is_positive(half_extents.y) || !is_positive(half_extents.z) ||
        !(std::isfinite(density) && density >= 0.0f)) {
        return;
    }
    ps::ShapeDescriptor shape = make_shape(ps::ShapeType::box, material, group, position, orientation, scale);
    shape.half_extents = {scale * half_extents.x + skin_width, scale * half_extents.y + skin_width,
                          scale * half_extents.z + skin_width};
    shape.density = density;
    descriptor->shapes.push_back(shape);
}

void bind_physics_descriptor_builtins(core::BuiltinTable& table) {
    bind_builtin<BuiltinId::physx_acquire_actor_descriptor, &physx_acquire_actor_descriptor>(table);
    bind_builtin<BuiltinId::physx_release_actor_descriptor, &physx_release_actor_descriptor>(table);
    bind_builtin<BuiltinId::physx_set_actor_descriptor_position, &physx_set_actor_descriptor_position>(table);
    bind_builtin<BuiltinId::physx_set_actor_descriptor_orientation, &physx_set_actor_descriptor_orientation>(table);
    bind_builtin<BuiltinId::physx_set_actor_descriptor_dynamic, &physx_set_actor_descriptor_dynamic>(table);
    bind_builtin<BuiltinId::physx_add_actor_descriptor_plane, &physx_add_actor_descriptor_plane>(table);
    bind_builtin<BuiltinId::physx_add_actor_descriptor_sphere, &physx_add_actor_descriptor_sphere>(table);
    bind_builtin<BuiltinId::physx_add_actor_descriptor_box, &physx_add_actor_descriptor_box>(table);
}

}  // namespace zolt::physics
