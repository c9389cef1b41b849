#include "zolt/renderer/batcher/render_layer_fake_shadows.h"

#include <algorithm>

#include "libs/opengl/depth_bounds.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/simple_drawing.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_admission.h"
#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_fake_shadow_parameters.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_light_stencil.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/view/object_transform.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

namespace library = shader_library;
using opengl::gl;

constexpr uint32_t first_screen_copy_slot = 1;
constexpr uint32_t shadow_map_slot = 2;
constexpr uint32_t position_attribute_slot = 0;
constexpr float smallest_depth = 1.0f / 65536;
constexpr float warm_up_far_distance = 10;

library::ShaderLibraryContext make_view_context() {
    library::ShaderLibraryContext context;
    context.view = render_view_hooks.get_current_view != nullptr ? render_view_hooks.get_current_view() : nullptr;
    context.fibre_parameter = -1;
    return context;
}

TextureObject* find_shadow_map(const ShadowTile& tile) {
    if (!texture_server.is_registered() || tile.map_index >= texture_server.get_shadowmap_texture_count()) {
        return nullptr;
    }
    return texture_server.find_texture(get_shadowmap_texture_id(tile.map_index));
}

void upload_warm_up_parameters() {
    library::FakeShadowParameters parameters;
    parameters.strength = {0, 0, 0, 1};
    parameters.far_distance = warm_up_far_distance;
    library::set_fake_shadow_parameters(parameters);
}

}  // namespace

void RenderLayerFakeShadows::update(uint32_t) {
    Material* const material = get_layer_material(fake_shadow_material_alias, fake_shadow_shader_index);
    layer_material_ = material != nullptr && material->has_pass(0) ? material : nullptr;
}

void RenderLayerFakeShadows::warm_up(uint32_t) {
    if (layer_material_ == nullptr) {
        return;
    }
    layer_material_->update_pending();
    if (layer_material_->has_pass(0)) {
        for (const uint32_t setup : {fake_shadow_draw_setup - 1, fake_shadow_draw_setup}) {
            library::ShaderLibraryContext context;
            warm_up_setup_immediate(*layer_material_, setup, context, &upload_warm_up_parameters);
        }
    }
}

bool RenderLayerFakeShadows::queue_request(uint32_t, const RenderInfo&, const Stream* const*, uint16_t, Material*,
                                           uint16_t, uint16_t) {
    ZOLT_PANIC("Should be never called");
}

void RenderLayerFakeShadows::render_request_pass(uint32_t, bool active) {
    const VisibilityContext* const view = get_current_visibility_context();
    if (!active || layer_material_ == nullptr || library::get_renderer_texture(first_screen_copy_slot) == nullptr ||
        view == nullptr || view->fake_shadow_count == 0) {
        return;
    }
    set_scissor_rectangle(0, nullptr);
    set_scissor_rectangle(1, nullptr);
    for (uint32_t entry = 0; entry < view->fake_shadow_count; ++entry) {
        draw_fake_shadow(*get_fake_shadow_entry_record(*view, entry),
                         get_fake_shadow_entry_fade(view->fake_shadows[entry].value));
    }
    if (opengl::is_depth_bounds_test_enabled()) {
        gl.glDisable(GL_DEPTH_BOUNDS_TEST_EXT);
        opengl::clear_depth_bounds_test_enabled();
    }
    library::invalidate_texture_cache();
    library::set_renderer_texture(shadow_map_slot, nullptr);
}

void RenderLayerFakeShadows::draw_fake_shadow(const FakeShadow& shadow, float fade) {
    const VisibilityContext& view = *get_current_visibility_context();
    TextureObject* const map = shadow.has_tile != 0 && shadow.tile != nullptr ? find_shadow_map(*shadow.tile) : nullptr;
    if (map == nullptr) {
        return;
    }
    library::set_renderer_texture(shadow_map_slot, map);

    geometry::Vector3 corners[8];
    get_fake_shadow_volume_corners(shadow, corners);
    float positions[8 * 3];
    for (uint32_t corner = 0; corner < 8; ++corner) {
        positions[3 * corner] = corners[corner].x;
        positions[3 * corner + 1] = corners[corner].y;
        positions[3 * corner + 2] = corners[corner].z;
    }
    const bool camera_inside = is_eye_inside_fake_shadow_volume(shadow, view.eye, 2 * view.near);
    opengl::set_depth_bounds_from_box(view.get_view_projection_matrix(), positions);
    const opengl::StencilGeometry box{positions, 8, fake_shadow_box_indices, fake_shadow_box_triangle_count};
    library::render_light_stencil_volume(camera_inside, box);

    set_object_matrix(geometry::identity_quaternion(), {});
    if (object_transform.changed) {
        object_transform.changed = false;
        library::set_object_texture_matrix(object_transform.object);
    }
    library::ShaderLibraryContext context = make_view_context();
    layer_material_->setup_pass(fake_shadow_draw_setup, context);

    const FakeShadowSettings& settings = shadow.settings;
    const ShadowTileRectangle tile = get_shadow_tile_rectangle(shadow.tile);
    library::FakeShadowParameters parameters;
    parameters.strength = shadow.strength;
    parameters.strength.w *= fade;
    parameters.texture_matrix = make_fake_shadow_texture_matrix(shadow);
    parameters.tile_rectangle = {tile.x, tile.y, tile.scale_x, tile.scale_y};
    parameters.texel_width = 1.0f / static_cast<float>(std::max(map->get_width(), 1u));
    parameters.texel_height = 1.0f / static_cast<float>(std::max(map->get_height(), 1u));
    parameters.extension_ratio = settings.volume_extension / std::max(shadow.projection_extents.z, smallest_depth);
    parameters.parameter_4_inverse = 1.0f / std::max(settings.parameter_4, smallest_depth);
    parameters.far_distance = view.far;
    library::set_fake_shadow_parameters(parameters);
    library::upload_cached_lighting_state();

    opengl::set_position_array(positions, 8, fake_shadow_box_indices, fake_shadow_box_triangle_count);
    opengl::draw_indexed_triangles();
    opengl::clear_position_array();

    library::reset_state();
    library::render_light_stencil_mask(box);
    library::get_constant_vertex_attribute(position_attribute_slot).valid = false;
}

}  // namespace zolt::renderer
