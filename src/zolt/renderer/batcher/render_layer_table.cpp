#include "zolt/renderer/batcher/render_layer_table.h"

#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layers_colourless.h"
#include "zolt/renderer/batcher/render_layers_depth.h"
#include "zolt/renderer/batcher/render_layers_lighting.h"
#include "zolt/renderer/batcher/render_layers_view.h"
#include "zolt/renderer/batcher/render_timing.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_parameter_blocks.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_object.h"

namespace zolt::renderer {

namespace library = shader_library;

RenderTimingObserver render_timing_observer;

namespace {

constexpr uint32_t opaque_white = 0xFFFFFFFF;
// Material flags of a layer's own material: modifiable, warmed up for even
// lighting setups.
constexpr uint32_t layer_material_flags = material_flag_modifiable | material_flag_warm_up_even_lighting;
// The renderer texture slots the sequence fills.
constexpr uint32_t scene_texture_slot = 0;
constexpr uint32_t depth_colour_texture_slot = 1;

RenderLayerDepth depth;
RenderLayerDepthOnly depth_only;
RenderLayerNmap nmap(0x50, false);
RenderLayerNmapDecal nmap_decal(1);
RenderLayerFakeShadows fake_shadows;
RenderLayerMaskPass mask_pass;
RenderLayerNmap nmap_lit(0xA0, false);
RenderLayerNmapDecal nmap_lit_decal(0);
RenderLayerNmapBlended nmap_blended(false);
RenderLayerDebugDraw debug_draw;
RenderLayerNmap near_nmap(0x50, true);
RenderLayerNmap near_nmap_lit(0xA0, true);
RenderLayerNmapBlended near_nmap_blended(true);
RenderLayerScreenCopy screen_copy;
RenderLayerGlow glow;
RenderLayerShadowDepth shadow_depth;

RenderLayer* const layers[render_layer_count] = {
    &depth,        &depth_only, &nmap,           &nmap_decal,    &fake_shadows,
    &mask_pass,    &nmap_lit,   &nmap_lit_decal, &nmap_blended,  &debug_draw,
    nullptr,       nullptr,     &near_nmap,      &near_nmap_lit, &near_nmap_blended,
    &screen_copy,  &glow,       nullptr,         nullptr,        nullptr,
    nullptr,       nullptr,     nullptr,         nullptr,        nullptr,
    nullptr,       nullptr,     nullptr,         nullptr,        nullptr,
    &shadow_depth, nullptr,
};

// The layers between the two frame-buffer copies, in drawing order.
constexpr uint32_t middle_sequence[] = {
    nmap_layer,      nmap_decal_layer,     fake_shadows_layer,      mask_pass_layer,
    nmap_lit_layer,  nmap_lit_decal_layer, nmap_blended_layer,      debug_draw_layer,
    near_nmap_layer, near_nmap_lit_layer,  near_nmap_blended_layer, screen_copy_layer,
};

template <typename Step>
void for_each_layer(Step step) {
    for (uint32_t index = 0; index < render_layer_count; ++index) {
        if (layers[index] != nullptr) {
            step(*layers[index], index);
        }
    }
}

void run_layer(uint32_t index) {
    if (render_timing_observer.layer != nullptr) {
        render_timing_observer.layer(index, false);
    }
    if (RenderLayer* const layer = layers[index]) {
        layer->render_request_pass(index, (get_layer_activity().active_layers >> index & 1) != 0);
    }
    reset_scissor();
    if (render_timing_observer.layer != nullptr) {
        render_timing_observer.layer(index, true);
    }
}

// The current GL viewport's rectangle into the copy.
void copy_frame_buffer_into(TextureObject* texture) {
    if (texture == nullptr) {
        return;
    }
    const FrameBufferState& state = get_frame_buffer_state();
    texture->copy_from_frame_buffer(state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height);
}

}  // namespace

RenderLayer* get_render_layer(uint32_t index) {
    return index < render_layer_count ? layers[index] : nullptr;
}

void prepare_render_layers() {
    for_each_layer([](RenderLayer& layer, uint32_t index) { layer.prepare(index); });
}

void begin_render_layers() {
    upload_open_quad_batch();
    begin_quad_frame();
    for_each_layer([](RenderLayer& layer, uint32_t index) { layer.begin_frame(index); });
    if (render_view_hooks.apply_current_view_matrices != nullptr) {
        render_view_hooks.apply_current_view_matrices();
    }
    geometry::Vector3 eye;
    if (render_view_hooks.get_eye_position != nullptr && render_view_hooks.get_eye_position(&eye)) {
        library::set_eye_position(eye);
    }
}

void render_layers(uint32_t clear_colour) {
    begin_render_layers();
    clear_frame_buffer(opaque_white);
    run_layer(depth_layer);

    // The depth layer's colour is kept for the later layers; the picture
    // itself starts again from the clear colour.
    TextureObject* const depth_colour = get_screen_copy(ScreenCopy::depth_layer_colour);
    copy_frame_buffer_into(depth_colour);
    library::set_renderer_texture(depth_colour_texture_slot, depth_colour);
    clear_color_buffer(clear_colour);

    run_layer(depth_only_layer);
    library::set_renderer_texture(scene_texture_slot, get_screen_copy(ScreenCopy::scene_so_far));
    for (const uint32_t index : middle_sequence) {
        run_layer(index);
    }

    TextureObject* const finished = get_screen_copy(ScreenCopy::finished_frame);
    copy_frame_buffer_into(finished);
    library::set_renderer_texture(scene_texture_slot, finished);
    run_layer(glow_layer);

    library::set_renderer_texture(scene_texture_slot, nullptr);
    library::set_renderer_texture(depth_colour_texture_slot, nullptr);
    end_render_layers();
}

void end_render_layers() {
    for_each_layer([](RenderLayer& layer, uint32_t index) { layer.end_frame(index); });
    library::reset_state();
    library::reset_transforms();
    clear_accepted_render_layers();
}

void initialize_render_layers() {
    for_each_layer([](RenderLayer& layer, uint32_t index) { layer.initialize(index); });
}

void update_render_layers() {
    for_each_layer([](RenderLayer& layer, uint32_t index) { layer.update(index); });
}

void warm_up_render_layers() {
    for_each_layer([](RenderLayer& layer, uint32_t index) { layer.warm_up(index); });
}

Material* get_layer_material(core::ObjectHandle alias, uint32_t shader_index) {
    core::ServerObject* const object = core::resolve_handle(alias);
    if (object != nullptr && core::get_handle_server_type(object->get_handle()) == material_server_type) {
        auto* const material = static_cast<Material*>(object);
        material->update_pending();
        return material;
    }
    MaterialDescription description;
    description.flags = layer_material_flags;
    description.shader_index = shader_index;
    Material* const material = material_server.create_material(description);
    core::alias_server.clear_alias(alias);
    core::alias_server.set_alias(alias, material->get_handle());
    material->update_pending();
    return material;
}

}  // namespace zolt::renderer
