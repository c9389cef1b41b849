#pragma once
// The fixed table of 32 render-layer slots (16 hold a layer) and the
// sequence in which a view runs them, with the frame-buffer copies between
// them that later layers sample. Rendering thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"

namespace zolt::renderer {

class Material;
class RenderLayer;

constexpr uint32_t render_layer_count = 32;

// The layer slots by name.
enum RenderLayerIndex : uint32_t {
    depth_layer = 0,
    depth_only_layer = 1,
    nmap_layer = 2,
    nmap_decal_layer = 3,
    fake_shadows_layer = 4,
    mask_pass_layer = 5,
    nmap_lit_layer = 6,
    nmap_lit_decal_layer = 7,
    nmap_blended_layer = 8,
    debug_draw_layer = 9,
    near_nmap_layer = 12,
    near_nmap_lit_layer = 13,
    near_nmap_blended_layer = 14,
    screen_copy_layer = 15,
    glow_layer = 16,
    shadow_depth_layer = 30,
};

// Null for a slot without a layer.
RenderLayer* get_render_layer(uint32_t index);

void prepare_render_layers();
// An open quad batch uploaded, every layer's frame begun, the view's
// matrices and eye handed to the shader library.
void begin_render_layers();
// The view's pass sequence, the colour buffer cleared to clear_colour (a
// PackedColor) after the depth layer.
void render_layers(uint32_t clear_colour);
void end_render_layers();
void initialize_render_layers();
void update_render_layers();
void warm_up_render_layers();

// The material a layer draws with, named by a fixed alias so scripts can
// put another behind it; made with the shader index when the alias names
// no material.
Material* get_layer_material(core::ObjectHandle alias, uint32_t shader_index);

// The layers' own materials.
constexpr core::ObjectHandle glow_material_alias = 0x100000;
constexpr core::ObjectHandle screen_pass_material_alias = 0x100001;
constexpr core::ObjectHandle fake_shadow_material_alias = 0x100002;
constexpr core::ObjectHandle fog_material_alias = 0x100003;

}  // namespace zolt::renderer
