#pragma once
// Trigonometry in turns (1.0 is a full circle), the unit of angles scripts
// see. Sine is the Taylor series of sin(2 pi x) up to x^23 on a quarter
// turn; arc sine and arc cosine share one polynomial on [0, 0.5], reaching
// larger arguments through sqrt((1 - x) / 2). Both keep single-precision
// accuracy. Any thread.
#include <array>
#include <cmath>

namespace zolt::geometry {

constexpr double pi = 3.14159265358979323846;

namespace detail {

constexpr std::array<float, 12> make_sine_coefficients() {
    // The coefficient of x^(2k+1) in sin(2 pi x): (-1)^k (2 pi)^(2k+1) / (2k+1)!.
    std::array<float, 12> coefficients{};
    const double turn = 2 * pi;
    double term = turn;
    for (int k = 0; k < 12; ++k) {
        coefficients[k] = static_cast<float>(term);
        term *= -turn * turn / ((2 * k + 2) * (2 * k + 3));
    }
    return coefficients;
}

inline constexpr std::array<float, 12> sine_coefficients = make_sine_coefficients();

// asin(x) / (2 pi) = x * P(x^2) on [0, 0.5]: a degree-7 polynomial in the
// square of the reduced argument, fitted for least relative error.
inline constexpr std::array<float, 8> arc_sine_coefficients = {
    1.591549431e-01f, 2.652582505e-02f, 1.193652237e-02f, 7.108183744e-03f,
    4.789323635e-03f, 3.932965492e-03f, 1.149704078e-03f, 5.562717164e-03f,
};

inline float evaluate_arc_sine_polynomial(float square) {
    float sum = arc_sine_coefficients[7];
    for (int index = 6; index >= 0; --index) {
        sum = sum * square + arc_sine_coefficients[index];
    }
    return sum;
}

// sin(2 pi x) for x within a quarter turn of 0.
inline float sine_quarter_turn(float x) {
    const float square = x * x;
    float sum = sine_coefficients[11];
    for (int index = 10; index >= 0; --index) {
        sum = sum * square + sine_coefficients[index];
    }
    return sum * x;
}

}  // namespace detail

// sin(2 pi turns) for any argument.
inline float sin_turns(float turns) {
    float x = turns - std::floor(turns + 0.5f);
    // sin(2 pi x) = sin(2 pi (1/2 - x)) folds (1/4, 1/2] back onto [0, 1/4).
    if (x > 0.25f) {
        x = 0.5f - x;
    } else if (x < -0.25f) {
        x = -0.5f - x;
    }
    return detail::sine_quarter_turn(x);
}

inline float cos_turns(float turns) {
    return sin_turns(turns + 0.25f);
}

// In [-0.25, 0.25]; arguments are clamped to [-1, 1].
inline float asin_turns(float value) {
    const float magnitude = std::fmin(std::fabs(value), 1.0f);
    float result;
    if (magnitude > 0.5f) {
        const float square = (1.0f - magnitude) * 0.5f;
        result = 0.25f - 2.0f * std::sqrt(square) * detail::evaluate_arc_sine_polynomial(square);
    } else {
        result = magnitude * detail::evaluate_arc_sine_polynomial(magnitude * magnitude);
    }
    return std::copysign(result, value);
}

// In [0, 0.5]; arguments are clamped to [-1, 1]. Near 1 it is computed
// directly, not as 1/4 - asin, so small angles keep their precision.
inline float acos_turns(float value) {
    const float magnitude = std::fmin(std::fabs(value), 1.0f);
    if (magnitude > 0.5f) {
        const float square = (1.0f - magnitude) * 0.5f;
        const float half_angle = 2.0f * std::sqrt(square) * detail::evaluate_arc_sine_polynomial(square);
        return value > 0 ? half_angle : 0.5f - half_angle;
    }
    return 0.25f - value * detail::evaluate_arc_sine_polynomial(value * value);
}

// In (-0.5, 0.5].
inline float atan2_turns(float y, float x) {
    const float result = static_cast<float>(std::atan2(y, x) * (1.0 / (2 * pi)));
    return result <= -0.5f ? 0.5f : result;
}

// tan(2 pi turns); a field of view f has the half-angle tangent tan_turns(f / 2).
inline float tan_turns(float turns) {
    return static_cast<float>(std::tan(static_cast<double>(turns) * (2 * pi)));
}

// In (-0.25, 0.25).
inline float atan_turns(float value) {
    return static_cast<float>(std::atan(static_cast<double>(value)) * (1.0 / (2 * pi)));
}

}  // namespace zolt::geometry
