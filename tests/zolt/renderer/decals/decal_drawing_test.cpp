// Decals drawn in a viewport's view through the decal layer: a quad decal
// appears at the pixels the camera predicts, coloured by its set's shader
// constant, also when its triangles wrap around the end of the ring.
#include <gtest/gtest.h>

#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/viewport/camera_view_world.h"

namespace zolt::renderer {
namespace {

using test_support::Pixel;

constexpr core::ObjectHandle wall = (30u << 20) + 1;
constexpr Pixel black{0, 0, 0, 255};
// The constant is (age, lifetime, fade time, 0) in seconds: a fresh decal
// with one second of lifetime and no fading draws full green, alpha 0.
constexpr Pixel green{0, 255, 0, 0};

class DecalDrawing : public test_support::CameraViewWorld {
protected:
    void SetUp() override {
        CameraViewWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        decal_server.register_server();
        decal_server.create_index_stream();
    }
    void TearDown() override {
        if (decal_server.is_registered()) {
            decal_server.release_index_stream();
            decal_server.unregister_server();
        }
        CameraViewWorld::TearDown();
    }

    static void queue_wall_decals(VisibilityContext&) { decal_server.queue_target_requests(wall, RenderInfo{}); }

    Decal& make_set(float size) {
        DecalDescription description;
        description.shader_index = test_support::decal_entry;
        description.width = description.height = size;
        description.lifetime = 100000;
        description.fade_time = 0;
        Decal* const set = decal_server.find_or_create_set(description, wall);
        EXPECT_NE(set, nullptr);
        return *set;
    }
    // A decal on the wall 10 ahead, facing the camera.
    static void spawn_on_wall(Decal& set, float x, float z) {
        set.spawn_in_world_space({x, 10, z}, geometry::identity_quaternion(), 1, nullptr);
    }
    bool draw_decals() {
        decal_server.update();
        material_server.process_pending();
        return draw_view();
    }
};

TEST_F(DecalDrawing, AQuadDecalCoversItsProjectedSquare) {
    make_view(&queue_wall_decals);
    Decal& set = make_set(5);
    spawn_on_wall(set, 2.5f, 0);
    ASSERT_TRUE(draw_decals());
    // Corners (0, 10, -2.5) and (5, 10, 2.5): pixels 32 to 48 across, 24 to
    // 40 up.
    EXPECT_EQ(read_pixel(40, 32), green);
    EXPECT_EQ(read_pixel(33, 25), green);
    EXPECT_EQ(read_pixel(47, 39), green);
    EXPECT_EQ(read_pixel(30, 32), black);
    EXPECT_EQ(read_pixel(50, 32), black);
    EXPECT_EQ(read_pixel(40, 22), black);
    EXPECT_EQ(read_pixel(40, 42), black);
}

TEST_F(DecalDrawing, TrianglesWrappingAroundTheRingAreUploadedOldestFirst) {
    make_view(&queue_wall_decals);
    Decal& set = make_set(2);
    // 48 decals far off to the side fill slots 0 to 95, then three more
    // follow: one off to the side, one left of centre (slots 98 and 99) and
    // one right of centre, which wraps to slots 0 and 1 once the first 48
    // have expired.
    for (int index = 0; index < 48; ++index) {
        spawn_on_wall(set, 100, 0);
    }
    decal_server.advance_clock(50000);
    spawn_on_wall(set, 100, 0);
    decal_server.advance_clock(10000);
    spawn_on_wall(set, -3, 0);
    spawn_on_wall(set, 3, 0);
    decal_server.advance_clock(50000);
    EXPECT_FALSE(set.expire());
    ASSERT_EQ(set.spawn_count, 3u);
    ASSERT_EQ(set.triangle_head, 96u);
    ASSERT_EQ(set.triangle_count, 6u);
    ASSERT_TRUE(draw_decals());
    EXPECT_EQ(decal_server.get_render(set).triangle_count, 6u);
    // Pixels 19.2 to 25.6 and 38.4 to 44.8 across, 28.8 to 35.2 up.
    EXPECT_NE(read_pixel(22, 32), black);
    EXPECT_NE(read_pixel(41, 32), black);
    EXPECT_EQ(read_pixel(32, 32), black);
}

}  // namespace
}  // namespace zolt::renderer
