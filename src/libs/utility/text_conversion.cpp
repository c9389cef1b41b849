#include "libs/utility/text_conversion.h"

#include <cfloat>
#include <charconv>
#include <cstring>

namespace zolt {
namespace {

bool is_white_space(char character) {
    return character == ' ' || (character >= '\t' && character <= '\r');
}

bool is_separator(char character) {
    return character == ' ' || character == '\t';
}

// The value of one digit in base, or base when the character is none.
uint32_t get_digit_value(char character, uint32_t base) {
    uint32_t digit = base;
    if (character >= '0' && character <= '9') {
        digit = static_cast<uint32_t>(character - '0');
    } else if (character >= 'a' && character <= 'z') {
        digit = static_cast<uint32_t>(character - 'a') + 10;
    } else if (character >= 'A' && character <= 'Z') {
        digit = static_cast<uint32_t>(character - 'A') + 10;
    }
    return digit < base ? digit : base;
}

// White space, an optional sign, then at least one digit of base, as far as
// the digits go; false when there is no digit or the magnitude passes limit.
bool scan_magnitude(const char** cursor, uint32_t base, uint64_t limit, uint64_t* magnitude, bool* negative) {
    const char* text = *cursor;
    while (is_white_space(*text)) {
        ++text;
    }
    *negative = *text == '-';
    if (*text == '-' || *text == '+') {
        ++text;
    }
    uint64_t value = 0;
    const char* first_digit = text;
    for (uint32_t digit; (digit = get_digit_value(*text, base)) < base; ++text) {
        if (value > (limit - digit) / base) {
            return false;
        }
        value = value * base + digit;
    }
    if (text == first_digit) {
        return false;
    }
    *cursor = text;
    *magnitude = value;
    return true;
}

bool has_prefix(const char* text, char lower) {
    return text[0] == '0' && (text[1] == lower || text[1] == lower - ('a' - 'A'));
}

constexpr const char* truth_value_names[] = {"0", "1", "false", "true", "no", "yes", "off", "on"};

}  // namespace

bool equals_ignoring_case(const char* left, const char* right) {
    for (;; ++left, ++right) {
        char a = *left;
        char b = *right;
        a = a >= 'A' && a <= 'Z' ? static_cast<char>(a + ('a' - 'A')) : a;
        b = b >= 'A' && b <= 'Z' ? static_cast<char>(b + ('a' - 'A')) : b;
        if (a != b) {
            return false;
        }
        if (a == 0) {
            return true;
        }
    }
}

bool parse_bool(const char* text, bool* value) {
    for (uint32_t index = 0; index < 8; ++index) {
        if (equals_ignoring_case(text, truth_value_names[index])) {
            *value = (index & 1) != 0;
            return true;
        }
    }
    return false;
}

bool parse_unsigned(const char* text, uint32_t* value) {
    uint32_t base = 10;
    if (has_prefix(text, 'x')) {
        base = 16;
        text += 2;
    } else if (has_prefix(text, 'b')) {
        base = 2;
        text += 2;
    }
    uint64_t magnitude;
    bool negative;
    if (!scan_magnitude(&text, base, UINT32_MAX, &magnitude, &negative) || *text != 0) {
        return false;
    }
    const auto result = static_cast<uint32_t>(magnitude);
    *value = negative ? 0u - result : result;
    return true;
}

bool parse_int(const char* text, int32_t* value) {
    uint64_t magnitude;
    bool negative;
    if (!scan_magnitude(&text, 10, uint64_t{INT32_MAX} + 1, &magnitude, &negative) || *text != 0) {
        return false;
    }
    if (!negative && magnitude > INT32_MAX) {
        return false;
    }
    *value = negative ? static_cast<int32_t>(0 - magnitude) : static_cast<int32_t>(magnitude);
    return true;
}

bool parse_u64(const char* text, uint64_t* value) {
    uint32_t base = 10;
    if (has_prefix(text, 'x')) {
        base = 16;
        text += 2;
    }
    uint64_t magnitude;
    bool negative;
    if (!scan_magnitude(&text, base, UINT64_MAX, &magnitude, &negative)) {
        return false;
    }
    *value = negative ? 0 - magnitude : magnitude;
    return true;
}

bool parse_float(const char* text, float* value) {
    while (is_white_space(*text)) {
        ++text;
    }
    const char* number = text;
    if (*text == '+') {
        number = ++text;
    } else if (*text == '-') {
        ++text;
    }
    // The grammar is checked here, so that from_chars never takes its
    // infinity, NaN or hexadecimal forms.
    uint32_t digit_count = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        ++digit_count;
    }
    if (*text == '.') {
        for (++text; *text >= '0' && *text <= '9'; ++text) {
            ++digit_count;
        }
    }
    if (digit_count == 0) {
        return false;
    }
    if (*text == 'e' || *text == 'E') {
        ++text;
        if (*text == '+' || *text == '-') {
            ++text;
        }
        if (*text < '0' || *text > '9') {
            return false;
        }
        while (*text >= '0' && *text <= '9') {
            ++text;
        }
    }
    if (*text != 0) {
        return false;
    }
    double parsed = 0.0;
    const std::from_chars_result result = std::from_chars(number, text, parsed);
    if (result.ec != std::errc{} || result.ptr != text || parsed > FLT_MAX || parsed < -FLT_MAX) {
        return false;
    }
    *value = static_cast<float>(parsed);
    return true;
}

char* next_token(char** cursor, bool* quoted) {
    char* text = *cursor;
    while (is_separator(*text)) {
        ++text;
    }
    *quoted = false;
    if (*text == 0) {
        *cursor = text;
        return nullptr;
    }
    if (*text == '"' || *text == '\'') {
        if (char* closing = std::strchr(text + 1, *text); closing != nullptr) {
            *closing = 0;
            *cursor = closing + 1;
            *quoted = true;
            return text + 1;
        }
    }
    char* end = text;
    while (*end != 0 && !is_separator(*end)) {
        ++end;
    }
    if (*end != 0) {
        *end++ = 0;
    }
    *cursor = end;
    return text;
}

}  // namespace zolt
