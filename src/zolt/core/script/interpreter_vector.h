#pragma once
// The vector, quaternion and colour opcodes' bodies, inlined into the
// interpreter's switch. A vector of k floats is k words with x on top; "P, Q"
// is P deeper and Q on top, and a result of P's size replaces P. Quaternions
// are (x, y, z, w) in the same layout. The caller has checked that the
// operands are on the stack; a body answers false for a fault (a division by
// a zero scalar, normalising a zero quaternion). Lanes beyond a vector's size
// are never written back. Each body runs for a constant k, so its loops
// over the components unroll.
#include <cmath>
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/script_trigonometry.h"
#include "zolt/core/script/script_context.h"

namespace zolt::core::vector {

namespace trig = geometry::script_trig;

struct Lanes {
    float value[4] = {0, 0, 0, 0};
};

// The k components whose x lies at stack[top].
inline Lanes load(const uint32_t* stack, uint32_t top, uint32_t k) {
    Lanes lanes;
#pragma GCC unroll 4
    for (uint32_t index = 0; index < k; ++index) {
        lanes.value[index] = word_to_float(stack[top - index]);
    }
    return lanes;
}

inline void store(uint32_t* stack, uint32_t top, const Lanes& lanes, uint32_t k) {
#pragma GCC unroll 4
    for (uint32_t index = 0; index < k; ++index) {
        stack[top - index] = float_to_word(lanes.value[index]);
    }
}

// Sign flips, as a vector negation does.
inline float negate(float value) {
    return word_to_float(float_to_word(value) ^ 0x80000000u);
}

inline void negate_in_place(uint32_t* stack, uint32_t sp, uint32_t k) {
#pragma GCC unroll 4
    for (uint32_t index = 0; index < k; ++index) {
        stack[sp - 1 - index] ^= 0x80000000u;
    }
}

// P op Q, component by component.
template <typename Operation>
inline void combine(uint32_t* stack, uint32_t& sp, uint32_t k, Operation operation) {
    const Lanes q = load(stack, sp - 1, k);
    Lanes p = load(stack, sp - 1 - k, k);
#pragma GCC unroll 4
    for (uint32_t index = 0; index < k; ++index) {
        p.value[index] = operation(p.value[index], q.value[index]);
    }
    store(stack, sp - 1 - k, p, k);
    sp -= k;
}

// Vector, scalar on top.
inline bool scale(uint32_t* stack, uint32_t& sp, uint32_t k, bool divide) {
    const float s = word_to_float(stack[sp - 1]);
    if (divide && s == 0.0f) {
        return false;
    }
    Lanes v = load(stack, sp - 2, k);
#pragma GCC unroll 4
    for (uint32_t index = 0; index < k; ++index) {
        v.value[index] = divide ? v.value[index] / s : v.value[index] * s;
    }
    store(stack, sp - 2, v, k);
    sp -= 1;
    return true;
}

inline float dot(const Lanes& a, const Lanes& b, uint32_t k) {
    float sum = a.value[0] * b.value[0];
#pragma GCC unroll 4
    for (uint32_t index = 1; index < k; ++index) {
        sum += a.value[index] * b.value[index];
    }
    return sum;
}

inline void dot_product(uint32_t* stack, uint32_t& sp, uint32_t k) {
    const float result = dot(load(stack, sp - 1 - k, k), load(stack, sp - 1, k), k);
    sp -= 2 * k;
    stack[sp++] = float_to_word(result);
}

inline void length(uint32_t* stack, uint32_t& sp, uint32_t k) {
    const Lanes v = load(stack, sp - 1, k);
    sp -= k;
    stack[sp++] = float_to_word(std::sqrt(dot(v, v, k)));
}

// D, V: V divided by its length, or D when the length is 0.
inline void normalize_or_default(uint32_t* stack, uint32_t& sp, uint32_t k) {
    Lanes v = load(stack, sp - 1, k);
    const float size = std::sqrt(dot(v, v, k));
    if (size != 0.0f) {
        for (uint32_t index = 0; index < k; ++index) {
            v.value[index] /= size;
        }
        store(stack, sp - 1 - k, v, k);
    }
    sp -= k;
}

// P, Q, t on top: Q + (P - Q) t.
inline void interpolate(uint32_t* stack, uint32_t& sp, uint32_t k) {
    const float t = word_to_float(stack[sp - 1]);
    const Lanes q = load(stack, sp - 2, k);
    Lanes p = load(stack, sp - 2 - k, k);
#pragma GCC unroll 4
    for (uint32_t index = 0; index < k; ++index) {
        p.value[index] = q.value[index] + (p.value[index] - q.value[index]) * t;
    }
    store(stack, sp - 2 - k, p, k);
    sp -= k + 1;
}

// P, Q: Q x P.
inline void cross(uint32_t* stack, uint32_t& sp) {
    const Lanes q = load(stack, sp - 1, 3);
    const Lanes p = load(stack, sp - 4, 3);
    Lanes result;
    result.value[0] = q.value[1] * p.value[2] - q.value[2] * p.value[1];
    result.value[1] = q.value[2] * p.value[0] - q.value[0] * p.value[2];
    result.value[2] = q.value[0] * p.value[1] - q.value[1] * p.value[0];
    store(stack, sp - 4, result, 3);
    sp -= 3;
}

inline geometry::Quaternion to_quaternion(const Lanes& lanes) {
    return {lanes.value[0], lanes.value[1], lanes.value[2], lanes.value[3]};
}

inline Lanes from_quaternion(const geometry::Quaternion& q) {
    Lanes lanes;
    lanes.value[0] = q.x;
    lanes.value[1] = q.y;
    lanes.value[2] = q.z;
    lanes.value[3] = q.w;
    return lanes;
}

inline bool normalize_quaternion(uint32_t* stack, uint32_t sp) {
    Lanes q = load(stack, sp - 1, 4);
    const float size = std::sqrt(dot(q, q, 4));
    if (size == 0.0f) {
        return false;
    }
    for (float& value : q.value) {
        value /= size;
    }
    store(stack, sp - 1, q, 4);
    return true;
}

// 2 (u . v) u + (w^2 - u . u) v + 2 w (u x v), with u the vector part of q.
inline Lanes rotate(const Lanes& q, const Lanes& v) {
    const float ux = q.value[0], uy = q.value[1], uz = q.value[2], w = q.value[3];
    const float uv = ux * v.value[0] + uy * v.value[1] + uz * v.value[2];
    const float scale = w * w - (ux * ux + uy * uy + uz * uz);
    const float cross_x = uy * v.value[2] - uz * v.value[1];
    const float cross_y = uz * v.value[0] - ux * v.value[2];
    const float cross_z = ux * v.value[1] - uy * v.value[0];
    Lanes result;
    result.value[0] = 2.0f * uv * ux + scale * v.value[0] + 2.0f * w * cross_x;
    result.value[1] = 2.0f * uv * uy + scale * v.value[1] + 2.0f * w * cross_y;
    result.value[2] = 2.0f * uv * uz + scale * v.value[2] + 2.0f * w * cross_z;
    return result;
}

// V (3), quaternion on top.
inline void rotate_vector(uint32_t* stack, uint32_t& sp) {
    const Lanes q = load(stack, sp - 1, 4);
    const Lanes v = load(stack, sp - 5, 3);
    store(stack, sp - 5, rotate(q, v), 3);
    sp -= 4;
}

// A unit axis rotated by the quaternion on top: 4 words become 3.
inline void rotate_axis(uint32_t* stack, uint32_t& sp, uint32_t axis) {
    const Lanes q = load(stack, sp - 1, 4);
    Lanes v;
    v.value[axis] = 1.0f;
    sp -= 1;
    store(stack, sp - 1, rotate(q, v), 3);
}

// P, Q: Q (x) P.
inline void multiply_quaternions(uint32_t* stack, uint32_t& sp) {
    const geometry::Quaternion q = to_quaternion(load(stack, sp - 1, 4));
    const geometry::Quaternion p = to_quaternion(load(stack, sp - 5, 4));
    store(stack, sp - 5, from_quaternion(q * p), 4);
    sp -= 4;
}

// P, Q: the rotation from Q to P the shorter way.
inline void quaternion_difference(uint32_t* stack, uint32_t& sp) {
    const geometry::Quaternion q = to_quaternion(load(stack, sp - 1, 4));
    geometry::Quaternion p = to_quaternion(load(stack, sp - 5, 4));
    if (geometry::dot(p, q) < 0.0f) {
        p = {negate(p.x), negate(p.y), negate(p.z), negate(p.w)};
    }
    store(stack, sp - 5, from_quaternion(p * geometry::conjugate(q)), 4);
    sp -= 4;
}

// P, Q, t on top: from Q at t = 0 to P at t = 1.
inline void slerp_quaternions(uint32_t* stack, uint32_t& sp) {
    const float t = word_to_float(stack[sp - 1]);
    const geometry::Quaternion q = to_quaternion(load(stack, sp - 2, 4));
    const geometry::Quaternion p = to_quaternion(load(stack, sp - 6, 4));
    store(stack, sp - 6, from_quaternion(geometry::slerp(q, p, t)), 4);
    sp -= 5;
}

// qZ(a) (x) qX(b) (x) qY(c) from half-angle sines and cosines.
inline Lanes angles_to_quaternion(float a, float b, float c) {
    const float sa = trig::sine(a * 0.5f), ca = trig::cosine(a * 0.5f);
    const float sb = trig::sine(b * 0.5f), cb = trig::cosine(b * 0.5f);
    const float sc = trig::sine(c * 0.5f), cc = trig::cosine(c * 0.5f);
    Lanes result;
    result.value[0] = ca * sb * cc - sa * cb * sc;
    result.value[1] = ca * cb * sc + sa * sb * cc;
    result.value[2] = ca * sb * sc + sa * cb * cc;
    result.value[3] = ca * cb * cc - sa * sb * sc;
    return result;
}

// Angles a on top, b, c: 4 words replace 3.
inline void push_angles_quaternion(uint32_t* stack, uint32_t& sp) {
    const Lanes angles = load(stack, sp - 1, 3);
    sp += 1;
    store(stack, sp - 1, angles_to_quaternion(angles.value[0], angles.value[1], angles.value[2]), 4);
}

// The inverse of push_angles_quaternion: 3 words replace 4, Z's angle on top.
inline void quaternion_to_angles(uint32_t* stack, uint32_t& sp) {
    const geometry::Vector3 angles = geometry::quaternion_to_euler(to_quaternion(load(stack, sp - 1, 4)));
    sp -= 1;
    Lanes lanes;
    lanes.value[0] = angles.x;
    lanes.value[1] = angles.y;
    lanes.value[2] = angles.z;
    store(stack, sp - 1, lanes, 3);
}

// A unit direction (x on top, y, z): heading about Z from +Y, pitch about X.
inline void direction_to_quaternion(uint32_t* stack, uint32_t& sp) {
    const Lanes direction = load(stack, sp - 1, 3);
    const float heading = trig::arctangent2(negate(direction.value[0]), direction.value[1]);
    const float pitch = trig::arcsine(direction.value[2]);
    sp += 1;
    store(stack, sp - 1, angles_to_quaternion(heading, pitch, 0.0f), 4);
}

// In place: axis x on top, y, z, then the angle where w was.
inline void quaternion_to_axis_angle(uint32_t* stack, uint32_t sp) {
    const Lanes q = load(stack, sp - 1, 4);
    const float squared = q.value[0] * q.value[0] + q.value[1] * q.value[1] + q.value[2] * q.value[2];
    Lanes result;
    if (std::fabs(q.value[3] - 1.0f) < 0x1p-16f || squared <= 0x1p-16f) {
        result.value[2] = 1.0f;
    } else {
        const float size = std::sqrt(squared);
        for (int index = 0; index < 3; ++index) {
            result.value[index] = q.value[index] / size;
        }
        result.value[3] = 2.0f * trig::arccosine(q.value[3]);
    }
    store(stack, sp - 1, result, 4);
}

// In place: the axis is taken as given, not normalised.
inline void axis_angle_to_quaternion(uint32_t* stack, uint32_t sp) {
    Lanes q = load(stack, sp - 1, 4);
    const float half = q.value[3] * 0.5f;
    const float s = trig::sine(half);
    for (int index = 0; index < 3; ++index) {
        q.value[index] *= s;
    }
    q.value[3] = trig::cosine(half);
    store(stack, sp - 1, q, 4);
}

// Red on top, then green, blue and (for four) alpha.
inline void unpack_color(uint32_t* stack, uint32_t& sp, uint32_t k) {
    const uint32_t color = stack[sp - 1];
    constexpr float byte_scale = 0.003921568859f;
    Lanes lanes;
    lanes.value[0] = static_cast<float>((color >> 16) & 0xFF) * byte_scale;
    lanes.value[1] = static_cast<float>((color >> 8) & 0xFF) * byte_scale;
    lanes.value[2] = static_cast<float>(color & 0xFF) * byte_scale;
    lanes.value[3] = static_cast<float>(color >> 24) * byte_scale;
    sp += k - 1;
    store(stack, sp - 1, lanes, k);
}

inline uint32_t to_color_byte(float value) {
    if (!(value > 0.0f)) {
        return 0;
    }
    return value >= 1.0f ? 255u : static_cast<uint32_t>(value * 255.0f);
}

inline void pack_color(uint32_t* stack, uint32_t& sp, uint32_t k) {
    const Lanes lanes = load(stack, sp - 1, k);
    const uint32_t alpha = k == 4 ? to_color_byte(lanes.value[3]) : 255u;
    const uint32_t color = alpha << 24 | to_color_byte(lanes.value[0]) << 16 | to_color_byte(lanes.value[1]) << 8 |
                           to_color_byte(lanes.value[2]);
    sp -= k;
    stack[sp++] = color;
}

}  // namespace zolt::core::vector
