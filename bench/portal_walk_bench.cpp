// The portal walk of a view over a level of 100 rooms (10 rows of 10, each
// row a corridor of doors, the first column joining the rows, a pillar in
// every room), from 200 seeded cameras, against the brute-force peer that
// tests every room's box against the view's frustum. Reported per view.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "libs/geometry/culling.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/navigation/area_builder.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zpack/lib/pack_writer.h"

namespace zolt {
namespace {

using geometry::Vector3;

constexpr int grid_side = 10;
constexpr float room = 10;
constexpr uint32_t first_area = 40;
constexpr int camera_count = 200;

struct Camera {
    const servers::SectorRender* sector = nullptr;
    Vector3 eye;
    geometry::Quaternion rotation;
};

// Rows 0 to 4 in the first area, 5 to 9 in the second; every door in the
// first.
std::vector<servers::AreaDescription> make_level() {
    std::vector<servers::AreaDescription> areas(2);
    for (int row = 0; row < grid_side; ++row) {
        for (int column = 0; column < grid_side; ++column) {
            const float x = room * static_cast<float>(column), y = room * static_cast<float>(row);
            servers::AreaSectorDescription sector;
            sector.box = {{x, y, 0}, {x + room, y + room, 4}};
            sector.occluders.push_back(servers::make_occluder_box({{x + 2, y + 7, 0}, {x + 3, y + 8, 3}}));
            areas[row < grid_side / 2 ? 0 : 1].sectors.push_back(sector);
            if (column + 1 < grid_side) {
                const float east = x + room;
                areas[0].portals.push_back({{{east, y + 4, 0}, {east, y + 4, 3}, {east, y + 6, 3}, {east, y + 6, 0}}});
            }
            if (column == 0 && row + 1 < grid_side) {
                const float north = y + room;
                areas[0].portals.push_back(
                    {{{x + 4, north, 0}, {x + 6, north, 0}, {x + 6, north, 3}, {x + 4, north, 3}}});
            }
        }
    }
    for (servers::AreaDescription& area : areas) {
        area.roots = servers::make_box_roots(static_cast<uint32_t>(area.sectors.size()));
    }
    return areas;
}

// The level's areas in a pack, the servers registered and every sector and
// portal created; all of it undone at the end of the benchmark.
class LevelWorld {
public:
    LevelWorld() {
        char pattern[] = "/tmp/zolt-portal-walk-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        folder_ = pattern;
        const std::vector<servers::AreaDescription> areas = make_level();
        tools::PackDescription pack;
        for (uint32_t index = 0; index < areas.size(); ++index) {
            std::vector<uint8_t> layout, partition;
            std::string error;
            if (!servers::build_area(first_area + index, areas[index], &layout, &partition, &error)) {
                return;
            }
            pack.resources.push_back({servers::get_area_layout_id(first_area + index), 0, layout, false});
            pack.resources.push_back({servers::get_area_partition_id(first_area + index), 0, partition, false});
        }
        std::vector<uint8_t> bytes;
        std::string error, list_text;
        const std::string pack_path = folder_ + "/areas.pack";
        list_path_ = folder_ + "/pack.list";
        if (!tools::build_pack(pack, &bytes, &error) ||
            !tools::write_file(pack_path, bytes.data(), bytes.size(), &error) ||
            !tools::format_pack_list({pack_path}, &list_text, &error) ||
            !tools::write_file(list_path_, list_text.data(), list_text.size(), &error)) {
            return;
        }
        saved_pack_list_ = pack_list;
        pack_list = list_path_.c_str();
        for (core::ServerBase* server : servers_) {
            server->register_server();
        }
        for (uint32_t index = 0; index < areas.size(); ++index) {
            servers::loadable_area_server.create_area(first_area + index);
            for (uint32_t record = 0; record < areas[index].sectors.size(); ++record) {
                servers::sector_server.create_sector(servers::make_sector_location(first_area + index, record));
            }
        }
        for (uint32_t record = 0; record < areas[0].portals.size(); ++record) {
            servers::portal_server.create_portal(servers::make_sector_location(first_area, record));
        }
        servers::portal_server.relink_portals();
        servers::portal_server.update();
        servers::sector_server.update();
        make_cameras();
        ready_ = true;
    }
    ~LevelWorld() {
        if (saved_pack_list_ != nullptr) {
            for (auto server = std::rbegin(servers_); server != std::rend(servers_); ++server) {
                (*server)->unregister_server();
            }
            pack_list = saved_pack_list_;
        }
        if (!folder_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder_, ignored);
        }
    }

