#include "zolt/renderer/visuals/visual_queue.h"

#include "libs/geometry/culling.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/decals/decal_targets.h"
#include "zolt/renderer/mesh/mesh_queue.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_render.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

VisualLightSelector visual_light_selector = nullptr;

namespace {

bool accepts(const VisibilityContext& context, const VisualRender& visual) {
    if (visual.global != 0 || visual.visible == 0 || visual.mesh == nullptr ||
        (visual.view_mask & context.view_mask) == 0) {
        return false;
    }
    return (context.flags & context_flag_light_view) == 0 || (visual.light_view_layer_mask & context.layer_mask) != 0;
}

geometry::Rectangle unite(const geometry::Rectangle& a, const geometry::Rectangle& b) {
    geometry::Rectangle result = a;
    if (!geometry::is_empty(b)) {
        geometry::grow_rectangle(result, b.x0, b.y0);
        geometry::grow_rectangle(result, b.x1, b.y1);
    }
    return result;
}

// False when the item array is full.
bool add_item(VisibilityContext& context, const VisualRender& visual, SectorView* view, SectorView* other) {
    RenderItem* const item = context.allocate_item();
    if (item == nullptr) {
        return false;
    }
    item->object = &visual;
    item->sector = visual.home_sector;
    item->queue = &queue_visual_requests;
    item->lights = &select_visual_lights;
    if (view != nullptr && other == nullptr) {
        item->clip_rectangle = &view->rectangle;
        item->clip_volume = &view->clip_volume;
    } else if (view != nullptr) {
        // Seen through two sectors: neither volume holds all of it.
        item->own_rectangle = unite(view->rectangle, other->rectangle);
        item->clip_rectangle = &item->own_rectangle;
    }
    return true;
}

void fill_template(VisibilityContext& context, const VisualRender& visual, MeshRequestTemplate& request) {
    const float scale = visual.private_mesh ? 1.0f : visual.uniform_scale;
    request.object_scale = scale;
    request.info.scale = {scale, scale, scale};
    request.info.position = visual.position;
    request.info.rotation = visual.rotation;
    request.info.visibility_context = &context;
    context.set_object_transform(visual.rotation, visual.position);
}

}  // namespace

bool is_visual_visible(const VisualRender& visual, const geometry::Frustum* clip_volume) {
    if (visual.mesh == nullptr || visual.never_culled != 0 || clip_volume == nullptr) {
        return visual.mesh != nullptr;
    }
    const geometry::SphereClass side = geometry::classify_sphere(visual.world_sphere, clip_volume->planes);
    if (side != geometry::SphereClass::intersecting) {
        return side == geometry::SphereClass::inside;
    }
    if (visual.private_mesh) {
        return true;
    }
    geometry::Vector3 corners[8];
    for (uint32_t corner = 0; corner < 8; ++corner) {
        const geometry::Vector3 local{(corner & 1) != 0 ? visual.box_maximum.x : visual.box_minimum.x,
                                      (corner & 2) != 0 ? visual.box_maximum.y : visual.box_minimum.y,
                                      (corner & 4) != 0 ? visual.box_maximum.z : visual.box_minimum.z};
        corners[corner] = visual.position + geometry::rotate(visual.rotation, local);
    }
    return geometry::points_in_frustum(8, corners, clip_volume->planes);
}

void queue_visible_sector_objects(VisibilityContext& context) {
    for (uint32_t index = 0; index < context.sector_view_count; ++index) {
        SectorView& view = context.sector_views[index];
        if (view.sector == nullptr) {
            continue;
        }
        for (uint32_t ring = 0; ring < sector_ring_count; ++ring) {
            for (const VisualRender* visual = view.sector->first_visuals[ring]; visual != nullptr;
                 visual = visual->next_in_ring[ring]) {
                // A visual reaching into a second visible sector is queued
                // once, from its home.
                SectorView* const home =
                    visual->home_sector != nullptr ? context.find_sector_view(visual->home_sector) : nullptr;
                if (ring == 1 && home != nullptr) {
                    continue;
                }
                SectorView* const other = ring == 0 && visual->overlap_sector != nullptr
                                              ? context.find_sector_view(visual->overlap_sector)
                                              : nullptr;
                const geometry::Frustum* const volume = other != nullptr ? nullptr : &view.clip_volume;
                if (!accepts(context, *visual) || !is_visual_visible(*visual, volume)) {
                    continue;
                }
                if (!add_item(context, *visual, &view, other)) {
                    return;
                }
            }
        }
    }
    if (visual_server.is_registered()) {
        visual_server.queue_shadow_casters(context);
    }
}

void VisualServer::queue_shadow_casters(VisibilityContext& context) {
    for (const VisualRender* visual = first_global_; visual != nullptr; visual = visual->next_global) {
        if (visual->visible == 0 || visual->mesh == nullptr || (visual->view_mask & context.view_mask) == 0) {
            continue;
        }
        if (!add_item(context, *visual, nullptr, nullptr)) {
            return;
        }
    }
}

void queue_visual_requests(VisibilityContext& context, RenderItem& item) {
    const auto* const visual = static_cast<const VisualRender*>(item.object);
    if (visual == nullptr || visual->mesh == nullptr) {
        return;
    }
    MeshRequestTemplate request;
    fill_template(context, *visual, request);
    // The screen rectangle is left to the clip volume, as for sector geometry.
    request.clip_volume = visual->private_mesh ? nullptr : item.clip_volume;
    request.info.light_list = item.light_selection;
    queue_mesh_render_requests(request, *visual->mesh, visual->distance_bias);
    queue_target_decals(visual->decals, request.info);
}

void select_visual_lights(VisibilityContext& context, RenderItem& item) {
    const auto* const visual = static_cast<const VisualRender*>(item.object);
    item.light_selection =
        visual != nullptr && visual_light_selector != nullptr ? visual_light_selector(context, *visual) : 0;
}

void queue_shadow_caster_requests(VisibilityContext& context, const VisualRender& visual) {
    if (visual.mesh == nullptr) {
        return;
    }
    MeshRequestTemplate request;
    fill_template(context, visual, request);
    queue_mesh_render_requests(request, *visual.mesh, 0.0f);
}

}  // namespace zolt::renderer
