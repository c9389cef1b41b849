#include "zolt/core/script_objects/random_generator.h"

#include <cmath>

#include "libs/geometry/script_trigonometry.h"

namespace zolt::core {

namespace trig = geometry::script_trig;

RandomGenerator global_random_generator;

namespace {

using geometry::Vector3;

constexpr uint32_t unit_vector_attempts = 110;
// From this attempt on, any point of usable length is accepted.
constexpr uint32_t unit_vector_fallback_attempt = 100;
constexpr uint32_t volume_attempts = 100;
constexpr float shortest_usable_length = 1.0f / 65536.0f;
constexpr float float_step = 1.0f / 8388608.0f;

float length_of(const Vector3& v) {
    return std::sqrt(geometry::length_squared(v));
}

// (w^2 - q.q) p + 2 (q.p) q + 2 w (q x p): the turn by (q, w).
Vector3 turn_vector(const Vector3& q, float w, const Vector3& p) {
    return (w * w - geometry::dot(q, q)) * p + (2.0f * geometry::dot(q, p)) * q + (2.0f * w) * geometry::cross(q, p);
}

}  // namespace

void RandomGenerator::seed(uint32_t value) {
    x = value != 0 ? value : default_x;
    const uint32_t second = value + (value >> 3);
    const uint32_t third = value + (value >> 5);
    const uint32_t fourth = value * 129u;
    y = second != 0 ? second : default_y;
    z = third != 0 ? third : default_z;
    w = fourth != 0 ? fourth : default_w;
}

uint32_t RandomGenerator::next() {
    const uint32_t t = x ^ (x << 11);
    x = y;
    y = z;
    z = w;
    w = w ^ (w >> 19) ^ t ^ (t >> 8);
    return w;
}

uint32_t RandomGenerator::next_integer(uint32_t low, uint32_t high) {
    const uint64_t span = uint64_t{high - low} + 1;
    return low + static_cast<uint32_t>((span * next()) >> 32);
}

float RandomGenerator::next_float_inclusive() {
    return static_cast<float>((uint64_t{next()} * 0x800001u) >> 32) * float_step;
}

float RandomGenerator::next_float() {
    return static_cast<float>(next() >> 9) * float_step;
}

Vector3 RandomGenerator::next_vector3_in_cube() {
    const float u = next_float_inclusive();
    const float v = next_float_inclusive();
    const float t = next_float_inclusive();
    return {2.0f * u - 1.0f, 2.0f * v - 1.0f, 2.0f * t - 1.0f};
}

Vector3 RandomGenerator::next_vector2_in_square() {
    const float u = next_float_inclusive();
    const float v = next_float_inclusive();
    return {2.0f * u - 1.0f, 2.0f * v - 1.0f, 0.0f};
}

Vector3 random_unit_vector3(RandomGenerator& generator) {
    for (uint32_t attempt = 0; attempt < unit_vector_attempts; ++attempt) {
        const Vector3 p = generator.next_vector3_in_cube();
        const float length = length_of(p);
        if (length >= shortest_usable_length && (length <= 1.0f || attempt >= unit_vector_fallback_attempt)) {
            return p * (1.0f / length);
        }
    }
    return {0.0f, 0.0f, 1.0f};
}

Vector3 random_unit_vector2(RandomGenerator& generator) {
    for (uint32_t attempt = 0; attempt < unit_vector_attempts; ++attempt) {
        const Vector3 p = generator.next_vector2_in_square();
        const float length = length_of(p);
        if (length >= shortest_usable_length && (length <= 1.0f || attempt >= unit_vector_fallback_attempt)) {
            return p * (1.0f / length);
        }
    }
    return {1.0f, 0.0f, 0.0f};
}

Vector3 random_vector3_in_ellipsoid(const Vector3& radii, RandomGenerator& generator) {
    const float aa = radii.x * radii.x, bb = radii.y * radii.y, cc = radii.z * radii.z;
    for (uint32_t attempt = 0; attempt < volume_attempts; ++attempt) {
        const Vector3 p = generator.next_vector3_in_cube();
        if (p.x * p.x * bb * cc + p.y * p.y * aa * cc + p.z * p.z * aa * bb <= aa * bb * cc) {
            return p;
        }
    }
    return {};
}

Vector3 random_vector2_in_ellipse(float radius_x, float radius_y, RandomGenerator& generator) {
    const float aa = radius_x * radius_x, bb = radius_y * radius_y;
    for (uint32_t attempt = 0; attempt < volume_attempts; ++attempt) {
        const Vector3 p = generator.next_vector2_in_square();
        if (p.x * p.x * bb + p.y * p.y * aa <= aa * bb) {
            return p;
        }
    }
    return {};
}

Vector3 random_direction_in_cone(float angle, RandomGenerator& generator, const Vector3& e) {
    if (angle == 0.0f) {
        return e;
    }
    const float tilt = generator.next_float_inclusive();
    const float spin = generator.next_float();
    const float ax = std::fabs(e.x), ay = std::fabs(e.y), az = std::fabs(e.z);
    Vector3 axis;
    if (ay < ax && ay < az) {
        axis = {-e.z, 0.0f, e.x};
    } else if (ax <= ay && ax < az) {
        axis = {0.0f, e.z, -e.y};
    } else {
        axis = {-e.y, e.x, 0.0f};
    }
    const float axis_length = length_of(axis);
    // Only the zero direction has no tilt axis; it has no direction to keep.
    if (!(axis_length > 0.0f)) {
        return {};
    }
    const Vector3 m = axis * (1.0f / axis_length);
    // Sines and cosines as the script opcodes evaluate them.
    const float half_tilt = tilt * angle * 0.5f;
    const Vector3 e1 = turn_vector(m * trig::sine(half_tilt), trig::cosine(half_tilt), e);
    const float half_spin = spin * 0.5f;
    const Vector3 e2 = turn_vector(e * trig::sine(half_spin), trig::cosine(half_spin), e1);
    return e2 * (1.0f / length_of(e2));
}

float random_float_inclusive() {
    return global_random_generator.next_float_inclusive();
}

float random_float() {
    return global_random_generator.next_float();
}

uint32_t random_integer(uint32_t low, uint32_t high) {
    return global_random_generator.next_integer(low, high);
}

Vector3 random_vector3_in_ball() {
    for (uint32_t attempt = 0; attempt < volume_attempts; ++attempt) {
        const Vector3 p = global_random_generator.next_vector3_in_cube();
        if (geometry::length_squared(p) <= 1.0f) {
            return p;
        }
    }
    return {};
}

Vector3 random_vector3_in_box(const Vector3& half_sizes) {
    return geometry::multiply(half_sizes, global_random_generator.next_vector3_in_cube());
}

Vector3 random_vector2_in_rectangle(float half_x, float half_y) {
    return geometry::multiply({half_x, half_y, 0.0f}, global_random_generator.next_vector2_in_square());
}

}  // namespace zolt::core
