#include "zolt/core/placement/placement_track.h"

#include <gtest/gtest.h>

#include "zolt/core/placement/placement_builtins.h"
#include "zolt/core/placement/placement_test_support.h"

namespace zolt::core {
namespace {

using geometry::Quaternion;
using geometry::Vector3;
using test::turn_about_z;

class PlacementTrackTest : public test::PlacementWorld {
protected:
    Placement* create_tracked() {
        Placement* const placement = create();
        Property on;
        on.set_u32(placement_property::tracked, 1);
        EXPECT_TRUE(placement->set_property(placement_property::tracked, on));
        return placement;
    }
    static void record_position(Placement* placement, uint32_t time, const Vector3& position) {
        set_record_time(time);
        placement->set_local_position(position);
    }
    static void record_rotation(Placement* placement, uint32_t time, const Quaternion& rotation) {
        set_record_time(time);
        placement->set_local_rotation(rotation);
    }
    static bool set_u32_property(Placement* placement, uint32_t id, uint32_t word) {
        Property value;
        value.set_u32(id, word);
        return placement->set_property(id, value);
    }
    static Vector3 position_at(Placement* placement, uint32_t time) {
        set_playback_time(time);
        return placement->get_local_position();
    }
    static uint32_t position_count(Placement* placement) {
        return placement->get_track()->positions.count(placement_server.get_position_keyframes());
    }
};

TEST_F(PlacementTrackTest, PositionSamplesInterpolateAndExtrapolate) {
    Placement* const placement = create_tracked();
    record_position(placement, 100, {0, 0, 0});
    record_position(placement, 200, {10, 0, 0});
    ASSERT_TRUE(set_u32_property(placement, placement_property::maximum_extrapolation, 30));
    struct Case {
        uint32_t time;
        float x;
    };
    const Case cases[] = {{150, 5},     {260, 13}, {50, 0},     {100, 0}, {200, 10},
                          {215, 11.5f}, {230, 13}, {175, 7.5f}, {150, 5}};
    for (const Case& c : cases) {
        EXPECT_VECTOR_NEAR(position_at(placement, c.time), Vector3(c.x, 0, 0), 1e-5) << c.time;
    }
    // Through the property and the world value, under a parent.
    Placement* const parent = create();
    parent->set_world_position({0, 100, 0});
    ASSERT_TRUE(placement->set_parent(parent));
    set_playback_time(150);
    Property out;
    ASSERT_TRUE(placement->get_property(placement_property::local_position, out));
    EXPECT_FLOAT_EQ(out.get_float(0), 5);
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(5, 100, 0), 1e-5);
    // The time offset moves the track: playback 250 samples it at 150.
    Property offset;
    offset.set_u32(placement_property::time_offset, 100);
    ASSERT_TRUE(placement->set_property(placement_property::time_offset, offset));
    set_playback_time(250);
    EXPECT_VECTOR_NEAR(placement->get_local_position(), Vector3(5, 0, 0), 1e-5);
    offset.set_u32(placement_property::time_offset, static_cast<uint32_t>(-50));
    ASSERT_TRUE(placement->set_property(placement_property::time_offset, offset));
    EXPECT_VECTOR_NEAR(placement->get_local_position(), Vector3(13, 0, 0), 1e-5)
        << "300: as far past the end as allowed";
}

TEST_F(PlacementTrackTest, ChangingTheExtrapolationLimitTakesEffectAtOnce) {
    Placement* const placement = create_tracked();
    record_position(placement, 0, {0, 0, 0});
    record_position(placement, 100, {0, 10, 0});
    EXPECT_VECTOR_NEAR(position_at(placement, 200), Vector3(0, 10, 0), 1e-5) << "no extrapolation by default";
    ASSERT_TRUE(set_u32_property(placement, placement_property::maximum_extrapolation, 50));
    EXPECT_VECTOR_NEAR(placement->get_local_position(), Vector3(0, 15, 0), 1e-5);
    EXPECT_FALSE(set_u32_property(placement, placement_property::maximum_extrapolation, 6000001));
    EXPECT_TRUE(set_u32_property(placement, placement_property::maximum_extrapolation, 6000000));
    Property out;
    ASSERT_TRUE(placement->get_property(61, out));
    EXPECT_EQ(out.get_u32(), 6000000u);
}

TEST_F(PlacementTrackTest, RotationsInterpolateSphericallyAndExtrapolateTheShorterWay) {
    for (const bool stored_negated : {false, true}) {
        Placement* const placement = create_tracked();
        record_rotation(placement, 0, geometry::identity_quaternion());
        const Quaternion tenth = turn_about_z(0.1f);
        record_rotation(placement, 100, stored_negated ? geometry::negate(tenth) : tenth);
        ASSERT_TRUE(set_u32_property(placement, placement_property::maximum_extrapolation, 100));
        const float sign = stored_negated ? -1.0f : 1.0f;
        set_playback_time(50);
        const Quaternion halfway = placement->get_local_rotation();
        EXPECT_NEAR(std::fabs(halfway.z), std::sin(3.14159265f * 0.05f), 1e-6);
        set_playback_time(150);
        const Quaternion beyond = placement->get_local_rotation();
        EXPECT_QUATERNION_NEAR(
            beyond, (Quaternion{0, 0, sign * std::sin(3.14159265f * 0.15f), sign * std::cos(3.14159265f * 0.15f)}),
            1e-5);
        destroy_object(placement);
    }
    // Two keyframes with the same rotation extrapolate to that rotation.
    Placement* const still = create_tracked();
    record_rotation(still, 0, turn_about_z(0.3f));
    record_rotation(still, 100, turn_about_z(0.3f));
    ASSERT_TRUE(set_u32_property(still, placement_property::maximum_extrapolation, 1000));
    set_playback_time(900);
    EXPECT_QUATERNION_NEAR(still->get_local_rotation(), turn_about_z(0.3f), 1e-6);
}

TEST_F(PlacementTrackTest, KeyframesKeepTimeOrderAndOneKeyframePerTime) {
    Placement* const placement = create_tracked();
    record_position(placement, 100, {1, 0, 0});
    record_position(placement, 100, {2, 0, 0});
    EXPECT_EQ(position_count(placement), 1u);
    EXPECT_VECTOR_NEAR(position_at(placement, 100), Vector3(2, 0, 0), 0);
    record_position(placement, 300, {6, 0, 0});
    record_position(placement, 50, {0, 0, 0});
    record_position(placement, 200, {4, 0, 0});
    EXPECT_EQ(position_count(placement), 4u);
    EXPECT_VECTOR_NEAR(position_at(placement, 75), Vector3(1, 0, 0), 1e-6);
    EXPECT_VECTOR_NEAR(position_at(placement, 250), Vector3(5, 0, 0), 1e-6);
    // Searching backwards from the last keyframe found.
    EXPECT_VECTOR_NEAR(position_at(placement, 150), Vector3(3, 0, 0), 1e-6);
    // Times compare by signed difference: across the wrap of the time base.
    Placement* const wrapping = create_tracked();
    record_position(wrapping, 0xFFFFFF00u, {0, 0, 0});
    record_position(wrapping, 0x100u, {0, 0, 512});
    EXPECT_VECTOR_NEAR(position_at(wrapping, 0), Vector3(0, 0, 256), 1e-4);
}

TEST_F(PlacementTrackTest, CreatingAndRemovingATrackKeepsThePose) {
    Placement* const parent = create();
    parent->set_world_position({0, 0, 10});
    Placement* const placement = create(parent);
    placement->set_world_position({1, 2, 3});
    ASSERT_TRUE(placement->create_track());
    EXPECT_EQ(placement->get_authority(), placement_authority::position | placement_authority::rotation);
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(1, 2, 3), 1e-6);
    // World values of a tracked placement are not set directly.
    Property position;
    position.set_floats(placement_property::world_position, std::array<float, 3>{5, 5, 5}.data(), 3);
    EXPECT_FALSE(placement->set_property(placement_property::world_position, position));

