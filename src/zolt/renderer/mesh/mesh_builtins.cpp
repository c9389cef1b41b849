#include "zolt/renderer/mesh/mesh_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/builtins/neutral_builtins.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/mesh/mesh_server.h"

namespace zolt::renderer {

namespace {

using MeshHandle = core::BuiltinHandle<core::BuiltinKind::mesh_handle>;
using TextureHandle = core::BuiltinHandle<core::BuiltinKind::texture_handle>;
using MaterialHandle = core::BuiltinHandle<core::BuiltinKind::material_handle>;

const MeshRender* find_render(MeshHandle handle) {
    const Mesh* const mesh = mesh_server.is_registered() ? mesh_server.find_mesh(handle.value) : nullptr;
    return mesh != nullptr ? &mesh->get_render() : nullptr;
}

// The lightmap texture of the first material that has one.
TextureHandle get_mesh_lightmap(MeshHandle handle) {
    if (const MeshRender* const record = find_render(handle)) {
        for (uint32_t index = 0; index < record->material_count; ++index) {
            const Material* const material = record->materials[index];
            if (material == nullptr) {
                continue;
            }
            if (const uint32_t texture = material->get_lightmap_texture_id()) {
                return {texture};
            }
        }
    }
    return {0};
}

MaterialHandle get_mesh_material(uint32_t material_index, MeshHandle handle) {
    const MeshRender* const record = find_render(handle);
    if (record == nullptr || material_index >= record->material_count || record->materials[material_index] == nullptr) {
        return {0};
    }
    return {record->materials[material_index]->get_handle()};
}

}  // namespace

void bind_mesh_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::get_mesh_lightmap, &get_mesh_lightmap>(table);
    core::bind_builtin<BuiltinId::get_mesh_material, &get_mesh_material>(table);
    // Visuals for every loaded mesh resource come with the visual server.
    core::bind_neutral_builtin(table, BuiltinId::create_visuals_for_mesh_resources);
}

}  // namespace zolt::renderer
