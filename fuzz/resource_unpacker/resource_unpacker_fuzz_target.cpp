// The resource unpacker on any stream: it must agree with the byte-at-a-time
// reference, byte for byte, and touch nothing outside its stream and output,
// both apart and in place. Input: the output size as two little-endian bytes,
// then the stream.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "libs/io/reference_unpacker.h"
#include "libs/io/resource_unpacker.h"
#include "libs/utility/crc32.h"
#include "support/fuzz_entry.h"

namespace {

namespace fuzz = zolt::fuzz;

void unpack_apart(uint32_t output_size, const uint8_t* stream, uint32_t stream_size) {
    // Exactly sized blocks, so the sanitizer sees a step outside either.
    std::vector<uint8_t> source(stream, stream + stream_size);
    std::vector<uint8_t> output(output_size);
    const bool decoded = zolt::decompress(output_size, source.data(), stream_size, output.data());

    std::vector<uint8_t> block(output_size + stream_size);
    std::memcpy(block.data() + output_size, stream, stream_size);
    const zolt::test::ReferenceOutcome reference =
        zolt::test::decompress_by_reference(block, 0, output_size, output_size, output_size + stream_size);
    fuzz::expect(decoded == reference.is_decoded, "the unpacker and the reference disagree on a stream");
    if (decoded) {
        fuzz::expect(std::memcmp(output.data(), block.data(), output_size) == 0,
                     "the unpacker and the reference decode other bytes");
    }
}

void unpack_in_place(uint32_t unpacked_size, const uint8_t* stored, uint32_t stored_size) {
    if (stored_size < 4 || stored_size >= unpacked_size) {
        return;
    }
    const uint32_t stored_start = unpacked_size - stored_size;
    std::vector<uint8_t> block(unpacked_size);
    std::memcpy(block.data() + stored_start, stored, stored_size);
    std::vector<uint8_t> reference_block = block;
    const zolt::UnpackResult result = zolt::unpack_resource_in_place(block.data(), unpacked_size, stored_size);
    const zolt::test::ReferenceOutcome reference =
        zolt::test::decompress_by_reference(reference_block, 0, unpacked_size, stored_start + 4, unpacked_size);
    if (reference.is_decoded) {
        fuzz::expect(result.computed_crc == zolt::compute_crc32(reference_block.data(), unpacked_size),
                     "in place, the unpacker and the reference decode other bytes");
    } else {
        fuzz::expect(!result.is_intact, "a broken stream unpacked intact");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 1 << 20) {
        return 0;
    }
    const uint32_t output_size = static_cast<uint32_t>(data[0] | data[1] << 8);
    const auto stream_size = static_cast<uint32_t>(size - 2);
    if (output_size == 0) {
        return 0;
    }
    unpack_apart(output_size, data + 2, stream_size);
    unpack_in_place(output_size, data + 2, stream_size);
    return 0;
}
