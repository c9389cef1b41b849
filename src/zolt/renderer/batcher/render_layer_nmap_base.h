#pragma once
// What the lighting layers share: the light made current for their passes
// (its constants in the shader library's light blocks, its textures on
// units 14 and 15, its light range), the markers that skip uploading a
// light again for the next request it lights, the fog state of the view and
// the common end of a pass. A light id is a light server pool index (0 to
// 254), or one of the ids below. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/batcher/light_range.h"
#include "zolt/renderer/batcher/render_layer.h"

namespace zolt::renderer {

class Material;
class TextureObject;

constexpr int32_t no_light = -1;
constexpr int32_t global_light_without_shadow = -2;
constexpr int32_t global_light_with_shadow = -3;

// The setups of a lit pass slot, by what they are drawn with.
enum LightingSetup : uint32_t {
    base_setup = 0,
    global_shadowed_setup = 1,
    spot_shadowed_setup = 2,
    spot_setup = 3,
    point_setup = 4,
    directional_setup = 5,
    fog_setup = 6,
};

// A debug hook that sees every draw of the lighting layers in order: a
// request's setup of a pass slot, or a full-screen pass (null request).
enum class LightingDraw : uint32_t { request, deferred_fog, screen_pass };
using LightingDrawTrace = void (*)(uint32_t layer, LightingDraw draw, const RenderRequest* request, uint32_t slot,
                                   uint32_t setup, int32_t light);
extern LightingDrawTrace lighting_draw_trace;

class RenderLayerNmapBase : public SortedRenderLayer {
public:
    RenderLayerNmapBase(uint32_t pass_slot_mask, FibonacciHeap::Less less)
        : SortedRenderLayer(pass_slot_mask, less, 0, 0) {}

    // Makes the light current; false when requests are not to be drawn
    // with it (it lights nothing in this view).
    bool upload_light(int32_t id, bool use_stencil_range);
    uint32_t get_current_setup() const { return current_setup_; }
    int32_t get_current_light() const { return current_light_; }

protected:
    // Current light -1: its range closed, setup 0.
    void drop_current_light();
    // The global light (either id) made current unless it is.
    void make_global_light_current(int32_t id);
    void finish_lighting_pass();
    void update_fog_state();
    void commit_light_textures();
    // Setup n of the request's pass slot, through the trace.
    void draw(uint32_t layer, const RenderRequest& request, uint32_t slot, uint32_t setup);
    void trace_full_screen(uint32_t layer, LightingDraw draw);
    // The request's lights one by one, then its fog, without light ranges:
    // the decal and blended layers' way.
    void draw_with_all_lights(uint32_t layer, const RenderRequest& request, uint32_t slot);

    bool fog_enabled_ = true;
    Material* layer_material_ = nullptr;

private:
    bool upload_spot_light(const LightRender& light, bool use_stencil_range);
    bool upload_point_light(const LightRender& light, bool use_stencil_range);
    bool upload_directional_light(const LightRender& light);
    void upload_global_light(int32_t id);
    bool get_fades(const LightRender& light, float* light_fade, float* shadow_fade) const;

    int32_t current_light_ = no_light;
    int32_t last_spot_light_ = no_light;
    int32_t last_point_light_ = no_light;
    int32_t last_directional_light_ = no_light;
    uint32_t current_setup_ = base_setup;
    TextureObject* light_textures_[2] = {};
    bool light_skipped_ = false;
    LightRange light_range_;
};

// The light byte k (1 to 7) of a light list word.
inline uint32_t get_listed_light(uint64_t light_list, uint32_t k) {
    return static_cast<uint32_t>(light_list >> (8 * k)) & 0xFF;
}

}  // namespace zolt::renderer
