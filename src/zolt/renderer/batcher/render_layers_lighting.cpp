#include "zolt/renderer/batcher/render_layers_lighting.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/utility/config_variable_row.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/batcher/draw_request.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/materials/material.h"

namespace zolt::renderer {

float opengl_decal_polygon_offset = -10.0f;

namespace {

using opengl::gl;

// The configuration table leaves this variable's number open; 123 is free.
const ConfigVariableRow<float> opengl_decal_polygon_offset_row(123, "opengl_decal_polygon_offset",
                                                               &opengl_decal_polygon_offset, -10.0f, -100000.0f,
                                                               100000.0f, 0);

constexpr uint32_t unlit_decal_slot = 8;
constexpr uint32_t lit_decal_slot = 9;
constexpr uint32_t decal_slots = 0x300;
constexpr uint32_t blended_slots = 0x1C00;

}  // namespace

bool NearOrFarRenderLayer::queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams,
                                         uint16_t stream_word, Material* material, uint16_t first_index,
                                         uint16_t index_count) {
    if ((info.kind == render_info_kind_in_front) != near_) {
        return false;
    }
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    heap.insert(&request->heap_node);
    return true;
}

RenderLayerNmap::RenderLayerNmap(uint32_t pass_slot_mask, bool near)
    : NearOrFarRenderLayer(pass_slot_mask, &compare_by_program, near) {}

RenderLayerNmapDecal::RenderLayerNmapDecal(uint8_t decal_group)
    : SortedRenderLayer(decal_slots, &compare_by_provider, unlit_decal_slot, 0), decal_group_(decal_group) {}

bool RenderLayerNmapDecal::queue_request(uint32_t, const RenderInfo& info, const Stream* const* streams,
                                         uint16_t stream_word, Material* material, uint16_t first_index,
                                         uint16_t index_count) {
    RenderRequest* const request = make_render_request(info, streams, stream_word, material, first_index, index_count);
    const uint32_t slot = material->has_pass(unlit_decal_slot) ? unlit_decal_slot : lit_decal_slot;
    uint32_t flags = 0;
    get_first_program_index(*request, slot, 0, &flags);
    const uint8_t group = (flags & shader_library::pass_flag_decal_layer_3) != 0 ? 1 : 0;
    if (group != decal_group_) {
        free_render_request(request);
        return false;
    }
    request->sort_key = ~info.order_word;
    heap.insert(&request->heap_node);
    return true;
}

void RenderLayerNmapDecal::render_request(uint32_t, RenderRequest& request) {
    const bool unlit = request.material->has_pass(unlit_decal_slot);
    renderer::render_request(request, unlit ? unlit_decal_slot : lit_decal_slot, 0);
}

void RenderLayerNmapDecal::render_request_pass(uint32_t index, bool active) {
    const bool draw = active && !heap.empty();
    if (draw) {
        gl.glPolygonOffset(0.0f, opengl_decal_polygon_offset);
        gl.glEnable(GL_POLYGON_OFFSET_FILL);
    }
    drain_heap(heap, index, draw);
    if (draw) {
        gl.glPolygonOffset(0.0f, 0.0f);
        gl.glDisable(GL_POLYGON_OFFSET_FILL);
    }
}

RenderLayerNmapBlended::RenderLayerNmapBlended(bool near)
    : NearOrFarRenderLayer(blended_slots, &compare_back_to_front, near) {}

bool RenderLayerFakeShadows::queue_request(uint32_t, const RenderInfo&, const Stream* const*, uint16_t, Material*,
                                           uint16_t, uint16_t) {
    ZOLT_PANIC("Should be never called");
}

RenderLayerGlow::RenderLayerGlow() : SortedRenderLayer(0, &compare_none, 0, 0) {}

}  // namespace zolt::renderer
