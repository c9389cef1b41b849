// The portal walk over the sample level as the content build made it
// (level.pack, area 1): room A with a door east to room B and a door north
// to room C.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>

#include "libs/io/temporary_folder.h"
#include "zolt/navigation/area_world.h"
#include "zolt/navigation/sector_walk.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {
namespace {

constexpr uint32_t sample_level_area = 1;
constexpr float pi = 3.14159265f;

class SampleLevelWalk : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string pack = test::read_file_bytes(std::string(ZOLT_CONTENT_PATH) + "/level.pack");
        packs_.add_pack_bytes("level.pack", test::Bytes(pack.begin(), pack.end()));
        packs_.start();
        ASSERT_NE(loadable_area_server.create_area(sample_level_area), nullptr);
        for (uint32_t record = 0; record < 3; ++record) {
            rooms_[record] = sector_server.create_sector(make_sector_location(sample_level_area, record));
        }
        for (uint32_t record = 0; record < 2; ++record) {
            portal_server.create_portal(make_sector_location(sample_level_area, record));
        }
        portal_server.relink_portals();
        portal_server.update();
        sector_server.update();
    }

    // The rooms walked from an eye 1.6 m up, looking horizontally towards
    // the compass angle (degrees from +x towards +y), 90 degrees wide and
    // high on 64 x 64 pixels; the camera's sector is found at the eye.
    std::set<char> walk(float x, float y, float heading) {
        const geometry::Vector3 eye{x, y, 1.6f};
        const SectorAtPoint found = loadable_area_server.find_sector_at_point(nullptr, eye);
        const SectorRender* start = nullptr;
        if (found.area != nullptr) {
            auto* const sector = static_cast<Sector*>(core::resolve_handle(found.area->get_sector_slot(found.record)));
            start = &sector_server.get_render_record(*sector);
        }
        // The camera looks along its +y: turn it by heading - 90 degrees.
        const float half = (heading - 90) * pi / 360;
        renderer::VisibilityContext context;
        context.target_width = context.target_height = 64;
        EXPECT_TRUE(context.set_screen_rectangle(1, {0, 0, 0}, {64, 64, 0}));
        context.set_perspective_view(start, eye, {0, 0, std::sin(half), std::cos(half)}, 0.1f, 100, 0.25f, 0.25f,
                                     false);
        traverse_visible_sectors(context);
        std::set<char> walked;
        for (uint32_t record = 0; record < 3; ++record) {
            if (context.find_sector_view(&sector_server.get_render_record(*rooms_[record])) != nullptr) {
                walked.insert(static_cast<char>('A' + record));
            }
        }
        return walked;
    }

    test::AreaPacks packs_;
    Sector* rooms_[3] = {};
};

TEST_F(SampleLevelWalk, EachViewWalksTheRoomsItCanSee) {
    struct Case {
        const char* what;
        float x, y, heading;
        std::set<char> rooms;
    };
    const Case cases[] = {
        {"in A, facing the door to B", 1.5f, 4, 0, {'A', 'B'}},
        {"in A, facing the door to C", 4, 1.5f, 90, {'A', 'C'}},
        {"in A's corner, both doors in view", 1, 1, 45, {'A', 'B', 'C'}},
        {"in A, facing away from both doors", 6, 6, 225, {'A'}},
        {"in B, the door beside the pillar", 15, 1.5f, 160, {'A', 'B'}},
        {"in C, facing the door to A: B stays behind A's walls", 4, 14, 270, {'A', 'C'}},
        {"outside every room: the frustum decides", -4, 4, -30, {'A', 'B'}},
    };
    for (const Case& test_case : cases) {
        EXPECT_EQ(walk(test_case.x, test_case.y, test_case.heading), test_case.rooms) << test_case.what;
    }
}

}  // namespace
}  // namespace zolt::servers
