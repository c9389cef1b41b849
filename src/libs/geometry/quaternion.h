#pragma once
// Rotations as quaternions (x, y, z, w) with w the scalar part, in one 16-byte
// lane. a * b is the Hamilton product: the rotation b followed by a. Rotating
// a vector applies the matrix of the quaternion, whose diagonal is written as
// w^2 + x^2 - y^2 - z^2 and its like (see matrix.h). Any thread.
#include <cmath>

#include "libs/geometry/vector.h"

namespace zolt::geometry {

struct alignas(16) Quaternion {
    float x = 0, y = 0, z = 0, w = 1;
};

constexpr Quaternion identity_quaternion() {
    return {0, 0, 0, 1};
}

constexpr Quaternion operator*(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

constexpr Quaternion conjugate(const Quaternion& q) {
    return {-q.x, -q.y, -q.z, q.w};
}

constexpr Quaternion negate(const Quaternion& q) {
    return {-q.x, -q.y, -q.z, -q.w};
}

constexpr float dot(const Quaternion& a, const Quaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

// A zero quaternion stays zero.
inline Quaternion normalize(const Quaternion& q) {
    const float squared = dot(q, q);
    if (!(squared > 0)) {
        return q;
    }
    const float scale = 1.0f / std::sqrt(squared);
    return {q.x * scale, q.y * scale, q.z * scale, q.w * scale};
}

// Compares all four components.
constexpr bool equal_xyzw(const Quaternion& a, const Quaternion& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z && a.w == b.w;
}

constexpr Vector3 rotate(const Quaternion& q, const Vector3& v) {
    const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, ww = q.w * q.w;
    const float xy = q.x * q.y, xz = q.x * q.z, yz = q.y * q.z;
    const float wx = q.w * q.x, wy = q.w * q.y, wz = q.w * q.z;
    return {(ww + xx - yy - zz) * v.x + 2 * (xy - wz) * v.y + 2 * (xz + wy) * v.z,
            2 * (xy + wz) * v.x + (ww - xx + yy - zz) * v.y + 2 * (yz - wx) * v.z,
            2 * (xz - wy) * v.x + 2 * (yz + wx) * v.y + (ww - xx - yy + zz) * v.z};
}

// Spherical interpolation from a (t = 0) to b (t = 1) the shorter way,
// normalised; each lane of t weighs its own lane of the quaternions. Below
// one degree apart the weights are linear.
Quaternion slerp(const Quaternion& a, const Quaternion& b, const Vector4& t);

inline Quaternion slerp(const Quaternion& a, const Quaternion& b, float t) {
    return slerp(a, b, splat(t));
}

// Angles in turns for R = Rz * Rx * Ry: lane 0 about Z, lane 1 about X, lane
// 2 about Y. At gimbal lock (cos X below 1/65536) all of the turn about the
// vertical goes to Z and Y is 0.
Vector3 quaternion_to_euler(const Quaternion& q);

// The inverse of quaternion_to_euler away from gimbal lock: the same lanes
// (turns about Z, X, Y) composed as Rz * Rx * Ry.
Quaternion euler_to_quaternion(const Vector3& turns);

}  // namespace zolt::geometry
