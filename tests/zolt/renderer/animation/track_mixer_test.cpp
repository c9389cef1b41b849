#include "zolt/renderer/animation/track_mixer.h"

#include <gtest/gtest.h>

#include "skeleton_world.h"
#include "support/child_process.h"
#include "zolt/renderer/animation/temporary_pose_pool.h"

namespace zolt::animation {
namespace {

using test::SkeletonWorld;

class TrackMixerTest : public SkeletonWorld {
protected:
    void SetUp() override {
        start();
        skeleton = make_skeleton();
    }

    // The mixer evaluated into a fresh pose of the skeleton.
    std::vector<MixedBone> evaluate(const TrackMixer* mixer) {
        std::vector<MixedBone> pose(skeleton->get_channel_count());
        clear_pose(pose.data(), static_cast<uint32_t>(pose.size()));
        mixer->evaluate(pose.data());
        return pose;
    }

    Skeleton* skeleton = nullptr;
};

TEST_F(TrackMixerTest, FadeTable) {
    struct Row {
        float from, to;
        uint32_t duration;
        std::vector<float> advances;
        float weight;
        bool still_fading;
    };
    const Row rows[] = {
        {1, 0, 1000, {250}, 0.75f, true},     {1, 0, 1000, {250, 800}, 0.0f, false},
        {0, 1, 1000, {999.9f}, 0.999f, true},                                    // elapsed ticks are truncated
        {0.2f, 0.6f, 100, {50}, 0.4f, true},  {0, 1, 1000, {0, 0}, 0.0f, true},  // a zero step moves no fade
        {0, 1, 0, {500}, 0.0f, false},                                           // no duration, no fade
    };
    for (const Row& row : rows) {
        TrackMixer* const mixer = make_mixer(skeleton, TrackMixerType::GroupTrack);
        ASSERT_TRUE(set_float(mixer, track_mixer_property::weight, 0.0f));
        ASSERT_TRUE(set_float(mixer, track_mixer_property::fade_from, row.from));
        ASSERT_TRUE(set_float(mixer, track_mixer_property::fade_to, row.to));
        ASSERT_TRUE(set_u32(mixer, track_mixer_property::fade_duration, row.duration));
        for (const float ticks : row.advances) {
            EXPECT_TRUE(mixer->advance(ticks));
        }
        SCOPED_TRACE(testing::Message() << row.from << " to " << row.to << " over " << row.duration);
        EXPECT_NEAR(mixer->get_weight(), row.weight, 1e-6f);
        EXPECT_EQ(get_u32(mixer, track_mixer_property::fade_duration) != 0, row.still_fading);
    }
    // Fade ends are clamped when written.
    TrackMixer* const mixer = make_mixer(skeleton, TrackMixerType::GroupTrack);
    ASSERT_TRUE(set_float(mixer, track_mixer_property::fade_to, 3.0f));
    EXPECT_FLOAT_EQ(get_float(mixer, track_mixer_property::fade_to), 1.0f);
}

TEST_F(TrackMixerTest, OptionBitsOnChildren) {
    TrackMixer* const parent = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const first = make_mixer(skeleton, TrackMixerType::EmptyTrack);
    TrackMixer* const second = make_mixer(skeleton, TrackMixerType::EmptyTrack);
    TrackMixer* const third = make_mixer(skeleton, TrackMixerType::EmptyTrack);
    for (TrackMixer* child : {first, second, third}) {
        ASSERT_TRUE(parent->append_child(child));
    }
    // Bit 2: the second follows the first, later ones are silent.
    ASSERT_TRUE(set_u32(parent, track_mixer_property::flags, track_mixer_flag::complementary_second));
    ASSERT_TRUE(set_float(first, track_mixer_property::weight, 0.3f));
    EXPECT_TRUE(parent->advance(1));
    EXPECT_FLOAT_EQ(second->get_weight(), 0.7f);
    EXPECT_FLOAT_EQ(third->get_weight(), 0.0f);
    // Bit 6: the weight is the children's sum, clamped.
    ASSERT_TRUE(set_u32(parent, track_mixer_property::flags, track_mixer_flag::weight_from_children));
    ASSERT_TRUE(set_float(third, track_mixer_property::weight, 0.5f));
    EXPECT_TRUE(parent->advance(1));
    EXPECT_FLOAT_EQ(parent->get_weight(), 1.0f);
    // Bit 4 on a child fading to silence: its parent destroys it in the same
    // advance.
    const core::ObjectHandle fading = third->get_handle();
    ASSERT_TRUE(set_u32(third, track_mixer_property::flags, track_mixer_flag::end_when_silent));
    ASSERT_TRUE(set_float(third, track_mixer_property::fade_from, 0.5f));
    ASSERT_TRUE(set_float(third, track_mixer_property::fade_to, 0.0f));
    ASSERT_TRUE(set_u32(third, track_mixer_property::fade_duration, 1000));
    ASSERT_TRUE(set_u32(parent, track_mixer_property::flags, 0));
    EXPECT_TRUE(parent->advance(999));
    EXPECT_NE(track_mixer_server.find_track_mixer(fading), nullptr);
    EXPECT_TRUE(parent->advance(1));
    EXPECT_EQ(track_mixer_server.find_track_mixer(fading), nullptr);
    // Bit 8: every child but the first fades out over the first's fade.
    ASSERT_TRUE(set_u32(parent, track_mixer_property::flags, track_mixer_flag::fade_out_others));
    ASSERT_TRUE(set_float(second, track_mixer_property::weight, 0.8f));
    EXPECT_TRUE(parent->advance(5000));
    EXPECT_FLOAT_EQ(second->get_weight(), 0.8f * 0.5f);
    EXPECT_FLOAT_EQ(first->get_weight(), 0.3f);
}

TEST_F(TrackMixerTest, GroupsRestPosesSlotsAndChannelWeights) {
    // A new mixer has weight 0 and gives nothing.
    TrackMixer* const silent = track_mixer_server.create_track_mixer(skeleton->get_handle());
    EXPECT_EQ(evaluate(silent)[0].weight, 0.0f);

    // Bit 1: children of weights 0.5 and 0.25 on the root mix it fully.
    TrackMixer* const group = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const half = make_animator_mixer(skeleton, test::lean_animation_id, true);
    TrackMixer* const quarter = make_animator_mixer(skeleton, test::lean_animation_id, true);
    ASSERT_TRUE(set_float(half, track_mixer_property::weight, 0.5f));
    ASSERT_TRUE(set_float(quarter, track_mixer_property::weight, 0.25f));
    ASSERT_TRUE(group->append_child(half));
    ASSERT_TRUE(group->append_child(quarter));
    EXPECT_FLOAT_EQ(evaluate(group)[0].weight, 0.75f);
    ASSERT_TRUE(set_u32(group, track_mixer_property::flags, track_mixer_flag::normalised_weights));
    std::vector<MixedBone> pose = evaluate(group);
    EXPECT_FLOAT_EQ(pose[0].weight, 1.0f);
    EXPECT_FLOAT_EQ(pose[0].position.x, 1.0f);

    // The rest pose, limited to the record's channels and weights.
    TrackMixer* const rest = make_mixer(skeleton, TrackMixerType::RestPoseTrack);
    EXPECT_FALSE(set_u32(rest, track_mixer_property::channel_weights, test::wrong_size_weights_id));
    EXPECT_EQ(get_u32(rest, track_mixer_property::channel_weights), 0u);
    ASSERT_TRUE(set_u32(rest, track_mixer_property::channel_weights, test::upper_body_weights_id));
    pose = evaluate(rest);
    EXPECT_EQ(pose[0].weight, 0.0f);
    EXPECT_FLOAT_EQ(pose[1].weight, 0.5f);
    EXPECT_FLOAT_EQ(pose[2].weight, 1.0f);
    EXPECT_FLOAT_EQ(pose[2].rotation.z, test::make_turn(0, 0, 1, 0.125f).z);

    // Slots: weights from channels 1 to 8 of the weight animation, clamped.
    TrackMixer* const slots = make_mixer(skeleton, TrackMixerType::SlotTrack);
    EXPECT_FALSE(set_u32(slots, track_mixer_property::mixer_type, 2));
    EXPECT_FALSE(set_u32(group, track_mixer_property::first_slot, test::lean_animation_id));
    slots->replace_animator(test::slot_weight_animation_id, false, true);
    ASSERT_TRUE(set_u32(slots, track_mixer_property::first_slot, test::lean_animation_id));
    pose = evaluate(slots);
    EXPECT_FLOAT_EQ(pose[0].weight, 0.25f);
    ASSERT_TRUE(set_u32(slots, track_mixer_property::first_slot + 1, test::walk_animation_id));
    pose = evaluate(slots);
    EXPECT_FLOAT_EQ(pose[0].weight, 1.25f);
    // Walk's root is at the origin at 0, lean's at x = 1: t = 1 / 1.25.
    EXPECT_NEAR(pose[0].position.x, 0.2f, 1e-6f);
    EXPECT_EQ(count_lent_temporary_poses(), 0u);
    // Slot animators belong to their mixer.
    const uint32_t animators = animator_server.get_live_count();
    core::destroy_object(slots);
    EXPECT_EQ(animator_server.get_live_count(), animators - 3);
}

TEST_F(TrackMixerTest, TreeEditsRefuseCyclesAndOtherSkeletons) {
    TrackMixer* const a = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const b = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const c = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const d = make_mixer(skeleton, TrackMixerType::GroupTrack);
    TrackMixer* const stranger = make_mixer(make_skeleton(), TrackMixerType::GroupTrack);
    namespace p = track_mixer_property;
    ASSERT_TRUE(set_u32(b, p::parent, a->get_handle()));
    ASSERT_TRUE(set_u32(a, p::first_child, c->get_handle()));   // c, b
    ASSERT_TRUE(set_u32(c, p::next_sibling, d->get_handle()));  // c, d, b
    auto children = [&](const TrackMixer* parent) {
        TrackMixer* list[8];
        std::vector<core::ObjectHandle> handles;
        for (uint32_t index = 0, count = parent->list_children(list, 8); index < count; ++index) {
            handles.push_back(list[index]->get_handle());
        }
        return handles;
    };
    EXPECT_EQ(children(a), (std::vector<core::ObjectHandle>{c->get_handle(), d->get_handle(), b->get_handle()}));
    ASSERT_TRUE(set_u32(c, p::previous_sibling, b->get_handle()));  // b, c, d
    EXPECT_EQ(children(a), (std::vector<core::ObjectHandle>{b->get_handle(), c->get_handle(), d->get_handle()}));
    EXPECT_EQ(get_u32(b, p::previous_sibling), 0u);
    EXPECT_EQ(get_u32(d, p::next_sibling), 0u);
    EXPECT_EQ(get_u32(a, p::last_child), d->get_handle());
    // Refused: a parent under its own child, a mixer of another skeleton,
    // siblings of a mixer without a parent, itself as its own sibling.
    EXPECT_FALSE(set_u32(a, p::parent, c->get_handle()));
    EXPECT_FALSE(set_u32(c, p::last_child, a->get_handle()));
    EXPECT_FALSE(set_u32(a, p::last_child, stranger->get_handle()));
    EXPECT_FALSE(set_u32(a, p::next_sibling, stranger->get_handle()));
    EXPECT_FALSE(set_u32(c, p::next_sibling, c->get_handle()));
    EXPECT_EQ(children(a), (std::vector<core::ObjectHandle>{b->get_handle(), c->get_handle(), d->get_handle()}));
    // Destroying a parent leaves its children on their own.
    core::destroy_object(a);
    EXPECT_EQ(get_u32(b, p::parent), 0u);
    EXPECT_EQ(get_u32(c, p::next_sibling), 0u);
}

TEST_F(TrackMixerTest, RefusedTypesAndMixingTypes) {
    TrackMixer* const mixer = track_mixer_server.create_track_mixer(skeleton->get_handle());
    EXPECT_FALSE(set_u32(mixer, track_mixer_property::mixer_type, 5));
    EXPECT_FALSE(set_u32(mixer, track_mixer_property::mixing_type, 6));
    EXPECT_TRUE(set_u32(mixer, track_mixer_property::mixing_type, 5));
    EXPECT_TRUE(set_u32(mixer, track_mixer_property::mixer_type, 3));
    EXPECT_TRUE(set_u32(mixer, track_mixer_property::mixer_type, 3));
    EXPECT_FALSE(set_u32(mixer, track_mixer_property::mixer_type, 2));
}

TEST(TrackMixerFatalTest, AMixerOfNoSkeletonAndNestingBeyondTheTemporaryPosesAreFatal) {
    const zolt::test::ChildResult bad_skeleton = zolt::test::run_in_child([] {
        struct World : SkeletonWorld {
            void TestBody() override {}
            void run() {
                start();
                track_mixer_server.create_track_mixer(0x00A00001);
            }
        } world;
        world.run();
    });
    EXPECT_EQ(bad_skeleton.exit_code, ExitCode::crash);
    EXPECT_NE(bad_skeleton.standard_error.find("Invalid skeleton handle 0x00a00001 passed to TrackMixer."),
              std::string::npos)
        << bad_skeleton.standard_error;

    const zolt::test::ChildResult too_deep = zolt::test::run_in_child([] {
        struct World : SkeletonWorld {
            void TestBody() override {}
            void run() {
                start();
                Skeleton* const skeleton = make_skeleton();
                TrackMixer* parent = make_mixer(skeleton, TrackMixerType::GroupTrack);
                ASSERT_TRUE(set_u32(skeleton, skeleton_property::track_mixer, parent->get_handle()));
                // The pose, nine groups and the animator's sample need eleven.
                for (int level = 1; level < 9; ++level) {
                    TrackMixer* const child = make_mixer(skeleton, TrackMixerType::GroupTrack);
                    ASSERT_TRUE(parent->append_child(child));
                    parent = child;
                }
                ASSERT_TRUE(parent->append_child(make_animator_mixer(skeleton, test::lean_animation_id, true)));
                skeleton->update_pose();
                std::fprintf(stderr, "posed\n");
            }
        } world;
        world.run();
    });
    EXPECT_EQ(too_deep.exit_code, ExitCode::crash);
    EXPECT_NE(too_deep.standard_error.find("out of memory"), std::string::npos) << too_deep.standard_error;
}

}  // namespace
}  // namespace zolt::animation
