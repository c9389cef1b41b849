#include <algorithm>
#include <iterator>

#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/camera/view_matrices.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/view/object_transform.h"
#include "zolt/renderer/view/view_hooks.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {

namespace {

void set_full_target_viewport() {
    const DisplayMode& mode = get_current_display_mode();
    set_target_size(static_cast<int32_t>(mode.width), static_cast<int32_t>(mode.height));
    set_viewport(0, 0, static_cast<int32_t>(mode.width), static_cast<int32_t>(mode.height));
}

}  // namespace

float ViewportRender::get_layer_parameter(uint32_t id) const {
    const float* const number = parameters.find_float(id);
    return number != nullptr ? *number : 0.0f;
}

void ViewportRender::render(uint32_t clear_colour) {
    if (camera.valid == 0) {
        return;
    }
    const DisplayMode& mode = get_current_display_mode();
    VisibilityContext context;
    context.target_width = mode.width;
    context.target_height = mode.height;
    if (!context.set_screen_rectangle(view_mask, {origin.x, origin.y, 0}, {size.x, size.y, 0})) {
        return;
    }
    context.first_shadow_split = parameters.first_shadow_split;
    context.shadow_distance = parameters.shadow_distance;
    context.shadow_split_count = view_hooks.are_shadows_enabled != nullptr && view_hooks.are_shadows_enabled()
                                     ? parameters.shadow_split_count
                                     : 0;
    context.shadow_parameters = parameters.shadow_parameters;
    viewport_server.set_current_render(this);

    const FieldsOfView fields =
        complete_fields_of_view(camera.horizontal_field_of_view, camera.vertical_field_of_view, size.x, size.y);
    context.set_perspective_view(camera.current_sector, camera.position, camera.rotation, camera.near, camera.far,
                                 fields.horizontal, fields.vertical, false);
    context.fake_shadow_capacity_ =
        std::min({parameters.fake_shadow_limit, maximal_fake_shadow_count_limit, fake_shadow_capacity});
    context.items = get_render_item_array();
    context.item_capacity = render_item_array_size;
    context.item_count = 0;

    if (view_hooks.traverse_visible_sectors != nullptr) {
        view_hooks.traverse_visible_sectors(context);
    }
    if (view_hooks.queue_visible_sector_objects != nullptr) {
        view_hooks.queue_visible_sector_objects(context);
    }
    if (view_hooks.prepare_lights_and_shadows != nullptr) {
        view_hooks.prepare_lights_and_shadows(context);
    }

    set_target_size(static_cast<int32_t>(mode.width), static_cast<int32_t>(mode.height));
    set_viewport_from_rectangle(origin.x, origin.y, size.x, size.y);
    set_current_visibility_context(&context);
    object_transform.cached_placement = 0;
    apply_current_view_matrices();

    shader_library::ViewportConstants& constants = shader_library::get_viewport_constants();
    for (uint32_t index = 0; index < viewport_user_vector_count; ++index) {
        constants.vectors[index].set_floats(user_vectors[index].x, user_vectors[index].y, user_vectors[index].z,
                                            user_vectors[index].w);
    }
    std::copy(std::begin(textures), std::end(textures), std::begin(constants.textures));

    set_active_render_layers(layer_mask);
    prepare_render_layers();
    context.queue_requests();
    const bool sprites_and_particles = (view_mask & 1) != 0;
    if (sprites_and_particles && view_hooks.queue_sprites_and_particles != nullptr) {
        view_hooks.queue_sprites_and_particles(context, user_vectors[0].x, user_vectors[1].x, sprite_occlusion != 0);
    }
    render_layers(clear_colour);
    if (sprites_and_particles && view_hooks.update_sprite_fades != nullptr) {
        view_hooks.update_sprite_fades(context);
    }

    viewport_server.set_current_render(nullptr);
    set_full_target_viewport();
    set_current_visibility_context(nullptr);
    object_transform.changed = true;
    object_transform.cached_placement = 0;
}

}  // namespace zolt::renderer