    record_position(placement, 0, {0, 0, 0});
    record_position(placement, 100, {8, 0, 0});
    set_playback_time(25);
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(2, 0, 10), 1e-5);
    ASSERT_TRUE(set_u32_property(placement, placement_property::tracked, 0));
    EXPECT_EQ(placement->get_track(), nullptr);
    set_playback_time(75);
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(2, 0, 10), 1e-5);
    Property out;
    ASSERT_TRUE(placement->get_property(60, out));
    EXPECT_EQ(out.get_u32(), 0u);
}

TEST_F(PlacementTrackTest, ATrackedChildOfADestroyedParentFollowsItsTrack) {
    Placement* const parent = create();
    parent->set_world_position({0, 0, 10});
    Placement* const placement = create_tracked();
    ASSERT_TRUE(placement->set_parent(parent));
    record_position(placement, 0, {0, 0, 0});
    record_position(placement, 100, {8, 0, 0});
    EXPECT_VECTOR_NEAR(position_at(placement, 50), Vector3(4, 0, 0), 1e-5);
    destroy_object(parent);
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(4, 0, 0), 1e-5);
    set_playback_time(75);
    EXPECT_VECTOR_NEAR(placement->get_world_position(), Vector3(6, 0, 0), 1e-5);
}

TEST_F(PlacementTrackTest, DroppingKeyframes) {
    Placement* const first = create_tracked();
    Placement* const second = create_tracked();
    for (Placement* placement : {first, second}) {
        for (uint32_t time = 100; time <= 400; time += 100) {
            record_position(placement, time, {static_cast<float>(time), 0, 0});
        }
    }
    // 532: the pose at the playback time becomes the pose of an empty track.
    set_playback_time(150);
    drop_placement_keyframes_before({first->get_handle()}, 250);
    EXPECT_EQ(position_count(first), 2u);
    EXPECT_VECTOR_NEAR(position_at(first, 100), Vector3(300, 0, 0), 0) << "before the first one left";
    // 533 keeps keyframes at the time itself.
    drop_placement_keyframes_after({first->get_handle()}, 300);
    EXPECT_EQ(position_count(first), 1u);
    // 535: empty, so the base pose from the drop before.
    drop_placement_keyframes({first->get_handle()});
    EXPECT_EQ(position_count(first), 0u);
    EXPECT_VECTOR_NEAR(position_at(first, 400), Vector3(150, 0, 0), 1e-5);

    // A handle of no placement, and an untracked placement: nothing.
    const uint32_t before = position_count(second);
    drop_placement_keyframes({watchers.create()->get_handle()});
    drop_placement_keyframes_before({0}, 1000);
    drop_placement_keyframes_after({create()->get_handle()}, 0);
    EXPECT_EQ(position_count(second), before);

    // 531 and 534 reach every tracked placement.
    record_position(first, 500, {5, 0, 0});
    drop_keyframes_before(300);
    EXPECT_EQ(position_count(first), 1u);
    EXPECT_EQ(position_count(second), 2u);
    drop_all_keyframes();
    EXPECT_EQ(position_count(first), 0u);
    EXPECT_EQ(position_count(second), 0u);
}

