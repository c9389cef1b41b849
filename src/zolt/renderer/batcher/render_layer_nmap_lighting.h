#pragma once
// The opaque lighting layers (2, 6, 12, 13). Each request passes through a
// small state machine: its base pass, then one pass per light it lists,
// then its fog; after each step it goes back into the heap with its new
// state, so the heap hands out every request of one light together and
// each light's constants, textures and light range are set up once for all
// the objects it lights. Layer 2 can draw the fog once over the whole
// screen between the requests of sort key 0 and those of key 1; layers 12
// and 13 take the geometry drawn in front, layer 12 rebuilding depth for
// it first. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/batcher/render_layer_nmap_base.h"

namespace zolt::renderer {

extern bool allow_deferred_fog;

class RenderLayerNmap final : public RenderLayerNmapBase {
public:
    RenderLayerNmap(uint32_t pass_slot_mask, bool near);

    void update(uint32_t index) override;
    void warm_up(uint32_t index) override;
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;

private:
    // One step of the request; true when it goes back into the heap.
    bool advance_request(uint32_t index, RenderRequest& request, bool fog_per_request);
    // The state of the request's next light, or its fog, or false when done.
    bool take_next_light(RenderRequest& request, bool fog_per_request);
    void draw_deferred_fog_now(uint32_t index);

    uint32_t preferred_slot_;
    uint32_t fallback_slot_;
    bool near_;
    uint8_t lit_start_state_;
    uint8_t unlit_start_state_;
};

}  // namespace zolt::renderer
