#pragma once
// The global light's shadow: one whole shadow map cut into four quadrants,
// one per cascade, each an orthographic view along the light fitted around
// a slice of the camera's depth and deepened back towards the light until
// every caster of the sectors it meets lies inside. The slices split the
// view between its near distance and its shadow end, evenly or by a
// constant ratio as the viewport's blend parameters ask. Rendering thread.
#include <cstdint>

#include "libs/geometry/box.h"
#include "libs/geometry/matrix.h"
#include "libs/geometry/vector.h"
#include "zolt/renderer/shadows/shadow_matrices.h"

namespace zolt::servers {
struct SectorRender;
}

namespace zolt::renderer {

struct ShadowTile;
struct VisibilityContext;

constexpr uint32_t cascade_sector_capacity = 100;

// The sectors the global light reaches in a view, with their world boxes.
struct CascadeSectors {
    uint32_t count = 0;
    const servers::SectorRender* sectors[cascade_sector_capacity] = {};
    geometry::Box boxes[cascade_sector_capacity];
    // The depth, along the view, of the farthest of their boxes.
    float largest_depth = 0;

    // False when full.
    bool add(const servers::SectorRender* sector, const geometry::Box& box, const VisibilityContext& view);
};

// A slot without a cascade: every lookup through it lands nowhere.
constexpr geometry::Matrix4 no_cascade_matrix{{{0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}}};

struct CascadeState {
    uint32_t count = 0;
    // World to the cascade's quadrant, 0 to 1 across it, full depth bias.
    geometry::Matrix4 matrices[shadow_cascade_capacity] = {no_cascade_matrix, no_cascade_matrix, no_cascade_matrix,
                                                           no_cascade_matrix};
    float far_distances[shadow_cascade_capacity] = {};
    bool rendered = false;
};

// The view's sector views that the global light reaches.
void collect_cascade_sectors(const VisibilityContext& view, CascadeSectors& sectors);

// The cascades of the view into the map of the tile (a whole map); false,
// with no cascade, when the map cannot be drawn.
bool render_global_cascades(const ShadowTile& tile, uint32_t map_size, VisibilityContext& view,
                            const geometry::Vector4& light_direction, const CascadeSectors& sectors,
                            CascadeState& state);

}  // namespace zolt::renderer
