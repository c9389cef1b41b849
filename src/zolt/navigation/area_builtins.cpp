#include "zolt/navigation/area_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/sector.h"

namespace zolt::servers {

namespace {

LoadableArea* find_area(LoadableAreaHandle area) {
    return area.value != 0 && loadable_area_server.is_registered() ? loadable_area_server.get_typed_object(area.value)
                                                                   : nullptr;
}

Sector* find_sector(SectorHandle sector) {
    return sector.value != 0 && sector_server.is_registered() ? sector_server.get_typed_object(sector.value) : nullptr;
}

}  // namespace

SectorHandle find_sector_at_point(geometry::Vector3 point, SectorHandle hint) {
    if (!loadable_area_server.is_registered()) {
        return {0};
    }
    const Sector* const hint_sector = find_sector(hint);
    const SectorAtPoint found =
        loadable_area_server.find_sector_at_point(hint_sector != nullptr ? hint_sector->get_area() : nullptr, point);
    return {found.area != nullptr ? found.area->get_sector_slot(static_cast<uint32_t>(found.record)) : 0};
}

LoadableAreaHandle find_loadable_area(uint32_t area_number) {
    if (!loadable_area_server.is_registered()) {
        return {0};
    }
    const LoadableArea* const area = loadable_area_server.find_area(area_number);
    return {area != nullptr ? area->get_handle() : 0};
}

SectorHandle get_sector_at_location(uint32_t location, LoadableAreaHandle area) {
    if (!loadable_area_server.is_registered()) {
        return {0};
    }
    return {loadable_area_server.get_sector_at_location(find_area(area), location)};
}

SectorHandle get_area_sector(LoadableAreaHandle area, uint32_t record) {
    const LoadableArea* const found = find_area(area);
    return {found != nullptr && found->is_usable_sector_record(record) ? found->get_sector_slot(record) : 0};
}

uint32_t get_area_sector_count(LoadableAreaHandle area) {
    const LoadableArea* const found = find_area(area);
    return found != nullptr ? found->get_sector_count() : 0;
}

SectorHandle find_neighbour_sector(SectorHandle sector, geometry::Vector3 position, float radius) {
    const Sector* const found = find_sector(sector);
    const Sector* const neighbour = found != nullptr ? found->find_sector_across_portal(position, radius) : nullptr;
    return {neighbour != nullptr ? neighbour->get_handle() : 0};
}

void bind_area_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::find_sector_at_point, &find_sector_at_point>(table);
    bind_builtin<BuiltinId::find_loadable_area, &find_loadable_area>(table);
    bind_builtin<BuiltinId::get_sector_at_location, &get_sector_at_location>(table);
    bind_builtin<BuiltinId::get_area_sector, &get_area_sector>(table);
    bind_builtin<BuiltinId::get_area_sector_count, &get_area_sector_count>(table);
    bind_builtin<BuiltinId::find_neighbour_sector, &find_neighbour_sector>(table);
}

}  // namespace zolt::servers
