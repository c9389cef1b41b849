#include <cmath>

#include "platform/physics/physics_types.h"

namespace zolt::platform::physics {

namespace {

bool is_finite(const Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

bool is_valid_pose(const Pose& pose) {
    const Quaternion& q = pose.orientation;
    const float length_squared = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    return is_finite(pose.position) && std::isfinite(length_squared) && std::fabs(length_squared - 1.0f) < 1e-3f;
}

bool is_non_negative(float value) {
    return std::isfinite(value) && value >= 0.0f;
}

bool is_positive(float value) {
    return std::isfinite(value) && value > 0.0f;
}

bool has_volume(ShapeType type) {
    return type == ShapeType::sphere || type == ShapeType::box || type == ShapeType::capsule;
}

}  // namespace

bool is_valid(const ShapeDescriptor& shape) {
    if (!is_valid_pose(shape.local_pose) || !std::isfinite(shape.density) || shape.density < 0.0f ||
        !std::isfinite(shape.skin_width) || !std::isfinite(shape.mass)) {
        return false;
    }
    switch (shape.type) {
    case ShapeType::plane:
        return is_finite(shape.plane_normal) && std::isfinite(shape.plane_distance) &&
               std::fabs(shape.plane_normal.x * shape.plane_normal.x + shape.plane_normal.y * shape.plane_normal.y +
                         shape.plane_normal.z * shape.plane_normal.z - 1.0f) < 1e-3f;
    case ShapeType::sphere:
        return is_positive(shape.radius);
    case ShapeType::box:
        return is_positive(shape.half_extents.x) && is_positive(shape.half_extents.y) &&
               is_positive(shape.half_extents.z);
    case ShapeType::capsule:
        return is_positive(shape.radius) && is_non_negative(shape.height);
    default:
        // Meshes, wheels and height fields are not built by this layer.
        return false;
    }
}

bool is_valid(const BodyDescriptor& body) {
    return is_valid_pose(body.mass_local_pose) && is_finite(body.mass_space_inertia) &&
           body.mass_space_inertia.x >= 0.0f && body.mass_space_inertia.y >= 0.0f &&
           body.mass_space_inertia.z >= 0.0f && is_non_negative(body.mass) && is_finite(body.linear_velocity) &&
           is_finite(body.angular_velocity) && is_non_negative(body.wake_up_counter) &&
           is_non_negative(body.linear_damping) && is_non_negative(body.angular_damping) &&
           !std::isnan(body.max_angular_velocity) && !std::isnan(body.sleep_linear_velocity) &&
           !std::isnan(body.sleep_angular_velocity) && body.solver_iteration_count >= 1 &&
           body.solver_iteration_count <= 255 && !std::isnan(body.contact_report_threshold) &&
           body.contact_report_threshold >= 0.0f;
}

bool is_valid(const ActorDescriptor& actor) {
    if (!is_valid_pose(actor.global_pose) || !is_non_negative(actor.density) || actor.shapes.empty()) {
        return false;
    }
    for (const ShapeDescriptor& shape : actor.shapes) {
        if (!is_valid(shape)) {
            return false;
        }
    }
    if (actor.body == nullptr) {
        return true;
    }
    const BodyDescriptor& body = *actor.body;
    if (!is_valid(body)) {
        return false;
    }
    // Exactly one source of mass: the body's own, or density over volumes.
    if ((body.mass > 0.0f) == (actor.density > 0.0f)) {
        return false;
    }
    float volume_mass = 0.0f;
    for (const ShapeDescriptor& shape : actor.shapes) {
        if (!has_volume(shape.type)) {
            return false;
        }
        volume_mass += shape.density;
    }
    return body.mass > 0.0f || volume_mass > 0.0f;
}

}  // namespace zolt::platform::physics
