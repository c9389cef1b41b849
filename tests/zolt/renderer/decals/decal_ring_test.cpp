// The rings of a decal set: how decals make room for each other, when they
// expire, how the time base moves, and what the builtins refuse.
#include <gtest/gtest.h>

#include <limits>

#include "zolt/renderer/decals/decal.h"
#include "zolt/renderer/decals/decal_builtins.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/decals/decal_test_support.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;

// A handle of the sector server's kind; no sector server runs here, so the
// target's frame is the world's.
constexpr core::ObjectHandle fake_sector = (30u << 20) + 1;

class DecalRings : public ::testing::Test {
protected:
    void SetUp() override { decal_server.register_server(); }
    void TearDown() override { decal_server.unregister_server(); }

    static DecalDescription quads(uint32_t lifetime = 1000000, uint32_t fade = 0) {
        DecalDescription description;
        description.lifetime = lifetime;
        description.fade_time = fade;
        return description;
    }
    Decal& make_set(const DecalDescription& description, core::ObjectHandle target = fake_sector) {
        auto* const set = static_cast<Decal*>(decal_server.create_object_internal(0));
        set->initialize_from(description, target, 0);
        return *set;
    }
    static void spawn_at(Decal& set, Vector3 position, const DecalSurface* surface = nullptr) {
        set.spawn(position, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1, surface);
    }
};

TEST_F(DecalRings, TheFiftyFirstDecalRemovesTheOldest) {
    Decal& set = make_set(quads());
    for (int index = 0; index < 51; ++index) {
        decal_server.advance_clock(1);
        spawn_at(set, {static_cast<float>(index) * 3, 0, 0});
    }
    EXPECT_EQ(set.spawn_count, 50u);
    EXPECT_EQ(set.triangle_count, 100u);
    // The first decal (at x = 0) is gone; the oldest left is the second.
    EXPECT_EQ(set.time_base + set.get_spawn(0).time, 2u);
    EXPECT_NEAR(set.get_triangle(0).corners[0].position[0], 3 - 0.5f, 1e-6);
}

TEST_F(DecalRings, AFullRingDropsTheOldestUntilTheNewTrianglesFit) {
    testing::TriangleList grid;
    grid.add_grid(-1, -1, 0.1f, 20);
    DecalDescription description = quads();
    description.spawn_type = static_cast<uint32_t>(DecalSpawnType::projected);
    description.width = description.height = 4;
    Decal& set = make_set(description);
    // 800 triangles in the box: the decal being filled keeps the first 100.
    spawn_at(set, {}, &grid);
    EXPECT_EQ(set.spawn_count, 1u);
    EXPECT_EQ(set.triangle_count, 100u);
    spawn_at(set, {}, &grid);
    EXPECT_EQ(set.spawn_count, 1u);
    EXPECT_EQ(set.triangle_count, 100u);

    Decal& quad_set = make_set(quads(), fake_sector + 1);
    for (int index = 0; index < 3; ++index) {
        spawn_at(quad_set, {static_cast<float>(index) * 3, 0, 0});
    }
    EXPECT_EQ(quad_set.triangle_count, 6u);
}

TEST_F(DecalRings, OverlapFlagsRefuseDecalsOnLiveOnes) {
    DecalDescription own = quads();
    own.overlap_flags = decal_overlap_same_set;
    Decal& set = make_set(own);
    spawn_at(set, {});
    spawn_at(set, {0.2f, 0, 0});
    EXPECT_EQ(set.spawn_count, 1u);
    spawn_at(set, {5, 0, 0});
    EXPECT_EQ(set.spawn_count, 2u);
    EXPECT_EQ(set.triangle_count, 4u);

    DecalDescription shared = quads();
    shared.overlap_flags = decal_overlap_other_sets;
    shared.shader_index = 7;
    Decal& first = make_set(shared, fake_sector + 1);
    shared.shader_index = 8;
    Decal& second = make_set(shared, fake_sector + 1);
    Decal& elsewhere = make_set(shared, fake_sector + 2);
    spawn_at(first, {});
    spawn_at(second, {});
    spawn_at(elsewhere, {});
    EXPECT_EQ(second.spawn_count, 0u);
    EXPECT_EQ(elsewhere.spawn_count, 1u);
}

