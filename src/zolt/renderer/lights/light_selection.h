#pragma once
// The lights of one object in one view: up to seven of the lights of its
// home and overlap sectors that the view sees, that share a bit of its light
// mask and that reach its bounding sphere, best importance first, by light
// type group (spot, directional, point). Rendering thread.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::servers {
struct SectorRender;
}

namespace zolt::renderer {

struct VisibilityContext;
struct SectorView;

constexpr uint32_t object_light_limit = 7;
// Bits of a selection: the count, the two shadow modes, then one byte per
// light index from bit 8.
constexpr uint64_t light_selection_count_mask = 0x7;
constexpr uint64_t light_selection_shadow_outside = 0x8;
constexpr uint64_t light_selection_shadow_inside = 0x10;
constexpr uint32_t light_selection_first_index_bit = 8;
// Influence below this leaves an object unlit by the light.
constexpr float object_light_threshold = 0.01f;

struct ObjectLightQuery {
    const servers::SectorRender* home_sector = nullptr;
    const servers::SectorRender* overlap_sector = nullptr;
    uint32_t light_mask = 0xFFFFFFFF;
    geometry::Vector3 centre;
    float radius = 0;
    // The home sector is one of the view's neighbour sectors.
    bool home_is_neighbour = false;
};

// Marks as visible in the view every light whose instance is linked to a
// sector view's sector and whose volume meets that view's clip volume, then
// lets every queued item choose its lights. The light server installs it as
// the view step that prepares lights.
// The camera's sector and the sectors behind its open portals: visuals
// standing there take the cascaded shadow of the global light.
void fill_neighbour_sectors(VisibilityContext& context);
void collect_view_lights(VisibilityContext& context);

// The light key of a sector view's geometry: up to 7 lights (6 when the
// sector takes the global light) of the sector's lists that the view sees,
// by the sector light key, spot lights first.
void select_sector_lights(VisibilityContext& context, SectorView& view);

// The 64-bit selection; every chosen light is added to the view's object lights.
uint64_t select_object_lights(VisibilityContext& context, const ObjectLightQuery& query);

}  // namespace zolt::renderer
