#pragma once
// The UTF-8 rules of script strings. Decoding never fails: a byte that does
// not start a well-formed sequence becomes one unit, the byte widened as a
// signed 8-bit value (0x80-0xFF give 0xFF80-0xFFFF), and decoding goes on
// with the next byte. Characters beyond the 16-bit range travel as surrogate
// pairs in the strings and as four-byte sequences in UTF-8. Any thread.
#include <cstdint>

namespace zolt::core {

// The largest code point, and the number of bytes its sequence takes.
constexpr uint32_t utf8_largest_code_point = 0x10FFFF;
constexpr uint32_t utf8_longest_sequence = 4;

// One value from the bytes at cursor, bytes_left of them including the
// lead; advances the cursor past what it used. The answer is a code point
// (above 0xFFFF only from a four-byte sequence) or a widened lead byte.
uint32_t utf8_decode(const uint8_t*& cursor, uint32_t bytes_left);

// Encodes value into buffer when at least the answered byte count fits in
// room; writes nothing otherwise.
uint32_t utf8_encode(uint32_t room, uint32_t value, uint8_t* buffer);

constexpr bool is_high_surrogate(uint32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

constexpr bool is_low_surrogate(uint32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

constexpr uint32_t combine_surrogates(uint32_t high, uint32_t low) {
    return 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
}

constexpr char16_t get_high_surrogate(uint32_t code_point) {
    return static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10));
}

constexpr char16_t get_low_surrogate(uint32_t code_point) {
    return static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF));
}

}  // namespace zolt::core
