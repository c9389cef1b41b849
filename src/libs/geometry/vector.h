#pragma once
// Vectors as four floats in one 16-byte lane. A Vector3 uses the first three
// lanes and keeps the fourth at 0, so whole-lane arithmetic stays exact on the
// lanes that count. Plain values; any thread.
#include <cmath>

namespace zolt::geometry {

struct alignas(16) Vector4 {
    float x = 0, y = 0, z = 0, w = 0;
};

struct alignas(16) Vector3 {
    float x = 0, y = 0, z = 0, w = 0;

    constexpr Vector3() = default;
    constexpr Vector3(float x_value, float y_value, float z_value) : x(x_value), y(y_value), z(z_value) {}
};

constexpr Vector4 splat(float value) {
    return {value, value, value, value};
}

constexpr Vector3 operator+(const Vector3& a, const Vector3& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}

constexpr Vector3 operator-(const Vector3& a, const Vector3& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

constexpr Vector3 operator-(const Vector3& a) {
    return {-a.x, -a.y, -a.z};
}

constexpr Vector3 operator*(const Vector3& a, float scale) {
    return {a.x * scale, a.y * scale, a.z * scale};
}

constexpr Vector3 operator*(float scale, const Vector3& a) {
    return a * scale;
}

// Lane by lane.
constexpr Vector3 multiply(const Vector3& a, const Vector3& b) {
    return {a.x * b.x, a.y * b.y, a.z * b.z};
}

constexpr float dot(const Vector3& a, const Vector3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

constexpr Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

constexpr float length_squared(const Vector3& a) {
    return dot(a, a);
}

inline float length(const Vector3& a) {
    return std::sqrt(length_squared(a));
}

// A zero vector stays zero.
inline Vector3 normalize(const Vector3& a) {
    const float squared = length_squared(a);
    return squared > 0 ? a * (1.0f / std::sqrt(squared)) : a;
}

constexpr Vector3 lerp(const Vector3& a, const Vector3& b, float t) {
    return a + (b - a) * t;
}

constexpr Vector3 minimum(const Vector3& a, const Vector3& b) {
    return {a.x < b.x ? a.x : b.x, a.y < b.y ? a.y : b.y, a.z < b.z ? a.z : b.z};
}

constexpr Vector3 maximum(const Vector3& a, const Vector3& b) {
    return {a.x > b.x ? a.x : b.x, a.y > b.y ? a.y : b.y, a.z > b.z ? a.z : b.z};
}

// Compares x, y and z only.
constexpr bool equal_xyz(const Vector3& a, const Vector3& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

constexpr float get_lane(const Vector3& a, int lane) {
    return lane == 0 ? a.x : lane == 1 ? a.y : a.z;
}

}  // namespace zolt::geometry
