#include "zolt/renderer/display/image_atlas_format.h"

#include <cmath>
#include <cstring>

namespace zolt::renderer {

namespace {

// Rounding of the fractions a builder wrote may put an edge a hair outside.
constexpr float page_edge_tolerance = 0.01f;

bool is_inside(float origin, float extent, uint32_t limit) {
    return origin >= -page_edge_tolerance && extent >= 0.0f &&
           origin + extent <= static_cast<float>(limit) + page_edge_tolerance;
}

}  // namespace

const char* describe_image_atlas_fault(ImageAtlasFault fault) {
    switch (fault) {
    case ImageAtlasFault::ok:
        return "ok";
    case ImageAtlasFault::too_short:
        return "shorter than its header";
    case ImageAtlasFault::count_does_not_fit:
        return "entry count does not fit its size";
    case ImageAtlasFault::not_a_number:
        return "an entry holds a value that is not a finite number";
    case ImageAtlasFault::rectangle_outside_page:
        return "a rectangle lies outside its page";
    }
    return "unknown fault";
}

ImageAtlasFault check_image_atlas(const void* data, uint32_t size, ImageAtlasHeader* header) {
    if (data == nullptr || size < image_atlas_header_size) {
        return ImageAtlasFault::too_short;
    }
    std::memcpy(header, data, sizeof *header);
    const uint64_t needed = image_atlas_header_size + uint64_t{header->entry_count} * sizeof(ImageAtlasEntry);
    return needed <= size ? ImageAtlasFault::ok : ImageAtlasFault::count_does_not_fit;
}

ImageAtlasEntry read_image_atlas_entry(const void* data, uint32_t index) {
    ImageAtlasEntry entry;
    std::memcpy(&entry, static_cast<const uint8_t*>(data) + image_atlas_header_size + size_t{index} * sizeof entry,
                sizeof entry);
    return entry;
}

void convert_entry_to_texels(ImageAtlasEntry& entry, uint32_t width, uint32_t height) {
    if (!is_fraction_page(width, height)) {
        return;
    }
    const float w = static_cast<float>(width);
    const float h = static_cast<float>(height);
    entry.texture_origin[0] *= w;
    entry.texture_origin[1] *= h;
    entry.texture_extent[0] *= w;
    entry.texture_extent[1] *= h;
}

ImageAtlasFault check_image_atlas_rectangles(const void* data, uint32_t entry_count, uint32_t width, uint32_t height) {
    for (uint32_t index = 0; index < entry_count; ++index) {
        ImageAtlasEntry entry = read_image_atlas_entry(data, index);
        float words[8];
        std::memcpy(words, &entry, sizeof words);
        for (const float word : words) {
            if (!std::isfinite(word)) {
                return ImageAtlasFault::not_a_number;
            }
        }
        convert_entry_to_texels(entry, width, height);
        if (!is_inside(entry.texture_origin[0], entry.texture_extent[0], width) ||
            !is_inside(entry.texture_origin[1], entry.texture_extent[1], height)) {
            return ImageAtlasFault::rectangle_outside_page;
        }
    }
    return ImageAtlasFault::ok;
}

}  // namespace zolt::renderer
