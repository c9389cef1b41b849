#pragma once
// The image atlas resource (id 0x3F000000 | atlas << 16), read in place and
// written by the content builder: the id of the page texture, the entry
// count, then one record of eight floats per image. On a page whose sides
// are both powers of two the rectangle is stored as fractions of the page;
// on any other page it is stored in texels.
#include <cstdint>

namespace zolt::renderer {

constexpr uint32_t image_atlas_id_base = 0x3F000000u;
constexpr uint32_t image_atlas_header_size = 8;

constexpr uint32_t get_image_atlas_id(uint32_t atlas_number) {
    return image_atlas_id_base | (atlas_number & 0xFFu) << 16;
}
// An image reference is atlas number << 16 | entry index.
constexpr uint32_t get_image_atlas_number(uint32_t image) {
    return image >> 16;
}
constexpr uint32_t get_image_entry_index(uint32_t image) {
    return image & 0xFFFFu;
}

struct ImageAtlasHeader {
    uint32_t texture_id;
    uint32_t entry_count;
};
static_assert(sizeof(ImageAtlasHeader) == image_atlas_header_size);

struct ImageAtlasEntry {
    float texture_origin[2];
    float texture_extent[2];
    float size[2];
    float pivot[2];
};
static_assert(sizeof(ImageAtlasEntry) == 32);

enum class ImageAtlasFault : uint32_t {
    ok,
    too_short,
    count_does_not_fit,
    not_a_number,
    rectangle_outside_page,
};

const char* describe_image_atlas_fault(ImageAtlasFault fault);

constexpr bool is_power_of_two(uint32_t value) {
    return value != 0 && (value & (value - 1)) == 0;
}
constexpr bool is_fraction_page(uint32_t width, uint32_t height) {
    return is_power_of_two(width) && is_power_of_two(height);
}

// The header and the entry count against the size.
ImageAtlasFault check_image_atlas(const void* data, uint32_t size, ImageAtlasHeader* header);
// Entry n, unchecked beyond the count checked above.
ImageAtlasEntry read_image_atlas_entry(const void* data, uint32_t index);
// The entry's rectangle in texels, as an element keeps it.
void convert_entry_to_texels(ImageAtlasEntry& entry, uint32_t width, uint32_t height);
// Every rectangle, in texels, inside a page of this size.
ImageAtlasFault check_image_atlas_rectangles(const void* data, uint32_t entry_count, uint32_t width, uint32_t height);

}  // namespace zolt::renderer
