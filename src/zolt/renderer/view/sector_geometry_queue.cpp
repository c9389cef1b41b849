#include "zolt/renderer/view/sector_geometry_queue.h"

#include "zolt/navigation/sector.h"
#include "zolt/renderer/decals/decal_targets.h"
#include "zolt/renderer/mesh/mesh_queue.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

void queue_sector_geometry(VisibilityContext& context, SectorView& view) {
    const servers::SectorRender* const sector = view.sector;
    if (sector == nullptr || sector->has_placement == 0 || sector->mesh == 0 || !mesh_server.is_registered()) {
        return;
    }
    const Mesh* const mesh = mesh_server.find_mesh(sector->mesh);
    if (mesh == nullptr) {
        return;
    }
    MeshRequestTemplate request;
    // The context's own volume for light views, else the view's; the
    // sector's screen rectangle is left to the clip volume.
    request.clip_volume = (context.flags & context_flag_light_view) != 0 ? &context.frustum : &view.clip_volume;
    context.set_object_transform(sector->world_rotation, sector->world_position);
    request.info.position = sector->world_position;
    request.info.rotation = sector->world_rotation;
    request.info.visibility_context = &context;
    request.info.light_list = view.light_key;
    queue_mesh_render_requests(request, mesh->get_render(), 0.0f);
    queue_target_decals(sector->decals, request.info);
}

}  // namespace zolt::renderer
