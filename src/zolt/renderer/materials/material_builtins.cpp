#include "zolt/renderer/materials/material_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

namespace {

using MaterialHandle = core::BuiltinHandle<core::BuiltinKind::material_handle>;
using core::AnyHandle;

// Word index of a table of the material, 0 past its end or without a material.
template <typename Table>
uint32_t read_table_word(MaterialHandle handle, Table Material::*table, uint32_t index) {
    const Material* const material = material_server.find_material(handle.value);
    if (material == nullptr) {
        return 0;
    }
    const auto& words = material->*table;
    return index < words.count ? words.data[index] : 0;
}

Material* find_modifiable(MaterialHandle handle) {
    Material* const material = material_server.find_material(handle.value);
    return material != nullptr && material->is_modifiable() ? material : nullptr;
}

geometry::Vector4 get_material_vector(MaterialHandle handle, uint32_t index) {
    const Material* const material = material_server.find_material(handle.value);
    if (material == nullptr || index >= material->description.vectors.count) {
        return {};
    }
    const shader_library::ConstantValue& value = material->description.vectors.data[index];
    return {value.get_float(0), value.get_float(1), value.get_float(2), value.get_float(3)};
}

void set_material_vector(MaterialHandle handle, uint32_t index, geometry::Vector4 vector) {
    if (Material* const material = find_modifiable(handle)) {
        shader_library::ConstantValue value;
        value.set_floats(vector.x, vector.y, vector.z, vector.w);
        material->set_vector(index, value);
    }
}

uint32_t get_material_texture(MaterialHandle handle, uint32_t index) {
    const Material* const material = material_server.find_material(handle.value);
    if (material == nullptr) {
        return 0;
    }
    const MaterialTable<uint32_t>& textures = material->description.textures;
    return index < textures.count ? textures.data[index] : 0;
}

void set_material_texture(MaterialHandle handle, uint32_t index, uint32_t texture_id) {
    if (Material* const material = find_modifiable(handle)) {
        material->set_texture(index, texture_id);
    }
}

uint32_t get_material_constant_tag(MaterialHandle handle, uint32_t index) {
    return read_table_word(handle, &Material::effective_constant_tags, index);
}

void set_material_constant_tag(MaterialHandle handle, uint32_t index, uint32_t tag) {
    if (Material* const material = find_modifiable(handle)) {
        material->set_constant_tag(index, tag);
    }
}

uint32_t get_material_texture_tag(MaterialHandle handle, uint32_t index) {
    return read_table_word(handle, &Material::effective_texture_tags, index);
}

void set_material_texture_tag(MaterialHandle handle, uint32_t index, uint32_t tag) {
    if (Material* const material = find_modifiable(handle)) {
        material->set_texture_tag(index, tag);
    }
}

void refresh_materials(AnyHandle object, uint32_t flags) {
    // A visual rebinds its own materials; any other object asks for the
    // whole server.
    if (core::get_handle_server_type(object.value) == visual_server_type) {
        if (const Visual* const visual = visual_server.is_registered() ? visual_server.find_visual(object.value)
                                                                        : nullptr) {
            visual_server.refresh_visual_material_bindings(*visual, flags);
            return;
        }
    }
    material_server.requeue_all(flags);
}

void reselect_material_shaders() {
    material_server.reselect_all();
}

}  // namespace

void bind_material_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::get_material_vector, &get_material_vector>(table);
    core::bind_builtin<BuiltinId::set_material_vector, &set_material_vector>(table);
    core::bind_builtin<BuiltinId::get_material_texture, &get_material_texture>(table);
    core::bind_builtin<BuiltinId::set_material_texture, &set_material_texture>(table);
    core::bind_builtin<BuiltinId::get_material_constant_tag, &get_material_constant_tag>(table);
    core::bind_builtin<BuiltinId::set_material_constant_tag, &set_material_constant_tag>(table);
    core::bind_builtin<BuiltinId::get_material_texture_tag, &get_material_texture_tag>(table);
    core::bind_builtin<BuiltinId::set_material_texture_tag, &set_material_texture_tag>(table);
}

void bind_material_server_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::refresh_materials, &refresh_materials>(table);
    core::bind_builtin<BuiltinId::reselect_material_shaders, &reselect_material_shaders>(table);
}

}  // namespace zolt::renderer
