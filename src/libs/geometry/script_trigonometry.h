#pragma once
// The angle functions of the scalar and quaternion opcodes, in turns (1.0 is
// a full circle). Scripts rely on their exact single-precision results, so
// these fixed polynomials are kept apart from the shared geometry routines,
// whose coefficients may be tuned. Pure functions; any thread.
#include <array>
#include <cmath>

namespace zolt::geometry::script_trig {

inline constexpr std::array<float, 12> sine_coefficients = {
    6.28318548f, -41.3417015f,  81.6052475f,  -76.7058563f,   42.0586929f,    -15.0946426f,
    3.81995249f, -0.718122303f, 0.104229026f, -0.0120307719f, 0.00112790696f, -8.19160487e-05f,
};
inline constexpr std::array<float, 12> cosine_coefficients = {
    1.0f,        -19.7392082f, 64.9393921f,  -85.4568176f,   60.2446404f,    -26.4262562f,
    7.90353632f, -1.71439064f, 0.282005608f, -0.0363803841f, 0.00376968645f, -0.000299706619f,
};
inline constexpr std::array<float, 12> arc_sine_coefficients = {
    0.159154937f,   0.0265258234f,  0.0119366208f,  0.00710513163f, 0.00483543565f,  0.00356066599f,
    0.00276121288f, 0.00223036064f, 0.00176923489f, 0.00194459024f, 1.68404131e-05f, 0.00343638822f,
};

// Sum of coefficients[k] x square^k.
inline float evaluate_even(const std::array<float, 12>& coefficients, float square) {
    float sum = coefficients[11];
    for (int index = 10; index >= 0; --index) {
        sum = sum * square + coefficients[index];
    }
    return sum;
}

// Keeps NaN, which std::clamp and fmin would not.
inline float clamp(float value, float low, float high) {
    return value > high ? high : value < low ? low : value;
}

inline float sine(float turns) {
    const float r = turns - std::floor(turns + 0.5f);
    return clamp(evaluate_even(sine_coefficients, r * r) * r, -1.0f, 1.0f);
}

inline float cosine(float turns) {
    const float r = turns - std::floor(turns + 0.5f);
    return clamp(evaluate_even(cosine_coefficients, r * r), -1.0f, 1.0f);
}

inline float tangent(float turns) {
    const float t = 2.0f * turns - std::floor(2.0f * turns + 0.5f);
    const float a = std::fabs(t);
    if (a < 0x1p-15f) {
        return t;
    }
    const float square = a * a;
    const float numerator =
        a * (3.14159274f + square * (-3.9751637f + square * (0.855999112f + square * -0.0223501921f)));
    const float denominator = 1.0f + square * (-4.55520201f + square * (2.27060819f + square * -0.199200034f));
    return std::copysign(numerator / denominator, t);
}

// In [-0.25, 0.25]; arguments beyond [-1, 1] count as -1 or 1.
inline float arcsine(float value) {
    float a = std::fabs(value);
    a = a > 1.0f ? 1.0f : a;
    const bool folded = a > 0.5f;
    const float u = folded ? std::sqrt((1.0f - a) * 0.5f) : a;
    const float p = evaluate_even(arc_sine_coefficients, u * u) * u;
    const float magnitude = clamp(folded ? 0.25f - 2.0f * p : p, 0.0f, 0.25f);
    return std::copysign(magnitude, value);
}

// In [0, 0.5].
inline float arccosine(float value) {
    return 0.25f - arcsine(value);
}

// In [-0.25, 0.25].
inline float arctangent(float value) {
    const float a = std::fabs(value);
    if (a > 8.50705917e37f) {
        // 1 / a would be subnormal; the angle is a quarter turn to the last bit.
        return std::copysign(0.25f, value);
    }
    const float v = a > 1.0f ? 1.0f / a : a;
    // Past tan(1/24 turn) the argument is turned back by 1/12 turn.
    const bool reduced = v > 0.267949194f;
    const float w = reduced ? (1.73205078f * v - 1.0f) / (v + 1.73205078f) : v;
    float q = w;
    if (!(std::fabs(w) < 0x1p-16f)) {
        const float square = w * w;
        const float numerator =
            w * (0.159154937f + square * (0.204044804f + square * (0.062994197f + square * 0.00271353079f)));
        const float denominator = 1.0f + square * (1.61538458f + square * (0.734265745f + square * 0.0815850794f));
        q = numerator / denominator;
    }
    if (reduced) {
        q += 0.0833333358f;
    }
    if (a > 1.0f) {
        q = 0.25f - q;
    }
    return std::copysign(clamp(q, 0.0f, 0.25f), value);
}

// The angle of (x, y) in (-0.5, 0.5], except that y = -0.0 with a negative x
// gives -0.5: the sign of y always carries through.
inline float arctangent2(float y, float x) {
    if (x == 0.0f || y == 0.0f) {
        if (y != 0.0f) {
            return std::copysign(0.25f, y);
        }
        return std::copysign(std::signbit(x) ? 0.5f : 0.0f, y);
    }
    const float angle = arctangent(y / x);
    return x < 0.0f ? angle + std::copysign(0.5f, y) : angle;
}

}  // namespace zolt::geometry::script_trig