    bool is_ready() const { return ready_; }
    const std::vector<Camera>& get_cameras() const { return cameras_; }

    static void set_view(renderer::VisibilityContext& context, const Camera& camera) {
        context.target_width = context.target_height = 1024;
        context.set_screen_rectangle(1, {0, 0, 0}, {1024, 1024, 0});
        context.set_perspective_view(camera.sector, camera.eye, camera.rotation, 0.1f, 300, 0.25f, 0.2f, false);
    }

private:
    void make_cameras() {
        std::mt19937 random(22);
        std::uniform_real_distribution<float> unit(0, 1);
        while (cameras_.size() < camera_count) {
            const Vector3 eye{room * grid_side * unit(random), room * grid_side * unit(random), 1 + 2 * unit(random)};
            const servers::SectorAtPoint found = servers::loadable_area_server.find_sector_at_point(nullptr, eye);
            if (found.area == nullptr) {
                continue;
            }
            const float half = 3.14159265f * unit(random);
            cameras_.push_back(
                {servers::sector_server.find_render_record(
                     found.area->get_sector_slot(static_cast<uint32_t>(found.record))),
                 eye, {0, 0, std::sin(half), std::cos(half)}});
        }
    }

    core::ServerBase* const servers_[7] = {&core::alias_server,     &core::resource_server,
                                           &core::dictionary_server, &core::placement_server,
                                           &servers::loadable_area_server, &servers::sector_server,
                                           &servers::portal_server};
    std::string folder_;
    std::string list_path_;
    const char* saved_pack_list_ = nullptr;
    std::vector<Camera> cameras_;
    bool ready_ = false;
};

void set_per_view_counter(benchmark::State& state, int64_t views) {
    state.counters["per_view"] = benchmark::Counter(static_cast<double>(views),
                                                    benchmark::Counter::kIsIterationInvariantRate |
                                                        benchmark::Counter::kInvert);
}

void portal_walk_zolt(benchmark::State& state) {
    const LevelWorld world;
    if (!world.is_ready()) {
        state.SkipWithError("the level could not be made");
        return;
    }
    int64_t visited = 0;
    for (auto _ : state) {
        for (const Camera& camera : world.get_cameras()) {
            renderer::VisibilityContext context;
            LevelWorld::set_view(context, camera);
            servers::traverse_visible_sectors(context);
            visited += context.sector_view_count;
        }
    }
    benchmark::DoNotOptimize(visited);
    set_per_view_counter(state, camera_count);
}

void portal_walk_brute_frustum(benchmark::State& state) {
    const LevelWorld world;
    if (!world.is_ready()) {
        state.SkipWithError("the level could not be made");
        return;
    }
    int64_t visible = 0;
    for (auto _ : state) {
        for (const Camera& camera : world.get_cameras()) {
            renderer::VisibilityContext context;
            LevelWorld::set_view(context, camera);
            for (uint32_t index = 0; index < servers::sector_capacity; ++index) {
                const servers::SectorRender& sector = servers::sector_server.get_render_record_at(index);
                if (sector.area == nullptr) {
                    continue;
                }
                geometry::Box box = sector.area->get_sector_record(sector.record_index).box;
                box.minimum = box.minimum + sector.area->get_position();
                box.maximum = box.maximum + sector.area->get_position();
                visible += geometry::box_in_frustum(box, context.frustum.planes) ? 1 : 0;
            }
        }
    }
    benchmark::DoNotOptimize(visible);
    set_per_view_counter(state, camera_count);
}

BENCHMARK(portal_walk_zolt)->Name("portal_walk/zolt")->Unit(benchmark::kMicrosecond);
BENCHMARK(portal_walk_brute_frustum)->Name("portal_walk/brute_frustum")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zolt
