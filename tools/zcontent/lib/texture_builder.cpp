#include "texture_builder.h"

#include <algorithm>
#include <cstdint>

#include "block_compressor.h"
#include "mipmap_builder.h"
#include "png_reader.h"
#include "texel_encoder.h"

namespace zolt::tools {
namespace {

using renderer::TexelFormat;
using renderer::TextureTarget;

bool has_transparent_texel(const SourceImage& image) {
    for (size_t index = 3; index < image.texels.size(); index += 4) {
        if (image.texels[index] != UINT16_MAX) {
            return true;
        }
    }
    return false;
}

std::string describe_size(const SourceImage& image) {
    return std::to_string(image.width) + " x " + std::to_string(image.height);
}

}  // namespace

bool build_texture(const ContentManifest& manifest, const TextureEntry& texture, TextureResources* resources,
                   std::string* error) {
    std::vector<SourceImage> faces(texture.source_paths.size());
    for (size_t face = 0; face < faces.size(); ++face) {
        if (!read_png_file(texture.source_paths[face], max_texture_edge, &faces[face], error)) {
            *error = manifest.path + ": " + texture.name + ": " + *error;
            return false;
        }
    }
    return build_texture_from_images(manifest, texture, faces, resources, error);
}

bool build_texture_from_images(const ContentManifest& manifest, const TextureEntry& texture,
                               const std::vector<SourceImage>& faces, TextureResources* resources, std::string* error) {
    const std::string where = manifest.path + ": " + texture.name + ": ";
    const auto fail = [&](const std::string& key, const std::string& problem) {
        *error = where + "\"" + key + "\": " + problem;
        return false;
    };
    if (faces.empty() || faces.size() != texture.source_paths.size()) {
        return fail("source", "the texture has " + std::to_string(faces.size()) + " images for " +
                                  std::to_string(texture.source_paths.size()) + " sources");
    }
    const SourceImage& first = faces.front();
    for (size_t face = 0; face < faces.size(); ++face) {
        if (texture.target == TextureTarget::cube_map &&
            (faces[face].width != faces[face].height || faces[face].width != first.width)) {
            return fail("source", "the faces of a cube map must be squares of one size, but " +
                                      texture.source_paths[0] + " is " + describe_size(first) + " and " +
                                      texture.source_paths[face] + " " + describe_size(faces[face]));
        }
        // DXT1 as written here has no transparent texels: alpha would be lost.
        if (texture.texel_format == TexelFormat::dxt1 && has_transparent_texel(faces[face])) {
            return fail("format", "dxt1 keeps no alpha, but " + texture.source_paths[face] +
                                      " has transparent texels; dxt3 or dxt5 keep them");
        }
    }
    const uint32_t full_level_count = get_full_level_count(first.width, first.height);
    const uint32_t level_count = texture.level_count == 0 ? full_level_count : texture.level_count;
    if (level_count > full_level_count) {
        return fail("mipmaps", std::to_string(level_count) + " levels, but a " + describe_size(first) + " image has " +
                                   std::to_string(full_level_count));
    }
    if (texture.streamed_segment_count >= level_count) {
        return fail("streamed", std::to_string(texture.streamed_segment_count) +
                                    " streamed segments leave none of the " + std::to_string(level_count) +
                                    " mipmap levels resident");
    }
    const bool is_grey = std::all_of(faces.begin(), faces.end(), [](const SourceImage& face) { return face.is_grey; });
    const renderer::TexelFormatInfo* info = renderer::find_texel_format(static_cast<uint32_t>(texture.texel_format));
    const bool is_compressed = info != nullptr && renderer::is_compressed_texel_format(*info);

    std::vector<std::vector<std::vector<uint8_t>>> surfaces(level_count,
                                                            std::vector<std::vector<uint8_t>>(faces.size()));
    for (size_t face = 0; face < faces.size(); ++face) {
        const std::vector<LevelImage> levels = build_mipmaps(faces[face], level_count, texture.is_colour);
        for (uint32_t level = 0; level < level_count; ++level) {
            std::vector<uint8_t>& surface = surfaces[level][face];
            const bool is_encoded = is_compressed
                                        ? compress_blocks(levels[level], texture.texel_format, &surface)
                                        : encode_texels(levels[level], texture.texel_format, is_grey, &surface);
            if (!is_encoded) {
                return fail("format", "the texel format cannot be written");
            }
        }
    }
    TextureShape shape;
    shape.texel_format = texture.texel_format;
    shape.target = texture.target;
    shape.filter = texture.filter;
    shape.is_wrap_repeat = texture.is_wrap_repeat;
    shape.is_second_axis_flipped = texture.is_second_axis_flipped;
    shape.is_lightmap = texture.is_lightmap;
    shape.width = first.width;
    shape.height = first.height;
    shape.level_count = level_count;
    shape.streamed_segment_count = texture.streamed_segment_count;
    if (!lay_out_texture(shape, surfaces, resources, error)) {
        *error = where + *error;
        return false;
    }
    return true;
}

}  // namespace zolt::tools
