#include <gtest/gtest.h>

#include <bit>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "libs/geometry/script_trigonometry.h"
#include "zolt/core/script/task_test_support.h"

namespace zolt::core {

namespace trig = geometry::script_trig;
namespace {

using test::ScriptWorld;

constexpr double turn = 6.283185307179586;

uint32_t bits(float value) {
    return std::bit_cast<uint32_t>(value);
}

float as_float(uint32_t word) {
    return std::bit_cast<float>(word);
}

struct Program {
    std::vector<float> operands;  // pushed in order
    std::string opcode;
};

// Runs each program as its own task and answers the stacks they leave,
// bottom first.
std::vector<std::vector<float>> run(const std::vector<Program>& programs) {
    std::string source = ".code 0 1\n";
    for (size_t index = 0; index < programs.size(); ++index) {
        source += ".entry case" + std::to_string(index) + "\n";
    }
    for (size_t index = 0; index < programs.size(); ++index) {
        source += "case" + std::to_string(index) + ":\n";
        for (const float operand : programs[index].operands) {
            char word[32];
            std::snprintf(word, sizeof word, "0x%08" PRIX32, bits(operand));
            source += std::string("    push_word ") + word + "\n";
        }
        source += "    " + programs[index].opcode + "\n    end_task\n";
    }
    ScriptWorld world({source});
    std::vector<std::vector<float>> stacks;
    for (size_t index = 0; index < programs.size(); ++index) {
        Task* const task = world.start(0x4000 + static_cast<uint32_t>(index));
        EXPECT_EQ(ScriptWorld::execute(task), 0u);
        const ScriptContext& context = ScriptWorld::context();
        std::vector<float> stack;
        for (uint32_t slot = 0; slot < context.stack_index; ++slot) {
            stack.push_back(as_float(context.stack[slot]));
        }
        stacks.push_back(stack);
    }
    return stacks;
}

std::vector<float> run_one(const Program& program) {
    return run({program})[0];
}

struct EdgeCase {
    std::vector<float> operands;
    const char* opcode;
    uint32_t expected;
};

TEST(InterpreterTrig, EdgeValuesAreExact) {
    const EdgeCase cases[] = {
        {{0.25f}, "sine", 0x3F800000},
        {{-0.25f}, "sine", 0xBF800000},
        {{1000000.25f}, "sine", 0x3F800000},
        {{3.0e9f}, "sine", 0},
        {{0.5f}, "cosine", 0xBF800000},
        {{0.0f}, "cosine", 0x3F800000},
        {{-7.0f}, "cosine", 0x3F800000},
        {{0.0f}, "tangent", 0},
        {{1.0f}, "arcsine", 0x3E800000},
        {{-2.0f}, "arcsine", 0xBE800000},
        {{1.0f}, "arccosine", 0},
        {{-1.0f}, "arccosine", 0x3F000000},
        {{0.0f}, "arccosine", 0x3E800000},
        {{1.0e38f}, "arctangent", 0x3E800000},
        {{-INFINITY}, "arctangent", 0xBE800000},
        {{-1.0f, 0.0f}, "arctangent2", 0x3F000000},
        {{-1.0f, -0.0f}, "arctangent2", 0xBF000000},
        {{0.0f, 1.0f}, "arctangent2", 0x3E800000},
        {{-0.0f, -1.0f}, "arctangent2", 0xBE800000},
        {{1.0f, 0.0f}, "arctangent2", 0},
        {{-0.0f, 0.0f}, "arctangent2", 0x3F000000},
        {{-1.0f, -1.0f}, "arctangent2", bits(-0.375f)},
    };
    std::vector<Program> programs;
    for (const EdgeCase& row : cases) {
        programs.push_back({row.operands, row.opcode});
    }
    const std::vector<std::vector<float>> stacks = run(programs);
    for (size_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(std::string(cases[index].opcode) + " case " + std::to_string(index));
        ASSERT_EQ(stacks[index].size(), 1u);
        EXPECT_EQ(bits(stacks[index][0]), cases[index].expected);
    }
}

TEST(InterpreterTrig, OpcodesRunTheTurnFunctions) {
    const float inputs[] = {-3.7f, -0.6f, -0.2f, 0.01f, 0.3f, 0.49f, 2.6f};
    std::vector<Program> programs;
    for (const float input : inputs) {
        for (const char* opcode : {"sine", "cosine", "tangent", "arcsine", "arccosine", "arctangent"}) {
            programs.push_back({{input}, opcode});
        }
        programs.push_back({{0.7f, input}, "arctangent2"});
    }
    const std::vector<std::vector<float>> stacks = run(programs);
    size_t index = 0;
    for (const float input : inputs) {
        SCOPED_TRACE(input);
        for (const float expected : {trig::sine(input), trig::cosine(input), trig::tangent(input), trig::arcsine(input),
                                     trig::arccosine(input), trig::arctangent(input), trig::arctangent2(input, 0.7f)}) {
            ASSERT_EQ(stacks[index].size(), 1u);
            EXPECT_EQ(bits(stacks[index][0]), bits(expected));
            ++index;
        }
    }
}

// Evenly spread arguments in [low, high].
std::vector<float> spread(float low, float high, int count) {
    std::vector<float> values;
    for (int index = 0; index < count; ++index) {
        values.push_back(static_cast<float>(low + (high - low) * index / (count - 1.0)));
    }
    return values;
}

TEST(InterpreterTrig, SineAndCosineAgreeWithTheLibrary) {
    for (const float x : spread(-4.0f, 4.0f, 20001)) {
        const double angle = static_cast<double>(x) * turn;
        ASSERT_NEAR(trig::sine(x), std::sin(angle), 2e-6) << x;
        ASSERT_NEAR(trig::cosine(x), std::cos(angle), 2e-6) << x;
        ASSERT_LE(std::fabs(trig::sine(x)), 1.0f);
        ASSERT_LE(std::fabs(trig::cosine(x)), 1.0f);
    }
}

TEST(InterpreterTrig, TangentAgreesWithTheLibrary) {
    for (const float x : spread(-2.0f, 2.0f, 20001)) {
        const double expected = std::tan(static_cast<double>(x) * turn);
        if (std::fabs(expected) > 100) {
            continue;  // too near a pole for a single-precision argument to say
        }
        ASSERT_NEAR(trig::tangent(x), expected, 2e-5 * std::fmax(1.0, expected * expected)) << x;
    }
    EXPECT_EQ(trig::tangent(1.0e-6f), 2.0e-6f);
}

TEST(InterpreterTrig, ArcFunctionsAgreeWithTheLibrary) {
    for (const float x : spread(-1.0f, 1.0f, 20001)) {
        ASSERT_NEAR(trig::arcsine(x), std::asin(static_cast<double>(x)) / turn, 1e-6) << x;
        ASSERT_NEAR(trig::arccosine(x), std::acos(static_cast<double>(x)) / turn, 1e-6) << x;
        ASSERT_GE(trig::arccosine(x), 0.0f);
        ASSERT_LE(trig::arccosine(x), 0.5f);
    }
    for (const float x : spread(-50.0f, 50.0f, 20001)) {
        ASSERT_NEAR(trig::arctangent(x), std::atan(static_cast<double>(x)) / turn, 1e-6) << x;
        ASSERT_LE(std::fabs(trig::arctangent(x)), 0.25f);
    }
    for (const float angle : spread(-0.4999f, 0.5f, 4001)) {
        const double radians = static_cast<double>(angle) * turn;
        for (const float radius : {0.001f, 1.0f, 300.0f}) {
            const float y = static_cast<float>(radius * std::sin(radians));
            const float x = static_cast<float>(radius * std::cos(radians));
            if (x == 0.0f || y == 0.0f) {
                continue;
            }
            const double expected = std::atan2(static_cast<double>(y), static_cast<double>(x)) / turn;
            const float result = trig::arctangent2(y, x);
            ASSERT_NEAR(result, expected, 2e-6) << y << ", " << x;
            ASSERT_GT(result, -0.5f);
            ASSERT_LE(result, 0.5f);
        }
    }
}

TEST(InterpreterTrig, NotANumberStaysNotANumber) {
    const float nan = std::nanf("");
    for (const float result : {trig::sine(nan), trig::cosine(nan), trig::tangent(nan), trig::arcsine(nan),
                               trig::arccosine(nan), trig::arctangent(nan), trig::arctangent2(nan, 1.0f)}) {
        EXPECT_TRUE(std::isnan(result));
    }
}

struct Quat {
    double x, y, z, w;
};

Quat multiply(const Quat& a, const Quat& b) {
    return {a.w * b.x + a.x * b.w + a.y * b.z - a.z * b.y, a.w * b.y - a.x * b.z + a.y * b.w + a.z * b.x,
            a.w * b.z + a.x * b.y - a.y * b.x + a.z * b.w, a.w * b.w - a.x * b.x - a.y * b.y - a.z * b.z};
}

// The rotation by angle turns about a unit axis.
Quat about(double x, double y, double z, double angle) {
    const double s = std::sin(angle * turn / 2), c = std::cos(angle * turn / 2);
    return {x * s, y * s, z * s, c};
}

// A stack holding a quaternion, bottom first: w, z, y, x.
void expect_quaternion(const std::vector<float>& stack, const Quat& q, double tolerance) {
    ASSERT_EQ(stack.size(), 4u);
    EXPECT_NEAR(stack[3], q.x, tolerance);
    EXPECT_NEAR(stack[2], q.y, tolerance);
    EXPECT_NEAR(stack[1], q.z, tolerance);
    EXPECT_NEAR(stack[0], q.w, tolerance);
}

std::vector<float> push_quaternion(const Quat& q) {
    return {static_cast<float>(q.w), static_cast<float>(q.z), static_cast<float>(q.y), static_cast<float>(q.x)};
}

TEST(InterpreterTrig, AnglesBecomeTheComposedRotation) {
    expect_quaternion(run_one({{0.0f, 0.0f, 0.25f}, "angles_to_quaternion"}), {0, 0, 0.70710678, 0.70710678}, 1e-6);
    std::vector<Program> programs;
    std::vector<Quat> expected;
    for (const float a : {-0.4f, 0.1f, 0.3f}) {
        for (const float b : {-0.2f, 0.05f, 0.24f}) {
            for (const float c : {-0.45f, 0.0f, 0.15f}) {
                programs.push_back({{c, b, a}, "angles_to_quaternion"});
                expected.push_back(multiply(multiply(about(0, 0, 1, a), about(1, 0, 0, b)), about(0, 1, 0, c)));
            }
        }
    }
    const std::vector<std::vector<float>> stacks = run(programs);
    for (size_t index = 0; index < stacks.size(); ++index) {
        SCOPED_TRACE(index);
        expect_quaternion(stacks[index], expected[index], 5e-6);
    }
}

TEST(InterpreterTrig, QuaternionToAnglesInvertsAnglesToQuaternion) {
    std::vector<Program> programs;
    std::vector<std::vector<float>> angles;
    for (const float a : {-0.4f, 0.1f, 0.3f}) {
        for (const float b : {-0.2f, 0.05f, 0.24f}) {
            for (const float c : {-0.45f, 0.0f, 0.15f}) {
                const Quat q = multiply(multiply(about(0, 0, 1, a), about(1, 0, 0, b)), about(0, 1, 0, c));
                programs.push_back({push_quaternion(q), "quaternion_to_angles"});
                angles.push_back({c, b, a});
            }
        }
    }
    const std::vector<std::vector<float>> stacks = run(programs);
    for (size_t index = 0; index < stacks.size(); ++index) {
        SCOPED_TRACE(index);
        ASSERT_EQ(stacks[index].size(), 3u);
        for (size_t slot = 0; slot < 3; ++slot) {
            EXPECT_NEAR(stacks[index][slot], angles[index][slot], 2e-5);
        }
    }
}

TEST(InterpreterTrig, DirectionBecomesHeadingAndPitch) {
    const std::vector<std::vector<float>> stacks = run({
        {{0.0f, 1.0f, 0.0f}, "direction_to_quaternion"},
        {{0.0f, 0.0f, -1.0f}, "direction_to_quaternion"},
        {{0.6f, 0.8f, 0.0f}, "direction_to_quaternion"},
        {{0.0f, -1.0f, 0.0f}, "direction_to_quaternion"},
    });
    expect_quaternion(stacks[0], {0, 0, 0, 1}, 0);
    expect_quaternion(stacks[1], about(0, 0, 1, 0.25), 1e-6);
    // +Y raised towards +Z is a pitch about X.
    expect_quaternion(stacks[2], about(1, 0, 0, std::asin(0.6) / turn), 2e-6);
    // Straight back: the heading of (-0.0, -1) is -0.5.
    expect_quaternion(stacks[3], about(0, 0, 1, -0.5), 1e-6);
}

TEST(InterpreterTrig, AxisAndAngleRoundTrip) {
    const std::vector<std::vector<float>> stacks = run({
        {{1.0f, 0.0f, 0.0f, 0.0f}, "quaternion_to_axis_angle"},
        {push_quaternion(about(0.6, 0, 0.8, 0.3)), "quaternion_to_axis_angle"},
        {{0.3f, 0.8f, 0.0f, 0.6f}, "axis_angle_to_quaternion"},
        {{0.25f, 0.0f, 0.0f, 2.0f}, "axis_angle_to_quaternion"},
        {{-1.0f, 1e-5f, 0.0f, 0.0f}, "quaternion_to_axis_angle"},
    });
    // Stacks bottom first: angle, z, y, x.
    EXPECT_EQ(stacks[0], (std::vector<float>{0.0f, 1.0f, 0.0f, 0.0f}));
    ASSERT_EQ(stacks[1].size(), 4u);
    EXPECT_NEAR(stacks[1][0], 0.3, 2e-6);
    EXPECT_NEAR(stacks[1][1], 0.8, 1e-6);
    EXPECT_NEAR(stacks[1][2], 0.0, 1e-6);
    EXPECT_NEAR(stacks[1][3], 0.6, 1e-6);
    expect_quaternion(stacks[2], about(0.6, 0, 0.8, 0.3), 1e-6);
    // The axis is not normalised.
    expect_quaternion(stacks[3], {2 * std::sin(turn / 8), 0, 0, std::cos(turn / 8)}, 2e-6);
    EXPECT_EQ(stacks[4], (std::vector<float>{0.0f, 1.0f, 0.0f, 0.0f}));
}

TEST(InterpreterTrig, SlerpRunsFromSecondToTop) {
    const Quat from = about(0, 0, 1, 0.05);
    const Quat to = about(0, 0, 1, 0.25);
    auto operands = [&](const Quat& p, const Quat& q, float t) {
        std::vector<float> words = push_quaternion(p);
        for (const float word : push_quaternion(q)) {
            words.push_back(word);
        }
        words.push_back(t);
        return words;
    };
    const std::vector<std::vector<float>> stacks = run({
        {operands(to, from, 0.0f), "slerp_quaternion"},
        {operands(to, from, 1.0f), "slerp_quaternion"},
        {operands(to, from, 0.25f), "slerp_quaternion"},
        {operands(Quat{-to.x, -to.y, -to.z, -to.w}, from, 0.5f), "slerp_quaternion"},
        {operands(Quat{-from.x, -from.y, -from.z, -from.w}, from, 0.5f), "slerp_quaternion"},
    });
    expect_quaternion(stacks[0], from, 2e-6);
    expect_quaternion(stacks[1], to, 2e-6);
    expect_quaternion(stacks[2], about(0, 0, 1, 0.1), 2e-6);
    // The shorter way, whichever sign P carries.
    expect_quaternion(stacks[3], about(0, 0, 1, 0.15), 2e-6);
    expect_quaternion(stacks[4], from, 2e-6);
}

}  // namespace
}  // namespace zolt::core
