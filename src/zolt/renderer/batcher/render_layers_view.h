#pragma once
// Layers that work on the view around their requests: the debug primitives
// after layer 9's (empty) pass, and layer 15, which copies the scene drawn
// so far for its passes to sample. Rendering thread only.
#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

class RenderLayerDebugDraw final : public SortedRenderLayer {
public:
    RenderLayerDebugDraw();
    void end_pass(uint32_t index, bool active, bool drawn) override;
};

class RenderLayerScreenCopy final : public SortedRenderLayer {
public:
    RenderLayerScreenCopy();
    // Only when the layer took a request since the layers last ended.
    bool begin_pass(uint32_t index, bool active) override;
};

}  // namespace zolt::renderer
