#pragma once
// Mass, centre of mass and principal inertia of a set of shapes, from the
// shapes' own sizes (skin included, as the SDK counts them).
#include <memory>
#include <vector>

#include "platform/physics/physics_types.h"

namespace zolt::platform::physics {

class Shape;

struct MassProperties {
    float mass = 0.0f;
    // Principal moments, in the frame's axes.
    Vector3 inertia;
    // The centre of mass and the principal axes in the actor frame.
    Pose frame;
};

float get_shape_volume(const ShapeDescriptor& shape);
// By density (actor density times each shape's) when total_mass is not above
// 0, else the shapes' shares of total_mass. A mass of 0 when they have none.
MassProperties compute_mass_properties(const std::vector<std::unique_ptr<Shape>>& shapes, float density,
                                       float total_mass);

}  // namespace zolt::platform::physics
