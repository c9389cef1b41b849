#include "image_atlas_builder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "content_manifest.h"
#include "json_document.h"
#include "texture_builder.h"
#include "zolt/renderer/display/image_atlas_format.h"
#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;

// Texels between images, so that filtering never mixes two of them.
constexpr uint32_t image_gap = 1;
constexpr uint32_t max_atlas_number = 0xFF;
constexpr uint32_t max_images = 0xFFFF;

bool fail(const std::string& where, const std::string& problem, std::string* error) {
    *error = where + ": " + problem;
    return false;
}

uint32_t round_up_to_power_of_two(uint32_t value) {
    uint32_t result = 1;
    while (result < value) {
        result <<= 1;
    }
    return result;
}

bool read_image(const Json& item, const std::filesystem::path& folder, const std::string& where, AtlasImage* image,
                std::string* error) {
    if (!item.is_object()) {
        return fail(where, "expected an object with \"source\"", error);
    }
    for (const auto& key : item.items()) {
        if (key.key() != "source" && key.key() != "pivot") {
            return fail(where, "\"" + key.key() + "\": unknown key", error);
        }
    }
    if (!item.contains("source") || !item["source"].is_string() || item["source"].get<std::string>().empty()) {
        return fail(where, "\"source\": expected a PNG file name", error);
    }
    image->source_path = (folder / item["source"].get<std::string>()).lexically_normal().string();
    if (item.contains("pivot")) {
        const Json& pivot = item["pivot"];
        if (!pivot.is_array() || pivot.size() != 2 || !pivot[0].is_number() || !pivot[1].is_number()) {
            return fail(where, "\"pivot\": expected two numbers, not " + quote_json_value(pivot), error);
        }
        image->pivot[0] = pivot[0].get<float>();
        image->pivot[1] = pivot[1].get<float>();
    }
    return true;
}

bool read_atlas(const Json& item, uint32_t index, const std::filesystem::path& folder, const std::string& path,
                AtlasEntry* atlas, std::string* error) {
    std::string where = path + ": atlases[" + std::to_string(index) + "]";
    if (!item.is_object()) {
        return fail(where, "expected an object", error);
    }
    uint64_t number = 0;
    if (!item.contains("number") || !read_json_number(item["number"], max_atlas_number, &number)) {
        return fail(where, "\"number\": expected a number from 0 to 255", error);
    }
    atlas->number = static_cast<uint32_t>(number);
    atlas->name = "atlas " + std::to_string(atlas->number);
    where = path + ": " + atlas->name;
    for (const auto& key : item.items()) {
        if (key.key() != "number" && key.key() != "texture" && key.key() != "images") {
            return fail(where, "\"" + key.key() + "\": unknown key", error);
        }
    }
    uint64_t texture = 0;
    if (!item.contains("texture") || !read_json_number(item["texture"], UINT32_MAX, &texture) ||
        !renderer::is_resource_texture_id(static_cast<uint32_t>(texture)) || (texture & 3) != 0) {
        return fail(where, "\"texture\": expected a texture id from 0x20000000 to 0x2FFFFFFC with the low two bits 0",
                    error);
    }
    atlas->texture_id = static_cast<uint32_t>(texture);
    if (!item.contains("images") || !item["images"].is_array() || item["images"].empty() ||
        item["images"].size() > max_images) {
        return fail(where, "\"images\": expected an array of 1 to 65535 images", error);
    }
    for (uint32_t image = 0; image < item["images"].size(); ++image) {
        atlas->images.emplace_back();
        if (!read_image(item["images"][image], folder, where + ": images[" + std::to_string(image) + "]",
                        &atlas->images.back(), error)) {
            return false;
        }
    }
    return true;
}

bool read_text_file(const std::string& path, std::string* text, std::string* error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return fail(path, "unable to read the file", error);
    }
    std::ostringstream contents;
    contents << file.rdbuf();
    *text = contents.str();
    return true;
}

}  // namespace

