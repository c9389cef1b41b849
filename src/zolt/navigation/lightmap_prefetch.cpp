#include "zolt/navigation/lightmap_prefetch.h"

#include <cstdint>

#include "zolt/core/program/engine.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/texture/texture_object.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::servers {

namespace {

constexpr uint32_t neighbour_frames_ago = 20;
constexpr uint32_t linked_frames_ago = 15;

void stamp_lightmap(const Sector* sector, uint32_t frames_ago) {
    if (sector == nullptr || sector->get_lightmap_texture() == 0) {
        return;
    }
    if (renderer::TextureObject* const texture = renderer::texture_server.find_texture(sector->get_lightmap_texture())) {
        // The command count wraps like every frame counter.
        texture->set_last_used_frame(get_completed_rendering_command_count() - frames_ago);
    }
}

}  // namespace

void touch_neighbour_sector_resources(const Sector& sector) {
    if (!sector.prefetches_lightmaps()) {
        return;
    }
    for (uint32_t side = 0; side < portal_side_count; ++side) {
        const core::ObjectHandle head = sector.get_first_portal(side);
        core::ObjectHandle handle = head;
        for (uint32_t step = 0; handle != 0 && step < portal_capacity; ++step) {
            const Portal* const portal = portal_server.get_typed_object(handle);
            if (portal == nullptr) {
                break;
            }
            // A portal that leads nowhere yet (its far sector not loaded)
            // only skips itself: the neighbours after it keep their hint.
            if (portal->is_enabled()) {
                stamp_lightmap(sector_server.get_typed_object(portal->get_sector(1 - side)), neighbour_frames_ago);
            }
            handle = portal->get_next(side);
            if (handle == head) {
                break;
            }
        }
    }
}

void touch_linked_sector_resources(const Sector& sector) {
    LoadableArea* const area = sector.get_area();
    if (area == nullptr) {
        return;
    }
    const SectorListReference list =
        area->get_sector_record(sector.get_record_index()).lists[static_cast<uint32_t>(SectorList::lightmap_prefetch)];
    for (uint32_t index = 0; index < list.count; ++index) {
        const uint32_t location = read_area_word(area->get_layout(), list.offset + index * area_layout::location_size);
        if (location == no_sector_location) {
            continue;
        }
        stamp_lightmap(sector_server.get_typed_object(loadable_area_server.get_sector_at_location(area, location)),
                       linked_frames_ago);
    }
}

}  // namespace zolt::servers
