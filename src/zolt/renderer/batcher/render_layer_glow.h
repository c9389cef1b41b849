#pragma once
// Layer 16: the glow over the finished frame. The frame is shrunk into
// render target A by the glow material's extract setup, blurred back and
// forth between A and B along x and then y, and combined with the frame by
// one of sixteen setups the viewport's layer parameters 257 to 269 choose.
// The material is the one behind the glow alias. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

class TextureObject;
struct ViewportRender;

constexpr uint32_t glow_shader_index = 2;
constexpr uint32_t glow_target_a_id = 0x20414;
constexpr uint32_t glow_target_b_id = 0x30414;
constexpr uint32_t glow_extract_setup = 0;
constexpr uint32_t glow_first_combine_setup = 3;
constexpr uint32_t glow_last_combine_setup = 18;

// 3 + 1 (264's z above 0) + 2 (a component of 267 above 0) + 4 (blur on) +
// 8 (269's x or y above 0).
uint32_t get_glow_combine_setup(const ViewportRender& view);
// Parameter 262: y above 0 and x below 1.
bool is_glow_blur_on(const ViewportRender& view);

class RenderLayerGlow final : public SortedRenderLayer {
public:
    RenderLayerGlow();
    void initialize(uint32_t index) override;
    void update(uint32_t index) override;
    void warm_up(uint32_t index) override;
    bool begin_pass(uint32_t index, bool active) override { return true; }
    void end_pass(uint32_t index, bool active, bool drawn) override;

    Material* get_layer_material_in_use() const { return layer_material_; }

private:
    void upload_parameters(const ViewportRender& view) const;
    void extract(uint32_t viewport_width, uint32_t viewport_height);
    void blur(TextureObject* destination, uint32_t setup, float dx, float dy, bool first, uint32_t viewport_width,
              uint32_t viewport_height);
    void combine(const ViewportRender& view, uint32_t viewport_width, uint32_t viewport_height);

    TextureObject* target_a_ = nullptr;
    TextureObject* target_b_ = nullptr;
    Material* layer_material_ = nullptr;
    const ViewportRender* view_ = nullptr;
    uint32_t reduced_width_ = 0;
    uint32_t reduced_height_ = 0;
    bool partial_ = false;
    uint32_t divisor_x_ = 1;
    uint32_t divisor_y_ = 1;
};

}  // namespace zolt::renderer
