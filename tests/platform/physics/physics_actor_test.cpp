#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "physics_test_support.h"

namespace zolt::test {
namespace {

namespace ps = platform::physics;
using geometry::Quaternion;
using geometry::Vector3;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

using PhysicsActor = PhysicsWorld;

ps::ShapeDescriptor make_box(float half) {
    ps::ShapeDescriptor box;
    box.type = ps::ShapeType::box;
    box.half_extents = {half, half, half};
    return box;
}

TEST_F(PhysicsActor, InvalidDescriptorsAreRefusedAndReported) {
    struct Case {
        const char* name;
        void (*spoil)(ps::ActorDescriptor&, ps::BodyDescriptor&);
    };
    const Case cases[] = {
        {"no shape", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.shapes.clear(); }},
        {"NaN position", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.global_pose.position.x = nan; }},
        {"infinite position", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.global_pose.position.z = infinity; }},
        {"orientation not unit", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.global_pose.orientation.w = 2; }},
        {"no mass and no density", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.density = 0; }},
        {"mass and density both", [](ps::ActorDescriptor& a, ps::BodyDescriptor& b) { b.mass = 1; }},
        {"NaN mass", [](ps::ActorDescriptor& a, ps::BodyDescriptor& b) { b.mass = nan; }},
        {"negative damping", [](ps::ActorDescriptor&, ps::BodyDescriptor& b) { b.linear_damping = -1; }},
        {"NaN velocity", [](ps::ActorDescriptor&, ps::BodyDescriptor& b) { b.linear_velocity.y = nan; }},
        {"solver count 0", [](ps::ActorDescriptor&, ps::BodyDescriptor& b) { b.solver_iteration_count = 0; }},
        {"zero-sized box", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.shapes[0].half_extents.y = 0; }},
        {"shapes without volume density", [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.shapes[0].density = 0; }},
        {"plane on a dynamic actor",
         [](ps::ActorDescriptor& a, ps::BodyDescriptor&) { a.shapes[0].type = ps::ShapeType::plane; }},
    };
    for (const Case& c : cases) {
        ps::ActorDescriptor actor;
        ps::BodyDescriptor body;
        actor.body = &body;
        actor.density = 1.0f;
        actor.shapes.push_back(make_box(0.5f));
        c.spoil(actor, body);
        output_.errors.clear();
        EXPECT_EQ(scene_->create_actor(actor), nullptr) << c.name;
        EXPECT_EQ(output_.errors.size(), 1u) << c.name;
    }
    EXPECT_EQ(scene_->get_actor_count(), 0u);
}

TEST_F(PhysicsActor, MassAndCentreComeFromTheShapesAndPosesStayInTheActorFrame) {
    ps::ActorDescriptor actor;
    actor.body = &body_;
    actor.density = 2.0f;
    ps::ShapeDescriptor left = make_box(0.5f);
    left.local_pose.position = {-1, 0, 0};
    ps::ShapeDescriptor right = make_box(0.5f);
    right.local_pose.position = {1, 0, 0};
    right.density = 3.0f;
    actor.shapes = {left, right};
    actor.global_pose.position = {5, 0, 0};
    ps::Actor* const box = scene_->create_actor(actor);
    ASSERT_NE(box, nullptr);
    // Volume 1 each: masses 2 and 6, the centre three quarters of the way.
    EXPECT_FLOAT_EQ(box->get_mass(), 8.0f);
    EXPECT_NEAR(box->get_mass_local_position().x, 0.5f, 1e-5f);
    EXPECT_NEAR(box->get_global_position().x, 5.0f, 1e-5f);

    box->set_mass_offset_local_position({0, 0, 0});
    EXPECT_NEAR(box->get_global_position().x, 5.0f, 1e-5f) << "moving the centre keeps the actor in place";
    box->set_global_position({1, 2, 3});
    const Vector3 position = box->get_global_position();
    EXPECT_NEAR(position.x, 1.0f, 1e-5f);
    EXPECT_NEAR(position.y, 2.0f, 1e-5f);
    EXPECT_NEAR(position.z, 3.0f, 1e-5f);
}

