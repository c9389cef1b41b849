#pragma once
// The unpacking algorithm written out one byte at a time over a block held in
// a vector: the oracle for the unpacker's chunked copies and for the packer's
// in-place rule. Like the algorithm it reads a token's first two bytes before
// the previous token's copy and its other bytes after it; unlike it, it notes
// a look-ahead past the stream and refuses any other access outside it.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zolt::test {

struct ReferenceOutcome {
    bool is_decoded = false;
    bool has_read_past_stream = false;  // the look-ahead's second byte lay past the stream's end
};

// Decodes output_size bytes (at least 1) to block[output_start...] from the
// stream in block[stream_start, stream_end); the two may overlap, as in place.
inline ReferenceOutcome decompress_by_reference(std::vector<uint8_t>& block, size_t output_start, size_t output_size,
                                                size_t stream_start, size_t stream_end) {
    ReferenceOutcome outcome;
    size_t out = output_start;
    const size_t end = output_start + output_size;
    size_t source = stream_start;
    const auto look_ahead = [&](uint32_t* control, uint32_t* next_byte) {
        if (source >= stream_end) {
            return false;
        }
        *control = block[source];
        if (source + 1 < stream_end) {
            *next_byte = block[source + 1];
        } else {
            *next_byte = 0;
            outcome.has_read_past_stream = true;
        }
        return true;
    };
    uint32_t control = 0;
    uint32_t next_byte = 0;
    if (!look_ahead(&control, &next_byte)) {
        return outcome;
    }
    for (;;) {
        size_t length = 0;
        size_t distance = 0;
        size_t header_size = 1;
        if (control < 0x80) {
            length = (control >> 4) + 3;
            distance = (control & 0x0F) + 1;
        } else if (control < 0xA0) {
            length = (control & 0x1F) + 1;
        } else {
            if (source + 1 >= stream_end) {
                return outcome;
            }
            header_size = 2;
            if (control < 0xB0) {
                length = ((control & 0x0F) << 8 | next_byte) + 32;
            } else if (control < 0xC0) {
                if (source + 3 >= stream_end) {
                    return outcome;
                }
                length = ((control & 0x0F) << 8 | next_byte) + 6;
                distance = (size_t{block[source + 2]} << 8 | block[source + 3]) + 1;
                header_size = 4;
            } else {
                length = (control & 0x3F) + 4;
                distance = next_byte + 1;
            }
        }
        const bool is_literal = distance == 0;
        if (!is_literal && distance > out - output_start) {
            return outcome;
        }
        const size_t from = is_literal ? source + header_size : out - distance;
        const auto copy = [&](size_t count) {
            for (size_t index = 0; index < count; ++index) {
                if (is_literal && from + index >= stream_end) {
                    return false;
                }
                block[out + index] = block[from + index];
            }
            return true;
        };
        if (out + length >= end) {
            outcome.is_decoded = copy(end - out);
            return outcome;
        }
        source += header_size + (is_literal ? length : 0);
        if (!look_ahead(&control, &next_byte) || !copy(length)) {
            return outcome;
        }
        out += length;
    }
}

}  // namespace zolt::test
