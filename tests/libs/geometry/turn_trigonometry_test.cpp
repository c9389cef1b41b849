#include "libs/geometry/turn_trigonometry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zolt::geometry {
namespace {

constexpr double turn = 2 * pi;

// Every float step of the argument would be slow; a fine grid finds the worst
// error of a polynomial just as well.
TEST(TurnTrigonometry, AgreesWithDoublePrecisionLibm) {
    double sine_error = 0, cosine_error = 0, arc_sine_error = 0, arc_cosine_error = 0;
    for (int step = -300000; step <= 300000; ++step) {
        const float angle = static_cast<float>(step) / 200000.0f;
        sine_error = std::fmax(sine_error, std::fabs(sin_turns(angle) - std::sin(turn * angle)));
        cosine_error = std::fmax(cosine_error, std::fabs(cos_turns(angle) - std::cos(turn * angle)));
        const float value = static_cast<float>(step) / 300000.0f;
        arc_sine_error = std::fmax(arc_sine_error, std::fabs(asin_turns(value) - std::asin(double{value}) / turn));
        arc_cosine_error = std::fmax(arc_cosine_error, std::fabs(acos_turns(value) - std::acos(double{value}) / turn));
    }
    // Angles of up to 1.5 turns carry about 1e-7 of rounding before any sine.
    EXPECT_LT(sine_error, 1e-6);
    EXPECT_LT(cosine_error, 1e-6);
    // About one float step of a quarter turn.
    EXPECT_LT(arc_sine_error, 6e-8);
    EXPECT_LT(arc_cosine_error, 6e-8);
}

TEST(TurnTrigonometry, KeepsRangesAndSmallAngles) {
    EXPECT_FLOAT_EQ(asin_turns(1.0f), 0.25f);
    EXPECT_FLOAT_EQ(asin_turns(-1.0f), -0.25f);
    EXPECT_FLOAT_EQ(asin_turns(2.0f), 0.25f);
    EXPECT_FLOAT_EQ(acos_turns(-1.0f), 0.5f);
    EXPECT_EQ(acos_turns(1.0f), 0.0f);
    EXPECT_FLOAT_EQ(sin_turns(0.25f), 1.0f);
    EXPECT_FLOAT_EQ(cos_turns(0.5f), -1.0f);
    // Relative precision near 1: acos of cos(0.001 turns).
    const float tiny = static_cast<float>(std::cos(turn * 0.001));
    EXPECT_NEAR(acos_turns(tiny), std::acos(double{tiny}) / turn, 1e-9);
    // atan2 answers in (-0.5, 0.5]: the negative half turn is folded over.
    EXPECT_EQ(atan2_turns(-0.0f, -1.0f), 0.5f);
    EXPECT_EQ(atan2_turns(0.0f, -1.0f), 0.5f);
    EXPECT_FLOAT_EQ(atan2_turns(1.0f, 0.0f), 0.25f);
}

}  // namespace
}  // namespace zolt::geometry