TEST_F(PhysicsActor, KinematicMovesArriveByTheEndOfTheNextStepAndPush) {
    add_ground();
    ps::Actor* const pusher = add_box({0, 0, 0.5f}, 0.5f);
    ps::Actor* const pushed = add_box({1.2f, 0, 0.5f}, 0.5f);
    pusher->raise_body_flag(ps::body_flag::kinematic);
    run_steps(5);
    for (int index = 1; index <= 30; ++index) {
        pusher->move_global_position({index * 0.02f, 0, 0.5f});
        run_steps(1);
        EXPECT_NEAR(pusher->get_global_position().x, index * 0.02f, 1e-5f);
    }
    EXPECT_GT(pushed->get_global_position().x, 1.5f);
    EXPECT_NEAR(pusher->get_global_position().z, 0.5f, 1e-5f) << "gravity does not move it";
}

TEST_F(PhysicsActor, DampingIsAnUnboundedRatePerSecond) {
    scene_->set_gravity({0, 0, 0});
    ps::Actor* const box = add_box({0, 0, 5}, 0.5f);
    box->set_linear_damping(3.0f);
    box->set_linear_velocity({10, 0, 0});
    run_steps(6);
    EXPECT_NEAR(box->get_linear_velocity().x, 10.0f * std::pow(1.0f - 3.0f * step, 6.0f), 1e-3f);
    box->set_linear_damping(100.0f);
    run_steps(1);
    EXPECT_EQ(box->get_linear_velocity().x, 0.0f) << "a rate above 1/step stops the body, never reverses it";
}

TEST_F(PhysicsActor, ForceModesChangeVelocityAsTheirNamesSay) {
    scene_->set_gravity({0, 0, 0});
    struct Case {
        ps::ForceMode mode;
        float expected_velocity;
    };
    // Box of mass 1 (visible edge 1, skin included in the mass).
    const Case cases[] = {
        {ps::ForceMode::force, 6.0f * step},           {ps::ForceMode::impulse, 6.0f},
        {ps::ForceMode::velocity_change, 6.0f},        {ps::ForceMode::smooth_impulse, 6.0f},
        {ps::ForceMode::smooth_velocity_change, 6.0f}, {ps::ForceMode::acceleration, 6.0f * step},
    };
    for (const Case& c : cases) {
        ps::Actor* const box = add_box({0, 0, 0}, 0.5f - skin);
        ASSERT_FLOAT_EQ(box->get_mass(), 1.0f);
        box->add_force({6, 0, 0}, c.mode, true);
        run_steps(1);
        EXPECT_NEAR(box->get_linear_velocity().x, c.expected_velocity, 1e-4f) << static_cast<uint32_t>(c.mode);
        scene_->release_actor(box);
    }
}

TEST_F(PhysicsActor, RestingBoxFallsAsleepAndWakesOnDemand) {
    add_ground();
    ps::Actor* const box = add_box({0, 0, 0.6f}, 0.5f);
    int steps = 0;
    while (!box->is_sleeping() && steps < 600) {
        run_steps(1);
        ++steps;
    }
    EXPECT_TRUE(box->is_sleeping());
    box->wake_up(0.4f);
    EXPECT_FALSE(box->is_sleeping());
    box->put_to_sleep();
    EXPECT_TRUE(box->is_sleeping());
    box->set_linear_velocity({0, 0, 5});
    EXPECT_FALSE(box->is_sleeping());
}

TEST_F(PhysicsActor, ShapesKeepTheirOrderAndMassFollowsThemWhenAsked) {
    ps::Actor* const box = add_box({0, 0, 0}, 0.5f);
    ps::ShapeDescriptor extra = make_box(0.5f + skin);
    extra.local_pose.position = {0, 0, 2};
    ps::Shape* const added = box->create_shape(extra);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(box->get_shape_index(added), 1u);
    ps::ShapeDescriptor plane;
    plane.type = ps::ShapeType::plane;
    EXPECT_EQ(box->create_shape(plane), nullptr) << "no plane on a moving body";
    const float mass = box->get_mass();
    ASSERT_TRUE(box->update_mass_from_shapes(1.0f, 0.0f));
    EXPECT_GT(box->get_mass(), mass);
    EXPECT_NEAR(box->get_mass_local_position().z, 1.0f, 1e-4f);
    box->release_shape(box->get_shape(1));
    EXPECT_EQ(box->get_shape_count(), 1u);
}

}  // namespace
}  // namespace zolt::test
