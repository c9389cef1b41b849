#include "zolt/renderer/animation/skeleton.h"

#include <gtest/gtest.h>

#include "pose_reference.h"
#include "skeleton_world.h"
#include "support/builtin_call.h"
#include "support/world_round_trip.h"
#include "zolt/renderer/animation/skeleton_builtins.h"

namespace zolt::animation {
namespace {

using test::SkeletonWorld;

class SkeletonObjectTest : public SkeletonWorld {
protected:
    void SetUp() override { start(); }

    // The skeleton posed at its time, its buffer rewritten as each frame does.
    PoseBuffer& pose(Skeleton* skeleton) {
        skeleton->update_pose();
        skeleton_server.update();
        return skeleton_server.get_pose_buffer(*skeleton);
    }

    void expect_palette(const PoseBuffer& buffer, double time, double scale) {
        SCOPED_TRACE(testing::Message() << "at " << time);
        const std::array<test::MatrixD, 3> reference =
            test::reference_skinning(test::describe_walk_animation(), time, scale);
        for (int bone = 0; bone < 3; ++bone) {
            for (int row = 0; row < 3; ++row) {
                for (int column = 0; column < 4; ++column) {
                    EXPECT_NEAR(buffer.bone_rows[bone][row][column], reference[bone][column][row], 5e-5)
                        << "bone " << bone << " row " << row << " column " << column;
                }
            }
        }
    }
};

TEST_F(SkeletonObjectTest, BonesArePlacementsUnderTheirParentsAndTheRestPaletteIsTheIdentity) {
    Skeleton* const skeleton = make_skeleton();
    EXPECT_EQ(bone(skeleton, 1)->get_parent(), bone(skeleton, 0));
    EXPECT_EQ(bone(skeleton, 2)->get_parent(), bone(skeleton, 1));
    EXPECT_FLOAT_EQ(bone(skeleton, 2)->get_world_position().y, 2.0f);
    EXPECT_EQ(get_u32(skeleton, skeleton_property::bone_count), 3u);
    EXPECT_EQ(get_u32(skeleton, 534), 2u);
    const PoseBuffer& buffer = skeleton_server.get_pose_buffer(*skeleton);
    // The bind matrices undo the rest offsets of bones 0 and 1.
    for (int bone_index = 0; bone_index < 2; ++bone_index) {
        for (int row = 0; row < 3; ++row) {
            for (int column = 0; column < 4; ++column) {
                EXPECT_NEAR(buffer.bone_rows[bone_index][row][column], row == column ? 1.0f : 0.0f, 1e-6f);
            }
        }
    }
    EXPECT_EQ(buffer.factor_count, 4u);
    EXPECT_FLOAT_EQ(buffer.factors[0], 0.25f);
    EXPECT_FLOAT_EQ(buffer.factors[3], 0.5f);
    const uint32_t placements_before = core::placement_server.get_live_count();
    core::destroy_object(skeleton);
    EXPECT_EQ(core::placement_server.get_live_count(), placements_before - 3);
}

TEST_F(SkeletonObjectTest, WritesThatBreakARuleFailAndChangeNothing) {
    Skeleton* const skeleton = make_skeleton();
    Skeleton* const other = make_skeleton();
    TrackMixer* const foreign = make_mixer(other, TrackMixerType::EmptyTrack);
    TrackMixer* const own = make_mixer(skeleton, TrackMixerType::EmptyTrack);
    namespace p = skeleton_property;
    struct Row {
        uint32_t id;
        uint32_t word;
        bool accepted;
        uint32_t read_id;
        uint32_t read_back;
    };
    const uint32_t minus_one = zolt::test::float_word(-1.0f);
    const uint32_t two = zolt::test::float_word(2.0f);
    const uint32_t not_a_number = 0x7FC00000;
    const Row rows[] = {
        {p::speed, minus_one, false, p::speed, zolt::test::float_word(1.0f)},
        {p::speed, not_a_number, false, p::speed, zolt::test::float_word(1.0f)},
        {p::speed, two, true, p::speed, two},
        {p::group, 32, false, p::group, 0},
        {p::group, 5, true, p::group_mask, 32},
        {p::group_mask, 0x30, false, p::group, 5},
        {p::group_mask, 0x40, true, p::group, 6},
        {p::placement, other->get_handle(), false, p::placement, 0},
        {p::placement, skeleton->get_channel(0)->placement, true, p::placement, skeleton->get_channel(0)->placement},
        {p::track_mixer, foreign->get_handle(), false, p::track_mixer, 0},
        {p::track_mixer, own->get_handle(), true, p::track_mixer, own->get_handle()},
        {p::advance_always, 7, true, p::advance_always, 1},
        {p::bone_count, 9, false, p::bone_count, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << std::hex << row.id << " = " << row.word);
        core::Property value;
        value.set_u32(row.id, row.word);
        EXPECT_EQ(skeleton->set_property(row.id, value), row.accepted);
        EXPECT_EQ(get_u32(skeleton, row.read_id), row.read_back);
    }
    // A destroyed root mixer leaves the skeleton without one.
    core::destroy_object(own);
    EXPECT_EQ(get_u32(skeleton, p::track_mixer), 0u);
}

TEST_F(SkeletonObjectTest, LookupBuiltinsAnswerTheResourceOrTheirNeutralResult) {
    Skeleton* const skeleton = make_skeleton();
    const SkeletonHandle chain{skeleton->get_handle()};
    // A track mixer's handle names no skeleton.
    const SkeletonHandle wrong{make_mixer(skeleton, TrackMixerType::EmptyTrack)->get_handle()};
    struct Row {
        const char* name;
        uint32_t (*lookup)(SkeletonHandle, uint32_t);
        uint32_t argument;
        uint32_t found;
        uint32_t neutral;
    };
    const Row rows[] = {
        {"536 bone of key 20", &find_skeleton_bone, 20, 1, 255},
        {"536 a factor's key", &find_skeleton_bone, 40, 255, 255},
        {"537 factor of key 50", &find_skeleton_factor, 50, 1, 255},
        {"537 a bone's key", &find_skeleton_factor, 10, 255, 255},
        {"538 parent of bone 2", &get_skeleton_channel_parent, 2, 1, 255},
        {"538 past the channels", &get_skeleton_channel_parent, 5, 255, 255},
        {"539 kind of factor 1", &get_skeleton_channel_kind, 4, 5, 0},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.lookup(chain, row.argument), row.found) << row.name;
        EXPECT_EQ(row.lookup(wrong, row.argument), row.neutral) << row.name;
    }
    EXPECT_FLOAT_EQ(get_skeleton_bone_rest_position(chain, 1).y, 1.0f);
    EXPECT_FLOAT_EQ(get_skeleton_bone_rest_rotation(wrong, 1).w, 1.0f);
    ASSERT_TRUE(set_float(skeleton, skeleton_property::scale, 2.0f));
    set_skeleton_channel_value(chain, 1, 1.5f);
    EXPECT_FLOAT_EQ(get_skeleton_bone_scaled_rest_position(chain, 2).y, 3.0f);
    EXPECT_FLOAT_EQ(get_skeleton_factor_value(chain, 1), 0.5f);
    EXPECT_FLOAT_EQ(get_skeleton_factor_value(chain, 2), 0.0f);
    EXPECT_EQ(get_skeleton_bone_placement(chain, 2).value, skeleton->get_channel(2)->placement);
    EXPECT_EQ(get_skeleton_bone_placement(chain, 3).value, 0u);
    TrackMixer* const keyed = make_mixer(skeleton, TrackMixerType::EmptyTrack);
    ASSERT_TRUE(set_u32(keyed, track_mixer_property::key, 9));
    EXPECT_EQ(find_skeleton_track_mixer(chain, 9).value, keyed->get_handle());
    EXPECT_EQ(find_skeleton_track_mixer(chain, 8).value, 0u);
}

TEST_F(SkeletonObjectTest, PaletteFollowsTheWalkAcrossLoopsAndBackwards) {
    Skeleton* const skeleton = make_skeleton();
    ASSERT_TRUE(set_float(skeleton, skeleton_property::scale, 1.5f));
    TrackMixer* const mixer = make_animator_mixer(skeleton, test::walk_animation_id, true);
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::track_mixer, mixer->get_handle()));
    Animator* const animator = animator_server.find_animator(mixer->get_animator());
    struct Step {
        uint32_t time;
        float speed;
        uint32_t position;
    };
    // Forwards, over the loop boundary, onto it; then backwards across it.
    const Step steps[] = {{0, 1, 0},       {600, 1, 600}, {1100, 1, 100},  {1500, 1, 500}, {2000, 1, 1000},
                          {2250, -1, 750}, {3000, -1, 0}, {3001, -1, 999}, {3400, -1, 600}};
    for (const Step& step : steps) {
        ASSERT_TRUE(set_float(animator, animator_property::speed, step.speed));
        skeleton->update_to_time(step.time);
        ASSERT_EQ(animator->get_position(), step.position) << "at time " << step.time;
        expect_palette(pose(skeleton), step.position, 1.5);
    }
}

