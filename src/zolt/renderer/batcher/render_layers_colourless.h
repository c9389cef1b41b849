#pragma once
// Layers that draw no colour: depth only (layer 1), the mask pass (layer 5)
// and the shadow depth of the shadow passes (layer 30). Colour writes are
// off only while such a layer actually draws, so a skipped pass never
// leaves them off for the layers after it. Rendering thread only.
#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

class ColourlessRenderLayer : public SortedRenderLayer {
public:
    using SortedRenderLayer::SortedRenderLayer;

    void end_pass(uint32_t index, bool active, bool drawn) override;

protected:
    // Colour writes off when the pass will draw.
    bool begin_colourless_pass(bool draw);
};

class RenderLayerDepthOnly final : public ColourlessRenderLayer {
public:
    RenderLayerDepthOnly();
    bool begin_pass(uint32_t index, bool active) override { return begin_colourless_pass(active); }
};

class RenderLayerMaskPass final : public ColourlessRenderLayer {
public:
    RenderLayerMaskPass();
    bool begin_pass(uint32_t index, bool active) override { return begin_colourless_pass(active && !heap.empty()); }
};

class RenderLayerShadowDepth final : public ColourlessRenderLayer {
public:
    RenderLayerShadowDepth();
    // The key puts the requests whose slot pass has flag 1 last.
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    bool begin_pass(uint32_t index, bool active) override { return begin_colourless_pass(active && !heap.empty()); }
    void end_pass(uint32_t index, bool active, bool drawn) override;
};

}  // namespace zolt::renderer
