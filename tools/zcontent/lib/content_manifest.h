#pragma once
// The content manifest: a JSON text naming the pack to write and the
// resources that go into it. Paths in it are relative to the manifest's
// folder; tools/zcontent/README.md describes every key. Reading checks every
// key and value, so a builder never meets a value it must guess at.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::tools {

struct TextureEntry {
    std::string name;                       // how messages name it: "texture 0x20000010"
    uint32_t id = 0;                        // the header resource's id, low two bits 0
    std::vector<std::string> source_paths;  // one, or six faces +X, -X, +Y, -Y, +Z, -Z
    renderer::TexelFormat texel_format = renderer::TexelFormat::rgba8;
    renderer::TextureTarget target = renderer::TextureTarget::texture_2d;
    renderer::TextureFilter filter = renderer::TextureFilter::trilinear;
    bool is_wrap_repeat = true;
    bool is_second_axis_flipped = false;
    bool is_lightmap = false;
    uint32_t level_count = 0;  // 0: the full chain down to 1 x 1
    uint32_t streamed_segment_count = 0;
    bool is_colour = true;  // colour mipmaps are averaged in linear light
};

struct MeshMaterialBinding {
    uint32_t shader_index = 0;
    uint32_t texture_id = 0;  // 0: none
    // The material's second texture, after texture_id: 0 none.
    uint32_t normal_map_id = 0;
};

// A mesh imported from glTF: mesh number n is resources 0x50010000 + n,
// 0x5F020000 + n and 0x5F030000 + n.
struct MeshEntry {
    std::string name;  // how messages name it: "mesh 0x0001"
    uint32_t number = 0;
    std::string source_path;
    std::map<std::string, MeshMaterialBinding> materials;  // by glTF material name
};

struct ContentManifest {
    std::string path;       // as messages name it
    std::string pack_file;  // relative to the output folder
    uint32_t pack_key = 0;
    std::vector<TextureEntry> textures;
    std::string shader_library_path;  // the description of resource 0x10000; empty for none
    std::string sound_description_path;  // the wave and sound banks; empty for none
    std::string animation_description_path;  // skeletons and animations; empty for none
    // The image atlases and their pages; empty for none.
    std::string image_atlas_path;
    std::vector<MeshEntry> meshes;
    // The loadable areas: layouts and partitions; empty for none.
    std::string area_description_path;
};

// The most mipmap levels a texture holds, and so the largest edge whose full
// chain fits them.
constexpr uint32_t max_texture_edge = 1u << (renderer::max_texture_level_count - 1);

// Reads a manifest from its text; path names it in messages and anchors its
// relative paths. False, with a message naming the manifest, the resource and
// the key, for anything it does not accept.
bool parse_content_manifest(const std::string& text, const std::string& path, ContentManifest* manifest,
                            std::string* error);
bool read_content_manifest(const std::string& path, ContentManifest* manifest, std::string* error);

// The manifest's name of a texel format ("rgba8", "dxt5"), or null.
const char* get_texel_format_name(renderer::TexelFormat format);

}  // namespace zolt::tools