TEST_F(DecalRings, DecalsLiveForTheirLifetimeAndFadeTime) {
    Decal& set = make_set(quads(100, 50));
    spawn_at(set, {});
    decal_server.advance_clock(149);
    EXPECT_FALSE(set.expire());
    EXPECT_EQ(set.spawn_count, 1u);
    decal_server.advance_clock(1);
    EXPECT_TRUE(set.expire());
    EXPECT_EQ(set.spawn_count, 0u);
    EXPECT_EQ(set.time_base, 150u);
}

TEST_F(DecalRings, TheTimeBaseFollowsTheOldestDecal) {
    Decal& set = make_set(quads(120));
    spawn_at(set, {});
    decal_server.advance_clock(100);
    spawn_at(set, {3, 0, 0});
    EXPECT_FLOAT_EQ(set.get_triangle(2).corners[0].spawn_time, 100 * 0.00001f);
    decal_server.advance_clock(30);
    set.expire();
    ASSERT_EQ(set.spawn_count, 1u);
    EXPECT_EQ(set.time_base, 100u);
    EXPECT_EQ(set.get_spawn(0).time, 0u);
    for (const DecalVertex& corner : set.get_triangle(0).corners) {
        EXPECT_EQ(corner.spawn_time, 0.0f);
    }
    EXPECT_EQ(set.get_age(set.get_spawn(0)), 30u);
}

TEST_F(DecalRings, SetsAgeOnceTheClockMovedTwoMillionTicks) {
    Decal& set = make_set(quads(10));
    spawn_at(set, {});
    advance_decal_clock(1999999);
    EXPECT_EQ(decal_server.get_live_count(), 1u);
    EXPECT_EQ(set.spawn_count, 1u);
    advance_decal_clock(1);
    EXPECT_EQ(decal_server.get_live_count(), 0u);
}

TEST_F(DecalRings, BuiltinsRefuseWhatIsNotFiniteOrNotTheirs) {
    Decal& set = make_set(quads());
    const DecalHandle handle{set.get_handle()};
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const geometry::Quaternion identity = geometry::identity_quaternion();
    spawn_decal(handle, {nan, 0, 0}, identity, 1, {0});
    spawn_decal(handle, {0, infinity, 0}, identity, 1, {0});
    spawn_decal(handle, {}, {0, 0, nan, 1}, 1, {0});
    spawn_decal(handle, {}, identity, 1, {fake_sector});
    spawn_decal({fake_sector}, {}, identity, 1, {0});
    EXPECT_EQ(set.spawn_count, 0u);
    spawn_decal(handle, {1, 2, 3}, identity, 1, {0});
    ASSERT_EQ(set.spawn_count, 1u);
    // The rotation's -Y faces out of the wall: +X across, +Z up.
    const DecalVertex& corner = set.get_triangle(0).corners[0];
    EXPECT_NEAR(corner.position[0], 0.5f, 1e-6);
    EXPECT_NEAR(corner.position[2], 3.5f, 1e-6);
    EXPECT_NEAR(corner.normal[1], -1.0f, 1e-6);
    EXPECT_EQ(get_decal_triangle_flags({0}, 0), 0u);
    EXPECT_EQ(spawn_decal_on_target({fake_sector}, {}, identity, 1, {0}, false, {0}).value, 0u);
}

TEST_F(DecalRings, SetsRefuseEveryDescriptionWrite) {
    Decal& set = make_set(quads(500, 60));
    core::Property value;
    ASSERT_TRUE(set.get_property(decal_property::lifetime, value));
    EXPECT_EQ(value.get_u32(), 500u);
    ASSERT_TRUE(set.get_property(core::make_property_id(core::property_type::unsigned_integer, 238), value));
    EXPECT_EQ(value.get_u32(), 60u);
    ASSERT_TRUE(set.get_property(decal_property::size, value));
    EXPECT_EQ(value.get_float(1), 1.0f);
    EXPECT_TRUE(set.get_property(decal_property::sector, value));
    EXPECT_EQ(value.get_u32(), fake_sector);
    value.set_u32(core::make_property_id(core::property_type::unsigned_integer, 237), 7);
    EXPECT_FALSE(set.set_property(value.id, value));
    EXPECT_FALSE(set.set_property(decal_property::lifetime, value));
}

}  // namespace
}  // namespace zolt::renderer
