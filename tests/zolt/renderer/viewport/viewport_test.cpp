// Viewports: their properties and the rules of their setters, the order in
// which they are kept, the frame's pass over them, builtins 641 to 648, and a
// saved world; and the visibility context's rectangle and tables.
#include "zolt/renderer/viewport/viewport.h"

#include <gtest/gtest.h>

#include "support/builtin_call.h"
#include "support/world_round_trip.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/view/visibility_context.h"
#include "zolt/renderer/viewport/viewport_server.h"

namespace zolt::renderer {
namespace {

using core::Property;

class Viewports : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        reset_display_modes();
        ASSERT_TRUE(add_display_mode({800, 600, 0}));
        ASSERT_TRUE(set_display_mode(1, true));
        viewport_server.register_server();
        core::bind_all_builtins();
    }
    void TearDown() override { reset_display_modes(); }

    static Viewport* create(int32_t order) {
        return static_cast<Viewport*>(viewport_server.create_object_internal(static_cast<uint32_t>(order)));
    }
    static std::vector<int32_t> active_orders() {
        std::vector<int32_t> orders;
        for (Viewport* viewport = viewport_server.get_active_head(); viewport != nullptr;) {
            orders.push_back(viewport->get_order() * 100 +
                             static_cast<int32_t>(core::get_handle_index(viewport->get_handle())));
            viewport = viewport->active_next != viewport_server.get_active_head() ? viewport->active_next : nullptr;
        }
        return orders;
    }
    static Property floats(uint32_t id, float x, float y = 0, float z = 0, float w = 0) {
        Property value;
        const float values[4] = {x, y, z, w};
        value.set_floats(id, values, 4);
        return value;
    }
    static float get_float(Viewport* viewport, uint32_t id, int lane = 0) {
        Property read;
        EXPECT_TRUE(viewport->get_property(id, read)) << id;
        return read.get_float(lane);
    }
};

TEST_F(Viewports, DefaultsAndSetterRules) {
    Viewport* const viewport = create(0);
    EXPECT_EQ(get_float(viewport, 14, 0), 800.0f);
    EXPECT_EQ(get_float(viewport, 14, 1), 600.0f);
    Property read;
    ASSERT_TRUE(viewport->get_property(254, read));
    EXPECT_EQ(read.get_u32(), 0x1F3FFu);
    EXPECT_EQ(get_float(viewport, 277), 0.95f);

    // Shadow splits keep their order both ways.
    EXPECT_TRUE(viewport->set_property(0x5000116, floats(0x5000116, 700)));
    EXPECT_EQ(get_float(viewport, 279), 700.0f);
    EXPECT_TRUE(viewport->set_property(0x5000117, floats(0x5000117, 300)));
    EXPECT_EQ(get_float(viewport, 278), 300.0f);
    // Clamps: at least 0, and the shadow vector within -1..1.
    EXPECT_TRUE(viewport->set_property(0x5000112, floats(0x5000112, -4)));
    EXPECT_EQ(get_float(viewport, 274), 0.0f);
    EXPECT_TRUE(viewport->set_property(0x40000119, floats(0x40000119, 2, -3, 0.5f, 1)));
    EXPECT_EQ(get_float(viewport, 281, 0), 1.0f);
    EXPECT_EQ(get_float(viewport, 281, 1), -1.0f);
    EXPECT_EQ(get_float(viewport, 281, 2), 0.5f);
    // A user float fills the whole vector; the bare number reads it back.
    EXPECT_TRUE(viewport->set_property(0x5000120, floats(0x5000120, 3)));
    EXPECT_EQ(viewport->user_vector(0).w, 3.0f);
    EXPECT_EQ(get_float(viewport, 288), 3.0f);
    // Setters take only the typed id.
    EXPECT_FALSE(viewport->set_property(277, floats(277, 1)) && get_float(viewport, 277) == 1.0f);
}

TEST_F(Viewports, EqualOrdersKeepTheirInsertionOrderAndAMoveGoesBehindItsNewEquals) {
    Viewport* const a = create(5);
    Viewport* const b = create(1);
    Viewport* const c = create(5);
    const auto slot = [](Viewport* v) { return static_cast<int32_t>(core::get_handle_index(v->get_handle())); };
    EXPECT_EQ(active_orders(), (std::vector<int32_t>{100 + slot(b), 500 + slot(a), 500 + slot(c)}));
    Property order;
    order.set_u32(0x300001F, 5);
    ASSERT_TRUE(b->set_property(0x300001F, order));
    EXPECT_EQ(active_orders(), (std::vector<int32_t>{500 + slot(a), 500 + slot(c), 500 + slot(b)}));
}

