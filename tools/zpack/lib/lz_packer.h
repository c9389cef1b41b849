#pragma once
// The packer of the resource unpacker's stream (libs/io/resource_unpacker.h):
// hash chains over a 64 KiB window, each match spent on the token that saves
// the most, with one step of lazy matching. What it writes always satisfies
// the unpacker's in-place rule or is stored as is.
#include <cstdint>
#include <vector>

namespace zolt::tools {

// The token stream of size bytes (at least 1). It never ends on a one-byte
// token, so the unpacker's look-ahead of two bytes stays inside the stream.
std::vector<uint8_t> pack_stream(const uint8_t* data, uint32_t size);

// Whether a packed resource of unpacked_size bytes with this stream decodes
// in place: with the CRC word and the stream at the end of the block, no
// stream byte is overwritten by the output before the unpacker reads it, and
// the unpacker's look-ahead never leaves the stream. Also false for a stream
// that does not decode to unpacked_size bytes or does not save a byte.
bool is_in_place_safe(const uint8_t* stream, uint32_t stream_size, uint32_t unpacked_size);

struct StoredBytes {
    std::vector<uint8_t> bytes;
    bool is_packed = false;
};

// The stored bytes of a resource: the CRC-32 of the data and the stream when
// packing is allowed, saves space and decodes in place, else the data as is.
StoredBytes make_stored_bytes(const uint8_t* data, uint32_t size, bool allow_packing);

}  // namespace zolt::tools
