#include "platform/physics/physics_mass.h"

#include <LinearMath/btMatrix3x3.h>

#include <numbers>

#include "platform/physics/bullet_conversions.h"
#include "platform/physics/physics_actor.h"

namespace zolt::platform::physics {

namespace {

constexpr float pi = std::numbers::pi_v<float>;

// Moments about the shape's own centre along its own axes.
btVector3 get_unit_inertia(const ShapeDescriptor& shape, float mass) {
    switch (shape.type) {
    case ShapeType::sphere: {
        const float moment = 0.4f * mass * shape.radius * shape.radius;
        return {moment, moment, moment};
    }
    case ShapeType::box: {
        const Vector3& e = shape.half_extents;
        return {mass / 3.0f * (e.y * e.y + e.z * e.z), mass / 3.0f * (e.x * e.x + e.z * e.z),
                mass / 3.0f * (e.x * e.x + e.y * e.y)};
    }
    case ShapeType::capsule: {
        const float r = shape.radius;
        const float h = shape.height;
        const float cylinder_volume = pi * r * r * h;
        const float sphere_volume = 4.0f / 3.0f * pi * r * r * r;
        const float cylinder_mass = mass * cylinder_volume / (cylinder_volume + sphere_volume);
        const float sphere_mass = mass - cylinder_mass;
        const float axial = 0.5f * cylinder_mass * r * r + 0.4f * sphere_mass * r * r;
        const float across = cylinder_mass * (3.0f * r * r + h * h) / 12.0f +
                             sphere_mass * (0.4f * r * r + h * h / 4.0f + 3.0f * h * r / 8.0f);
        return {across, axial, across};
    }
    default:
        return {0, 0, 0};
    }
}

}  // namespace

float get_shape_volume(const ShapeDescriptor& shape) {
    switch (shape.type) {
    case ShapeType::sphere:
        return 4.0f / 3.0f * pi * shape.radius * shape.radius * shape.radius;
    case ShapeType::box:
        return 8.0f * shape.half_extents.x * shape.half_extents.y * shape.half_extents.z;
    case ShapeType::capsule:
        return pi * shape.radius * shape.radius * shape.height +
               4.0f / 3.0f * pi * shape.radius * shape.radius * shape.radius;
    default:
        return 0.0f;
    }
}

MassProperties compute_mass_properties(const std::vector<std::unique_ptr<Shape>>& shapes, float density,
                                       float total_mass) {
    MassProperties result;
    std::vector<float> masses;
    float weight_sum = 0.0f;
    for (const auto& shape : shapes) {
        const float weight = shape->get_descriptor().density * get_shape_volume(shape->get_descriptor());
        masses.push_back(weight);
        weight_sum += weight;
    }
    if (!(weight_sum > 0.0f)) {
        return result;
    }
    const float scale = total_mass > 0.0f ? total_mass / weight_sum : density;
    btVector3 centre(0, 0, 0);
    float mass = 0.0f;
    for (size_t index = 0; index < shapes.size(); ++index) {
        masses[index] *= scale;
        mass += masses[index];
        centre += to_bullet(shapes[index]->get_local_pose().position) * masses[index];
    }
    if (!(mass > 0.0f)) {
        return result;
    }
    centre /= mass;
    // A lone primitive's principal frame is its own pose.
    if (shapes.size() == 1) {
        const ShapeDescriptor& shape = shapes[0]->get_descriptor();
        result.mass = mass;
        result.inertia = from_bullet(get_unit_inertia(shape, mass));
        result.frame = shape.local_pose;
        return result;
    }
    btMatrix3x3 tensor(0, 0, 0, 0, 0, 0, 0, 0, 0);
    for (size_t index = 0; index < shapes.size(); ++index) {
        const ShapeDescriptor& shape = shapes[index]->get_descriptor();
        const btVector3 moments = get_unit_inertia(shape, masses[index]);
        const btMatrix3x3 rotation(to_bullet(shape.local_pose.orientation));
        const btMatrix3x3 own = rotation.scaled(moments) * rotation.transpose();
        const btVector3 d = to_bullet(shape.local_pose.position) - centre;
        const btScalar d2 = d.length2();
        const btMatrix3x3 shift(d2 - d.x() * d.x(), -d.x() * d.y(), -d.x() * d.z(), -d.y() * d.x(), d2 - d.y() * d.y(),
                                -d.y() * d.z(), -d.z() * d.x(), -d.z() * d.y(), d2 - d.z() * d.z());
        for (int row = 0; row < 3; ++row) {
            tensor[row] += own[row] + shift[row] * masses[index];
        }
    }
    btMatrix3x3 axes;
    axes.setIdentity();
    tensor.diagonalize(axes, 1e-6f, 32);
    if (axes.determinant() < 0.0f) {
        for (int row = 0; row < 3; ++row) {
            axes[row][2] = -axes[row][2];
        }
    }
    btQuaternion orientation;
    axes.getRotation(orientation);
    result.mass = mass;
    result.inertia = {tensor[0][0], tensor[1][1], tensor[2][2]};
    result.frame = {from_bullet(centre), from_bullet(orientation.normalized())};
    return result;
}

}  // namespace zolt::platform::physics
