#include "zolt/renderer/batcher/render_layers_lighting.h"

#include "libs/utility/fatal_error.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"

namespace zolt::renderer {

namespace {

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

RenderLayerNmapDecal::RenderLayerNmapDecal(bool near) : NearOrFarRenderLayer(decal_slots, &compare_by_provider, near) {}

RenderLayerNmapBlended::RenderLayerNmapBlended(bool near)
    : NearOrFarRenderLayer(blended_slots, &compare_back_to_front, near) {}

bool RenderLayerFakeShadows::queue_request(uint32_t, const RenderInfo&, const Stream* const*, uint16_t, Material*,
                                           uint16_t, uint16_t) {
    ZOLT_PANIC("Should be never called");
}

RenderLayerGlow::RenderLayerGlow() : SortedRenderLayer(0, &compare_none, 0, 0) {}

}  // namespace zolt::renderer
