#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "zolt/core/script/opcode_test_support.h"

namespace zolt::core {
namespace {

using test::float_of;
using test::OpcodePrograms;
using test::OpcodeRun;
using test::word_of;
using Values = std::vector<double>;

constexpr double pi = 3.14159265358979323846;

// The float a value is pushed as, back in double: references start from
// exactly what the interpreter sees.
double as_float(double value) {
    return static_cast<float>(value);
}

Values as_floats(Values values) {
    for (double& value : values) {
        value = as_float(value);
    }
    return values;
}

// A vector is pushed w, z, y, x so that x ends on top; a result lies on the
// stack the same way.
std::vector<uint32_t> words(const Values& v) {
    std::vector<uint32_t> pushed;
    for (auto value = v.rbegin(); value != v.rend(); ++value) {
        pushed.push_back(word_of(static_cast<float>(*value)));
    }
    return pushed;
}

std::vector<uint32_t> words(std::initializer_list<Values> vectors) {
    std::vector<uint32_t> pushed;
    for (const Values& v : vectors) {
        const std::vector<uint32_t> part = words(v);
        pushed.insert(pushed.end(), part.begin(), part.end());
    }
    return pushed;
}

Values stacked(const Values& v) {
    return Values(v.rbegin(), v.rend());
}

// Quaternions (x, y, z, w) in double, written from i j = k, j k = i, k i = j.
struct Quaternion {
    double x, y, z, w;
};

Quaternion operator*(const Quaternion& a, const Quaternion& b) {
    return {a.w * b.x + b.w * a.x + (a.y * b.z - a.z * b.y), a.w * b.y + b.w * a.y + (a.z * b.x - a.x * b.z),
            a.w * b.z + b.w * a.z + (a.x * b.y - a.y * b.x), a.w * b.w - (a.x * b.x + a.y * b.y + a.z * b.z)};
}

Quaternion conjugate(const Quaternion& q) {
    return {-q.x, -q.y, -q.z, q.w};
}

double dot(const Quaternion& a, const Quaternion& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z + a.w * b.w;
}

Quaternion scaled(const Quaternion& q, double s) {
    return {q.x * s, q.y * s, q.z * s, q.w * s};
}

Quaternion normalized(const Quaternion& q) {
    return scaled(q, 1.0 / std::sqrt(dot(q, q)));
}

Values values_of(const Quaternion& q) {
    return {q.x, q.y, q.z, q.w};
}

Quaternion quaternion_of(const Values& v) {
    return {v[0], v[1], v[2], v[3]};
}

// Turns about a unit axis.
Quaternion about(double x, double y, double z, double turns) {
    const double size = std::sqrt(x * x + y * y + z * z);
    const double s = std::sin(pi * turns) / size;
    return {x * s, y * s, z * s, std::cos(pi * turns)};
}

// q v q*.
Values rotated(const Quaternion& q, const Values& v) {
    const Quaternion r = q * Quaternion{v[0], v[1], v[2], 0} * conjugate(q);
    return {r.x, r.y, r.z};
}

Values cross(const Values& a, const Values& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// From q at t = 0 to p at t = 1 on the shorter arc.
Quaternion slerp(const Quaternion& q, Quaternion p, double t) {
    double cosine = dot(q, p);
    if (cosine < 0) {
        p = scaled(p, -1);
        cosine = -cosine;
    }
    const double angle = std::acos(std::fmin(cosine, 1.0));
    if (angle < 1e-9) {
        return q;
    }
    const double a = std::sin((1 - t) * angle) / std::sin(angle), b = std::sin(t * angle) / std::sin(angle);
    return normalized({a * q.x + b * p.x, a * q.y + b * p.y, a * q.z + b * p.z, a * q.w + b * p.w});
}

Quaternion from_angles(double a, double b, double c) {
    return about(0, 0, 1, a) * about(1, 0, 0, b) * about(0, 1, 0, c);
}

// Angles (about Z, X, Y) of R = Rz Rx Ry, read off the rotation matrix.
Values to_angles(const Quaternion& q) {
    const Values column_x = rotated(q, {1, 0, 0}), column_y = rotated(q, {0, 1, 0}), column_z = rotated(q, {0, 0, 1});
    const double turn = 2 * pi;
    return {std::atan2(-column_y[0], column_y[1]) / turn, std::asin(column_y[2]) / turn,
            std::atan2(-column_x[2], column_z[2]) / turn};
}

struct Row {
    std::string label;
    std::string opcode;
    std::vector<uint32_t> pushes;
    Values expected;  // the stack above the sentinel, bottom first
    // Largest difference allowed relative to max(1, |expected|); 0 asks for
    // the float nearest to the expected value.
    double tolerance;
};

void expect_stack(const OpcodeRun& run, const Row& row) {
    ASSERT_TRUE(run.finished);
    ASSERT_EQ(run.stack.size(), row.expected.size() + 1);
    EXPECT_EQ(run.stack[0], test::stack_sentinel);
    for (size_t index = 0; index < row.expected.size(); ++index) {
        const double expected = row.expected[index];
        const float actual = float_of(run.stack[index + 1]);
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(actual)) << "word " << index;
        } else if (row.tolerance == 0) {
            EXPECT_EQ(actual, static_cast<float>(expected)) << "word " << index;
        } else {
            EXPECT_NEAR(actual, expected, row.tolerance * std::fmax(1.0, std::fabs(expected))) << "word " << index;
        }
    }
}

void run_rows(const std::vector<Row>& rows) {
    OpcodePrograms programs;
    for (const Row& row : rows) {
        programs.add(row.pushes, "    " + row.opcode + "\n");
    }
    for (size_t index = 0; index < rows.size(); ++index) {
        SCOPED_TRACE(rows[index].label + ": " + rows[index].opcode);
        expect_stack(programs.run(static_cast<uint32_t>(index)), rows[index]);
    }
}

const Values p4 = {1.5, -2.25, 3.75, 0.5};
const Values q4 = {-0.75, 4.5, 2.0, -1.25};

Values first(const Values& v, uint32_t k) {
    return Values(v.begin(), v.begin() + k);
}

template <typename Operation>
Values each(const Values& a, const Values& b, Operation operation) {
    Values result;
    for (size_t index = 0; index < a.size(); ++index) {
        result.push_back(operation(a[index], b[index]));
    }
    return result;
}

double dot(const Values& a, const Values& b) {
    double sum = 0;
    for (size_t index = 0; index < a.size(); ++index) {
        sum += a[index] * b[index];
    }
    return sum;
}

std::vector<Row> make_vector_rows() {
    std::vector<Row> rows;
    const double s = 2.5, t = 0.3;
    const uint32_t ts = word_of(static_cast<float>(t));
    for (uint32_t k = 2; k <= 4; ++k) {
        const std::string size = std::to_string(k);
        const Values p = first(p4, k), q = first(q4, k);
        auto with = [](std::vector<uint32_t> pushed, uint32_t word) {
            pushed.push_back(word);
            return pushed;
        };
        const Values scaled_p = each(p, p, [&](double a, double) { return a * s; });
        const Values divided_p = each(p, p, [&](double a, double) { return a / s; });
        const Values lerp = each(p, q, [&](double a, double b) { return b + (a - b) * as_float(t); });
        const Values unit_q = each(q, q, [&](double b, double) { return b / std::sqrt(dot(q, q)); });
        rows.push_back({"negate " + size, "negate_vector" + size, words(p),
                        stacked(each(p, p, [](double a, double) { return -a; })), 0});
        rows.push_back({"sum " + size, "add_vector" + size, words({p, q}),
                        stacked(each(p, q, [](double a, double b) { return a + b; })), 0});
        rows.push_back({"P - Q " + size, "subtract_vector" + size, words({p, q}),
                        stacked(each(p, q, [](double a, double b) { return a - b; })), 0});
        rows.push_back({"product " + size, "multiply_vector" + size, words({p, q}),
                        stacked(each(p, q, [](double a, double b) { return a * b; })), 0});
        rows.push_back({"scale " + size, "scale_vector" + size, with(words(p), word_of(2.5f)), stacked(scaled_p), 0});
        rows.push_back(
            {"divide " + size, "divide_vector" + size, with(words(p), word_of(2.5f)), stacked(divided_p), 0});
        rows.push_back(
            {"divide by NaN " + size, "divide_vector" + size, with(words(p), 0x7FC00000), Values(k, std::nan("")), 0});
        rows.push_back({"dot " + size, "dot_vector" + size, words({p, q}), {dot(p, q)}, 1e-6});
        rows.push_back({"length " + size, "length_vector" + size, words(p), {std::sqrt(dot(p, p))}, 1e-6});
        rows.push_back({"normalise " + size, "normalize_vector" + size, words({p, q}), stacked(unit_q), 1e-6});
        rows.push_back(
            {"zero keeps the default " + size, "normalize_vector" + size, words({p, Values(k, 0.0)}), stacked(p), 0});
        rows.push_back(
            {"interpolate " + size, "interpolate_vector" + size, with(words({p, q}), ts), stacked(lerp), 1e-6});
        rows.push_back(
            {"interpolate at 0 " + size, "interpolate_vector" + size, with(words({p, q}), 0), stacked(q), 0});
    }
    const Values p = first(p4, 3), q = first(q4, 3);
    rows.push_back({"Q x P", "cross_vector3", words({p, q}), stacked(cross(q, p)), 1e-6});
    rows.push_back({"x then y", "cross_vector3", words({{1, 0, 0}, {0, 1, 0}}), stacked({0, 0, -1}), 0});
    return rows;
}

TEST(InterpreterVector, VectorOpcodesMatchClosedForms) {
    run_rows(make_vector_rows());
}

std::vector<Row> make_quaternion_rows() {
    const Quaternion qa = quaternion_of(as_floats(values_of(about(1, 2, 3, 0.3))));
    const Quaternion qb = quaternion_of(as_floats(values_of(about(-2, 0.5, 1, 0.45))));
    const Quaternion near_qa = quaternion_of(as_floats(values_of(about(1, 2, 3, 0.3 + 1.0 / 720))));
    const Quaternion identity = {0, 0, 0, 1};
    const Quaternion uneven = {1, -2, 3, 4};
    const Values v = {0.5, -1, 2};
    const double ts = as_float(0.3);
    auto with = [](std::vector<uint32_t> pushed, float word) {
        pushed.push_back(word_of(word));
        return pushed;
    };
    auto q = [](const Quaternion& value) { return values_of(value); };
    const Quaternion minus_qa = scaled(qa, -1);
    const double half = std::sqrt(0.5);
    std::vector<Row> rows = {
        {"conjugate", "conjugate_quaternion", words(q(qa)), stacked(q(conjugate(qa))), 0},
        {"w negated", "negate_quaternion_w", words(q(qa)), stacked({qa.x, qa.y, qa.z, -qa.w}), 0},
        {"normalise", "normalize_quaternion", words(q(uneven)), stacked(q(normalized(uneven))), 1e-6},
        {"rotate", "rotate_vector3", words({v, q(qa)}), stacked(rotated(qa, v)), 2e-6},
        {"product", "multiply_quaternion", words({q(qa), q(qb)}), stacked(q(qb * qa)), 1e-6},
        {"identity on the right", "multiply_quaternion", words({q(identity), q(qb)}), stacked(q(qb)), 0},
        {"identity on the left", "multiply_quaternion", words({q(qa), q(identity)}), stacked(q(qa)), 0},
        {"slerp at 0", "slerp_quaternion", with(words({q(qa), q(qb)}), 0.0f), stacked(q(qb)), 2e-6},
        {"slerp at 1", "slerp_quaternion", with(words({q(qa), q(qb)}), 1.0f), stacked(q(qa)), 2e-6},
        {"slerp", "slerp_quaternion", with(words({q(qa), q(qb)}), 0.3f), stacked(q(slerp(qb, qa, ts))), 1e-5},
        {"slerp the shorter way", "slerp_quaternion", with(words({q(minus_qa), q(qb)}), 0.3f),
         stacked(q(slerp(qb, minus_qa, ts))), 1e-5},
        {"slerp of close rotations", "slerp_quaternion", with(words({q(near_qa), q(qa)}), 0.5f),
         stacked(q(slerp(qa, near_qa, 0.5))), 1e-5},
        {"slerp of q and -q", "slerp_quaternion", with(words({q(minus_qa), q(qa)}), 0.5f), stacked(q(qa)), 2e-6},
        {"difference", "quaternion_difference", words({q(qa), q(qb)}), stacked(q(qa * conjugate(qb))), 1e-6},
        {"difference the shorter way", "quaternion_difference", words({q(minus_qa), q(qb)}),
         stacked(q(dot(minus_qa, qb) < 0 ? qa * conjugate(qb) : minus_qa * conjugate(qb))), 1e-6},
        {"difference of opposites", "quaternion_difference", words({q(minus_qa), q(qa)}), stacked({0, 0, 0, 1}), 1e-6},
        {"quarter turn about Z", "angles_to_quaternion", words({0.25, 0, 0}), stacked({0, 0, half, half}), 1e-6},
        {"angles", "angles_to_quaternion", words({0.1, -0.07, 0.3}),
         stacked(q(from_angles(as_float(0.1), as_float(-0.07), as_float(0.3)))), 2e-6},
        {"angles of a rotation", "quaternion_to_angles", words(q(qa)), stacked(to_angles(qa)), 1e-5},
        {"angles back", "quaternion_to_angles", words(as_floats(q(from_angles(0.1, -0.07, 0.3)))),
         stacked({0.1, -0.07, 0.3}), 1e-5},
        {"quarter turn about X", "quaternion_to_angles", words({half, 0, 0, half}), stacked({0, 0.25, 0}), 1e-5},
        {"direction ahead", "direction_to_quaternion", words({0, 1, 0}), stacked({0, 0, 0, 1}), 1e-6},
        {"direction to the left", "direction_to_quaternion", words({-1, 0, 0}), stacked({0, 0, half, half}), 1e-6},
        {"direction above is clamped", "direction_to_quaternion", words({0, 0, 1.5}), stacked({half, 0, 0, half}),
         1e-6},
        {"y axis", "quaternion_y_axis", words(q(qa)), stacked(rotated(qa, {0, 1, 0})), 2e-6},
        {"x axis", "quaternion_x_axis", words(q(qa)), stacked(rotated(qa, {1, 0, 0})), 2e-6},
        {"z axis", "quaternion_z_axis", words(q(qa)), stacked(rotated(qa, {0, 0, 1})), 2e-6},
        {"axis and angle of the identity", "quaternion_to_axis_angle", words(q(identity)), stacked({0, 0, 1, 0}), 0},
        {"w of 1 counts as no turn", "quaternion_to_axis_angle", words({1, 0, 0, 1}), stacked({0, 0, 1, 0}), 0},
        {"a tiny axis counts as no turn", "quaternion_to_axis_angle", words({0.001, 0, 0, 0.5}), stacked({0, 0, 1, 0}),
         0},
        {"axis and angle", "quaternion_to_axis_angle", words(q(qa)),
         stacked({1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0), 0.3}), 1e-5},
        {"axis kept as given", "axis_angle_to_quaternion", words({2, 0, 0, 0.5}), stacked({2, 0, 0, 0}), 1e-6},
        {"axis and angle back", "axis_angle_to_quaternion",
         words(as_floats({1 / std::sqrt(14.0), 2 / std::sqrt(14.0), 3 / std::sqrt(14.0), 0.3})),
         stacked(q(about(1, 2, 3, 0.3))), 2e-6},
    };
    // The general direction, and the quaternion it gives turns ahead (+Y) onto it.
    const Values direction = as_floats({0.3 / std::sqrt(0.98), -0.5 / std::sqrt(0.98), 0.8 / std::sqrt(0.98)});
    const Quaternion facing = about(0, 0, 1, std::atan2(-direction[0], direction[1]) / (2 * pi)) *
                              about(1, 0, 0, std::asin(direction[2]) / (2 * pi));
    const Values ahead = rotated(facing, {0, 1, 0});
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_NEAR(ahead[axis], direction[axis], 1e-6);
    }
    rows.push_back({"direction", "direction_to_quaternion", words(direction), stacked(q(facing)), 2e-6});
    return rows;
}

