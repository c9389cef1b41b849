#pragma once
// Typed property values the physics objects answer and put on messages.
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/property.h"

namespace zolt::physics {

inline core::Property make_u32_property(uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    return property;
}

inline core::Property make_float_property(uint32_t id, float value) {
    core::Property property;
    property.set_float(id, value);
    return property;
}

inline core::Property make_vector_property(uint32_t id, const geometry::Vector3& value) {
    core::Property property;
    const float lanes[3] = {value.x, value.y, value.z};
    property.set_floats(id, lanes, 3);
    return property;
}

inline core::Property make_quaternion_property(uint32_t id, const geometry::Quaternion& value) {
    core::Property property;
    const float lanes[4] = {value.x, value.y, value.z, value.w};
    property.set_floats(id, lanes, 4);
    return property;
}

inline geometry::Vector3 get_vector_value(const core::Property& value) {
    return {value.get_float(0), value.get_float(1), value.get_float(2)};
}

inline geometry::Quaternion get_quaternion_value(const core::Property& value) {
    return {value.get_float(0), value.get_float(1), value.get_float(2), value.get_float(3)};
}

}  // namespace zolt::physics
