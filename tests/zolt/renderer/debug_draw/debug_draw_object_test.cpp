// Debug-draw objects as scripts see them: what the setters take and refuse,
// points that follow their source objects, the mask builtins, and a saved
// world that brings every setting back.
#include "zolt/renderer/debug_draw/debug_draw_object.h"

#include <gtest/gtest.h>

#include "support/builtin_call.h"
#include "support/child_process.h"
#include "support/world_round_trip.h"
#include "zolt/builtins/builtin_table.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/debug_draw/debug_draw_primitives.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"

namespace zolt::renderer {
namespace {

namespace p = debug_draw_property;

core::Property make_word(uint32_t value) {
    core::Property property;
    property.set_u32(0x03000000, value);
    return property;
}

core::Property make_vector(float x, float y, float z) {
    core::Property property;
    const float values[3] = {x, y, z};
    property.set_floats(0x30000000, values, 3);
    return property;
}

core::Property make_float(float value) {
    core::Property property;
    property.set_float(0x05000000, value);
    return property;
}

class DebugDrawObjects : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        debug_draw_server.register_server();
    }

    DebugDrawObject* create() { return static_cast<DebugDrawObject*>(debug_draw_server.create_object_internal(0)); }
};

TEST_F(DebugDrawObjects, SettersRefuseWhatTheRendererCannotDraw) {
    DebugDrawObject* const object = create();
    ASSERT_NE(object, nullptr);
    struct Row {
        uint32_t id;
        uint32_t value;
        bool taken;
    } const rows[] = {
        {p::type, 0, true},
        // The screen element is reachable: a 0-8 setter would leave it out.
        {p::type, 9, true},
        {p::type, 10, false},
        {p::type, 0xFFFFFFFF, false},
        {p::blending_mode, 0, true},
        // Multiplicative blending is drawn, so scripts may choose it.
        {p::blending_mode, 2, true},
        {p::blending_mode, 3, true},
        {p::blending_mode, 4, false},
        {p::wireframe, 1, true},
        {p::wireframe, 2, false},
        {p::depth_mode, 2, true},
        {p::depth_mode, 3, false},
    };
    for (const Row& row : rows) {
        const DebugDrawSettings before = object->get_settings();
        EXPECT_EQ(object->set_property(row.id, make_word(row.value)), row.taken)
            << std::hex << row.id << " " << row.value;
        core::Property read;
        ASSERT_TRUE(object->get_property(row.id & 0xFFFFFF, read));
        if (row.taken) {
            EXPECT_EQ(read.get_u32(), row.value);
        } else {
            EXPECT_EQ(read.get_u32(), row.id == p::type            ? before.type
                                      : row.id == p::blending_mode ? before.blending_mode
                                      : row.id == p::wireframe     ? before.wireframe
                                                                   : before.depth_mode);
        }
    }
}

TEST_F(DebugDrawObjects, DefaultsAndAliasesReadTheSameFields) {
    DebugDrawObject* const object = create();
    core::Property read;
    const struct {
        uint32_t id;
        uint32_t expected;
    } defaults[] = {{33, 7}, {90, 0xFFFFFFFF}, {489, 1}, {490, 0}, {491, 0}, {21, 0}, {493, 0}, {10, 0}};
    for (const auto& row : defaults) {
        ASSERT_TRUE(object->get_property(row.id, read)) << row.id;
        EXPECT_EQ(read.get_u32(), row.expected) << row.id;
    }
    ASSERT_TRUE(object->get_property(492, read));
    EXPECT_EQ(read.get_float(), 1.0f);

    ASSERT_TRUE(object->set_property(p::size, make_vector(2, 3, 4)));
    ASSERT_TRUE(object->get_property(503, read));
    EXPECT_EQ(read.get_float(1), 3);
    ASSERT_TRUE(object->get_property(506, read));
    EXPECT_EQ(read.get_float(), 3);
    ASSERT_TRUE(object->set_property(p::size_x, make_float(7)));
    ASSERT_TRUE(object->get_property(14, read));
    EXPECT_EQ(read.get_float(0), 7);
    ASSERT_TRUE(object->set_property(p::second_vector_alias, make_vector(5, 6, 7)));
    ASSERT_TRUE(object->get_property(502, read));
    EXPECT_EQ(read.get_float(2), 7);
    // Ids the class does not know go to its dictionary.
    ASSERT_TRUE(object->set_property(0x03000777, make_word(12)));
    ASSERT_TRUE(object->get_property(0x777, read));
    EXPECT_EQ(read.get_u32(), 12u);
}

