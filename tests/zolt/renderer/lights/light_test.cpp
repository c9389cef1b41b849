#include "zolt/renderer/lights/light.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "support/builtin_call.h"
#include "support/world_round_trip.h"
#include "zolt/navigation/area_world.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {
namespace {

namespace p = light_property;
constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

core::Property make_float(uint32_t id, float value) {
    core::Property property;
    property.set_float(id, value);
    return property;
}

core::Property make_word(uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    return property;
}

core::Property make_vector(uint32_t id, float x, float y, float z, float w = 0) {
    core::Property property;
    const float lanes[4] = {x, y, z, w};
    property.set_floats(id, lanes, 4);
    return property;
}

geometry::Vector3 read_vector(const Light& light, uint32_t id) {
    core::Property read;
    EXPECT_TRUE(light.get_property(id, read)) << std::hex << id;
    return {read.get_float(0), read.get_float(1), read.get_float(2)};
}

void expect_near(const geometry::Vector3& actual, const geometry::Vector3& expected, float tolerance = 1e-5f) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

class Lights : public test::AreaWorld {
protected:
    void SetUp() override {
        AreaWorld::SetUp();
        light_server.register_server();
    }

    static Light* create_light(LightType type) {
        Light* const light = light_server.create_light();
        EXPECT_TRUE(light->set_property(p::type, make_word(p::type, static_cast<uint32_t>(type))));
        return light;
    }
};

TEST(LightRotation, TurnsPlusYOntoTheDirectionWithoutRoll) {
    const geometry::Vector3 directions[] = {
        {0, 1, 0}, {0, 0, 1}, {0, 0, -1}, {1, 0, 0}, {0, -1, 0}, geometry::normalize(geometry::Vector3{1, -2, 3})};
    for (const geometry::Vector3& direction : directions) {
        const geometry::Quaternion rotation = get_rotation_towards(direction);
        expect_near(geometry::rotate(rotation, {0, 1, 0}), direction);
        // No roll: the rotated +X stays level.
        EXPECT_NEAR(geometry::rotate(rotation, {1, 0, 0}).z, 0, 1e-5f);
    }
}

TEST_F(Lights, ANewLightHasTheDefaultsAndBareKeysReadNumbers) {
    const Light* const light = light_server.create_light();
    struct Row {
        uint32_t id;
        float value;
    } const reals[] = {{p::intensity, 1},       {p::range, 1000},          {p::cone, 0.25f},
                       {p::light_fade_start, FLT_MAX}, {p::light_fade_length, 1}, {p::parameter_226, 63},
                       {p::fake_shadow_strength, 0.5f}};
    core::Property read;
    for (const Row& row : reals) {
        ASSERT_TRUE(light->get_property(row.id & 0xFFFFFF, read)) << std::hex << row.id;
        EXPECT_EQ(read.id, row.id);
        EXPECT_EQ(read.get_float(), row.value);
    }
    ASSERT_TRUE(light->get_property(p::type & 0xFFFFFF, read));
    EXPECT_EQ(read.get_u32(), 2u);
    ASSERT_TRUE(light->get_property(p::light_mask, read));
    EXPECT_EQ(read.get_u32(), 0xFFFFFFFFu);
    ASSERT_TRUE(light->get_property(p::sector_list, read));
    EXPECT_EQ(read.get_u32(), no_sector_list);
    // Vectors answer only their typed ids; a point light has no direction.
    EXPECT_FALSE(light->get_property(p::position & 0xFFFFFF, read));
    EXPECT_FALSE(light->get_property(p::direction, read));
    ASSERT_TRUE(light->get_property(p::colour, read));
    EXPECT_EQ(read.get_float(3), 1);
}

TEST_F(Lights, SettersRefuseBadValuesAndChangeNothing) {
    Light* const light = create_light(LightType::spot);
    struct Row {
        core::Property value;
        bool accepted;
    } const rows[] = {
        {make_float(p::cone, 0.6f), false},
        {make_float(p::cone, -0.01f), false},
        {make_float(p::cone, nan), false},
        {make_float(p::cone, 0.5f), true},
        {make_float(p::cone, 0), true},
        {make_float(p::light_fade_start, -1), false},
        {make_float(p::light_fade_length, nan), false},
        {make_float(p::shadow_fade_start, 0), true},
        {make_float(p::shadow_fade_length, -0.5f), false},
        {make_float(p::range, -1), false},
        {make_float(p::range, nan), false},
        {make_float(p::range, infinity), false},
        {make_float(p::range, 0), true},
        {make_float(p::intensity, nan), false},
        {make_float(p::intensity, -2), true},
        {make_vector(p::colour, 1, nan, 0, 1), false},
        {make_vector(p::colour, infinity, 0, 0, 1), false},
        {make_vector(p::colour, 0.5f, 0.25f, 0, 1), true},
        {make_word(p::type, 3), false},
        {make_vector(p::direction, 0, 0.99f, 0), false},
        {make_vector(p::direction, nan, 1, 0), false},
        {make_vector(p::position, nan, 0, 0), false},
    };
    for (const Row& row : rows) {
        core::Property before;
        const uint32_t id = row.value.id;
        const bool readable = light->get_property(id, before);
        EXPECT_EQ(light->set_property(id, row.value), row.accepted) << std::hex << id;
        core::Property after;
        if (readable) {
            ASSERT_TRUE(light->get_property(id, after));
            if (row.accepted) {
                EXPECT_TRUE(after == row.value || after.get_float() == row.value.get_float()) << std::hex << id;
            } else {
                EXPECT_TRUE(after == before) << std::hex << id;
            }
        }
    }
}

TEST_F(Lights, DirectionsAndPositionsFollowTheLightType) {
    Light* const spot = create_light(LightType::spot);
    ASSERT_TRUE(spot->set_property(p::direction, make_vector(p::direction, 0, 0, 1)));
    expect_near(geometry::rotate(spot->rotation, {0, 1, 0}), {0, 0, 1});
    ASSERT_TRUE(spot->set_property(p::position, make_vector(p::position, 1, 2, 3)));
    expect_near(read_vector(*spot, p::position), {1, 2, 3});

    // A directional light's position is where it shines from: unit length.
    Light* const sun = create_light(LightType::directional);
    ASSERT_TRUE(sun->set_property(p::position, make_vector(p::position, 0, 0, 10)));
    expect_near(read_vector(*sun, p::position), {0, 0, 1});
    expect_near(read_vector(*sun, p::direction), {0, 0, -1});
    ASSERT_TRUE(sun->set_property(p::direction, make_vector(p::direction, 1, 0, 0)));
    expect_near(read_vector(*sun, p::position), {-1, 0, 0});
    // Too short to normalise: kept as given.
    ASSERT_TRUE(sun->set_property(p::position, make_vector(p::position, 0.001f, 0, 0)));
    expect_near(read_vector(*sun, p::position), {0.001f, 0, 0});

    Light* const point = create_light(LightType::point);
    EXPECT_FALSE(point->set_property(p::direction, make_vector(p::direction, 0, 0, 1)));
}

TEST_F(Lights, APlacedLightFollowsItsPlacementUntilDetached) {
    Light* const spot = create_light(LightType::spot);
    core::Placement* const placement = core::placement_server.create_placement();
    placement->set_world_position({4, 5, 6});
    ASSERT_TRUE(spot->set_property(p::placement, make_word(p::placement, placement->get_handle())));
    EXPECT_EQ(placement->get_attached_object(), spot->get_handle());
    expect_near(read_vector(*spot, p::position), {4, 5, 6});
    EXPECT_FALSE(spot->set_property(p::position, make_vector(p::position, 0, 0, 0)));
    EXPECT_FALSE(spot->set_property(p::direction, make_vector(p::direction, 0, 0, 1)));

    // A quarter turn about Z takes +Y to -X.
    placement->set_world_rotation({0, 0, 0.70710678f, 0.70710678f});
    placement->set_world_position({7, 0, 0});
    expect_near(read_vector(*spot, p::direction), {-1, 0, 0});
    light_server.update();
    const LightRender& render = light_server.get_render(*spot);
    expect_near(render.position, {7, 0, 0});
    expect_near(render.direction, {-1, 0, 0});

    ASSERT_TRUE(spot->set_property(p::placement, make_word(p::placement, 0)));
    EXPECT_EQ(placement->get_attached_object(), 0u);
    EXPECT_TRUE(spot->set_property(p::position, make_vector(p::position, 1, 1, 1)));
}

TEST_F(Lights, ChangesReachTheRenderRecordOnlyAtTheUpdate) {
    Light* const light = create_light(LightType::spot);
    LightRender& render = light_server.get_render(*light);
    light_server.update();
    EXPECT_TRUE(light_server.is_changed_ring_empty());
    EXPECT_EQ(render.range, 1000);
    render.clip_volume_valid = 1;

    ASSERT_TRUE(light->set_property(p::range, make_float(p::range, 12)));
    ASSERT_TRUE(light->set_property(p::on, make_word(p::on, 1)));
    ASSERT_TRUE(light->set_property(p::position, make_vector(p::position, 3, 0, 0)));
    EXPECT_FALSE(light_server.is_changed_ring_empty());
    EXPECT_EQ(render.range, 1000);
    EXPECT_EQ(render.on, 0);
    light_server.update();
    EXPECT_EQ(render.range, 12);
    EXPECT_EQ(render.on, 1);
    EXPECT_EQ(render.position.x, 3);
    // A new range reshapes the volume as much as a move does.
    EXPECT_EQ(render.clip_volume_valid, 0);
    EXPECT_TRUE(light_server.is_changed_ring_empty());

    // A destroyed light leaves the ring without touching its record.
    Light* const other = light_server.create_light();
    core::destroy_object(other);
    core::destroy_object(light);
    light_server.update();
    EXPECT_TRUE(light_server.is_changed_ring_empty());
    EXPECT_EQ(render.range, 12);
    core::release_all_dead_objects();
    EXPECT_EQ(light_server.get_live_count(), 0u);
}

TEST_F(Lights, ASavedWorldKeepsEveryFieldButTheColoursFourthComponent) {
    Light* const light = create_light(LightType::spot);
    core::Placement* const placement = core::placement_server.create_placement();
    const core::Property sets[] = {
        make_vector(p::direction, 0, 0, 1),      make_vector(p::position, 1, 2, 3),
        make_vector(p::colour, 0.5f, 0.25f, 0.125f, 0.3f),
        make_word(p::light_mask, 6),             make_word(p::shadow_mask, 7),
        make_float(p::fake_shadow_strength, 0.75f), make_word(p::on, 1),
        make_word(p::priority, 4),               make_word(p::casts_fake_shadows, 1),
        make_float(p::intensity, 2),             make_float(p::range, 30),
        make_float(p::light_fade_start, 20),     make_float(p::light_fade_length, 5),
        make_float(p::shadow_fade_start, 10),    make_float(p::shadow_fade_length, 2),
        make_float(p::cone, 0.1f),               make_word(p::sector_list, 0x30002),
        make_float(p::parameter_226, 9),         make_word(p::shadow_map_resolution, 512),
        make_word(p::casts_shadows, 0),          make_word(p::dynamic, 1),
        make_word(0x03000777, 99),
    };
    for (const core::Property& value : sets) {
        ASSERT_TRUE(light->set_property(value.id, value)) << std::hex << value.id;
    }
    ASSERT_TRUE(light->set_property(p::placement, make_word(p::placement, placement->get_handle())));
    placement->set_world_position({1, 2, 3});
    placement->set_world_rotation(get_rotation_towards({0, 0, 1}));
    light_server.get_global_light().intensity = 3;
    light_server.get_global_light().fake_shadow_time_step = 17;
    const core::ObjectHandle handle = light->get_handle();

    ASSERT_TRUE(test::save_and_load_world(3));
    Light* const loaded = light_server.find_light(handle);
    ASSERT_NE(loaded, nullptr);
    for (const core::Property& value : sets) {
        core::Property read;
        ASSERT_TRUE(loaded->get_property(value.id, read)) << std::hex << value.id;
        if (value.id == p::colour) {
            EXPECT_EQ(read.get_float(2), 0.125f);
            EXPECT_EQ(read.get_float(3), 1);
        } else if (value.id == p::direction || value.id == p::position) {
            for (int lane = 0; lane < 3; ++lane) {
                EXPECT_NEAR(read.get_float(lane), value.get_float(lane), 1e-5f) << std::hex << value.id;
            }
        } else {
            EXPECT_EQ(read.get_u32(), value.get_u32()) << std::hex << value.id;
        }
    }
    EXPECT_EQ(loaded->placement, placement->get_handle());
    EXPECT_EQ(light_server.get_global_light().intensity, 3);
    EXPECT_EQ(light_server.get_global_light().fake_shadow_time_step, 17u);
    // The loaded light reaches its record at the next update.
    light_server.update();
    EXPECT_EQ(light_server.get_render(*loaded).range, 30);
    EXPECT_EQ(light_server.get_render(*loaded).dynamic, 1);
}

TEST_F(Lights, TheGlobalLightThroughItsBuiltins) {
    test::BuiltinCall call;
    // Direction stored as given, not normalised.
    call.call(572, {test::float_word(0), test::float_word(0), test::float_word(-2)});
    call.call(579);
    EXPECT_EQ(call.lane(0), 0);
    EXPECT_EQ(call.lane(4), -2);
    struct Row {
        float red, green, blue, intensity;
        uint8_t on;
    } const rows[] = {
        {1, 1, 1, 1, 1}, {0, 0, 0, 1, 0}, {1, 0.5f, 0, 0, 0}, {1, 1, 1, -1, 0}, {-1, 0, 0, -1, 1},
    };
    for (const Row& row : rows) {
        call.call(573, {test::float_word(row.red), test::float_word(row.green), test::float_word(row.blue)});
        call.call(574, {test::float_word(row.intensity)});
        EXPECT_EQ(light_server.get_global_light().on, row.on) << row.red << " " << row.intensity;
    }
    // Numbers that are not numbers are refused.
    call.call(574, {test::float_word(nan)});
    EXPECT_EQ(call.call(581).lane(), -1);
    call.call(573, {test::float_word(1), test::float_word(nan), test::float_word(1)});
    EXPECT_EQ(call.call(580).lane(0), -1);

    call.call(575, {test::float_word(0.25f)});
    EXPECT_EQ(call.call(582).lane(), 0.25f);
    call.call(577, {test::float_word(1), test::float_word(2), test::float_word(3), test::float_word(4)});
    call.call(584);
    EXPECT_EQ(call.lane(0), 1);
    EXPECT_EQ(call.lane(6), 4);
    call.call(578, {test::float_word(5), test::float_word(6), test::float_word(7), test::float_word(8)});
    EXPECT_EQ(call.call(585).lane(2), 6);
    call.call(586, {40});
    EXPECT_EQ(light_server.get_global_light().fake_shadow_time_step, 40u);

    // An object handle that names nothing is stored as none.
    core::Placement* const placement = core::placement_server.create_placement();
    call.call(576, {placement->get_handle()});
    EXPECT_EQ(call.call(583).word(), placement->get_handle());
    call.call(576, {placement->get_handle() + 0x100});
    EXPECT_EQ(call.call(583).word(), 0u);

    call.call(576, {placement->get_handle()});
    light_server.update();
    const GlobalLightRender& render = light_server.get_global_light_render();
    EXPECT_EQ(render.object, placement);
    EXPECT_EQ(render.vector_b.w, 8);
    EXPECT_EQ(render.fake_shadow_time_step, 40u);
    // A destroyed object is none at the next frame.
    core::destroy_object(placement);
    light_server.update();
    EXPECT_EQ(render.object, nullptr);
    EXPECT_EQ(call.call(583).word(), 0u);
}

}  // namespace
}  // namespace zolt::renderer