bool parse_image_atlas_description(const std::string& text, const std::string& path, std::vector<AtlasEntry>* atlases,
                                   std::string* error) {
    atlases->clear();
    Json document;
    std::string problem;
    if (!parse_json_document(text, &document, &problem)) {
        return fail(path, problem, error);
    }
    if (!document.is_object() || !document.contains("atlases") || !document["atlases"].is_array() ||
        document.size() != 1) {
        return fail(path, "expected an object with \"atlases\", an array of atlases", error);
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    for (uint32_t index = 0; index < document["atlases"].size(); ++index) {
        atlases->emplace_back();
        if (!read_atlas(document["atlases"][index], index, folder, path, &atlases->back(), error)) {
            return false;
        }
        for (size_t other = 0; other + 1 < atlases->size(); ++other) {
            if ((*atlases)[other].number == atlases->back().number) {
                return fail(path + ": " + atlases->back().name, "\"number\": given twice", error);
            }
        }
    }
    return true;
}

bool build_image_atlas_from_images(const AtlasEntry& entry, const std::vector<SourceImage>& images, SourceImage* page,
                                   std::vector<uint8_t>* atlas, std::string* error) {
    // Shelves in the order given, on a page as wide as the widest image or
    // as the square root of the area asks, whichever is wider.
    uint64_t area = 0;
    uint32_t widest = 1;
    for (const SourceImage& image : images) {
        area += uint64_t{image.width + image_gap} * (image.height + image_gap);
        widest = std::max(widest, image.width);
    }
    uint32_t width = round_up_to_power_of_two(widest);
    while (uint64_t{width} * width < area && width < max_texture_edge) {
        width <<= 1;
    }
    struct Placement {
        uint32_t x, y;
    };
    std::vector<Placement> places;
    uint32_t x = 0;
    uint32_t y = 0;
    uint32_t shelf = 0;
    for (const SourceImage& image : images) {
        if (x + image.width > width) {
            x = 0;
            y += shelf + image_gap;
            shelf = 0;
        }
        places.push_back({x, y});
        x += image.width + image_gap;
        shelf = std::max(shelf, image.height);
    }
    const uint32_t height = round_up_to_power_of_two(std::max(y + shelf, 1u));
    if (width > max_texture_edge || height > max_texture_edge) {
        return fail(entry.name, "the images do not fit a page of " + std::to_string(max_texture_edge) + " texels",
                    error);
    }
    *page = {};
    page->width = width;
    page->height = height;
    page->has_alpha = true;
    page->texels.assign(size_t{width} * height * 4, 0);
    atlas->assign(renderer::image_atlas_header_size + images.size() * sizeof(renderer::ImageAtlasEntry), 0);
    const renderer::ImageAtlasHeader header{entry.texture_id, static_cast<uint32_t>(images.size())};
    std::memcpy(atlas->data(), &header, sizeof header);
    for (size_t index = 0; index < images.size(); ++index) {
        const SourceImage& image = images[index];
        // The page's first row is the bottom one, as the overlay's y runs up.
        for (uint32_t row = 0; row < image.height; ++row) {
            const uint32_t page_row = places[index].y + (image.height - 1 - row);
            std::memcpy(&page->texels[(size_t{page_row} * width + places[index].x) * 4],
                        &image.texels[size_t{row} * image.width * 4], size_t{image.width} * 4 * sizeof(uint16_t));
        }
        const float w = static_cast<float>(width);
        const float h = static_cast<float>(height);
        const renderer::ImageAtlasEntry record{
            {static_cast<float>(places[index].x) / w, static_cast<float>(places[index].y) / h},
            {static_cast<float>(image.width) / w, static_cast<float>(image.height) / h},
            {static_cast<float>(image.width), static_cast<float>(image.height)},
            {entry.images[index].pivot[0], entry.images[index].pivot[1]}};
        std::memcpy(atlas->data() + renderer::image_atlas_header_size + index * sizeof record, &record, sizeof record);
    }
    return true;
}

bool build_image_atlases_file(const std::string& path, std::vector<AtlasResources>* built, std::string* error) {
    built->clear();
    std::string text;
    std::vector<AtlasEntry> atlases;
    if (!read_text_file(path, &text, error) || !parse_image_atlas_description(text, path, &atlases, error)) {
        return false;
    }
    for (const AtlasEntry& entry : atlases) {
        std::vector<SourceImage> images(entry.images.size());
        for (size_t index = 0; index < images.size(); ++index) {
            if (!read_png_file(entry.images[index].source_path, max_texture_edge, &images[index], error)) {
                *error = path + ": " + entry.name + ": " + *error;
                return false;
            }
        }
        AtlasResources resources;
        SourceImage page;
        if (!build_image_atlas_from_images(entry, images, &page, &resources.atlas, error)) {
            *error = path + ": " + *error;
            return false;
        }
        resources.atlas_id = renderer::get_image_atlas_id(entry.number);
        resources.texture_id = entry.texture_id;
        TextureEntry texture;
        texture.name = entry.name + " page";
        texture.id = entry.texture_id;
        texture.source_paths = {path};
        texture.filter = renderer::TextureFilter::bilinear;
        texture.is_wrap_repeat = false;
        texture.level_count = 1;
        ContentManifest manifest;
        manifest.path = path;
        if (!build_texture_from_images(manifest, texture, {page}, &resources.page, error)) {
            return false;
        }
        built->push_back(std::move(resources));
    }
    return true;
}

}  // namespace zolt::tools
