#include "zolt/core/script_objects/string_object_numbers.h"

#include <algorithm>
#include <cmath>

namespace zolt::core {
namespace {

char16_t group_separator = 0;
char16_t decimal_point = u'.';

constexpr uint32_t largest_float_decimal_count = 6;
constexpr uint32_t smallest_exponent_decimal_count = 3;

// Doubles and 64-bit integers throughout: a float below 1e9 with six
// decimals needs 50 bits, and 1000^k of the largest and smallest floats
// leaves the float range.
void append_digits(NumberText& text, uint64_t value, uint32_t minimum_digit_count, bool group) {
    char16_t digits[20];
    uint32_t count = 0;
    do {
        digits[count++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count < std::min(minimum_digit_count, largest_minimum_digit_count)) {
        digits[count++] = u'0';
    }
    const bool grouped = group && group_separator != 0;
    for (uint32_t position = count; position-- > 0;) {
        text.append(digits[position]);
        if (grouped && position != 0 && position % 3 == 0) {
            text.append(group_separator);
        }
    }
}

void append_ascii(NumberText& text, const char* ascii) {
    for (; *ascii != '\0'; ++ascii) {
        text.append(static_cast<char16_t>(*ascii));
    }
}

void append_fixed(NumberText& text, double magnitude, uint32_t decimals, bool group) {
    const uint32_t shown = std::min(decimals, largest_float_decimal_count);
    uint64_t scale = 1;
    for (uint32_t index = 0; index < shown; ++index) {
        scale *= 10;
    }
    const uint64_t rounded = static_cast<uint64_t>(std::floor(magnitude * static_cast<double>(scale) + 0.5));
    append_digits(text, rounded / scale, 0, group);
    if (decimals > 0) {
        text.append(decimal_point);
        append_digits(text, rounded % scale, shown, false);
    }
}

}  // namespace

char16_t get_group_separator() {
    return group_separator;
}

void set_group_separator(char16_t unit) {
    group_separator = unit;
}

char16_t get_decimal_point() {
    return decimal_point;
}

void set_decimal_point(char16_t unit) {
    decimal_point = unit;
}

void format_unsigned(NumberText& text, uint32_t value, uint32_t minimum_digit_count, bool group) {
    append_digits(text, value, minimum_digit_count, group);
}

void format_signed(NumberText& text, int32_t value, bool group) {
    uint32_t magnitude = static_cast<uint32_t>(value);
    if (value < 0) {
        text.append(u'-');
        magnitude = 0u - magnitude;
    }
    append_digits(text, magnitude, 0, group);
}

void format_float(NumberText& text, float value, uint32_t decimals, bool group) {
    if (std::isnan(value)) {
        append_ascii(text, "NaN");
        return;
    }
    if (value < 0) {
        text.append(u'-');
    }
    if (std::isinf(value)) {
        append_ascii(text, "Inf");
        return;
    }
    const double magnitude = std::fabs(static_cast<double>(value));
    if (magnitude > 1e9) {
        uint32_t exponent = 0;
        double quotient = magnitude;
        while (quotient >= 1000) {
            exponent += 3;
            quotient = magnitude / std::pow(10.0, exponent);
        }
        append_fixed(text, quotient, std::max(decimals, smallest_exponent_decimal_count), group);
        text.append(u'e');
        append_digits(text, exponent, 0, false);
        return;
    }
    if (decimals >= largest_float_decimal_count && magnitude > 0 && magnitude < 0.0001) {
        uint32_t exponent = 0;
        double product = magnitude;
        while (product < 1) {
            exponent += 3;
            product = magnitude * std::pow(10.0, exponent);
        }
        append_fixed(text, product, decimals, group);
        append_ascii(text, "e-");
        append_digits(text, exponent, 0, false);
        return;
    }
    append_fixed(text, magnitude, decimals, group);
}

}  // namespace zolt::core
