#include <gtest/gtest.h>

#include "physics_test_support.h"

namespace zolt::test {
namespace {

namespace ps = platform::physics;

using SceneStepping = PhysicsWorld;

TEST_F(SceneStepping, WholeStepsOnlyAndNeverMoreThanTheIterationLimit) {
    struct Case {
        const char* name;
        float elapsed;
        uint64_t steps;
    };
    // One step limit: a long frame is cut, not carried into the next ones.
    const Case cases[] = {
        {"one maximum step", step, 1},
        {"a sub-step", step * 0.5f, 0},
        {"the sub-step's remainder completes a step", step * 0.5f, 1},
        {"a long frame is clamped", step * 10.0f, 1},
        {"nothing is carried over from it", step * 0.25f, 0},
    };
    uint64_t expected = 0;
    for (const Case& c : cases) {
        scene_->simulate(c.elapsed);
        EXPECT_FALSE(scene_->is_writable()) << c.name;
        ASSERT_TRUE(scene_->fetch_results(true)) << c.name;
        EXPECT_TRUE(scene_->is_writable()) << c.name;
        expected += c.steps;
        EXPECT_EQ(scene_->get_step_count(), expected) << c.name;
    }
    EXPECT_FALSE(scene_->fetch_results(true)) << "no step in flight";
}

TEST_F(SceneStepping, IterationLimitBoundsTheSubSteps) {
    scene_->set_timing({step, 3, ps::TimeStepMethod::fixed});
    scene_->simulate(step * 100.0f);
    scene_->fetch_results(true);
    EXPECT_EQ(scene_->get_step_count(), 3u);
}

TEST_F(SceneStepping, SeparateThreadSceneIsBusyUntilFetched) {
    ps::SceneDescriptor descriptor;
    descriptor.flags = ps::scene_flag::simulate_separate_thread | ps::scene_flag::disable_collisions;
    descriptor.timing = {1.0f / 65536.0f, 1, ps::TimeStepMethod::fixed};
    ps::Scene* const threaded = sdk_->create_scene(descriptor);
    ASSERT_NE(threaded, nullptr);
    for (int round = 0; round < 3; ++round) {
        threaded->simulate(1.0f / 65536.0f);
        EXPECT_FALSE(threaded->is_writable());
        EXPECT_TRUE(threaded->fetch_results(true));
        EXPECT_TRUE(threaded->is_writable());
    }
    EXPECT_EQ(threaded->get_step_count(), 3u);
}

TEST_F(SceneStepping, MaterialsGetIndicesInOrderAndUnknownOnesAreTheDefault) {
    ps::Material* const default_material = scene_->get_material_from_index(0);
    for (uint32_t expected = 1; expected <= 5; ++expected) {
        ps::Material* const material = scene_->create_material({});
        ASSERT_NE(material, nullptr);
        EXPECT_EQ(material->get_index(), expected);
        EXPECT_EQ(scene_->get_material_from_index(expected), material);
    }
    EXPECT_EQ(scene_->get_material_from_index(6), default_material);
    EXPECT_EQ(scene_->get_material_from_index(0xFFFF), default_material);
}

TEST_F(SceneStepping, DroppedBoxComesToRestOnThePlaneAtItsVisibleHeight) {
    add_ground(1.0f);
    ps::Actor* const box = add_box({0, 0, 2.0f}, 0.5f);
    ASSERT_NE(box, nullptr);
    run_steps(240);
    EXPECT_NEAR(box->get_global_position().z, 1.5f, 0.001f);
    EXPECT_NEAR(box->get_linear_velocity().z, 0.0f, 0.01f);
}

TEST_F(SceneStepping, GroupsWithCollisionOffPassThroughEachOther) {
    scene_->set_group_collision_flag(1, 2, false);
    EXPECT_FALSE(scene_->get_group_collision_flag(2, 1));
    EXPECT_TRUE(scene_->get_group_collision_flag(1, 1));
    add_ground(0.0f, 1);
    ps::Actor* const passing = add_box({0, 0, 1.0f}, 0.5f, 2);
    ps::Actor* const resting = add_box({3, 0, 1.0f}, 0.5f, 1);
    run_steps(120);
    EXPECT_LT(passing->get_global_position().z, -1.0f);
    EXPECT_NEAR(resting->get_global_position().z, 0.5f, 0.001f);
}

TEST_F(SceneStepping, ContactReportsArriveInFetchAndOnlyForGroupsThatAskForThem) {
    struct Recorder final : ps::ContactReport {
        void on_contact_notify(const ps::ContactPair& pair, uint32_t events) override {
            pairs.push_back(pair);
            event_bits.push_back(events);
        }
        std::vector<ps::ContactPair> pairs;
        std::vector<uint32_t> event_bits;
    } recorder;
    scene_->set_contact_report(&recorder);
    ps::Actor* const ground = add_ground();
    ps::Actor* const box = add_box({0, 0, 0.5f}, 0.5f);
    run_steps(10);
    EXPECT_TRUE(recorder.pairs.empty()) << "no group pair asks for reports";

    scene_->set_actor_group_pair_flags(0, 0, ps::pair_flag::notify_on_start_touch);
    run_steps(1);
    ASSERT_EQ(recorder.pairs.size(), 1u);
    EXPECT_EQ(recorder.event_bits[0], ps::pair_flag::notify_on_start_touch);
    run_steps(3);
    EXPECT_EQ(recorder.pairs.size(), 1u) << "start of touch is reported once";

    scene_->set_actor_group_pair_flags(0, 0, ps::pair_flag::notify_on_touch);
    scene_->simulate(step);
    EXPECT_EQ(recorder.pairs.size(), 1u) << "reports wait for the fetch";
    scene_->fetch_results(true);
    ASSERT_EQ(recorder.pairs.size(), 2u);
    const ps::ContactPair& pair = recorder.pairs[1];
    const bool box_first = pair.actors[0] == box;
    EXPECT_EQ(pair.actors[box_first ? 1 : 0], ground);
    ASSERT_GE(pair.patch_count, 1u);
    EXPECT_EQ(&pair.shapes[0]->get_actor(), pair.actors[0]);
    // The normal points from the second actor to the first; the box weighs
    // its mass times g on the plane.
    const float sign = box_first ? 1.0f : -1.0f;
    EXPECT_NEAR(pair.patches[0].normal.z * sign, 1.0f, 1e-3f);
    EXPECT_NEAR(pair.sum_normal_force.z * sign, box->get_mass() * 9.81f, box->get_mass() * 0.5f);
}

TEST(PhysicsSdk, CreationFailsWithTheErrorAsked) {
    HeapAllocator allocator;
    RecordedOutput output;
    ps::SdkCreateError error = ps::SdkCreateError::no_error;
    EXPECT_EQ(ps::create_physics_sdk(0x02070000, allocator, output, {}, &error), nullptr);
    EXPECT_EQ(error, ps::SdkCreateError::wrong_version);
    ps::fail_next_sdk_creation(ps::SdkCreateError::connection_error);
    EXPECT_EQ(ps::create_physics_sdk(ps::sdk_version, allocator, output, {}, &error), nullptr);
    EXPECT_EQ(error, ps::SdkCreateError::connection_error);
    ps::PhysicsSdk* const sdk = ps::create_physics_sdk(ps::sdk_version, allocator, output, {}, &error);
    ASSERT_NE(sdk, nullptr);
    EXPECT_EQ(error, ps::SdkCreateError::no_error);
    EXPECT_EQ(ps::create_physics_sdk(ps::sdk_version, allocator, output, {}, &error), nullptr) << "one at a time";
    EXPECT_TRUE(sdk->set_parameter(ps::parameter::skin_width, 0.04f));
    EXPECT_FLOAT_EQ(sdk->get_parameter(ps::parameter::skin_width), 0.04f);
    EXPECT_FALSE(sdk->set_parameter(ps::parameter::count, 1.0f));
    ps::release_physics_sdk(sdk);
}

}  // namespace
}  // namespace zolt::test
