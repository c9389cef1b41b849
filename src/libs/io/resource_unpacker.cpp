#include "libs/io/resource_unpacker.h"

#include <cstddef>
#include <cstring>

#include "libs/utility/crc32.h"

namespace zolt {
namespace {

// Chunked copies may write up to this many bytes past a token's output, so
// they run only with that much room before the block's end and below the
// unread stream.
constexpr size_t wild_margin = 16;
// The most output one token gives (a long literal run).
constexpr size_t max_token_output = 4127;
// Where every token fits with its chunked copies: the fast loop runs while
// this much output and stream lie ahead, and the output stays this far
// below the unread stream.
constexpr size_t fast_margin = 2 + max_token_output + wild_margin;

// For a distance below 8: the four bytes after the first four come from
// this much further on, and the source then steps back to a distance of at
// least 8 from the output.
constexpr uint8_t pattern_step_in[8] = {0, 1, 2, 1, 0, 4, 4, 4};
constexpr int8_t pattern_step_back[8] = {0, 0, 0, -1, -4, 1, 2, 3};

inline uintptr_t address_of(const void* pointer) {
    return reinterpret_cast<uintptr_t>(pointer);
}

// A forward byte-by-byte copy, whatever the overlap.
void copy_exact(uint8_t* out, const uint8_t* from, size_t count) {
    const uintptr_t to_address = address_of(out);
    const uintptr_t from_address = address_of(from);
    if (to_address + count <= from_address || from_address + count <= to_address) {
        std::memcpy(out, from, count);
    } else if (to_address <= from_address) {
        std::memmove(out, from, count);
    } else {
        for (size_t index = 0; index < count; ++index) {
            out[index] = from[index];
        }
    }
}

// At least one chunk, whatever the count.
inline void copy_chunks16(uint8_t* out, const uint8_t* from, size_t count) {
    std::memcpy(out, from, 16);
    for (size_t index = 16; index < count; index += 16) {
        std::memcpy(out + index, from + index, 16);
    }
}

// A back reference with room for chunk writes past its end; the result is
// that of a byte-by-byte copy.
inline void copy_match_wild(uint8_t* out, size_t distance, size_t count) {
    const uint8_t* from = out - distance;
    if (distance >= 16) {
        copy_chunks16(out, from, count);
        return;
    }
    if (distance == 1) {
        std::memset(out, from[0], count);
        return;
    }
    uint8_t* const stop = out + count;
    if (distance < 8) {
        out[0] = from[0];
        out[1] = from[1];
        out[2] = from[2];
        out[3] = from[3];
        from += pattern_step_in[distance];
        std::memcpy(out + 4, from, 4);
        from -= pattern_step_back[distance];
    } else {
        std::memcpy(out, from, 8);
        from += 8;
    }
    out += 8;
    while (out < stop) {
        std::memcpy(out, from, 8);
        out += 8;
        from += 8;
    }
}

}  // namespace

bool decompress(uint32_t output_size, const void* source, uint32_t source_size, void* destination) {
    auto* const begin = static_cast<uint8_t*>(destination);
    uint8_t* out = begin;
    uint8_t* const end = begin + output_size;
    const auto* const stream = static_cast<const uint8_t*>(source);
    const size_t stream_size = source_size;
    const uintptr_t stream_end_address = address_of(stream) + stream_size;
    if (output_size == 0) {
        return true;
    }
    size_t position = 0;

    // Far from every end the order of reads and writes cannot matter, and
    // a token needs no check but its distance.
    const bool is_apart = address_of(end) <= address_of(stream) || stream_end_address <= address_of(begin);
    if (output_size > fast_margin && stream_size > fast_margin) {
        const uint8_t* const out_limit = end - fast_margin;
        const size_t position_limit = stream_size - fast_margin;
        while (out <= out_limit && position <= position_limit &&
               (is_apart || address_of(out) + fast_margin <= address_of(stream + position))) {
            const uint8_t* const token = stream + position;
            const uint32_t control = token[0];
            if (control < 0x80) {
                const size_t distance = (control & 0x0F) + 1;
                if (distance > static_cast<size_t>(out - begin)) {
                    return false;
                }
                const size_t length = (control >> 4) + 3;
                copy_match_wild(out, distance, length);
                out += length;
                position += 1;
            } else if (control < 0xA0) {
                const size_t length = (control & 0x1F) + 1;
                std::memcpy(out, token + 1, 16);
                std::memcpy(out + 16, token + 17, 16);
                out += length;
                position += 1 + length;
            } else if (control >= 0xC0) {
                const size_t distance = size_t{token[1]} + 1;
                if (distance > static_cast<size_t>(out - begin)) {
                    return false;
                }
                const size_t length = (control & 0x3F) + 4;
                copy_match_wild(out, distance, length);
                out += length;
                position += 2;
            } else if (control < 0xB0) {
                const size_t length = ((control & 0x0F) << 8 | token[1]) + 32;
                copy_chunks16(out, token + 2, length);
                out += length;
                position += 2 + length;
            } else {
                const size_t distance = (size_t{token[2]} << 8 | token[3]) + 1;
                if (distance > static_cast<size_t>(out - begin)) {
                    return false;
                }
                const size_t length = ((control & 0x0F) << 8 | token[1]) + 6;
                copy_match_wild(out, distance, length);
                out += length;
                position += 4;
            }
        }
    }

    // Near an end every access is checked, and a token's first two bytes are
    // read before the previous token's copy, as in place requires.
    if (position >= stream_size) {
        return false;
    }
    uint32_t control = stream[position];
    uint32_t next_byte = position + 1 < stream_size ? stream[position + 1] : 0;
    for (;;) {
        size_t length;
        size_t distance = 0;
        size_t token_size;
        const size_t left = stream_size - position;
        if (control < 0x80) {
            length = (control >> 4) + 3;
            distance = (control & 0x0F) + 1;
            token_size = 1;
        } else if (control < 0xA0) {
            length = (control & 0x1F) + 1;
            token_size = 1;
        } else {
            if (left < 2) {
                return false;
            }
            if (control < 0xB0) {
                length = ((control & 0x0F) << 8 | next_byte) + 32;
                token_size = 2;
            } else if (control < 0xC0) {
                if (left < 4) {
                    return false;
                }
                length = ((control & 0x0F) << 8 | next_byte) + 6;
                distance = (size_t{stream[position + 2]} << 8 | stream[position + 3]) + 1;
                token_size = 4;
            } else {
                length = (control & 0x3F) + 4;
                distance = next_byte + 1;
                token_size = 2;
            }
        }

        const size_t room = static_cast<size_t>(end - out);
        const bool is_last = length >= room;
        const size_t count = is_last ? room : length;
        const uint8_t* from;
        if (distance == 0) {
            if (left - token_size < count) {
                return false;
            }
            from = stream + position + token_size;
            token_size += length;
        } else {
            if (distance > static_cast<size_t>(out - begin)) {
                return false;
            }
            from = out - distance;
        }
        if (is_last) {
            copy_exact(out, from, count);
            return true;
        }

        position += token_size;
        if (position >= stream_size) {
            return false;
        }
        control = stream[position];
        next_byte = position + 1 < stream_size ? stream[position + 1] : 0;

        const uintptr_t wild_end = address_of(out) + count + wild_margin;
        const bool has_room = room >= count + wild_margin && (is_apart || wild_end <= address_of(stream + position) ||
                                                              address_of(out) >= stream_end_address);
        if (__builtin_expect(has_room, 1)) {
            if (distance == 0) {
                if (stream_end_address - address_of(from) >= count + wild_margin) {
                    copy_chunks16(out, from, count);
                } else {
                    copy_exact(out, from, count);
                }
            } else {
                copy_match_wild(out, distance, count);
            }
        } else {
            copy_exact(out, from, count);
        }
        out += count;
    }
}

UnpackResult unpack_resource_in_place(void* block, uint32_t unpacked_size, uint32_t stored_size) {
    auto* const bytes = static_cast<uint8_t*>(block);
    if (stored_size < sizeof(uint32_t) || stored_size >= unpacked_size) {
        return {false, 0, 0};
    }
    const uint8_t* const stored = bytes + (unpacked_size - stored_size);
    // The output overwrites the CRC word first.
    uint32_t expected_crc;
    std::memcpy(&expected_crc, stored, sizeof expected_crc);
    const bool is_decoded =
        decompress(unpacked_size, stored + sizeof expected_crc, stored_size - sizeof expected_crc, bytes);
    const uint32_t computed_crc = compute_crc32(bytes, unpacked_size);
    return {is_decoded && computed_crc == expected_crc, computed_crc, expected_crc};
}

}  // namespace zolt
