#include "zolt/navigation/sector_frustum_walk.h"

#include <cstdint>

#include "libs/geometry/culling.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {

namespace {

geometry::Box get_world_box(const SectorRender& sector) {
    geometry::Box box = sector.area->get_sector_record(sector.record_index).box;
    box.minimum = box.minimum + sector.area->get_position();
    box.maximum = box.maximum + sector.area->get_position();
    return box;
}

// Only the opening's corners are tested; the plane set some volumes were
// meant to carry beside their planes is not kept here.
bool is_portal_in_volume(const PortalRender& portal, const geometry::Frustum& clip_volume) {
    const PortalRecord record = portal.area->get_portal_record(portal.record_index);
    const geometry::Vector3 offset = portal.area->get_position();
    geometry::Vector3 corners[4];
    for (uint32_t index = 0; index < 4; ++index) {
        corners[index] = record.corners[index] + offset;
    }
    return geometry::points_in_frustum(4, corners, clip_volume.planes);
}

}  // namespace

void collect_sectors_in_frustum(const SectorRender* start, renderer::SectorSet& set,
                                const geometry::Frustum& clip_volume) {
    if (start == nullptr) {
        for (uint32_t index = 0; index < sector_capacity; ++index) {
            const SectorRender& sector = sector_server.get_render_record_at(index);
            if (sector.area != nullptr && geometry::box_in_frustum(get_world_box(sector), clip_volume.planes)) {
                set.add(index);
            }
        }
        return;
    }
    // The set's bits do not keep the order sectors were found in.
    uint8_t queue[sector_capacity];
    uint32_t queued = 0;
    const uint32_t start_index = sector_server.get_render_record_index(start);
    if (start_index >= sector_capacity) {
        return;
    }
    set.add(start_index);
    queue[queued++] = static_cast<uint8_t>(start_index);
    for (uint32_t next = 0; next < queued; ++next) {
        const SectorRender& sector = sector_server.get_render_record_at(queue[next]);
        for (uint32_t side = 0; side < portal_side_count; ++side) {
            const PortalRender* const head = sector.first_portals[side];
            for (const PortalRender* portal = head; portal != nullptr;) {
                const SectorRender* const far_sector = portal->sectors[1 - side];
                const uint32_t far_index = sector_server.get_render_record_index(far_sector);
                if (portal->enabled != 0 && portal->area != nullptr && far_index < sector_capacity &&
                    !set.contains(far_index) && is_portal_in_volume(*portal, clip_volume)) {
                    set.add(far_index);
                    queue[queued++] = static_cast<uint8_t>(far_index);
                }
                portal = portal->next[side] != head ? portal->next[side] : nullptr;
            }
        }
    }
}

}  // namespace zolt::servers