TEST_F(SkeletonObjectTest, TimeScalesAdvanceAlwaysAndGoingBackInTime) {
    Skeleton* const skeleton = make_skeleton();
    TrackMixer* const mixer = make_animator_mixer(skeleton, test::walk_animation_id, true);
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::track_mixer, mixer->get_handle()));
    const Animator* const animator = animator_server.find_animator(mixer->get_animator());
    // A group scaled to 0 only records the time.
    set_skeleton_group_time_scale(1, 0.0f);
    skeleton->update_to_time(300);
    EXPECT_EQ(animator->get_position(), 0u);
    EXPECT_EQ(skeleton->get_last_update_time(), 300u);
    set_skeleton_group_time_scale(1, 0.5f);
    advance_skeleton({skeleton->get_handle()}, 200);
    EXPECT_EQ(animator->get_position(), 100u);
    // An earlier time starts again from there instead of replaying hours.
    skeleton->update_to_time(100);
    EXPECT_EQ(animator->get_position(), 100u);
    EXPECT_EQ(skeleton->get_last_update_time(), 100u);
    skeleton->update_to_time(300);
    EXPECT_EQ(animator->get_position(), 200u);
    // Across the clock's wrap the step is the small forward difference.
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::last_update_time, 0xFFFFFF00u));
    skeleton->update_to_time(0x100);
    EXPECT_EQ(animator->get_position(), 200u + 256u);
}

