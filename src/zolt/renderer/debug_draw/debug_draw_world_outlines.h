#pragma once
// Outlines of the world's structure for the game's debug keys: the box of
// every sector and the opening of every portal, each shown while its bit of
// the debug-draw server's mask is set, and the light volumes through a hook
// that the lights fill in. Drawn in world coordinates by the debug-draw
// server inside its run. Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

class DebugDrawState;

// The top bits of the server's mask; scripts' own primitives use the low
// bits.
constexpr uint32_t debug_draw_sector_boxes = 0x80000000u;
constexpr uint32_t debug_draw_portals = 0x40000000u;
constexpr uint32_t debug_draw_light_volumes = 0x20000000u;
constexpr uint32_t debug_draw_world_outlines = debug_draw_sector_boxes | debug_draw_portals | debug_draw_light_volumes;

constexpr uint32_t sector_box_colour = 0xFFFFD000u;
constexpr uint32_t portal_colour = 0xFF00D0FFu;

struct DebugOutlineHooks {
    // The lights' volumes as outlines, with the state's current settings.
    void (*draw_light_volumes)(DebugDrawState& state) = nullptr;
};

extern DebugOutlineHooks debug_outline_hooks;

// Whether the mask asks for an outline that has something to show.
bool has_world_outlines(uint32_t mask);
void draw_world_outlines(DebugDrawState& state, uint32_t mask);

}  // namespace zolt::renderer
