#pragma once
// Layer 4: projects the view's fake shadows onto what the first lighting
// layers drew. Each shadow's box is counted into the stencil buffer, so its
// material darkens only the pixels whose surface lies inside the box, and
// the stencil is zeroed again behind it. The material is the one behind the
// fake-shadow alias, which scripts may replace. Rendering thread only.
#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

struct FakeShadow;
class Material;

constexpr uint32_t fake_shadow_shader_index = 17;
// The setup that draws one shadow; warm-up also builds the one before it.
constexpr uint32_t fake_shadow_draw_setup = 3;

class RenderLayerFakeShadows final : public RenderLayer {
public:
    RenderLayerFakeShadows() : RenderLayer(0) {}
    void update(uint32_t index) override;
    void warm_up(uint32_t index) override;
    // Its mask is 0: the batcher never offers it a request.
    bool queue_request(uint32_t index, const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                       Material* material, uint16_t first_index, uint16_t index_count) override;
    void render_request_pass(uint32_t index, bool active) override;

    Material* get_layer_material_in_use() const { return layer_material_; }

private:
    void draw_fake_shadow(const FakeShadow& shadow, float fade);

    Material* layer_material_ = nullptr;
};

}  // namespace zolt::renderer
