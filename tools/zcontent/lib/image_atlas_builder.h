#pragma once
// Image atlases of the content builder: a description names, for each
// atlas, its number, the id of its page texture and its PNG images; the
// builder packs the images into one page whose sides are powers of two and
// writes the page's texture resources and the atlas resource with each
// image's rectangle, size and pivot.
#include <cstdint>
#include <string>
#include <vector>

#include "png_reader.h"
#include "texture_layout.h"

namespace zolt::tools {

struct AtlasImage {
    std::string source_path;
    float pivot[2] = {0.0f, 0.0f};
};

struct AtlasEntry {
    std::string name;  // how messages name it: "atlas 1"
    uint32_t number = 0;
    uint32_t texture_id = 0;
    std::vector<AtlasImage> images;
};

struct AtlasResources {
    uint32_t atlas_id = 0;
    std::vector<uint8_t> atlas;
    uint32_t texture_id = 0;
    TextureResources page;
};

// False, with a message naming the file, the atlas and the key, for anything
// it does not accept.
bool parse_image_atlas_description(const std::string& text, const std::string& path, std::vector<AtlasEntry>* atlases,
                                   std::string* error);

// Packs images already read (one for each image of the entry) into a page;
// the atlas records fractions of the page, the page rows run bottom up.
bool build_image_atlas_from_images(const AtlasEntry& entry, const std::vector<SourceImage>& images, SourceImage* page,
                                   std::vector<uint8_t>* atlas, std::string* error);

// Reads the description and every image, and builds every atlas.
bool build_image_atlases_file(const std::string& path, std::vector<AtlasResources>* built, std::string* error);

}  // namespace zolt::tools
