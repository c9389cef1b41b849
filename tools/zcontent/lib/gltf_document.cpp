#define TINYGLTF_IMPLEMENTATION
#define TINYGLTF_NO_STB_IMAGE
#define TINYGLTF_NO_STB_IMAGE_WRITE
#define TINYGLTF_NO_EXTERNAL_IMAGE
#define TINYGLTF_NOEXCEPTION
#include "gltf_document.h"

#include <cstring>

namespace zolt::tools {
namespace {

// Images stay undecoded: only their presence is kept.
bool skip_image(tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*, int, void*) {
    return true;
}

bool finish_load(bool loaded, const std::string& problem, const std::string& path, std::string* error) {
    if (!loaded) {
        *error = path + ": not a glTF asset: " + (problem.empty() ? std::string("unreadable") : problem);
        return false;
    }
    return true;
}

uint32_t get_type_component_count(int type) {
    switch (type) {
    case TINYGLTF_TYPE_SCALAR:
        return 1;
    case TINYGLTF_TYPE_VEC2:
        return 2;
    case TINYGLTF_TYPE_VEC3:
        return 3;
    case TINYGLTF_TYPE_VEC4:
        return 4;
    case TINYGLTF_TYPE_MAT4:
        return 16;
    default:
        return 0;
    }
}

}  // namespace

bool load_gltf_file(const std::string& path, GltfDocument* document, std::string* error) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(&skip_image, nullptr);
    std::string problem, warning;
    document->path = path;
    const bool is_binary = path.size() >= 4 && path.compare(path.size() - 4, 4, ".glb") == 0;
    const bool loaded = is_binary ? loader.LoadBinaryFromFile(&document->model, &problem, &warning, path)
                                  : loader.LoadASCIIFromFile(&document->model, &problem, &warning, path);
    return finish_load(loaded, problem, path, error);
}

bool load_gltf_text(const std::string& text, const std::string& base_folder, const std::string& path,
                    GltfDocument* document, std::string* error) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(&skip_image, nullptr);
    std::string problem, warning;
    document->path = path;
    const bool loaded = loader.LoadASCIIFromString(&document->model, &problem, &warning, text.data(),
                                                   static_cast<unsigned int>(text.size()), base_folder);
    return finish_load(loaded, problem, path, error);
}

bool read_accessor_floats(const GltfDocument& document, int accessor_index, uint32_t component_count,
                          std::vector<float>* values, std::string* error) {
    const tinygltf::Model& model = document.model;
    const std::string where = document.path + ": accessor " + std::to_string(accessor_index) + ": ";
    if (accessor_index < 0 || static_cast<size_t>(accessor_index) >= model.accessors.size()) {
        *error = where + "missing";
        return false;
    }
    const tinygltf::Accessor& accessor = model.accessors[accessor_index];
    if (get_type_component_count(accessor.type) != component_count) {
        *error = where + "holds " + std::to_string(get_type_component_count(accessor.type)) + " components, not " +
                 std::to_string(component_count);
        return false;
    }
    uint32_t component_size = 0;
    switch (accessor.componentType) {
    case TINYGLTF_COMPONENT_TYPE_FLOAT:
        component_size = 4;
        break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        component_size = accessor.normalized ? 1 : 0;
        break;
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        component_size = accessor.normalized ? 2 : 0;
        break;
    default:
        break;
    }
    if (component_size == 0) {
        *error = where + "is neither float nor normalised unsigned";
        return false;
    }
    if (accessor.sparse.isSparse || accessor.bufferView < 0 ||
        static_cast<size_t>(accessor.bufferView) >= model.bufferViews.size()) {
        *error = where + "has no plain buffer view";
        return false;
    }
    const tinygltf::BufferView& view = model.bufferViews[accessor.bufferView];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= model.buffers.size()) {
        *error = where + "names a missing buffer";
        return false;
    }
    const std::vector<unsigned char>& buffer = model.buffers[view.buffer].data;
    const uint64_t element_size = uint64_t{component_size} * component_count;
    const uint64_t stride = view.byteStride != 0 ? view.byteStride : element_size;
    const uint64_t start = uint64_t{view.byteOffset} + accessor.byteOffset;
    const uint64_t count = accessor.count;
    if (stride < element_size || view.byteOffset > buffer.size() || view.byteLength > buffer.size() - view.byteOffset ||
        (count > 0 && (accessor.byteOffset > view.byteLength ||
                       (count - 1) * stride + element_size > view.byteLength - accessor.byteOffset))) {
        *error = where + "runs past its buffer";
        return false;
    }
    values->resize(count * component_count);
    for (uint64_t element = 0; element < count; ++element) {
        const unsigned char* bytes = buffer.data() + start + element * stride;
        for (uint32_t component = 0; component < component_count; ++component) {
            float value;
            if (component_size == 4) {
                std::memcpy(&value, bytes + component * 4, 4);
            } else if (component_size == 2) {
                uint16_t word;
                std::memcpy(&word, bytes + component * 2, 2);
                value = word / 65535.0f;
            } else {
                value = bytes[component] / 255.0f;
            }
            (*values)[element * component_count + component] = value;
        }
    }
    return true;
}

std::string get_node_name(const GltfDocument& document, int node) {
    const std::string& name = document.model.nodes[node].name;
    return name.empty() ? "node " + std::to_string(node) : name;
}

}  // namespace zolt::tools
