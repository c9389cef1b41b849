#include "zolt/renderer/lights/light_selection.h"

#include <initializer_list>

#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/lights/light_volume.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

uint32_t get_light_index(const LightRender& light) {
    return static_cast<uint32_t>(&light - &light_server.get_render_slot(0));
}

// Every light of one type group of the sector that is on, shares a bit of
// the mask with the light and its instance and that the view sees, static
// lights first.
template <typename Offer>
void for_each_candidate(const VisibilityContext& context, const servers::SectorRender& sector, uint32_t type,
                        uint32_t mask, Offer offer) {
    for (uint32_t set = 0; set < servers::light_list_set_count; ++set) {
        const LightInstanceRender* const head = sector.lights[set][type];
        for (const LightInstanceRender* record = head; record != nullptr;
             record = record->next != head ? record->next : nullptr) {
            const LightRender& light = *record->light;
            const uint32_t index = get_light_index(light);
            if (index < light_capacity && light.on != 0 && (light.light_mask & mask) != 0 &&
                (record->instance_mask & mask) != 0 && context.is_light_visible(index)) {
                offer(light, index);
            }
        }
    }
}

// Offers every candidate of one type group of one sector to the list.
void offer_sector_lights(const VisibilityContext& context, const ObjectLightQuery& query,
                         const servers::SectorRender& sector, uint32_t type, LightSet& offered,
                         LightPriorityList& list) {
    for_each_candidate(context, sector, type, query.light_mask, [&](const LightRender& light, uint32_t index) {
        if (offered.add(index)) {
            const float importance = get_visual_importance(light, query.centre, query.radius);
            if (importance >= object_light_threshold) {
                list.insert(importance, &light);
            }
        }
    });
}

// The sector's candidates of one type group by the sector light key.
void offer_sector_view_lights(const VisibilityContext& context, const servers::SectorRender& sector, uint32_t type,
                              LightPriorityList& list) {
    for_each_candidate(context, sector, type, sector.light_mask, [&list](const LightRender& light, uint32_t) {
        const float key = get_sector_light_key(light);
        if (key > 0) {
            list.insert(key, &light);
        }
    });
}

}  // namespace

void select_sector_lights(VisibilityContext& context, SectorView& view) {
    const servers::SectorRender& sector = *view.sector;
    uint64_t key = 0;
    uint32_t budget = object_light_limit;
    uint32_t first_type_budget = 4;
    if ((sector.record_flags & servers::sector_flag::global_light) != 0 &&
        light_server.get_global_light_render().on != 0) {
        if (context.find_sector_view(&sector) != nullptr) {
            key |= light_selection_shadow_inside;
        } else {
            key |= light_selection_shadow_outside;
            context.object_light_flag = 1;
        }
        budget = 6;
        first_type_budget = 3;
    }
    uint32_t chosen = 0;
    for (uint32_t type = 0; type < servers::light_list_type_count && chosen < budget; ++type) {
        LightPriorityList list(type == 0 ? first_type_budget : budget - chosen);
        offer_sector_view_lights(context, sector, type, list);
        uint8_t indices[object_light_limit] = {};
        uint32_t count = 0;
        for (const LightPriorityList::Node* node = list.get_highest(); count < list.get_count();
             node = node->lower) {
            indices[count++] = static_cast<uint8_t>(get_light_index(*node->value));
        }
        for (uint32_t index = 0; index < count; ++index) {
            context.add_object_light(indices[index]);
        }
        if (count != 0) {
            key |= pack_light_indices(indices, count) << (light_selection_first_index_bit + 8 * chosen);
            chosen += count;
        }
    }
    view.light_key = key | chosen;
}

void fill_neighbour_sectors(VisibilityContext& context) {
    context.neighbour_sectors = SectorSet{};
    const servers::SectorRender* const start = context.start_sector;
    if (start == nullptr) {
        return;
    }
    const auto add = [&context](const servers::SectorRender* sector) {
        const uint32_t index = servers::sector_server.get_render_record_index(sector);
        if (index < servers::sector_capacity) {
            context.neighbour_sectors.add(index);
        }
    };
    // The camera's own sector and those its open portals lead to.
    add(start);
    for (uint32_t side = 0; side < servers::portal_side_count; ++side) {
        const servers::PortalRender* const head = start->first_portals[side];
        const servers::PortalRender* portal = head;
        for (uint32_t step = 0; portal != nullptr && step < servers::portal_capacity; ++step) {
            const servers::SectorRender* const far = portal->sectors[1 - side];
            if (portal->enabled != 0 && far != nullptr) {
                add(far);
            }
            portal = portal->next[side] != head ? portal->next[side] : nullptr;
        }
    }
}

void collect_view_lights(VisibilityContext& context) {
    fill_neighbour_sectors(context);
    for (uint32_t view = 0; view < context.sector_view_count; ++view) {
        const SectorView& sector_view = context.sector_views[view];
        if (sector_view.sector == nullptr) {
            continue;
        }
        for (uint32_t type = 0; type < servers::light_list_type_count; ++type) {
            // The dynamic list first, then the static one.
            for (const uint32_t set : {1u, 0u}) {
                const LightInstanceRender* const head = sector_view.sector->lights[set][type];
                const LightInstanceRender* record = head;
                while (record != nullptr) {
                    const uint32_t index = get_light_index(*record->light);
                    if (index < light_capacity && !context.is_light_visible(index) &&
                        intersects_clip_volume(sector_view.clip_volume, *record->light)) {
                        context.add_visible_light(index);
                    }
                    record = record->next != head ? record->next : nullptr;
                }
            }
        }
    }
    for (uint32_t view = 0; view < context.sector_view_count; ++view) {
        SectorView& sector_view = context.sector_views[view];
        if (sector_view.sector != nullptr) {
            select_sector_lights(context, sector_view);
        }
    }
    for (uint32_t item = 0; item < context.item_count; ++item) {
        RenderItem& render_item = context.items[item];
        if (render_item.lights != nullptr) {
            render_item.lights(context, render_item);
        }
    }
}

uint64_t select_object_lights(VisibilityContext& context, const ObjectLightQuery& query) {
    uint64_t selection = 0;
    if (query.home_is_neighbour && context.shadow_split_count > 0) {
        selection |= light_selection_shadow_inside;
    } else {
        selection |= light_selection_shadow_outside;
        context.object_light_flag = 1;
    }
    uint32_t chosen = 0;
    LightSet offered;
    for (uint32_t type = 0; type < servers::light_list_type_count && chosen < object_light_limit; ++type) {
        LightPriorityList list(object_light_limit - chosen);
        for (const servers::SectorRender* const sector : {query.home_sector, query.overlap_sector}) {
            // A light reaching both sectors is offered once.
            if (sector != nullptr) {
                offer_sector_lights(context, query, *sector, type, offered, list);
            }
        }
        uint8_t indices[object_light_limit] = {};
        uint32_t count = 0;
        for (const LightPriorityList::Node* node = list.get_highest(); count < list.get_count();
             node = node->lower) {
            indices[count++] = static_cast<uint8_t>(get_light_index(*node->value));
        }
        if (count == 0) {
            continue;
        }
        for (uint32_t index = 0; index < count; ++index) {
            context.add_object_light(indices[index]);
        }
        selection |= pack_light_indices(indices, count) << (light_selection_first_index_bit + 8 * chosen);
        chosen += count;
    }
    return selection | chosen;
}

}  // namespace zolt::renderer
