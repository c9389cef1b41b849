#include "zolt/renderer/fake_shadows/fake_shadow_pass.h"

#include <algorithm>

#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/shadows/shadow_drawing.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/visuals/visual_queue.h"
#include "zolt/renderer/visuals/visual_render.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t all_layers = 0xFFFFFFFF;

void queue_own_visual(VisibilityContext& context, RenderItem& item) {
    queue_shadow_caster_requests(context, *static_cast<const VisualRender*>(item.object));
}

}  // namespace

void render_fake_shadow_pass(const FakeShadow& shadow, const ShadowTile& tile, uint32_t map_size,
                             VisibilityContext& view) {
    VisibilityContext context;
    context.flags = context_flag_light_view;
    context.layer_mask = all_layers;
    context.target_width = map_size;
    context.target_height = map_size;
    const ShadowTileViewport viewport = get_shadow_tile_viewport(tile, map_size);
    context.set_screen_rectangle(view.view_mask, {static_cast<float>(viewport.x), static_cast<float>(viewport.y), 0},
                                 {static_cast<float>(viewport.width), static_cast<float>(viewport.height), 0});
    // The same box as the record's texture matrix: width across, height up,
    // depth over its span along the direction.
    const VisualRender& visual = visual_server.get_render_at(shadow.visual_slot);
    const FakeShadowDepthSpan span = get_fake_shadow_depth_span(shadow);
    const geometry::Vector3 along = geometry::rotate(shadow.orientation, {0, 1, 0});
    context.set_orthographic_view(visual.home_sector, span.length, shadow.projection_origin + along * span.start,
                                  shadow.orientation,
                                  std::max(shadow.projection_extents.x, fake_shadow_smallest_extent),
                                  std::max(shadow.projection_extents.y, fake_shadow_smallest_extent));
    lend_view_items(context, view);
    RenderItem* const item = context.allocate_item();
    if (item == nullptr) {
        return;
    }
    item->object = &visual;
    item->sector = visual.home_sector;
    item->queue = &queue_own_visual;
    draw_shadow_depth(context);
}

}  // namespace zolt::renderer
