// The portal walk of a view between two rooms joined by two doors: the room
// beyond is seen through the doors' projected rectangles, a disabled door
// hides what lies behind it, and without a camera sector every room the view
// meets is seen whole.
#include "zolt/navigation/sector_walk.h"

#include <gtest/gtest.h>

#include "zolt/navigation/area_world.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::servers {
namespace {

using renderer::SectorView;
using renderer::VisibilityContext;

class SectorWalk : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        loadable_area_server.create_area(test::two_rooms_area);
        left_ = create_sector(test::two_rooms_area, 0);
        right_ = create_sector(test::two_rooms_area, 1);
        door_ = create_portal(test::two_rooms_area, 0);
        create_portal(test::two_rooms_area, 1);
        run_frame_updates();
    }

    // 64 x 64 pixels, 90 degrees each way, from inside the left room looking
    // along +x at the doors in the wall x = 10.
    void walk_from(const SectorRender* start) {
        context_.target_width = context_.target_height = 64;
        ASSERT_TRUE(context_.set_screen_rectangle(1, {0, 0, 0}, {64, 64, 0}));
        const float half = 0.70710678f;
        context_.set_perspective_view(start, {2, 5, 1.5f}, {0, 0, -half, half}, 0.1f, 100, 0.25f, 0.25f, false);
        traverse_visible_sectors(context_);
    }
    const SectorView* view_of(Sector* sector) {
        return context_.find_sector_view(&sector_server.get_render_record(*sector));
    }

    Sector* left_ = nullptr;
    Sector* right_ = nullptr;
    Portal* door_ = nullptr;
    VisibilityContext context_;
};

void expect_rectangle(const geometry::Rectangle& rectangle, float x0, float y0, float x1, float y1) {
    EXPECT_NEAR(rectangle.x0, x0, 0.5f);
    EXPECT_NEAR(rectangle.y0, y0, 0.5f);
    EXPECT_NEAR(rectangle.x1, x1, 0.5f);
    EXPECT_NEAR(rectangle.y1, y1, 0.5f);
}

TEST_F(SectorWalk, TheRoomBeyondIsSeenThroughTheUnionOfItsDoors) {
    walk_from(&sector_server.get_render_record(*left_));
    ASSERT_EQ(context_.sector_view_count, 2u);
    expect_rectangle(view_of(left_)->rectangle, 0, 0, 64, 64);
    // 8 units ahead: the near door spans y 4..6 (right of the eye is -y) and
    // z 0..3, the far one y 7..9; 32 pixels per unit of tangent.
    expect_rectangle(view_of(right_)->rectangle, 32 - 4.0f * 32 / 8, 32 - 1.5f * 32 / 8, 32 + 1.0f * 32 / 8,
                     32 + 1.5f * 32 / 8);
}

TEST_F(SectorWalk, ADisabledDoorIsNotLookedThrough) {
    core::Property off;
    off.set_u32(portal_property::enabled, 0);
    ASSERT_TRUE(door_->set_property(portal_property::enabled, off));
    run_frame_updates();
    walk_from(&sector_server.get_render_record(*left_));
    ASSERT_NE(view_of(right_), nullptr);
    expect_rectangle(view_of(right_)->rectangle, 32 - 4.0f * 32 / 8, 32 - 1.5f * 32 / 8, 32 - 2.0f * 32 / 8,
                     32 + 1.5f * 32 / 8);
}

TEST_F(SectorWalk, WithoutACameraSectorEveryRoomInViewIsSeenWhole) {
    walk_from(nullptr);
    ASSERT_EQ(context_.sector_view_count, 2u);
    expect_rectangle(view_of(right_)->rectangle, 0, 0, 64, 64);
}

}  // namespace
}  // namespace zolt::servers
