#include "libs/geometry/quaternion.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>

#include "libs/geometry/matrix.h"
#include "libs/geometry/plane.h"
#include "libs/geometry/turn_trigonometry.h"

namespace zolt::geometry {
namespace {

constexpr double turn = 2 * pi;

// Double-precision references, written from the closed forms.
struct ExactQuaternion {
    double x, y, z, w;
};
using ExactVector = std::array<double, 3>;

ExactQuaternion exact(const Quaternion& q) {
    return {q.x, q.y, q.z, q.w};
}

ExactQuaternion multiply_exact(const ExactQuaternion& a, const ExactQuaternion& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

ExactVector rotate_exact(const ExactQuaternion& q, const ExactVector& v) {
    const ExactQuaternion image = multiply_exact(multiply_exact(q, {v[0], v[1], v[2], 0}), {-q.x, -q.y, -q.z, q.w});
    return {image.x, image.y, image.z};
}

ExactQuaternion about_axis(int axis, double turns) {
    ExactQuaternion q{0, 0, 0, std::cos(pi * turns)};
    (axis == 0 ? q.x : axis == 1 ? q.y : q.z) = std::sin(pi * turns);
    return q;
}

Quaternion to_float(const ExactQuaternion& q) {
    return {static_cast<float>(q.x), static_cast<float>(q.y), static_cast<float>(q.z), static_cast<float>(q.w)};
}

class RandomRotations {
public:
    explicit RandomRotations(uint32_t seed) : random_(seed) {}
    Quaternion next() {
        std::normal_distribution<double> normal;
        ExactQuaternion q{normal(random_), normal(random_), normal(random_), normal(random_)};
        const double length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
        return to_float({q.x / length, q.y / length, q.z / length, q.w / length});
    }
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random_); }
    std::mt19937& engine() { return random_; }

private:
    std::mt19937 random_;
};

// Within this of the exact result: a few float steps of values near 1.
constexpr double vector_tolerance = 2e-6;

TEST(Quaternion, RotationProductAndMatricesAgreeWithTheExactSandwich) {
    RandomRotations random(1);
    for (int sample = 0; sample < 5000; ++sample) {
        const Quaternion a = random.next();
        const Quaternion b = random.next();
        const Vector3 v{random.uniform(-10, 10), random.uniform(-10, 10), random.uniform(-10, 10)};
        const ExactVector expected = rotate_exact(exact(a), {v.x, v.y, v.z});
        const Vector3 rotated = rotate(a, v);
        const Vector3 through_matrix = transform_direction(v, make_rotation_matrix(a));
        for (int lane = 0; lane < 3; ++lane) {
            ASSERT_NEAR(get_lane(rotated, lane), expected[lane], 10 * vector_tolerance);
            ASSERT_NEAR(get_lane(through_matrix, lane), expected[lane], 10 * vector_tolerance);
        }
        // a * b turns by b first, then by a.
        const ExactVector composed = rotate_exact(exact(a), rotate_exact(exact(b), {v.x, v.y, v.z}));
        const Vector3 by_product = rotate(a * b, v);
        for (int lane = 0; lane < 3; ++lane) {
            ASSERT_NEAR(get_lane(by_product, lane), composed[lane], 10 * vector_tolerance);
        }
        // A child transform under a parent: the product of the matrices, child first.
        const Vector3 offset{random.uniform(-5, 5), random.uniform(-5, 5), random.uniform(-5, 5)};
        const Vector3 through_both =
            transform_point(v, multiply(make_transform_matrix(b, offset), make_transform_matrix(a, offset)));
        const Vector3 step_by_step = rotate(a, rotate(b, v) + offset) + offset;
        for (int lane = 0; lane < 3; ++lane) {
            ASSERT_NEAR(get_lane(through_both, lane), get_lane(step_by_step, lane), 2e-5);
        }
    }
}

TEST(Quaternion, PlaneDistanceIsPositiveOutside) {
    const Plane floor = make_plane({0, 0, 1}, {0, 0, 2});
    EXPECT_FLOAT_EQ(get_plane_distance(floor, {5, -3, 3.5f}), 1.5f);
    EXPECT_TRUE(is_outside_plane(floor, {0, 0, 2.5f}));
    EXPECT_FALSE(is_outside_plane(floor, {0, 0, 2}));
    EXPECT_FALSE(is_outside_plane(floor, {0, 0, -1}));
}

// The rule of slerp in double precision: shorter way, linear weights within
// one degree, clamped spherical weights elsewhere, normalised.
ExactQuaternion slerp_exact(const ExactQuaternion& a, const ExactQuaternion& b, const std::array<double, 4>& t) {
    double cosine = a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
    const double sign = cosine < 0 ? -1 : 1;
    cosine = std::fabs(cosine);
    const double angle = std::acos(std::fmin(cosine, 1.0));
    const double a_lanes[4] = {a.x, a.y, a.z, a.w};
    const double b_lanes[4] = {b.x, b.y, b.z, b.w};
    double result[4];
    for (int lane = 0; lane < 4; ++lane) {
        double weight_a = 1 - t[lane];
        double weight_b = t[lane];
        if (cosine <= 0.9998477) {
            weight_a = std::clamp(std::sin((1 - t[lane]) * angle) / std::sin(angle), -1.0, 1.0);
            weight_b = std::clamp(std::sin(t[lane] * angle) / std::sin(angle), -1.0, 1.0);
        }
        result[lane] = weight_a * a_lanes[lane] + sign * weight_b * b_lanes[lane];
    }
    const double length =
        std::sqrt(result[0] * result[0] + result[1] * result[1] + result[2] * result[2] + result[3] * result[3]);
    return {result[0] / length, result[1] / length, result[2] / length, result[3] / length};
}

TEST(Quaternion, SlerpAgreesWithTheDoublePrecisionClosedForm) {
    RandomRotations random(2);
    for (int sample = 0; sample < 10000; ++sample) {
        const Quaternion a = random.next();
        Quaternion b = random.next();
        if (sample % 4 == 1) {
            // Close pairs, on both sides of the one-degree switch.
            const float angle = random.uniform(0.0f, 0.01f);
            b = normalize(a * to_float(about_axis(sample % 3, angle)));
        }
        if (sample % 4 == 2) {
            b = negate(b);
        }
        const bool per_lane = sample % 5 == 0;
        const float t0 = random.uniform(0, 1);
        const Vector4 t =
            per_lane ? Vector4{t0, random.uniform(0, 1), random.uniform(0, 1), random.uniform(0, 1)} : splat(t0);
        const Quaternion result = slerp(a, b, t);
        const ExactQuaternion expected = slerp_exact(exact(a), exact(b), {t.x, t.y, t.z, t.w});
        ASSERT_NEAR(result.x, expected.x, vector_tolerance) << sample;
        ASSERT_NEAR(result.y, expected.y, vector_tolerance) << sample;
        ASSERT_NEAR(result.z, expected.z, vector_tolerance) << sample;
        ASSERT_NEAR(result.w, expected.w, vector_tolerance) << sample;
    }
}

TEST(Quaternion, SlerpTakesTheShorterWayAndIsLinearWithinOneDegree) {
    const Quaternion q = to_float(multiply_exact(about_axis(0, 0.1), about_axis(2, 0.3)));
    const Quaternion half = slerp(q, negate(q), 0.5f);
    EXPECT_NEAR(half.x, q.x, 1e-6);
    EXPECT_NEAR(half.y, q.y, 1e-6);
    EXPECT_NEAR(half.z, q.z, 1e-6);
    EXPECT_NEAR(half.w, q.w, 1e-6);

    // Half a degree apart: (1 - t) a + t b, normalised.
    const Quaternion a = identity_quaternion();
    const Quaternion b = to_float(about_axis(1, 0.5 / 360));
    const float t = 0.3f;
    const Quaternion linear =
        normalize({0.7f * a.x + t * b.x, 0.7f * a.y + t * b.y, 0.7f * a.z + t * b.z, 0.7f * a.w + t * b.w});
    const Quaternion result = slerp(a, b, t);
    EXPECT_FLOAT_EQ(result.y, linear.y);
    EXPECT_FLOAT_EQ(result.w, linear.w);

    // The ends are the inputs.
    const Quaternion c = to_float(about_axis(2, 0.2));
    EXPECT_NEAR(slerp(a, c, 0.0f).z, 0.0f, 1e-7);
    EXPECT_NEAR(slerp(a, c, 1.0f).z, c.z, 1e-7);
    EXPECT_NEAR(slerp(a, c, 0.5f).z, std::sin(pi * 0.1), 1e-7);
}

double circular_difference(double a, double b) {
    const double difference = a - b;
    return std::fabs(difference - std::round(difference));
}

TEST(Quaternion, EulerAnglesAgreeWithTheDoublePrecisionClosedForm) {
    RandomRotations random(3);
    for (int sample = 0; sample < 10000; ++sample) {
        Quaternion q = random.next();
        if (sample % 10 == 0) {
            // Right at the poles, where Y folds into Z.
            q = to_float(multiply_exact(multiply_exact(about_axis(2, random.uniform(-0.5f, 0.5f)),
                                                       about_axis(0, sample % 20 == 0 ? 0.25 : -0.25)),
                                        about_axis(1, random.uniform(-0.5f, 0.5f))));
        }
        const ExactQuaternion e = exact(q);
        const double r01 = 2 * (e.x * e.y - e.w * e.z), r11 = e.w * e.w - e.x * e.x + e.y * e.y - e.z * e.z;
        const double r20 = 2 * (e.x * e.z - e.w * e.y), r22 = e.w * e.w - e.x * e.x - e.y * e.y + e.z * e.z;
        const double r21 = 2 * (e.y * e.z + e.w * e.x);
        const Vector3 angles = quaternion_to_euler(q);
        ASSERT_GT(angles.x, -0.5f);
        ASSERT_LE(angles.x, 0.5f);
        ASSERT_GE(angles.y, -0.25f);
        ASSERT_LE(angles.y, 0.25f);
        const double cosine_x = std::sqrt(r01 * r01 + r11 * r11);
        if (cosine_x > 0.01) {
            // Away from the poles the angles themselves are well defined.
            ASSERT_NEAR(angles.y, std::asin(r21) / turn, 1e-5) << sample;
            ASSERT_LT(circular_difference(angles.x, std::atan2(-r01, r11) / turn), 1e-5) << sample;
            ASSERT_LT(circular_difference(angles.z, std::atan2(-r20, r22) / turn), 1e-5) << sample;
        }
        // Everywhere, Rz * Rx * Ry of the answer is the same rotation.
        const ExactQuaternion rebuilt =
            multiply_exact(multiply_exact(about_axis(2, angles.x), about_axis(0, angles.y)), about_axis(1, angles.z));
        const double alignment = std::fabs(rebuilt.x * e.x + rebuilt.y * e.y + rebuilt.z * e.z + rebuilt.w * e.w);
        ASSERT_GT(alignment, 1 - 1e-6) << sample;
    }
}

TEST(Quaternion, EulerAnglesOfSimpleTurns) {
    struct Case {
        ExactQuaternion rotation;
        Vector3 angles;
    };
    const Case cases[] = {
        {about_axis(0, 0.25), {0, 0.25f, 0}},
        {about_axis(0, -0.1), {0, -0.1f, 0}},
        {about_axis(2, 0.25), {0.25f, 0, 0}},
        {about_axis(1, 0.125), {0, 0, 0.125f}},
        {about_axis(1, 0.5), {0, 0, 0.5f}},
        {multiply_exact(multiply_exact(about_axis(2, 0.1), about_axis(0, 0.2)), about_axis(1, -0.3)),
         {0.1f, 0.2f, -0.3f}},
        // At the pole a turn about Y shows up as a turn about Z.
        {multiply_exact(about_axis(0, 0.25), about_axis(1, 0.1)), {0.1f, 0.25f, 0}},
    };
    for (const Case& c : cases) {
        const Vector3 angles = quaternion_to_euler(to_float(c.rotation));
        EXPECT_NEAR(angles.x, c.angles.x, 1e-6);
        EXPECT_NEAR(angles.y, c.angles.y, 1e-6);
        EXPECT_NEAR(angles.z, c.angles.z, 1e-6);
    }
}

}  // namespace
}  // namespace zolt::geometry

namespace zolt::geometry {
namespace {

TEST(QuaternionEulerTest, AnglesRebuildTheRotationTheyCameFrom) {
    const Vector3 cases[] = {{0.1f, 0.05f, -0.2f}, {-0.4f, 0.2f, 0.3f}, {0.25f, 0, 0}, {0, -0.1f, 0}, {0, 0, 0.45f}};
    for (const Vector3& turns : cases) {
        SCOPED_TRACE(testing::Message() << turns.x << " " << turns.y << " " << turns.z);
        const Quaternion q = euler_to_quaternion(turns);
        EXPECT_NEAR(dot(q, q), 1.0f, 1e-5f);
        const Vector3 back = quaternion_to_euler(q);
        EXPECT_NEAR(back.x, turns.x, 1e-5f);
        EXPECT_NEAR(back.y, turns.y, 1e-5f);
        EXPECT_NEAR(back.z, turns.z, 1e-5f);
    }
}

}  // namespace
}  // namespace zolt::geometry
