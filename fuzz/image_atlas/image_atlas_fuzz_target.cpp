// An image atlas as the display server checks it when it first opens it: an
// accepted atlas must hold every entry its count names inside its bytes, and
// every rectangle, in texels, inside its page, so no element reads past the
// resource or samples outside its image. Input: the page's width and height
// as two little-endian 16-bit words, then the atlas resource.
#include <cmath>
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/renderer/display/image_atlas_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::renderer;

// The checker's own slack for rounded fractions.
constexpr float tolerance = 0.01f;

void check_accepted(const uint8_t* atlas, uint32_t size, const ImageAtlasHeader& header, uint32_t width,
                    uint32_t height) {
    fuzz::expect(image_atlas_header_size + uint64_t{header.entry_count} * sizeof(ImageAtlasEntry) <= size,
                 "an accepted atlas names entries past its end");
    for (uint32_t index = 0; index < header.entry_count; ++index) {
        ImageAtlasEntry entry = read_image_atlas_entry(atlas, index);
        convert_entry_to_texels(entry, width, height);
        for (int axis = 0; axis < 2; ++axis) {
            const float limit = static_cast<float>(axis == 0 ? width : height);
            fuzz::expect(std::isfinite(entry.texture_origin[axis]) && std::isfinite(entry.texture_extent[axis]),
                         "an accepted rectangle is not finite");
            fuzz::expect(entry.texture_origin[axis] >= -tolerance && entry.texture_extent[axis] >= 0.0f &&
                             entry.texture_origin[axis] + entry.texture_extent[axis] <= limit + tolerance,
                         "an accepted rectangle lies outside its page");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 4096) {
        return 0;
    }
    uint16_t sides[2];
    std::memcpy(sides, data, sizeof sides);
    const auto atlas_size = static_cast<uint32_t>(size - 4);
    // An exactly sized copy, so the sanitizer sees any read past the atlas.
    uint8_t* const atlas = new uint8_t[atlas_size == 0 ? 1 : atlas_size];
    if (atlas_size != 0) {
        std::memcpy(atlas, data + 4, atlas_size);
    }
    ImageAtlasHeader header{};
    if (check_image_atlas(atlas, atlas_size, &header) == ImageAtlasFault::ok &&
        check_image_atlas_rectangles(atlas, header.entry_count, sides[0], sides[1]) == ImageAtlasFault::ok) {
        check_accepted(atlas, atlas_size, header, sides[0], sides[1]);
    }
    delete[] atlas;
    return 0;
}