TEST_F(SkeletonObjectTest, EventsArePostedOnceAsMessagesWithTheirProperties) {
    Skeleton* const skeleton = make_skeleton();
    TrackMixer* const root = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const mixer = make_animator_mixer(skeleton, test::walk_animation_id, false);
    ASSERT_TRUE(set_u32(mixer, track_mixer_property::key, 77));
    ASSERT_TRUE(root->append_child(mixer));
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::track_mixer, root->get_handle()));
    EXPECT_EQ(get_skeleton_delay_to_next_event({skeleton->get_handle()}), 500);
    skeleton->update_to_time(1000);
    const std::vector<core::Message*> messages = pending_messages();
    ASSERT_EQ(messages.size(), 3u);
    const uint32_t expected_ids[] = {7, 8, animation_end_event};
    for (size_t index = 0; index < messages.size(); ++index) {
        EXPECT_EQ(messages[index]->get_id(), animation_event_message | expected_ids[index]);
        EXPECT_EQ(messages[index]->get_sender(), mixer->get_animator());
        EXPECT_EQ(messages[index]->get_recipient(), skeleton->get_context_handle());
    }
    namespace e = animation_event_property;
    const core::Message* const first = messages[0];
    EXPECT_EQ(get_u32(first, e::event_id), 7u);
    EXPECT_EQ(get_u32(first, e::first_data), 1u);
    EXPECT_EQ(get_u32(first, e::second_data), 2u);
    EXPECT_EQ(get_u32(first, e::skeleton), skeleton->get_handle());
    EXPECT_EQ(get_u32(first, e::track_mixer), mixer->get_handle());
    EXPECT_EQ(get_u32(first, e::track_mixer_key), 77u);
    EXPECT_EQ(get_u32(first, e::animator), mixer->get_animator());
    EXPECT_EQ(get_u32(first, e::parent_mixer), root->get_handle());
    // At the end nothing lies ahead, and a further advance posts nothing.
    EXPECT_EQ(get_skeleton_delay_to_next_event({skeleton->get_handle()}), -1);
    skeleton->update_to_time(1500);
    EXPECT_EQ(pending_messages().size(), 3u);
}

