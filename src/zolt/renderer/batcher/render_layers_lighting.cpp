#include "zolt/renderer/batcher/render_layers_lighting.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/draw_request.h"
#include "zolt/renderer/batcher/fog_pass.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/materials/material.h"
#include "zolt/renderer/materials/material_warm_up.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_object.h"

namespace zolt::renderer {

float opengl_decal_polygon_offset = -10.0f;

namespace {

namespace library = shader_library;
using opengl::gl;

// The configuration table leaves this variable's number open; 123 is free.
const ConfigVariableRow<float> opengl_decal_polygon_offset_row(123, "opengl_decal_polygon_offset",
                                                               &opengl_decal_polygon_offset, -10.0f, -100000.0f,
                                                               100000.0f, 0);

constexpr uint32_t unlit_decal_slot = 8;
constexpr uint32_t lit_decal_slot = 9;
constexpr uint32_t unlit_blended_slot = 10;
constexpr uint32_t lit_blended_slot = 11;
constexpr uint32_t frame_copy_blended_slot = 12;
constexpr uint32_t decal_slots = 0x300;
constexpr uint32_t blended_slots = 0x1C00;
constexpr uint32_t screen_pass_shader_index = 3;
constexpr uint32_t scene_texture_slot = 0;
// Viewport layer parameters of the screen pass: on, and the view depth
// before whose first nearer request it is drawn.
constexpr uint32_t screen_pass_parameter = 270;
constexpr uint32_t screen_pass_depth_parameter = 271;

float get_layer_parameter(uint32_t id) {
    return render_view_hooks.get_layer_parameter != nullptr ? render_view_hooks.get_layer_parameter(id) : 0.0f;
}

// The screen-pass material, kept only when it has a slot-0 pass.
Material* find_screen_pass_material() {
    Material* const material = get_layer_material(screen_pass_material_alias, screen_pass_shader_index);
    return material != nullptr && material->has_pass(0) ? material : nullptr;
}

void warm_up_screen_pass_material(Material* material) {
    if (material == nullptr) {
        return;
    }
    material->update_pending();
    if (material->has_pass(0)) {
        library::ShaderLibraryContext context;
        warm_up_setup_immediate(*material, 0, context, nullptr);
        library::ShaderLibraryContext second;
        warm_up_setup_immediate(*material, 1, second, nullptr);
    }
}

}  // namespace

RenderLayerNmapDecal::RenderLayerNmapDecal(uint8_t decal_group)
    : RenderLayerNmapBase(decal_slots, &compare_by_provider), decal_group_(decal_group) {}

void RenderLayerNmapDecal::update(uint32_t) {
    layer_material_ = find_screen_pass_material();
}

void RenderLayerNmapDecal::warm_up(uint32_t) {
    warm_up_screen_pass_material(layer_material_);
}

bool RenderLayerNmapDecal::queue_request(uint32_t, const RenderInfo& info, const Stream* const* streams,
                                         uint16_t stream_word, Material* material, uint16_t first_index,
                                         uint16_t index_count) {
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    const uint32_t slot = material->has_pass(unlit_decal_slot) ? unlit_decal_slot : lit_decal_slot;
    uint32_t flags = 0;
    get_first_program_index(*request, slot, 0, &flags);
    const uint8_t group = (flags & library::pass_flag_decal_layer_3) != 0 ? 1 : 0;
    if (group != decal_group_) {
        free_render_request(request);
        return false;
    }
    request->pass_slot = slot;
    request->sort_key = ~info.order_word;
    heap.insert(&request->heap_node);
    return true;
}

void RenderLayerNmapDecal::render_request_pass(uint32_t index, bool active) {
    if (!active || heap.empty()) {
        drain_heap(heap, index, false);
        return;
    }
    update_fog_state();
    drop_current_light();
    gl.glPolygonOffset(0.0f, opengl_decal_polygon_offset);
    gl.glEnable(GL_POLYGON_OFFSET_FILL);
    while (FibonacciHeapNode* const node = heap.pop()) {
        RenderRequest& request = get_render_request(node->value);
        if (request.material->has_pass(unlit_decal_slot)) {
            draw(index, request, unlit_decal_slot, base_setup);
        } else {
            draw_with_all_lights(index, request, lit_decal_slot);
        }
        free_render_request(&request);
    }
    heap.clear();
    gl.glPolygonOffset(0.0f, 0.0f);
    gl.glDisable(GL_POLYGON_OFFSET_FILL);
    finish_lighting_pass();
}

RenderLayerNmapBlended::RenderLayerNmapBlended(bool near)
    : RenderLayerNmapBase(blended_slots, &compare_back_to_front), near_(near) {}

void RenderLayerNmapBlended::update(uint32_t) {
    layer_material_ = find_screen_pass_material();
}

void RenderLayerNmapBlended::warm_up(uint32_t) {
    warm_up_screen_pass_material(layer_material_);
}

bool RenderLayerNmapBlended::queue_request(uint32_t, const RenderInfo& info, const Stream* const* streams,
                                           uint16_t stream_word, Material* material, uint16_t first_index,
                                           uint16_t index_count) {
    if ((info.kind == render_info_kind_in_front) != near_) {
        return false;
    }
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    request->sort_key = ~info.order_word;
    heap.insert(&request->heap_node);
    return true;
}

void RenderLayerNmapBlended::draw_screen_pass_now(uint32_t index) {
    if (layer_material_ == nullptr) {
        return;
    }
    trace_full_screen(index, LightingDraw::screen_pass);
    draw_screen_pass(*layer_material_);
}

void RenderLayerNmapBlended::draw_lit_request(uint32_t index, const RenderRequest& request) {
    const Material& material = *request.material;
    if (material.has_pass(unlit_blended_slot)) {
        draw(index, request, unlit_blended_slot, base_setup);
        return;
    }
    if (material.has_pass(frame_copy_blended_slot)) {
        if (TextureObject* const texture = library::get_renderer_texture(scene_texture_slot)) {
            const FrameBufferState& state = get_frame_buffer_state();
            texture->copy_from_frame_buffer(state.viewport_x, state.viewport_y, state.viewport_width,
                                            state.viewport_height);
        }
        draw(index, request, frame_copy_blended_slot, base_setup);
        return;
    }
    draw_with_all_lights(index, request, lit_blended_slot);
}

void RenderLayerNmapBlended::render_request_pass(uint32_t index, bool active) {
    if (!active) {
        drain_heap(heap, index, false);
        return;
    }
    update_fog_state();
    bool screen_pass_pending = get_layer_parameter(screen_pass_parameter) != 0.0f && index != near_nmap_blended_layer;
    const float threshold = get_layer_parameter(screen_pass_depth_parameter);
    if (heap.empty()) {
        if (screen_pass_pending) {
            draw_screen_pass_now(index);
        }
        return;
    }
    drop_current_light();
    while (FibonacciHeapNode* const node = heap.pop()) {
        RenderRequest& request = get_render_request(node->value);
        if (screen_pass_pending && request.view_depth < threshold) {
            draw_screen_pass_now(index);
            screen_pass_pending = false;
        }
        draw_lit_request(index, request);
        free_render_request(&request);
    }
    heap.clear();
    if (screen_pass_pending) {
        draw_screen_pass_now(index);
    }
    finish_lighting_pass();
}

}  // namespace zolt::renderer
