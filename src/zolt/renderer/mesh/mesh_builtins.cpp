#include "zolt/renderer/mesh/mesh_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/inherited_property.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

namespace {

using MeshHandle = core::BuiltinHandle<core::BuiltinKind::mesh_handle>;
using TextureHandle = core::BuiltinHandle<core::BuiltinKind::texture_handle>;
using MaterialHandle = core::BuiltinHandle<core::BuiltinKind::material_handle>;
using core::AnyHandle;

// A colour of (1, 1, 1, 1) for the material variant of the created visuals.
constexpr uint32_t variant_colour_property = 0x4000005A;

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

// A hidden visual of the material variant of every loaded mesh resource,
// owned by the owner and inheriting its properties from the second object.
void create_visuals_for_mesh_resources(AnyHandle owner, AnyHandle inherit_from) {
    if (!visual_server.is_registered() || !mesh_server.is_registered() || !core::resource_server.is_registered()) {
        return;
    }
    const core::ResourceLoader& loader = core::resource_server.get_loader();
    for (uint32_t index = 0; index < loader.get_resource_count(); ++index) {
        const core::ResourceInfo& info = loader.get_resource(index);
        if ((info.id & 0xFFFF0000u) != mesh_resource_base ||
            !info.has_state(core::resource_state::in_memory | core::resource_state::open)) {
            continue;
        }
        Visual* const visual = visual_server.create_visual(mesh_id_variant + get_mesh_number(info.id));
        core::Property value;
        value.set_u32(0x3000000, 0);
        visual->set_property(visual_property::visible, value);
        core::ServerObject::set_owner(visual, owner.value);
        value.set_u32(0x1000000, inherit_from.value);
        visual->set_property(core::parent_link_property, value);
        const float white[] = {1, 1, 1, 1};
        value.set_floats(0x40000000, white, 4);
        visual->set_property(variant_colour_property, value);
    }
}

}  // namespace

void bind_mesh_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::get_mesh_lightmap, &get_mesh_lightmap>(table);
    core::bind_builtin<BuiltinId::get_mesh_material, &get_mesh_material>(table);
    core::bind_builtin<BuiltinId::create_visuals_for_mesh_resources, &create_visuals_for_mesh_resources>(table);
}

}  // namespace zolt::renderer
