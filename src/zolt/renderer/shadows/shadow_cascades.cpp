#include "zolt/renderer/shadows/shadow_cascades.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

#include "libs/geometry/culling.h"
#include "libs/geometry/frustum.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/lights/light.h"
#include "zolt/renderer/shadows/shadow_atlas.h"
#include "zolt/renderer/shadows/shadow_drawing.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

// Past the farthest sector, so casters standing on its far side still fall
// inside the last slice.
constexpr float shadow_end_margin = 2.5f;

geometry::Box get_world_box(const servers::SectorRender& sector, const geometry::Box& box) {
    if (sector.has_placement == 0) {
        return box;
    }
    geometry::Box world{{FLT_MAX, FLT_MAX, FLT_MAX}, {-FLT_MAX, -FLT_MAX, -FLT_MAX}};
    for (uint32_t corner = 0; corner < 8; ++corner) {
        const geometry::Vector3 local{(corner & 4) != 0 ? box.maximum.x : box.minimum.x,
                                      (corner & 2) != 0 ? box.maximum.y : box.minimum.y,
                                      (corner & 1) != 0 ? box.maximum.z : box.minimum.z};
        const geometry::Vector3 point = sector.world_position + geometry::rotate(sector.world_rotation, local);
        world.minimum = {std::min(world.minimum.x, point.x), std::min(world.minimum.y, point.y),
                         std::min(world.minimum.z, point.z)};
        world.maximum = {std::max(world.maximum.x, point.x), std::max(world.maximum.y, point.y),
                         std::max(world.maximum.z, point.z)};
    }
    return world;
}

struct CascadeSplits {
    float near = 0;
    float far = 0;
    float end = 0;
    uint32_t count = 0;
    float blend[shadow_cascade_capacity] = {};
};

// False when the slice starts past everything the view sees: no cascade
// follows. An empty slice counts without being drawn.
bool render_cascade(uint32_t index, const ShadowTile& tile, uint32_t map_size, VisibilityContext& view,
                    const geometry::Quaternion& light_rotation, const CascadeSplits& splits,
                    const CascadeSectors& sectors, CascadeState& state) {
    const float first = get_cascade_split(index, splits.count, splits.near, splits.end, splits.blend);
    if (first > splits.far) {
        return false;
    }
    const float last = get_cascade_split(index + 1, splits.count, splits.near, splits.end, splits.blend);
    if (!(first < last)) {
        state.far_distances[index] = first;
        return true;
    }
    state.far_distances[index] = last;

    VisibilityContext context;
    context.flags = context_flag_light_view;
    // Only objects whose layer mask has bit 0 cast the global light's shadow.
    context.layer_mask = 1;
    context.target_width = map_size;
    context.target_height = map_size;
    const float half = static_cast<float>(map_size / 2);
    const float quadrant_x = get_shadow_tile_rectangle(&tile).x * static_cast<float>(map_size);
    const float quadrant_y = get_shadow_tile_rectangle(&tile).y * static_cast<float>(map_size);
    context.set_screen_rectangle(view.view_mask,
                                 {quadrant_x + ((index & 1) != 0 ? half : 0), quadrant_y + ((index & 2) != 0 ? half : 0), 0},
                                 {half, half, 0});
    geometry::Vector3 corners[8];
    geometry::build_frustum_corners(first, last, view.fov_x, view.fov_y, view.orientation, view.eye, corners);
    context.fit_orthographic_view(corners, light_rotation);

    // Back towards the light past every caster of the sectors the box meets.
    float distance = 0;
    float margin = FLT_MAX;
    for (uint32_t sector = 0; sector < sectors.count; ++sector) {
        geometry::DepthRange range;
        if (!geometry::box_depth_range(sectors.boxes[sector], context.frustum, range)) {
            continue;
        }
        distance = std::max(distance, range.near);
        margin = std::min(margin, range.far);
        if (sectors.sectors[sector] == nullptr) {
            continue;
        }
        SectorView* const sector_view = context.add_sector_view(sectors.sectors[sector]);
        if (sector_view == nullptr) {
            break;
        }
        sector_view->rectangle = context.screen_rectangle;
    }
    // Met no sector: the fitted box stays as deep as it is.
    context.extend_orthographic_view(distance, margin == FLT_MAX ? 0.0f : margin);
    state.matrices[index] = make_shadow_texture_matrix(context.view_projection, ShadowDepthForm::full_bias);
    for (uint32_t sector_view = 0; sector_view < context.sector_view_count; ++sector_view) {
        context.sector_views[sector_view].clip_volume = context.frustum;
    }
    queue_shadow_casters_of(context, view, false);
    draw_shadow_depth(context);
    return true;
}

}  // namespace

bool CascadeSectors::add(const servers::SectorRender* sector, const geometry::Box& box,
                         const VisibilityContext& view) {
    if (count >= cascade_sector_capacity) {
        return false;
    }
    sectors[count] = sector;
    boxes[count] = box;
    ++count;
    largest_depth = std::max(largest_depth, view.get_box_max_depth(box.minimum, box.maximum));
    return true;
}

void collect_cascade_sectors(const VisibilityContext& view, CascadeSectors& sectors) {
    for (uint32_t index = 0; index < view.sector_view_count; ++index) {
        const servers::SectorRender* const sector = view.sector_views[index].sector;
        if (sector == nullptr || sector->area == nullptr) {
            continue;
        }
        const servers::SectorRecord record = sector->area->get_sector_record(sector->record_index);
        if ((record.flags & servers::sector_flag::global_light) != 0 &&
            !sectors.add(sector, get_world_box(*sector, record.box), view)) {
            return;
        }
    }
}

bool render_global_cascades(const ShadowTile& tile, uint32_t map_size, VisibilityContext& view,
                            const geometry::Vector4& light_direction, const CascadeSectors& sectors,
                            CascadeState& state) {
    state = CascadeState{};
    if (!activate_shadow_map(tile.map_index, map_size)) {
        return false;
    }
    CascadeSplits splits;
    splits.near = view.near;
    splits.far = std::min(view.far, sectors.largest_depth);
    splits.end = std::max(std::min(splits.far + shadow_end_margin, view.shadow_distance), view.first_shadow_split);
    splits.count = std::min(view.shadow_split_count, shadow_cascade_capacity);
    const geometry::Vector4& blend = view.shadow_parameters;
    splits.blend[0] = blend.x;
    splits.blend[1] = blend.y;
    splits.blend[2] = blend.z;
    splits.blend[3] = blend.w;
    // Scripts store the direction as given; the orientation wants it unit.
    const geometry::Vector3 direction{light_direction.x, light_direction.y, light_direction.z};
    const float length = geometry::length(direction);
    if (!(length > 0.0f) || !std::isfinite(length)) {
        deactivate_shadow_maps();
        return false;
    }
    const geometry::Quaternion rotation = get_rotation_towards(direction * (1.0f / length));
    uint32_t count = 0;
    while (count < splits.count && render_cascade(count, tile, map_size, view, rotation, splits, sectors, state)) {
        ++count;
    }
    state.count = count;
    for (uint32_t index = count; index < shadow_cascade_capacity; ++index) {
        state.far_distances[index] = count > 0 ? splits.end : 0.0f;
        state.matrices[index] = no_cascade_matrix;
    }
    state.rendered = true;
    deactivate_shadow_maps();
    return true;
}

}  // namespace zolt::renderer
