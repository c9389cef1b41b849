#pragma once
// Levels of rooms for the walk tests and benchmarks: rooms of 10 x 10 x 4
// on a grid (cell (column, row) spans x 10 column .. +10, y 10 row .. +10),
// doors as portals in the walls between neighbours, and occluder boxes.
// A level is written by the engine's area builder, 50 rooms to an area at
// most, and brought to life with every sector and portal; RoomLevel knows
// which sector stands in which cell. Cameras look along the engine's +Y
// turned by a yaw about +Z.
#include <cmath>
#include <map>
#include <utility>
#include <vector>

#include "zolt/navigation/area_world.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::test {

constexpr float room_size = 10;
constexpr float room_height = 4;

struct LevelCell {
    int column = 0;
    int row = 0;
    bool operator<(const LevelCell& other) const {
        return column != other.column ? column < other.column : row < other.row;
    }
};

class LevelDescription {
public:
    void add_room(LevelCell cell) { rooms_.push_back(cell); }
    // A door from a cell to its neighbour in +x (wide: nearly the whole wall).
    void add_door_east(LevelCell cell, bool wide = false) {
        const float x = room_size * static_cast<float>(cell.column + 1);
        const float y = room_size * static_cast<float>(cell.row);
        const float y0 = y + (wide ? 1.0f : 4.0f), y1 = y + (wide ? 9.0f : 6.0f);
        const float z0 = wide ? 0.5f : 0.0f, z1 = wide ? 3.5f : 3.0f;
        doors_.push_back({{{x, y0, z0}, {x, y0, z1}, {x, y1, z1}, {x, y1, z0}}});
    }
    // A door from a cell to its neighbour in +y.
    void add_door_north(LevelCell cell) {
        const float x = room_size * static_cast<float>(cell.column);
        const float y = room_size * static_cast<float>(cell.row + 1);
        doors_.push_back({{{x + 4, y, 0}, {x + 6, y, 0}, {x + 6, y, 3}, {x + 4, y, 3}}});
    }
    void add_occluder(LevelCell cell, const geometry::Box& box) { occluders_[cell].push_back(box); }

    const std::vector<LevelCell>& get_rooms() const { return rooms_; }
    const std::vector<servers::AreaPortalDescription>& get_doors() const { return doors_; }
    std::vector<geometry::Box> get_occluders() const {
        std::vector<geometry::Box> all;
        for (const auto& [cell, boxes] : occluders_) {
            all.insert(all.end(), boxes.begin(), boxes.end());
        }
        return all;
    }

    // Rooms in order, 50 to an area; every door goes with the first area.
    std::vector<servers::AreaDescription> make_areas() const {
        std::vector<servers::AreaDescription> areas;
        for (size_t first = 0; first < rooms_.size(); first += servers::area_sector_slot_count) {
            servers::AreaDescription area;
            const size_t end = std::min(rooms_.size(), first + servers::area_sector_slot_count);
            for (size_t index = first; index < end; ++index) {
                const LevelCell cell = rooms_[index];
                servers::AreaSectorDescription sector;
                const geometry::Vector3 corner{room_size * static_cast<float>(cell.column),
                                               room_size * static_cast<float>(cell.row), 0};
                sector.box = {corner, corner + geometry::Vector3{room_size, room_size, room_height}};
                if (const auto found = occluders_.find(cell); found != occluders_.end()) {
                    for (const geometry::Box& box : found->second) {
                        sector.occluders.push_back(servers::make_occluder_box(box));
                    }
                }
                area.sectors.push_back(sector);
            }
            area.roots = servers::make_box_roots(static_cast<uint32_t>(area.sectors.size()));
            if (areas.empty()) {
                area.portals = doors_;
            }
            areas.push_back(area);
        }
        return areas;
    }

private:
    std::vector<LevelCell> rooms_;
    std::vector<servers::AreaPortalDescription> doors_;
    std::map<LevelCell, std::vector<geometry::Box>> occluders_;
};

// Rooms in a row along +x, each joined to the next by a door.
inline LevelDescription make_room_row(int count, bool wide_doors = false) {
    LevelDescription level;
    for (int column = 0; column < count; ++column) {
        level.add_room({column, 0});
        if (column + 1 < count) {
            level.add_door_east({column, 0}, wide_doors);
        }
    }
    return level;
}

// Rooms (0,0) to (3,0) with doors at x = 10, 20, 30 (y 4..6), and (0,1)
// behind a door at y = 10 (x 4..6); the pillar stands in (1,0) between the
// door at x = 10 and the one at x = 20.
inline LevelDescription make_sample_rooms(bool pillar) {
    LevelDescription level = make_room_row(4);
    level.add_room({0, 1});
    level.add_door_north({0, 0});
    if (pillar) {
        level.add_occluder({1, 0}, {{14, 3, 0}, {16, 7, 3.5f}});
    }
    return level;
}