TEST_F(PlacementTrackTest, TrackClocksAnswerThePreviousTimeAndPlaybackResamples) {
    Placement* const placement = create_tracked();
    test::Watcher* const watcher = watchers.create();
    placement->set_attached_object(watcher->get_handle());
    EXPECT_EQ(set_playback_time(40), 0u);
    EXPECT_EQ(set_playback_time(41), 40u);
    EXPECT_EQ(set_record_time(7), 0u);
    EXPECT_EQ(set_record_time(8), 7u);
    EXPECT_EQ(watcher->calls, 2u);
}

TEST_F(PlacementTrackTest, EmptyPoolsRefuseQuietly) {
    // Tracks: the 1001st is refused.
    for (uint32_t index = 0; index < keyframe_track_capacity; ++index) {
        ASSERT_TRUE(create()->create_track());
    }
    Placement* const untracked = create();
    EXPECT_FALSE(set_u32_property(untracked, placement_property::tracked, 1));
    EXPECT_EQ(untracked->get_track(), nullptr);

    // Keyframes: a full pool takes no new time but still replaces one.
    Placement* const placement = get_placement_object(placement_server.get_live_list().get_tail()->get_handle() - 1);
    ASSERT_NE(placement->get_track(), nullptr);
    for (uint32_t time = 0; time < keyframe_pool_capacity; ++time) {
        record_position(placement, time, {1, 0, 0});
    }
    EXPECT_FALSE(placement_server.get_position_keyframes().has_free_keyframe());
    record_position(placement, keyframe_pool_capacity, {2, 0, 0});
    EXPECT_EQ(position_count(placement), keyframe_pool_capacity);
    record_position(placement, 5, {3, 0, 0});
    EXPECT_VECTOR_NEAR(position_at(placement, 5), Vector3(3, 0, 0), 0);
    // Destroying the placement gives everything back.
    destroy_object(placement);
    EXPECT_TRUE(placement_server.get_position_keyframes().has_free_keyframe());
    EXPECT_TRUE(untracked->create_track());
}

}  // namespace
}  // namespace zolt::core
