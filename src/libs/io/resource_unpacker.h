#pragma once
// The byte-oriented LZ77 stream of packed resources. Each token starts with a
// control byte t; b1, b2 and b3 follow it:
//   0x00-0x7F  short back reference   length (t >> 4) + 3, distance (t & 0x0F) + 1
//   0x80-0x9F  literal run            (t & 0x1F) + 1 bytes follow t
//   0xA0-0xAF  long literal run       ((t & 0x0F) << 8 | b1) + 32 bytes follow b1
//   0xB0-0xBF  long back reference    length ((t & 0x0F) << 8 | b1) + 6, distance (b2 << 8 | b3) + 1
//   0xC0-0xFF  medium back reference  length (t & 0x3F) + 4, distance b1 + 1
// There is no header and no end marker: the output size ends decoding, and
// the last token may reach past it. Copies act byte by byte forward, so a
// distance below the length repeats the last distance bytes.
//
// In place, the stored bytes lie at the end of the output block and the
// output grows from its start. A token's first two bytes are read before the
// previous token's copy, its other bytes after it; a packer keeps the output
// from overtaking any byte before it is read. Any thread may call.
#include <cstdint>

namespace zolt {

// Writes exactly output_size bytes decoded from the source_size stream bytes
// to destination. The stream may lie inside the destination block (in
// place). Answers false when the stream is broken: it ends before the
// output is complete, a token's bytes lie past its end, or a distance
// reaches before the destination. Nothing outside the stream is read and
// nothing outside the output is written, whatever the stream holds, so a
// block needs no guard byte after its stored bytes.
bool decompress(uint32_t output_size, const void* source, uint32_t source_size, void* destination);

struct UnpackResult {
    bool is_intact;
    uint32_t computed_crc;  // of the unpacked_size bytes after decoding
    uint32_t expected_crc;  // the first stored word
};

// A packed resource in its block of unpacked_size bytes, whose last
// stored_size bytes are the stored bytes: the CRC-32 of the unpacked bytes,
// then the stream. Decodes it forward from the block's start and compares
// the CRC. A broken stream is never intact; a stored size that leaves no
// room for the CRC word, or is not below the unpacked size (a resource
// stored as is), decodes nothing and is not intact either. The loader
// turns a failure into "resource 0x%08x unpacked data CRC 0x%08x does not
// match 0x%08x".
UnpackResult unpack_resource_in_place(void* block, uint32_t unpacked_size, uint32_t stored_size);

}  // namespace zolt