// Every room of a grid joined to each neighbour, so that rooms are seen
// along several paths, with a pillar in each.
inline LevelDescription make_room_grid(int columns, int rows) {
    LevelDescription level;
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const LevelCell cell{column, row};
            level.add_room(cell);
            if (column + 1 < columns) {
                level.add_door_east(cell, (column + row) % 2 == 0);
            }
            if (row + 1 < rows) {
                level.add_door_north(cell);
            }
            const float x = room_size * static_cast<float>(column), y = room_size * static_cast<float>(row);
            level.add_occluder(cell, {{x + 6, y + 2, 0}, {x + 7, y + 4, 3}});
        }
    }
    return level;
}

// 10 x 10 rooms: every row a corridor of doors along +x, and the first
// column joining the rows (99 portals, the most the portal server holds
// with one to spare), with a pillar in every room.
inline LevelDescription make_hundred_rooms() {
    LevelDescription level;
    for (int row = 0; row < 10; ++row) {
        for (int column = 0; column < 10; ++column) {
            const LevelCell cell{column, row};
            level.add_room(cell);
            if (column < 9) {
                level.add_door_east(cell);
            }
            if (column == 0 && row < 9) {
                level.add_door_north(cell);
            }
            const float x = room_size * static_cast<float>(column), y = room_size * static_cast<float>(row);
            level.add_occluder(cell, {{x + 2, y + 7, 0}, {x + 3, y + 8, 3}});
        }
    }
    return level;
}

constexpr uint32_t first_level_area = 20;

// The servers with a level loaded: every area, sector and portal created.
class LevelWorld {
public:
    explicit LevelWorld(const LevelDescription& level) {
        const std::vector<servers::AreaDescription> areas = level.make_areas();
        for (size_t index = 0; index < areas.size(); ++index) {
            packs_.add_area(first_level_area + static_cast<uint32_t>(index), areas[index]);
        }
        packs_.start();
        for (size_t index = 0; index < areas.size(); ++index) {
            const uint32_t number = first_level_area + static_cast<uint32_t>(index);
            servers::loadable_area_server.create_area(number);
            for (uint32_t record = 0; record < areas[index].sectors.size(); ++record) {
                servers::Sector* const sector =
                    servers::sector_server.create_sector(servers::make_sector_location(number, record));
                rooms_[level.get_rooms()[index * servers::area_sector_slot_count + record]] = sector;
            }
        }
        for (uint32_t record = 0; record < level.get_doors().size(); ++record) {
            portals_.push_back(
                servers::portal_server.create_portal(servers::make_sector_location(first_level_area, record)));
        }
        servers::portal_server.relink_portals();
        servers::portal_server.update();
        servers::sector_server.update();
    }

    servers::Sector* get_room(LevelCell cell) const { return rooms_.at(cell); }
    const servers::SectorRender* get_render(LevelCell cell) const {
        return &servers::sector_server.get_render_record(*rooms_.at(cell));
    }
    const std::map<LevelCell, servers::Sector*>& get_rooms() const { return rooms_; }
    servers::Portal* get_portal(uint32_t index) const { return portals_.at(index); }
    static const servers::SectorRender* find_render_at(const geometry::Vector3& point) {
        const servers::SectorAtPoint found = servers::loadable_area_server.find_sector_at_point(nullptr, point);
        return found.area == nullptr ? nullptr
                                     : servers::sector_server.find_render_record(
                                           found.area->get_sector_slot(static_cast<uint32_t>(found.record)));
    }

private:
    AreaPacks packs_;
    std::map<LevelCell, servers::Sector*> rooms_;
    std::vector<servers::Portal*> portals_;
};

// Yaw in degrees from +x toward +y: the engine's camera looks along local
// +Y, so looking along +x is a turn of -90 degrees about +Z.
inline geometry::Quaternion look_along(float degrees) {
    const float half = (degrees - 90.0f) * 3.14159265f / 360.0f;
    return {0, 0, std::sin(half), std::cos(half)};
}

// A square view of the given pixels, 90 degrees each way, near 0.1.
inline void set_square_view(renderer::VisibilityContext& context, uint32_t pixels,
                            const servers::SectorRender* start, const geometry::Vector3& eye, float yaw,
                            float far = 200) {
    context.target_width = context.target_height = pixels;
    const auto side = static_cast<float>(pixels);
    context.set_screen_rectangle(1, {0, 0, 0}, {side, side, 0});
    context.set_perspective_view(start, eye, look_along(yaw), 0.1f, far, 0.25f, 0.25f, false);
}

}  // namespace zolt::test