TEST_F(Viewports, TheFramePassCountsEnabledViewportsEvenWithoutACamera) {
    viewport_server.update();
    EXPECT_FALSE(viewport_server.render_viewports());
    Viewport* const viewport = create(0);
    viewport_server.update();
    EXPECT_TRUE(viewport_server.render_viewports());
    EXPECT_EQ(viewport_server.get_first_active_viewport(), nullptr);
    Property off;
    off.set_u32(0x300005B, 0);
    ASSERT_TRUE(viewport->set_property(0x300005B, off));
    viewport_server.update();
    EXPECT_FALSE(viewport_server.render_viewports());
}

TEST_F(Viewports, BuiltinsReachSlotsAndVectorsAndRefuseWhatDoesNotFit) {
    Viewport* const viewport = create(0);
    const uint32_t handle = viewport->get_handle();
    test::BuiltinCall call;
    // set_viewport_user_vector: w, z, y, x, index, viewport from the top.
    call.call(645, {test::float_word(4), test::float_word(3), test::float_word(2), test::float_word(1), 7, handle});
    EXPECT_EQ(call.call(643, {7, handle}).lane(6), 4.0f);
    EXPECT_EQ(call.call(644, {7, handle}).lane(0), 1.0f);
    EXPECT_EQ(call.call(644, {16, handle}).lane(0), 0.0f);
    EXPECT_EQ(call.call(644, {7, handle + 1}).lane(0), 0.0f);
    // Only a live texture or 0 goes into a slot.
    call.call(642, {viewport->get_handle(), 1, handle});
    EXPECT_EQ(call.call(641, {1, handle}).word(), 0u);
    // Only opaque black is taken as clear colour.
    call.call(648, {0xFF102030});
    EXPECT_EQ(call.call(647).word(), opaque_black_clear_colour);
}

TEST_F(Viewports, ASavedWorldBringsViewportsBackInOrder) {
    Viewport* const first = create(3);
    create(1);
    ASSERT_TRUE(first->set_property(0x5000115, floats(0x5000115, 0.5f)));
    first->user_vector(2) = {1, 2, 3, 4};
    const core::ObjectHandle handle = first->get_handle();
    const std::vector<int32_t> orders = active_orders();
    ASSERT_TRUE(test::save_and_load_world(3));
    auto* const loaded = static_cast<Viewport*>(core::get_object(handle));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(get_float(loaded, 277), 0.5f);
    EXPECT_EQ(loaded->user_vector(2).z, 3.0f);
    EXPECT_EQ(active_orders(), orders);
}

TEST(VisibilityContext, TheScreenRectangleIsClampedToTheTarget) {
    VisibilityContext context;
    context.target_width = 800;
    context.target_height = 600;
    ASSERT_TRUE(context.set_screen_rectangle(1, {-10, -10, 0}, {50, 50, 0}));
    EXPECT_EQ(context.screen_rectangle.x0, 0.0f);
    EXPECT_EQ(context.screen_rectangle.y0, 0.0f);
    EXPECT_EQ(context.screen_rectangle.x1, 40.0f);
    EXPECT_EQ(context.screen_rectangle.y1, 40.0f);
    EXPECT_FALSE(context.set_screen_rectangle(1, {900, 0, 0}, {50, 50, 0}));
}

TEST(VisibilityContext, SectorViewsAreSharedAndBounded) {
    VisibilityContext context;
    servers::SectorRender* const first = &servers::sector_server.get_render_record_at(0);
    EXPECT_EQ(context.add_sector_view(first), context.add_sector_view(first));
    for (uint32_t index = 1; index < sector_view_capacity; ++index) {
        ASSERT_NE(context.add_sector_view(&servers::sector_server.get_render_record_at(index)), nullptr);
    }
    EXPECT_EQ(context.add_sector_view(&servers::sector_server.get_render_record_at(sector_view_capacity)), nullptr);
    EXPECT_EQ(context.find_sector_view(&servers::sector_server.get_render_record_at(39))->sector,
              &servers::sector_server.get_render_record_at(39));
    // Without shadow splits every sector counts as a neighbour.
    EXPECT_TRUE(context.is_in_neighbour_sectors(77));
    context.shadow_split_count = 2;
    EXPECT_FALSE(context.is_in_neighbour_sectors(77));
}

}  // namespace
}  // namespace zolt::renderer
