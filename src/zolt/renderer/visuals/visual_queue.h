#pragma once
// What a view does with visuals: the visuals of each visible sector become
// render items, each item turns into the render requests of its mesh, and
// the light code picks the item's lights. Main (rendering) thread only.
#include <cstdint>

#include "libs/geometry/frustum.h"

namespace zolt::renderer {

struct VisibilityContext;
struct RenderItem;
struct VisualRender;

// Packs the lights of a visual for a view; installed by the light code.
// Null selects nothing.
using VisualLightSelector = uint64_t (*)(VisibilityContext& context, const VisualRender& visual);
extern VisualLightSelector visual_light_selector;

// Never culled, or no clip volume: visible exactly when it has a mesh.
bool is_visual_visible(const VisualRender& visual, const geometry::Frustum* clip_volume);

// The view hook: every accepted visual of every sector view as an item,
// then the global visuals.
void queue_visible_sector_objects(VisibilityContext& context);

// Item callbacks.
void queue_visual_requests(VisibilityContext& context, RenderItem& item);
void select_visual_lights(VisibilityContext& context, RenderItem& item);

// For the shadow passes: no clip rectangle or volume, lights or bias.
void queue_shadow_caster_requests(VisibilityContext& context, const VisualRender& visual);

}  // namespace zolt::renderer
