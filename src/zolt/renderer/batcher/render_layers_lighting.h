#pragma once
// The decal and blended lighting layers, and the layers that project fake
// shadows and add the glow. Decal and blended requests are drawn at once
// with all their lights, in heap order, without light ranges. The fake
// shadow and glow layers take their requests already (so the layer
// activity and the request pool see them) and give them back without
// drawing until the shadow and glow code draws them. Rendering thread only.
#include "zolt/renderer/batcher/render_layer_fake_shadows.h"
#include "zolt/renderer/batcher/render_layer_glow.h"
#include "zolt/renderer/batcher/render_layer_nmap_base.h"
#include "zolt/renderer/batcher/render_layer_nmap_lighting.h"

namespace zolt::renderer {

// Decals on opaque surfaces, pulled towards the viewer by a polygon offset.
// Layer 3 takes the requests whose decal pass has the layer-3 flag, layer 7
// the others; each draws its unlit slot-8 pass, or else its lit slot-9 pass
// with its base, light and fog setups.
class RenderLayerNmapDecal final : public RenderLayerNmapBase {
public:
    explicit RenderLayerNmapDecal(uint8_t decal_group);
    void update(uint32_t index) override;
    void warm_up(uint32_t index) override;
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;

private:
    uint8_t decal_group_;
};

// The units of the polygon offset while a decal layer draws.
extern float opengl_decal_polygon_offset;

// Blended geometry, back to front. A request whose material has slot 12 is
// drawn over a copy of the frame under it; layer 8 can draw the screen pass
// (viewport layer parameter 270) before the first request nearer than
// parameter 271.
class RenderLayerNmapBlended final : public RenderLayerNmapBase {
public:
    explicit RenderLayerNmapBlended(bool near);
    void update(uint32_t index) override;
    void warm_up(uint32_t index) override;
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;

private:
    void draw_lit_request(uint32_t index, const RenderRequest& request);
    void draw_screen_pass_now(uint32_t index);

    bool near_;
};

}  // namespace zolt::renderer
