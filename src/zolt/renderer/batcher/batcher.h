#pragma once
// The meeting point of the code that decides what is visible and the render
// layers that draw: each piece of geometry offered for a view becomes a
// request in every active layer whose pass slots its material fills.
// Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

class Material;
struct RenderInfo;
struct Stream;

// The viewport's default layers: every present layer but the shadow depth.
constexpr uint32_t default_viewport_layer_mask = 0x1F3FF;
// The shadow passes draw the shadow-depth layer alone.
constexpr uint32_t shadow_pass_layer_mask = 0x40000000;

struct LayerActivity {
    uint32_t active_layers = 0;
    // Layers that took a request since the layers last ended.
    uint32_t accepted_layers = 0;
    // The pass slots of the active layers.
    uint32_t active_slots = 0;
};
const LayerActivity& get_layer_activity();

// Bits of absent layers are dropped.
void set_active_render_layers(uint32_t mask);
void clear_accepted_render_layers();
// streams: the drawable's array, stream_word streams long; null for a
// quad-batch request, whose stream word is its buffer number.
void queue_render_request(const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                          Material* material, uint16_t first_index, uint16_t index_count);

// The batcher's and the layers' steps in the rendering commands.
void install_batcher_rendering_steps();
void remove_batcher_rendering_steps();

}  // namespace zolt::renderer
