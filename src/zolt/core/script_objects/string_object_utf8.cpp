#include "zolt/core/script_objects/string_object_utf8.h"

namespace zolt::core {
namespace {

uint32_t widen_lead_byte(uint8_t lead) {
    return static_cast<uint16_t>(static_cast<int16_t>(static_cast<int8_t>(lead)));
}

// The smallest value each sequence length may carry, so that a character
// has exactly one encoding.
constexpr uint32_t smallest_value[utf8_longest_sequence] = {0, 0x80, 0x800, 0x10000};

}  // namespace

uint32_t utf8_decode(const uint8_t*& cursor, uint32_t bytes_left) {
    const uint8_t lead = *cursor;
    if (lead < 0x80) {
        ++cursor;
        return lead;
    }
    uint32_t continuation_count = 0;
    for (uint32_t bit = 0x40; bit != 0 && (lead & bit) != 0; bit >>= 1) {
        ++continuation_count;
    }
    if (continuation_count == 0 || continuation_count >= utf8_longest_sequence || continuation_count >= bytes_left) {
        ++cursor;
        return widen_lead_byte(lead);
    }
    uint32_t value = lead & (0x7Fu >> (continuation_count + 1));
    for (uint32_t index = 1; index <= continuation_count; ++index) {
        const uint8_t byte = cursor[index];
        if ((byte & 0xC0) != 0x80) {
            ++cursor;
            return widen_lead_byte(lead);
        }
        value = value << 6 | (byte & 0x3Fu);
    }
    if (value < smallest_value[continuation_count] || value > utf8_largest_code_point ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        ++cursor;
        return widen_lead_byte(lead);
    }
    cursor += continuation_count + 1;
    return value;
}

uint32_t utf8_encode(uint32_t room, uint32_t value, uint8_t* buffer) {
    if (value < 0x80) {
        if (room != 0) {
            buffer[0] = static_cast<uint8_t>(value);
        }
        return 1;
    }
    uint32_t bit_count = 32 - static_cast<uint32_t>(__builtin_clz(value));
    uint32_t byte_count = 2;
    if (bit_count > 11) {
        byte_count += (bit_count - 11 + 4) / 5;
    }
    if (room < byte_count) {
        return byte_count;
    }
    for (uint32_t index = byte_count - 1; index > 0; --index) {
        buffer[index] = static_cast<uint8_t>(0x80 | (value & 0x3F));
        value >>= 6;
    }
    buffer[0] = static_cast<uint8_t>((0xFF00u >> byte_count) | value);
    return byte_count;
}

}  // namespace zolt::core
