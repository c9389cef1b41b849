// A texture's header resource and its resident size, as the engine checks
// them before it uploads anything: an accepted texture must describe levels
// that add up to exactly the bytes its two level resources hold, each a whole
// number of 4-byte words, so no upload can read past them. Input: the resident
// size as four little-endian bytes, then the header resource.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/renderer/texture/texture_resource_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::renderer;

void check_accepted(const TextureLayout& layout, uint32_t resident_size) {
    fuzz::expect(layout.level_count >= 1 && layout.level_count <= max_texture_level_count,
                 "an accepted texture has a level count out of range");
    fuzz::expect(layout.streamed_segment_count < layout.level_count, "an accepted texture has no resident level");
    uint64_t resident = 0;
    uint64_t streamed = 0;
    for (uint32_t level = 0; level < layout.level_count; ++level) {
        const uint32_t width = get_level_dimension(layout.header.width, level);
        const uint32_t height = get_level_dimension(layout.header.height, level);
        const uint32_t depth = get_level_dimension(layout.header.depth, level);
        const uint64_t surface = get_surface_size(*layout.texel, width, height, depth);
        fuzz::expect(layout.level_sizes[level] % 4 == 0, "a level size is not a whole number of words");
        fuzz::expect(layout.level_sizes[level] == round_up_to_4(surface) * uint64_t{layout.face_count},
                     "a level size differs from what its surfaces need");
        (level < layout.streamed_segment_count ? streamed : resident) += layout.level_sizes[level];
    }
    fuzz::expect(resident == layout.resident_size && streamed == layout.streamed_size,
                 "the resident and streamed sizes are not the sums of their levels");
    const bool resident_matches = resident == resident_size;
    fuzz::expect((check_resident_size(layout, resident_size) == TextureResourceFault::ok) == resident_matches,
                 "a resident resource of another size is accepted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 4096) {
        return 0;
    }
    uint32_t resident_size;
    std::memcpy(&resident_size, data, sizeof(resident_size));
    const uint32_t header_size = static_cast<uint32_t>(size - 4);
    // An exactly sized copy, so the sanitizer sees any read past the header.
    uint8_t* const header = new uint8_t[header_size];
    std::memcpy(header, data + 4, header_size);
    TextureLayout layout;
    const TextureResourceFault fault = check_texture_header(header, header_size, &layout);
    delete[] header;
    fuzz::expect(describe_texture_resource_fault(fault)[0] != '\0', "a fault has no description");
    if (fault == TextureResourceFault::ok) {
        check_accepted(layout, resident_size);
    }
    return 0;
}
