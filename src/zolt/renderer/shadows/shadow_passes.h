#pragma once
// The shadow maps of a frame: the texture server's shadow-map textures cut
// into tiles by the atlas, a tile for each shadow-casting spot light that a
// view sees, and the depth of its casters drawn into it from the light. The
// light server owns the set; tiles handed out during a frame are shared by
// all its viewports and all come back at the frame's end. Every visible
// spot light gets its texture matrix each view, shadowed or not, since the
// lighting layers also shape its cone with it. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/shadows/shadow_cascades.h"

namespace zolt::renderer {

struct GlobalLightRender;
struct LightRender;
struct VisibilityContext;
class TextureObject;

// Set: no shadow map is rendered.
extern bool debug_disable_shadows;

struct ShadowMapSet {
    ShadowAtlas atlas;
    // Lights whose tile lies in map i, waiting to be drawn this view.
    LightRender* map_lights[shadow_map_capacity] = {};
    // Every light holding a tile, for the end of the frame.
    LightRender* lights_with_tiles = nullptr;
    // The global light's whole map, kept from one viewport to the next.
    ShadowTile* global_tile = nullptr;
    CascadeState cascades;
    // The texture server's set the atlas was cut from.
    uint32_t texture_count = 0;
    uint32_t texture_size = 0;
};

// The maps as the texture server has them now; every tile returned.
void set_up_shadow_maps(ShadowMapSet& set);
// Every light loses its tile and the atlas starts again.
void end_shadow_frame(ShadowMapSet& set);
// The view's spot lights (texture matrices, tiles and their depth passes),
// the global light's cascades, whose block then reaches the shaders, and
// the maps of the fake shadows the view admitted.
// Leaves the window's frame buffer bound, no current context and the
// render layers ended; the caller sets its own viewport again.
void render_view_shadows(ShadowMapSet& set, VisibilityContext& view);

// The map texture of a tile; null without a tile or a map.
TextureObject* get_shadow_tile_texture(const ShadowTile* tile);
// The global light's map when this view drew its cascades and its shadow
// has strength; null otherwise.
TextureObject* get_global_shadow_texture(const ShadowMapSet& set, const GlobalLightRender& light);
// Pixel vectors: the direction, colour x intensity with the shadow
// strength as w, vectors A and B, then per cascade the three rows of its
// matrix that give (s, t, depth); the vertex vector holds the four
// cascades' far distances.
void upload_global_light_block(const GlobalLightRender& light, const CascadeState& cascades);
// World space to the light's map coordinates (0 to 1 over its cone's
// square, linear depth 0 to 1 from near to far).
void compute_spot_shadow_matrix(LightRender& light);

}  // namespace zolt::renderer
