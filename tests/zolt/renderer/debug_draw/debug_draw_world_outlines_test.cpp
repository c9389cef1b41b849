// The debug keys' outlines of the world: sector boxes and portal openings
// drawn where the area puts them, each only while its bit of the mask is
// set, and the light volumes through their hook.
#include "zolt/renderer/debug_draw/debug_draw_world_outlines.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "support/gl_context.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"

namespace zolt::renderer {
namespace {

using opengl::gl;

class WorldOutlines : public test::GlContextTest {
protected:
    void SetUp() override {
        GlContextTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        packs_.add_area(test::two_rooms_area, test::make_two_rooms());
        packs_.start();
        debug_draw_server.register_server();
        servers::loadable_area_server.create_area(test::two_rooms_area);
        for (uint32_t record = 0; record < 2; ++record) {
            ASSERT_NE(servers::sector_server.create_sector(servers::make_sector_location(test::two_rooms_area, record)),
                      nullptr);
        }
        ASSERT_NE(servers::portal_server.create_portal(servers::make_sector_location(test::two_rooms_area, 0)),
                  nullptr);
    }
    void TearDown() override {
        debug_outline_hooks = DebugOutlineHooks{};
        GlContextTest::TearDown();
    }

    void render(uint32_t mask, const float (&projection)[16]) {
        gl.glViewport(0, 0, width, height);
        gl.glDisable(GL_SCISSOR_TEST);
        gl.glClearColor(0, 0, 0, 1);
        gl.glClearDepth(1);
        gl.glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        gl.glMatrixMode(GL_PROJECTION);
        gl.glLoadMatrixf(projection);
        gl.glMatrixMode(GL_MODELVIEW);
        gl.glLoadIdentity();
        debug_draw_server.set_mask(mask);
        debug_draw_server.render();
    }
    std::array<uint8_t, 4> pixel(int32_t x, int32_t y) const {
        std::array<uint8_t, 4> value{};
        gl.glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, value.data());
        return value;
    }
    bool is_lit_around(int32_t x, int32_t y) const {
        for (int32_t dy = -1; dy <= 1; ++dy) {
            for (int32_t dx = -1; dx <= 1; ++dx) {
                const auto value = pixel(x + dx, y + dy);
                if (value[0] + value[1] + value[2] > 0) {
                    return true;
                }
            }
        }
        return false;
    }
    bool is_dark(int32_t x, int32_t y) const {
        const auto value = pixel(x, y);
        return value[0] + value[1] + value[2] == 0;
    }

    test::AreaPacks packs_;
};

// Seen from above: x -1..23 and y -1..11 across the window.
constexpr float top_view[16] = {2.0f / 24, 0, 0, 0, 0, 2.0f / 12, 0, 0, 0, 0, 0.01f, 0, -22.0f / 24, -10.0f / 12, 0, 1};
// Seen along x: y 2..8 and z -1.5..4.5 across the window.
constexpr float side_view[16] = {0, 0, 0.01f, 0, 1.0f / 3, 0, 0, 0, 0, 1.0f / 3, 0, 0, -5.0f / 3, -0.5f, 0, 1};

int32_t top_x(float x) {
    return static_cast<int32_t>(std::floor((x + 1) * 64 / 24));
}
int32_t top_y(float y) {
    return static_cast<int32_t>(std::floor((y + 1) * 64 / 12));
}

TEST_F(WorldOutlines, SectorBoxesAreOutlinedWhereTheAreaPutsThem) {
    render(debug_draw_sector_boxes, top_view);
    for (const float x : {0.0f, 10.0f}) {
        EXPECT_TRUE(is_lit_around(top_x(x), top_y(5))) << x;
    }
    EXPECT_TRUE(is_lit_around(top_x(5), top_y(0)));
    EXPECT_TRUE(is_lit_around(top_x(15), top_y(10)));
    EXPECT_TRUE(is_dark(top_x(5), top_y(5)));
    EXPECT_TRUE(is_dark(top_x(15), top_y(5)));
    const auto colour = pixel(top_x(10), top_y(5));
    EXPECT_TRUE(colour[0] > 200 && colour[2] == 0) << int(colour[0]) << " " << int(colour[2]);

    // Without its bit, nothing.
    render(0, top_view);
    EXPECT_TRUE(is_dark(top_x(10), top_y(5)));
}

TEST_F(WorldOutlines, PortalsAreOutlinedAroundTheirOpening) {
    // Door 0 spans y 4..6 and z 0..3: pixels 21..42 across, 16..48 up.
    render(debug_draw_portals, side_view);
    EXPECT_TRUE(is_lit_around(21, 32));
    EXPECT_TRUE(is_lit_around(42, 32));
    EXPECT_TRUE(is_lit_around(32, 16));
    EXPECT_TRUE(is_dark(32, 32));
    // The sector boxes' bit alone leaves the opening undrawn.
    render(debug_draw_sector_boxes, side_view);
    EXPECT_FALSE(is_lit_around(21, 32));
}

TEST_F(WorldOutlines, LightVolumesComeThroughTheirHook) {
    static uint32_t calls = 0;
    calls = 0;
    debug_outline_hooks.draw_light_volumes = [](DebugDrawState&) { ++calls; };
    render(debug_draw_sector_boxes, top_view);
    EXPECT_EQ(calls, 0u);
    render(debug_draw_light_volumes, top_view);
    EXPECT_EQ(calls, 1u);
}

}  // namespace
}  // namespace zolt::renderer
