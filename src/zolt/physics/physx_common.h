#pragma once
// What the physics files share: the server types, the turn conversions, and
// the checks every script value passes before it reaches the simulation.
#include <cmath>
#include <cstdint>
#include <numbers>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::physics {

namespace physx_server_type {
constexpr uint32_t physx = 18, actor = 19, joint = 20, controller = 21, cloth = 22;
}  // namespace physx_server_type

// Angular velocities cross the script boundary in turns per second.
inline const float two_pi = std::numbers::pi_v<float> * 2.0f;
inline const float inverse_two_pi = 1.0f / two_pi;

// Length test of quaternions and directions the scripts give.
constexpr float unit_tolerance = 1.0f / 65536.0f;

inline bool is_finite(const geometry::Vector3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

inline bool is_unit_quaternion(const geometry::Quaternion& q) {
    const float length_squared = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
    return std::isfinite(length_squared) && std::fabs(length_squared - 1.0f) < unit_tolerance;
}

inline bool has_nan(const geometry::Quaternion& q) {
    return std::isnan(q.x) || std::isnan(q.y) || std::isnan(q.z) || std::isnan(q.w);
}

// An orientation the simulation answered, with a NaN replaced by identity.
inline geometry::Quaternion without_nan(const geometry::Quaternion& q) {
    return has_nan(q) ? geometry::identity_quaternion() : q;
}

// Normalised; identity when its length is at most 2^-16.
inline geometry::Quaternion normalized_or_identity(const geometry::Quaternion& q) {
    const geometry::Quaternion clean = without_nan(q);
    const float length = std::sqrt(clean.x * clean.x + clean.y * clean.y + clean.z * clean.z + clean.w * clean.w);
    if (!(length > unit_tolerance)) {
        return geometry::identity_quaternion();
    }
    return {clean.x / length, clean.y / length, clean.z / length, clean.w / length};
}

}  // namespace zolt::physics