TEST_F(SkeletonObjectTest, BoundsAndTheFrozenPose) {
    Skeleton* const skeleton = make_skeleton();
    const SkeletonHandle handle{skeleton->get_handle()};
    const geometry::Vector4 sphere = get_skeleton_bounding_sphere(handle);
    EXPECT_FLOAT_EQ(sphere.y, 1.0f);
    EXPECT_FLOAT_EQ(sphere.w, 1.5f);
    EXPECT_FLOAT_EQ(get_skeleton_bounds_minimum(handle).y, -0.5f);
    EXPECT_FLOAT_EQ(get_skeleton_bounds_maximum(handle).y, 2.5f);
    EXPECT_FLOAT_EQ(get_skeleton_bounds_maximum(handle).x, 0.5f);
    // Moving a bone leaves the bounds until they are marked stale.
    bone(skeleton, 0)->set_local_position({4, 0, 0});
    EXPECT_FLOAT_EQ(get_skeleton_bounding_sphere(handle).x, 0.0f);
    invalidate_skeleton_bounds(handle);
    EXPECT_FLOAT_EQ(get_skeleton_bounding_sphere(handle).x, 4.0f);

    // Frozen: one more rewrite, then the buffer keeps what it has until the
    // property is written again.
    const PoseBuffer& buffer = skeleton_server.get_pose_buffer(*skeleton);
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::pose_frozen, 1));
    skeleton_server.update();
    EXPECT_FLOAT_EQ(buffer.bone_rows[0][0][3], 4.0f);
    bone(skeleton, 0)->set_local_position({6, 0, 0});
    skeleton_server.update();
    EXPECT_FLOAT_EQ(buffer.bone_rows[0][0][3], 4.0f);
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::pose_frozen, 1));
    skeleton_server.update();
    EXPECT_FLOAT_EQ(buffer.bone_rows[0][0][3], 6.0f);
}

TEST_F(SkeletonObjectTest, SkeletonsAnimatorsAndMixerTreesSurviveSaveAndLoadMidBlend) {
    Skeleton* const skeleton = make_skeleton();
    TrackMixer* const root = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const walk = make_animator_mixer(skeleton, test::walk_animation_id, true);
    TrackMixer* const lean = make_animator_mixer(skeleton, test::lean_animation_id, true);
    ASSERT_TRUE(root->append_child(walk));
    ASSERT_TRUE(root->append_child(lean));
    for (TrackMixer* fading : {walk, lean}) {
        const bool out = fading == walk;
        ASSERT_TRUE(set_float(fading, track_mixer_property::fade_from, out ? 1.0f : 0.0f));
        ASSERT_TRUE(set_float(fading, track_mixer_property::fade_to, out ? 0.0f : 1.0f));
        ASSERT_TRUE(set_u32(fading, track_mixer_property::fade_duration, 1000));
    }
    ASSERT_TRUE(set_u32(skeleton, skeleton_property::track_mixer, root->get_handle()));
    set_skeleton_group_time_scale(1, 0.75f);
    skeleton->update_to_time(400);

    const core::ObjectHandle skeleton_handle = skeleton->get_handle();
    {
        storage::MemorySaveStream stream;
        ASSERT_TRUE(stream.open(3));
        core::save_all_servers(stream);
        ASSERT_TRUE(stream.finish());
    }
    auto run_on = [&](core::ObjectHandle handle) {
        Skeleton* const posed = skeleton_server.find_skeleton(handle);
        posed->update_to_time(700);
        posed->update_pose();
        skeleton_server.update();
        return std::make_pair(bone(posed, 2)->get_world_position(), skeleton_server.get_pose_buffer(*posed));
    };
    const auto [expected_tip, expected_buffer] = run_on(skeleton_handle);

    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(3));
    ASSERT_TRUE(core::load_all_servers(stream));
    Skeleton* const loaded = skeleton_server.find_skeleton(skeleton_handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_last_update_time(), 400u);
    const TrackMixer* const loaded_root = track_mixer_server.find_track_mixer(loaded->get_track_mixer());
    ASSERT_NE(loaded_root, nullptr);
    TrackMixer* children[4];
    ASSERT_EQ(loaded_root->list_children(children, 4), 2u);
    EXPECT_EQ(children[0]->get_skeleton(), skeleton_handle);
    EXPECT_FLOAT_EQ(children[0]->get_weight(), 0.7f);

    const auto [tip, buffer] = run_on(skeleton_handle);
    EXPECT_EQ(tip.x, expected_tip.x);
    EXPECT_EQ(tip.y, expected_tip.y);
    EXPECT_EQ(tip.z, expected_tip.z);
    EXPECT_EQ(std::memcmp(buffer.bone_rows, expected_buffer.bone_rows, sizeof buffer.bone_rows), 0);
}

}  // namespace
}  // namespace zolt::animation
