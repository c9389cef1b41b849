#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "zolt/core/script_objects/string_object_numbers.h"

namespace zolt::core {
namespace {

std::u16string to_text(const NumberText& text) {
    return std::u16string(text.units, text.length);
}

// Sets the separator and the decimal point for one test and puts the
// process-wide defaults back after it.
class StringNumberFormat : public ::testing::Test {
protected:
    void TearDown() override {
        set_group_separator(0);
        set_decimal_point(u'.');
    }
};

TEST_F(StringNumberFormat, IntegersPadAndGroupFromTheRight) {
    set_group_separator(u',');
    struct Case {
        uint32_t value;
        uint32_t minimum_digit_count;
        bool group;
        const char16_t* expected;
    };
    const Case cases[] = {
        {0, 0, true, u"0"},
        {7, 3, false, u"007"},
        {7, 12, false, u"0000000007"},
        {123, 0, true, u"123"},
        {1234, 0, true, u"1,234"},
        {1234567, 0, true, u"1,234,567"},
        {1234567, 0, false, u"1234567"},
        {4294967295u, 0, true, u"4,294,967,295"},
        {7, 4, true, u"0,007"},
        {999999, 0, true, u"999,999"},
    };
    for (const Case& entry : cases) {
        NumberText text;
        format_unsigned(text, entry.value, entry.minimum_digit_count, entry.group);
        EXPECT_EQ(to_text(text), entry.expected) << entry.value;
    }
    const std::pair<int32_t, const char16_t*> signed_cases[] = {{0, u"0"},
                                                                {-1, u"-1"},
                                                                {-1000, u"-1,000"},
                                                                {2147483647, u"2,147,483,647"},
                                                                {-2147483647 - 1, u"-2,147,483,648"}};
    for (const auto& [value, expected] : signed_cases) {
        NumberText text;
        format_signed(text, value, true);
        EXPECT_EQ(to_text(text), expected) << value;
    }
    set_group_separator(0);
    NumberText ungrouped;
    format_unsigned(ungrouped, 1234567, 0, true);
    EXPECT_EQ(to_text(ungrouped), u"1234567");
}

TEST_F(StringNumberFormat, FloatsUseFixedOrThousandsExponentForms) {
    struct Case {
        float value;
        uint32_t decimals;
        bool group;
        const char16_t* expected;
    };
    const float infinity = std::numeric_limits<float>::infinity();
    const Case cases[] = {
        {1234.5f, 2, true, u"1,234.50"},
        {1.5e10f, 1, false, u"15.000e9"},
        {1.5e10f, 5, false, u"15.00000e9"},
        {0.00001234f, 6, false, u"12.340000e-6"},
        {0.00001234f, 5, false, u"0.00001"},
        {std::nanf(""), 2, false, u"NaN"},
        {-std::nanf(""), 2, false, u"NaN"},
        {infinity, 2, false, u"Inf"},
        {-infinity, 2, false, u"-Inf"},
        {-0.0f, 1, false, u"0.0"},
        {-2.5f, 0, false, u"-3"},
        {0.5f, 0, false, u"1"},
        {1e9f, 0, true, u"1,000,000,000"},
        {1e9f, 6, false, u"1000000000.000000"},
        {999999.94f, 6, false, u"999999.937500"},
        {0.1f, 9, false, u"0.100000"},
        {1.0f, 63, false, u"1.000000"},
        // Beyond the float range of 1000^k: computed wide, not overflowed.
        {FLT_MAX, 6, false, u"340.282347e36"},
        {-FLT_MAX, 0, false, u"-340.282e36"},
        {std::numeric_limits<float>::denorm_min(), 6, false, u"1.401298e-45"},
        {FLT_MIN, 6, false, u"11.754944e-39"},
    };
    set_group_separator(u',');
    for (const Case& entry : cases) {
        NumberText text;
        format_float(text, entry.value, entry.decimals, entry.group);
        EXPECT_EQ(to_text(text), entry.expected) << entry.value << " with " << entry.decimals;
    }
}

// Rounding is half up on the exact product, so everywhere but at exact ties
// the text is the C library's.
TEST_F(StringNumberFormat, FixedFormMatchesTheCLibraryAwayFromTies) {
    set_decimal_point(u',');
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> exponent(-7.0, 9.0);
    uint32_t compared = 0;
    for (uint32_t sample = 0; sample < 200000; ++sample) {
        const float value = static_cast<float>(std::pow(10.0, exponent(random)) * (sample % 2 != 0 ? -1 : 1));
        const uint32_t decimals = sample % 7;
        if (std::fabs(value) > 1e9f || (decimals == 6 && std::fabs(value) < 0.0001f)) {
            continue;
        }
        const double scaled = std::fabs(static_cast<double>(value)) * std::pow(10.0, decimals);
        if (scaled - std::floor(scaled) == 0.5) {
            continue;
        }
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.*f", static_cast<int>(decimals), static_cast<double>(value));
        std::u16string expected_text;
        for (const char* cursor = expected; *cursor != '\0'; ++cursor) {
            expected_text.push_back(*cursor == '.' ? u',' : static_cast<char16_t>(*cursor));
        }
        NumberText text;
        format_float(text, value, decimals, false);
        ASSERT_EQ(to_text(text), expected_text) << value << " with " << decimals;
        ++compared;
    }
    EXPECT_GT(compared, 150000u);
}

}  // namespace
}  // namespace zolt::core
