#pragma once
// The builtins of areas and sectors (587-591, 605): which sector holds a
// point, areas by number, sectors by location or slot, and the neighbour
// across a portal. A handle of another server gives no hint, or the neutral
// 0. Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::servers {

using SectorHandle = core::BuiltinHandle<core::BuiltinKind::sector_handle>;
using LoadableAreaHandle = core::BuiltinHandle<core::BuiltinKind::loadable_area_handle>;

void bind_area_builtins(core::BuiltinTable& table);

// 587: the hint's area is searched first.
SectorHandle find_sector_at_point(geometry::Vector3 point, SectorHandle hint);
// 588
LoadableAreaHandle find_loadable_area(uint32_t area_number);
// 589
SectorHandle get_sector_at_location(uint32_t location, LoadableAreaHandle area);
// 590
SectorHandle get_area_sector(LoadableAreaHandle area, uint32_t record);
// 591
uint32_t get_area_sector_count(LoadableAreaHandle area);
// 605
SectorHandle find_neighbour_sector(SectorHandle sector, geometry::Vector3 position, float radius);

}  // namespace zolt::servers
