#pragma once
// A glTF 2.0 asset (.gltf text with its buffers, or .glb) loaded for the
// content builder, and checked reads of its accessors. Skins and animations
// are imported from it here; meshes can read their vertex streams the same
// way. Images are never decoded: the builder takes textures from PNG files.
#include <cstdint>
#include <string>
#include <vector>

#include <tiny_gltf.h>

namespace zolt::tools {

struct GltfDocument {
    std::string path;  // as messages name it
    tinygltf::Model model;
};

// False, with a message naming the file, when it cannot be read or is no
// valid glTF asset.
bool load_gltf_file(const std::string& path, GltfDocument* document, std::string* error);
// A .gltf text whose buffers are data URIs or lie in base_folder.
bool load_gltf_text(const std::string& text, const std::string& base_folder, const std::string& path,
                    GltfDocument* document, std::string* error);

// Reads every element of an accessor of component_count floats each
// (scalar 1, vec3 3, vec4 4, mat4 16): float components, or normalised
// unsigned bytes and shorts. False, with a message naming the file and the
// accessor, when the accessor is missing, of another shape, sparse, or runs
// past its buffer.
bool read_accessor_floats(const GltfDocument& document, int accessor, uint32_t component_count,
                          std::vector<float>* values, std::string* error);

// The node's name, or "node <index>" when it has none.
std::string get_node_name(const GltfDocument& document, int node);

}  // namespace zolt::tools
