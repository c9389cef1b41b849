#pragma once
// What every shadow pass does with GL: a map bound as the depth target and
// cleared, and a light context's casters drawn by the shadow-depth layer
// alone into the context's screen rectangle. Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

class TextureObject;
struct VisibilityContext;

// The texture of map i of the texture server's shadow maps; null past them.
TextureObject* get_shadow_map_texture(uint32_t map);
// Renders into the whole map from now on, depth and stencil cleared; false
// when the map cannot be drawn (no texture, no GL name, no frame buffer).
bool activate_shadow_map(uint32_t map, uint32_t size);
// Back to the window's frame buffer.
void deactivate_shadow_maps();
// The view's unused render items become the light context's own.
void lend_view_items(VisibilityContext& context, const VisibilityContext& view);
// The sector objects and shadow-casting visuals of the light context as
// render items, from the view's unused items; the sectors walked first
// when asked.
void queue_shadow_casters_of(VisibilityContext& context, VisibilityContext& view, bool walk_sectors);
// Made current, queued into the shadow-depth layer and drawn; no context
// is current afterwards.
void draw_shadow_depth(VisibilityContext& context);

}  // namespace zolt::renderer
