#pragma once
// How an owner describes a material: flags, the shader entry, the resource
// its tables may lie in, and five tables (vector constants, texture ids,
// constant, texture and fibre tag words). A table lies either inside the
// resource's data (shared, never written) or in the material server's table
// memory (owned by the material). Plain record; main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/renderer/shaders/shader_tags.h"

namespace zolt::renderer {

constexpr uint32_t material_flag_modifiable = 0x1;  // scripts may change it; its tags are not static
constexpr uint32_t material_flag_warm_up_even_lighting = 0x2;
constexpr uint32_t material_flag_warm_up_odd_lighting = 0x4;
constexpr uint32_t default_material_flags = material_flag_warm_up_even_lighting;

template <typename T>
struct MaterialTable {
    T* data = nullptr;
    uint32_t count = 0;
};

struct MaterialDescription {
    uint32_t flags = default_material_flags;
    uint32_t shader_index = 0;
    core::ObjectHandle resource = 0;
    MaterialTable<shader_library::ConstantValue> vectors;
    MaterialTable<uint32_t> textures;
    MaterialTable<uint32_t> constant_tags;
    MaterialTable<uint32_t> texture_tags;
    MaterialTable<uint32_t> fibre_tags;
    int32_t fibre_parameter = -1;
};

// The five tables in their save order.
enum class MaterialTableKind : uint32_t { vectors, textures, constant_tags, texture_tags, fibre_tags, count };
constexpr uint32_t material_table_kind_count = static_cast<uint32_t>(MaterialTableKind::count);

}  // namespace zolt::renderer
