#include "zolt/renderer/decals/decal_targets.h"

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/decals/decal_geometry.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/mesh/mesh_resource_format.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

namespace {

Visual* find_visual_target(core::ObjectHandle target) {
    return visual_server.is_registered() ? visual_server.find_visual(target) : nullptr;
}

servers::Sector* find_sector_target(core::ObjectHandle target) {
    return target != 0 && core::get_handle_server_type(target) == servers::sector_server_type &&
                   servers::sector_server.is_registered()
               ? servers::sector_server.get_typed_object(target)
               : nullptr;
}

}  // namespace

void get_decal_target_frame(core::ObjectHandle target, geometry::Vector3& position, geometry::Quaternion& rotation,
                            float& scale) {
    position = {};
    rotation = geometry::identity_quaternion();
    scale = 1;
    if (Visual* const visual = find_visual_target(target)) {
        const VisualRender& record = visual_server.get_render(*visual);
        position = record.position;
        rotation = record.rotation;
        // A scale of 0 draws nothing; decals keep the unscaled frame.
        if (!record.private_mesh && record.uniform_scale > 0) {
            scale = record.uniform_scale;
        }
        return;
    }
    if (find_sector_target(target) != nullptr) {
        const servers::SectorRender* const record = servers::sector_server.find_render_record(target);
        if (record != nullptr && record->has_placement != 0) {
            position = record->world_position;
            rotation = record->world_rotation;
        }
    }
}

core::ObjectHandle open_decal_target_geometry(core::ObjectHandle target) {
    core::ObjectHandle mesh_handle = 0;
    if (const Visual* const visual = find_visual_target(target)) {
        mesh_handle = visual->get_mesh();
    } else if (const servers::Sector* const sector = find_sector_target(target)) {
        mesh_handle = sector->get_mesh();
    }
    const Mesh* const mesh =
        mesh_handle != 0 && mesh_server.is_registered() ? mesh_server.find_mesh(mesh_handle) : nullptr;
    if (mesh == nullptr || !core::resource_server.is_registered()) {
        return 0;
    }
    // Most meshes carry no decal geometry; opening an id the packs lack
    // would end the program.
    const uint32_t id = decal_geometry_resource_base + get_mesh_number(mesh->get_mesh_id());
    if (core::resource_server.get_loader().find_resource(id) == nullptr) {
        return 0;
    }
    const core::ResourceObject* const resource = core::resource_server.open_resource(id);
    return resource != nullptr ? resource->get_handle() : 0;
}

void release_decal_target_geometry(core::ObjectHandle geometry_resource) {
    if (geometry_resource == 0 || !core::resource_server.is_registered()) {
        return;
    }
    if (core::ResourceObject* const resource = core::resource_server.get_typed_object(geometry_resource)) {
        core::resource_server.destroy_object_internal(resource);
    }
}

void note_target_decals(core::ObjectHandle target, const Decal* leaving) {
    if (target == 0) {
        return;
    }
    bool has_decals = false;
    if (decal_server.is_registered()) {
        decal_server.for_each_set_of(target, [&](const Decal& set) { has_decals = has_decals || &set != leaving; });
    }
    if (Visual* const visual = find_visual_target(target)) {
        visual->set_has_decals(has_decals);
    } else if (servers::Sector* const sector = find_sector_target(target)) {
        sector->set_has_decals(has_decals);
    }
}

void destroy_target_decals(core::ObjectHandle target) {
    if (target == 0 || !decal_server.is_registered()) {
        return;
    }
    decal_server.for_each_set_of(target, [](Decal& set) { core::destroy_object(&set); });
}

void queue_target_decals(core::ObjectHandle target, const RenderInfo& info) {
    if (target != 0 && decal_server.is_registered()) {
        decal_server.queue_target_requests(target, info);
    }
}

void install_decal_target_hooks() {
    servers::sector_decal_hooks.destroy_decals = &destroy_target_decals;
}

void remove_decal_target_hooks() {
    if (servers::sector_decal_hooks.destroy_decals == &destroy_target_decals) {
        servers::sector_decal_hooks.destroy_decals = nullptr;
    }
}

}  // namespace zolt::renderer