TEST_F(DebugDrawObjects, APointFollowsItsSourceObjectAndFallsBackToItsVector) {
    DebugDrawObject* const object = create();
    core::Placement* const source = core::placement_server.create_placement();
    source->set_world_position({4, 5, 6});
    ASSERT_TRUE(object->set_property(p::first_point_vector + 2, make_vector(1, 2, 3)));
    EXPECT_EQ(object->get_point(2).x, 1);
    core::Property link;
    link.set_u32(0x01000000, source->get_handle());
    ASSERT_TRUE(object->set_property(p::first_point_source + 2, link));
    EXPECT_EQ(object->get_point(2).y, 5);
    core::destroy_object(source);
    EXPECT_EQ(object->get_point(2).y, 2);
}

TEST_F(DebugDrawObjects, MakeColorPacksAlphaHighAndBlueLow) {
    EXPECT_EQ(make_color(0x80, 0x11, 0x22, 0x33), 0x80112233u);
    EXPECT_EQ(make_color(0xFF, 0, 0, 0xFF), 0xFF0000FFu);
}

TEST_F(DebugDrawObjects, TheMaskBuiltinsReachTheServer) {
    test::BuiltinCall call;
    call.call(static_cast<uint32_t>(core::BuiltinId::set_debug_draw_mask), {0x81});
    EXPECT_EQ(debug_draw_server.get_mask(), 0x81u);
    EXPECT_EQ(call.call(static_cast<uint32_t>(core::BuiltinId::get_debug_draw_mask)).word(), 0x81u);
}

TEST_F(DebugDrawObjects, ASavedWorldBringsEverySettingBackWithTheScalars) {
    DebugDrawObject* const object = create();
    core::Placement* const placement = core::placement_server.create_placement();
    core::Property link;
    link.set_u32(0x01000000, placement->get_handle());
    ASSERT_TRUE(object->set_property(p::placement, link));
    ASSERT_TRUE(object->set_property(p::type, make_word(9)));
    ASSERT_TRUE(object->set_property(p::colour, make_word(0x80402010)));
    ASSERT_TRUE(object->set_property(p::blending_mode, make_word(2)));
    ASSERT_TRUE(object->set_property(p::wireframe, make_word(1)));
    ASSERT_TRUE(object->set_property(p::depth_mode, make_word(2)));
    ASSERT_TRUE(object->set_property(p::line_width, make_float(3)));
    ASSERT_TRUE(object->set_property(p::mask, make_word(6)));
    ASSERT_TRUE(object->set_property(p::first_point_vector + 3, make_vector(1, 2, 3)));
    ASSERT_TRUE(object->set_property(p::size, make_vector(4, 5, 6)));
    ASSERT_TRUE(object->set_property(p::second_vector, make_vector(7, 8, 9)));
    ASSERT_TRUE(object->set_property(p::scalar, make_float(0.75f)));
    debug_draw_server.set_mask(0x30);
    const core::ObjectHandle handle = object->get_handle();
    const DebugDrawSettings saved = object->get_settings();

    ASSERT_TRUE(test::save_and_load_world(3));
    const auto* const loaded = static_cast<DebugDrawObject*>(debug_draw_server.get_object_internal(handle));
    ASSERT_NE(loaded, nullptr);
    const DebugDrawSettings& s = loaded->get_settings();
    EXPECT_EQ(s.placement, saved.placement);
    EXPECT_EQ(s.type, 9u);
    EXPECT_EQ(s.colour, 0x80402010u);
    EXPECT_EQ(s.blending_mode, 2u);
    EXPECT_EQ(s.wireframe, 1u);
    EXPECT_EQ(s.depth_mode, 2u);
    EXPECT_EQ(s.line_width, 3);
    EXPECT_EQ(s.mask, 6u);
    EXPECT_EQ(s.point_vectors[3].z, 3);
    EXPECT_EQ(s.size.y, 5);
    EXPECT_EQ(s.second_vector.x, 7);
    EXPECT_EQ(s.scalars[0], 0.75f);
    EXPECT_EQ(debug_draw_server.get_mask(), 0x30u);
}

TEST(DebugDrawState, ModesOutsideTheirRangeReachingTheRendererAreFatal) {
    struct Row {
        bool blending;
        uint32_t mode;
        const char* message;
    } const rows[] = {
        {true, 4, "Unexpected blending mode 4."},
        {false, 3, "Unexpected depth mode 3."},
    };
    for (const Row& row : rows) {
        const test::ChildResult result = test::run_in_child([&row] {
            DebugDrawState state;
            if (row.blending) {
                state.set_blending_mode(row.mode);
            } else {
                state.set_depth_mode(row.mode);
            }
        });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(row.message), std::string::npos) << result.standard_error;
    }
}

}  // namespace
}  // namespace zolt::renderer