TEST(InterpreterVector, QuaternionOpcodesMatchClosedForms) {
    // The reference product itself: i j = k and j i = -k.
    const Quaternion k = Quaternion{1, 0, 0, 0} * Quaternion{0, 1, 0, 0};
    EXPECT_EQ(values_of(k), (Values{0, 0, 1, 0}));
    EXPECT_EQ(values_of(Quaternion{0, 1, 0, 0} * Quaternion{1, 0, 0, 0}), (Values{0, 0, -1, 0}));
    run_rows(make_quaternion_rows());
}

TEST(InterpreterVector, ColoursPackAndUnpack) {
    const double byte = 1.0 / 255;
    const float nan = std::nanf("");
    const float infinity = INFINITY;
    auto colour = [](std::initializer_list<float> channels) {
        // Blue deepest, red on top; alpha, when given, first.
        std::vector<uint32_t> pushed;
        for (float channel : channels) {
            pushed.push_back(word_of(channel));
        }
        return pushed;
    };
    run_rows({
        {"three channels", "unpack_color3", {0x80FF8000}, {0, 128 * byte, 1}, 1e-7},
        {"four channels", "unpack_color4", {0x80FF8000}, {128 * byte, 0, 128 * byte, 1}, 1e-7},
        {"mixed bytes", "unpack_color4", {0x12345678}, {0x12 * byte, 0x78 * byte, 0x56 * byte, 0x34 * byte}, 1e-7},
    });

    struct PackRow {
        const char* label;
        const char* opcode;
        std::vector<uint32_t> pushes;
        uint32_t expected;
    };
    const PackRow pack_rows[] = {
        {"clamped and cut", "pack_color3", colour({0.5f, -0.2f, 1.5f}), 0xFFFF007F},
        {"alpha, blue, green, red", "pack_color4", colour({0.25f, 0.5f, 0.75f, 1.0f}), 0x3FFFBF7F},
        {"not a number is 0", "pack_color4", colour({nan, nan, nan, nan}), 0},
        {"minus zero and infinities", "pack_color4", colour({-0.0f, infinity, -infinity, 0.999f}), 0x00FE00FF},
        {"just below 1", "pack_color3", colour({0.99999994f, 1.0f, 0x1p-126f}), 0xFF00FFFE},
    };
    OpcodePrograms packing;
    for (const PackRow& row : pack_rows) {
        packing.add(row.pushes, std::string("    ") + row.opcode + "\n");
    }
    const uint32_t round_trip = packing.add({}, "    push_r0\n    unpack_color4\n    pack_color4\n    pop_r0\n");
    for (size_t index = 0; index < std::size(pack_rows); ++index) {
        SCOPED_TRACE(pack_rows[index].label);
        const OpcodeRun run = packing.run(static_cast<uint32_t>(index));
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.stack, (std::vector<uint32_t>{test::stack_sentinel, pack_rows[index].expected}));
    }

    // Every byte comes back from its float form unchanged.
    for (uint32_t value = 0; value < 256; ++value) {
        const uint32_t packed = value * 0x01000000u + (255 - value) * 0x10000u + value * 0x100u + (value ^ 0x5A);
        const OpcodeRun run = packing.run(round_trip, {packed});
        ASSERT_TRUE(run.finished);
        EXPECT_EQ(run.registers[0], packed);
    }
}

