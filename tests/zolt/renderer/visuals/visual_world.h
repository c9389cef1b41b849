#pragma once
// Visuals in the camera-view GL world: a red cube mesh (number 1, edge 1),
// a row of two rooms written by the area builder (room 0 spans x 0..10,
// room 1 x 10..20, both y 0..10, z 0..4) with their sectors and the door
// between them, and the mesh, area, sector, portal and visual servers.
#include <cstring>

#include "zolt/navigation/area_builder.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/room_levels.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_fixtures.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/viewport/camera_view_world.h"
#include "zolt/renderer/visuals/visual_server.h"

namespace zolt::renderer::test_support {

constexpr uint32_t cube_mesh = 1;
constexpr uint32_t room_area = 20;

inline MeshBuild make_red_cube(float h) {
    MeshBuild build = make_cube_build(h, layered_entry);
    std::vector<uint32_t>& vectors = build.material_sets[0][0].tables[0];
    for (int copy = 0; copy < 2; ++copy) {
        for (const float value : {1.0f, 0.0f, 0.0f, 1.0f}) {
            uint32_t word;
            std::memcpy(&word, &value, sizeof word);
            vectors.push_back(word);
        }
    }
    return build;
}

class VisualWorld : public CameraViewWorld {
protected:
    void SetUp() override {
        add_mesh(extra_resources_, cube_mesh, lay_out_mesh(make_red_cube(0.5f)));
        const std::vector<servers::AreaDescription> areas = test::make_room_row(2).make_areas();
        std::vector<uint8_t> layout, partition;
        std::string error;
        ASSERT_TRUE(servers::build_area(room_area, areas[0], &layout, &partition, &error)) << error;
        extra_resources_.push_back(test::make_resource(servers::get_area_layout_id(room_area), layout));
        extra_resources_.push_back(test::make_resource(servers::get_area_partition_id(room_area), partition));
        CameraViewWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        mesh_server.register_server();
        servers::loadable_area_server.register_server();
        servers::sector_server.register_server();
        servers::portal_server.register_server();
        visual_server.register_server();
        servers::loadable_area_server.create_area(room_area);
        for (uint32_t record = 0; record < 2; ++record) {
            rooms_[record] = servers::sector_server.create_sector(servers::make_sector_location(room_area, record));
        }
        servers::portal_server.create_portal(servers::make_sector_location(room_area, 0));
        run_server_passes();
    }
    void TearDown() override {
        if (visual_server.is_registered()) {
            visual_server.unregister_server();
            servers::portal_server.unregister_server();
            servers::sector_server.unregister_server();
            servers::loadable_area_server.unregister_server();
            mesh_server.unregister_server();
        }
        CameraViewWorld::TearDown();
    }

    // What the frame does before its views.
    static void run_server_passes() {
        servers::portal_server.relink_portals();
        servers::portal_server.update();
        visual_server.update_pending_visuals();
        mesh_server.update();
        visual_server.update();
        servers::sector_server.update();
        // Material selection, as the frame runs it before any view.
        material_server.process_pending();
    }

    core::Placement* make_placement(const geometry::Vector3& position) {
        core::Placement* const placement = core::placement_server.create_placement();
        placement->set_local_position(position);
        return placement;
    }

    // A cube visual following a new placement at the position.
    Visual* make_visual(const geometry::Vector3& position) {
        Visual* const visual = visual_server.create_visual(cube_mesh);
        core::Property value;
        value.set_u32(0x1000000, make_placement(position)->get_handle());
        EXPECT_TRUE(visual->set_property(visual_property::placement, value));
        return visual;
    }

    static bool set_word(Visual* visual, uint32_t id, uint32_t word) {
        core::Property value;
        value.set_u32(id & 0xFF000000u, word);
        return visual->set_property(id, value);
    }
    static bool set_float(Visual* visual, uint32_t id, float number) {
        core::Property value;
        value.set_float(id & 0xFF000000u, number);
        return visual->set_property(id, value);
    }
    static uint32_t get_word(const Visual* visual, uint32_t id) {
        core::Property value;
        EXPECT_TRUE(visual->get_property(id, value)) << std::hex << id;
        return value.get_u32();
    }

    servers::Sector* rooms_[2] = {};
};

}  // namespace zolt::renderer::test_support
