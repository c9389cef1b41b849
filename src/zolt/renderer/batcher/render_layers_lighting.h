#pragma once
// The layers that light the scene, draw decals and blended geometry, project
// fake shadows and add the glow. They take their requests already (so the
// layer activity and the request pool see them) and give them back without
// drawing until the lighting, decal, shadow and glow code draws them.
// Rendering thread only.
#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

// A lighting layer takes the requests drawn in front of the scene or the
// others, never both.
class NearOrFarRenderLayer : public SortedRenderLayer {
public:
    NearOrFarRenderLayer(uint32_t pass_slot_mask, FibonacciHeap::Less less, bool near)
        : SortedRenderLayer(pass_slot_mask, less, 0, 0), near_(near) {}

    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    bool begin_pass(uint32_t index, bool active) override { return false; }

private:
    bool near_;
};

class RenderLayerNmap final : public NearOrFarRenderLayer {
public:
    RenderLayerNmap(uint32_t pass_slot_mask, bool near);
};

// Decals on opaque surfaces, pulled towards the viewer by a polygon offset.
// Layer 3 takes the requests whose decal pass has the layer-3 flag, layer 7
// the others; each draws its unlit slot-8 pass, or else the base setup of
// its lit slot-9 pass (their light and fog setups wait for the lighting
// layers' light upload).
class RenderLayerNmapDecal final : public SortedRenderLayer {
public:
    explicit RenderLayerNmapDecal(uint8_t decal_group);
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;
    void render_request(uint32_t index, RenderRequest& request) override;

private:
    uint8_t decal_group_;
};

// The units of the polygon offset while a decal layer draws.
extern float opengl_decal_polygon_offset;

class RenderLayerNmapBlended final : public NearOrFarRenderLayer {
public:
    explicit RenderLayerNmapBlended(bool near);
};

class RenderLayerFakeShadows final : public RenderLayer {
public:
    RenderLayerFakeShadows() : RenderLayer(0) {}
    // Its mask is 0: the batcher never offers it a request.
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override {}
};

class RenderLayerGlow final : public SortedRenderLayer {
public:
    RenderLayerGlow();
    bool begin_pass(uint32_t index, bool active) override { return false; }
};

}  // namespace zolt::renderer
