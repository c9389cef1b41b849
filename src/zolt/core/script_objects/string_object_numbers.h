#pragma once
// Numbers as script strings show them: decimal digits, an optional digit-group
// separator after every third digit from the right, and a decimal point the
// scripts choose. Both settings are process-wide and never saved; main
// thread only. A formatted number holds at most 32 units; more are dropped.
#include <cstdint>

namespace zolt::core {

constexpr uint32_t number_text_capacity = 32;
constexpr uint32_t largest_minimum_digit_count = 10;

struct NumberText {
    char16_t units[number_text_capacity];
    uint32_t length = 0;

    void append(char16_t unit) {
        if (length < number_text_capacity) {
            units[length++] = unit;
        }
    }
};

// 0 means no grouping.
char16_t get_group_separator();
void set_group_separator(char16_t unit);
char16_t get_decimal_point();
void set_decimal_point(char16_t unit);

// Leading zeros pad up to the minimum digit count (at most 10); group
// places the separator, when one is set.
void format_unsigned(NumberText& text, uint32_t value, uint32_t minimum_digit_count, bool group);
void format_signed(NumberText& text, int32_t value, bool group);
// NaN, Inf and -Inf by name; values above 1e9, and with six or more decimals
// positive values below 0.0001, as a mantissa and a power of ten that is a
// multiple of three ("15.000e9", "12.340000e-6"); else rounded half up to at
// most six decimals.
void format_float(NumberText& text, float value, uint32_t decimals, bool group);

}  // namespace zolt::core