TEST(InterpreterVector, ZeroDivisorsAndZeroQuaternionsEndTheTask) {
    struct FaultRow {
        const char* label;
        std::vector<uint32_t> pushes;
        const char* opcode;
        bool faults;
    };
    const FaultRow rows[] = {
        {"divide 2 by zero", {word_of(1), word_of(2), 0}, "divide_vector2", true},
        {"divide 3 by minus zero", {word_of(1), word_of(2), word_of(3), 0x80000000}, "divide_vector3", true},
        {"divide 4 by zero", {word_of(1), word_of(2), word_of(3), word_of(4), 0}, "divide_vector4", true},
        {"divide by the smallest float", {word_of(1), word_of(2), 1}, "divide_vector2", false},
        {"normalise zero quaternion", {0, 0, 0x80000000, 0}, "normalize_quaternion", true},
        {"normalise a zero vector", {word_of(1), word_of(2), 0, 0}, "normalize_vector2", false},
        {"rotate with too few words", {0, 0, 0, 0, word_of(1)}, "rotate_vector3", true},
        {"slerp with too few words", {0, 0, 0, 0, 0, 0, word_of(1)}, "slerp_quaternion", true},
    };
    OpcodePrograms programs;
    for (const FaultRow& row : rows) {
        programs.add(row.pushes, std::string("    ") + row.opcode + "\n");
    }
    for (size_t index = 0; index < std::size(rows); ++index) {
        SCOPED_TRACE(rows[index].label);
        const OpcodeRun run = programs.run(static_cast<uint32_t>(index));
        EXPECT_FALSE(run.alive);
        EXPECT_EQ(run.finished, !rows[index].faults);
        if (rows[index].faults) {
            // Nothing was written: the operands are still there as pushed.
            std::vector<uint32_t> expected = {test::stack_sentinel};
            expected.insert(expected.end(), rows[index].pushes.begin(), rows[index].pushes.end());
            EXPECT_EQ(run.stack, expected);
        }
    }
}

}  // namespace
}  // namespace zolt::core
