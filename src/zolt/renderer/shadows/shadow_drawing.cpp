#include "zolt/renderer/shadows/shadow_drawing.h"

#include "libs/opengl/shadowmap_framebuffer.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t first_shadowmap_slot = 5;

}  // namespace

TextureObject* get_shadow_map_texture(uint32_t map) {
    return texture_server.is_registered() && map < shadow_map_capacity
               ? texture_server.get_render_target_in_slot(first_shadowmap_slot + map)
               : nullptr;
}

bool activate_shadow_map(uint32_t map, uint32_t size) {
    TextureObject* const texture = get_shadow_map_texture(map);
    if (size == 0 || texture == nullptr || texture->get_bound_name() == 0 ||
        !opengl::framebuffer_object_activate_shadowmap(texture->get_bound_name(), 0)) {
        return false;
    }
    set_target_size(static_cast<int32_t>(size), static_cast<int32_t>(size));
    set_viewport(0, 0, static_cast<int32_t>(size), static_cast<int32_t>(size));
    reset_scissor();
    clear_frame_buffer(0);
    return true;
}

void deactivate_shadow_maps() {
    opengl::framebuffer_object_deactivate();
}

void lend_view_items(VisibilityContext& context, const VisibilityContext& view) {
    // The view's array past its own items: a pass allocates nothing.
    context.items = view.items != nullptr ? view.items + view.item_count : nullptr;
    context.item_capacity = view.items != nullptr ? view.item_capacity - view.item_count : 0;
    context.item_count = 0;
}

void queue_shadow_casters_of(VisibilityContext& context, VisibilityContext& view, bool walk_sectors) {
    lend_view_items(context, view);
    if (walk_sectors && view_hooks.traverse_visible_sectors != nullptr) {
        view_hooks.traverse_visible_sectors(context);
    }
    if (view_hooks.queue_visible_sector_objects != nullptr) {
        view_hooks.queue_visible_sector_objects(context);
    }
}

void draw_shadow_depth(VisibilityContext& context) {
    const geometry::Rectangle& rectangle = context.screen_rectangle;
    set_viewport(static_cast<int32_t>(rectangle.x0), static_cast<int32_t>(rectangle.y0),
                 static_cast<int32_t>(rectangle.x1 - rectangle.x0), static_cast<int32_t>(rectangle.y1 - rectangle.y0));
    set_current_visibility_context(&context);
    apply_current_view_matrices();
    set_active_render_layers(shadow_pass_layer_mask);
    prepare_render_layers();
    context.queue_requests();
    begin_render_layers();
    if (RenderLayer* const layer = get_render_layer(shadow_depth_layer)) {
        layer->render_request_pass(shadow_depth_layer, true);
    }
    end_render_layers();
    set_current_visibility_context(nullptr);
}

}  // namespace zolt::renderer
