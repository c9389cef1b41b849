#include "zolt/renderer/lights/light_source_binding.h"

#include "zolt/renderer/batcher/light_source.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_mask.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/lights/light_selection.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/shadows/shadow_passes.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_queue.h"
#include "zolt/renderer/visuals/visual_render.h"

namespace zolt::renderer {

namespace {

uint64_t select_visual_object_lights(VisibilityContext& context, const VisualRender& visual) {
    ObjectLightQuery query;
    query.home_sector = visual.home_sector;
    query.overlap_sector = visual.overlap_sector;
    query.light_mask = visual.light_mask;
    query.centre = visual.world_sphere;
    query.radius = visual.world_sphere.w;
    query.home_is_neighbour =
        visual.home_sector != nullptr &&
        context.is_in_neighbour_sectors(servers::sector_server.get_render_record_index(visual.home_sector));
    return select_object_lights(context, query);
}

}  // namespace

void install_light_source() {
    light_source.get_light = [](uint32_t index) -> const LightRender* {
        if (index >= light_capacity || light_server.get_slot(index).state != light_state::live) {
            return nullptr;
        }
        return &light_server.get_render_slot(index);
    };
    light_source.get_global_light = [] { return &light_server.get_global_light_render(); };
    // The volume is the current view's: outside a view a light is unconfined.
    light_source.get_mask_geometry = [](const LightRender& light, LightMaskGeometry* geometry) {
        const VisibilityContext* const view = get_current_visibility_context();
        // The record is the server's own; its clip volume is cached in it.
        return view != nullptr && get_light_mask_geometry(const_cast<LightRender&>(light), *view, geometry);
    };
    light_source.get_distance_fades = &get_distance_fades;
    light_source.get_shadow_texture = [](const LightRender& light) {
        return get_shadow_tile_texture(light.shadow_tile);
    };
    light_source.get_global_shadow_texture = [] {
        return get_global_shadow_texture(light_server.get_shadow_maps(), light_server.get_global_light_render());
    };
    visual_light_selector = &select_visual_object_lights;
}

void remove_light_source() {
    light_source = LightSource{};
    visual_light_selector = nullptr;
}

}  // namespace zolt::renderer
