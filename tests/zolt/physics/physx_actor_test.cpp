#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "physx_test_support.h"
#include "platform/physics/physics_actor.h"
#include "support/byte_streams.h"

namespace zolt::test {
namespace {

namespace ps = platform::physics;
namespace property = physics::actor_property;
using geometry::Quaternion;
using geometry::Vector3;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();
constexpr float infinity = std::numeric_limits<float>::infinity();

using PhysXActorWorld = PhysXWorld;

TEST_F(PhysXActorWorld, CreationChecksItsArgumentsInOrder) {
    physics::PhysXActor* const actor = make_actor();
    const uint32_t owner = call_builtin_words(builtin::acquire).word();
    call_builtin_words(builtin::set_dynamic, {owner, 1});
    const struct {
        const char* name;
        uint32_t handle;
        uint32_t scene;
        uint32_t owner;
    } refused[] = {
        {"not an actor", core::alias_server.get_type() << 20 | 1, 0, owner},
        {"scene 2", actor->get_handle(), 2, owner},
        {"another owner", actor->get_handle(), 0, owner + 1},
        {"a dynamic descriptor without shapes", actor->get_handle(), 0, owner},
    };
    for (const auto& r : refused) {
        EXPECT_EQ(call_builtin_words(builtin::create_actor, {r.handle, r.scene, r.owner}).word(), 0u) << r.name;
    }
    EXPECT_EQ(actor->get_sdk_actor(), nullptr);
    const uint32_t zero = 0;
    call_builtin_words(builtin::add_box,
                       {owner, zero, word(1), word(1), word(1), 0, 0, 0, 0, 0, 0, 0, 0, word(1), word(1)});
    call_builtin_words(builtin::add_sphere, {owner, word(nan), word(1), 0, 0, 0, 0, 0, 0, 0, 0, word(1), word(1)});
    call_builtin_words(builtin::add_sphere, {owner, word(1), word(1), 0, 40, 0, 0, 0, 0, 0, 0, word(1), word(1)});
    EXPECT_EQ(call_builtin_words(builtin::create_actor, {actor->get_handle(), 0, owner}).word(), 0u)
        << "a zero box, a NaN radius and group 40 were refused";
    call_builtin_words(builtin::add_sphere, {owner, word(0.5f), word(1), 0, 0, 0, 0, 0, 0, 0, 0, word(1), word(2)});
    EXPECT_EQ(call_builtin_words(builtin::create_actor, {actor->get_handle(), 0, owner}).word(), 1u);
    ASSERT_NE(actor->get_sdk_actor(), nullptr);
    EXPECT_FLOAT_EQ(actor->get_sdk_actor()->get_shape(0)->get_descriptor().radius, 1.04f) << "0.5 at scale 2 + skin";
    EXPECT_EQ(call_builtin_words(builtin::create_actor, {actor->get_handle(), 0, owner}).word(), 0u)
        << "it has its SDK actor already";
    physics::PhysXActor* const second = make_actor();
    EXPECT_EQ(call_builtin_words(builtin::create_actor, {second->get_handle(), 1, owner}).word(), 1u)
        << "the descriptor builds further actors";
    EXPECT_FLOAT_EQ(get(second, property::mass).get_float(), 1.0f) << "the secondary scene's unit mass";
    call_builtin_words(builtin::release, {owner});
    EXPECT_EQ(call_builtin_words(builtin::acquire).word(), owner + 1);
    call_builtin_words(builtin::release, {owner + 1});
}

TEST_F(PhysXActorWorld, PropertiesAnswerNeutralValuesWithoutAnSdkActor) {
    physics::PhysXActor* const actor = make_actor();
    struct Case {
        uint32_t id;
        float lanes[4];
    };
    const Case cases[] = {
        {property::position, {0, 0, 0, 0}},
        {property::orientation, {0, 0, 0, 1}},
        {property::interpolated_position, {0, 0, 0}},
        {property::interpolated_orientation, {0, 0, 0, 1}},
        {property::linear_velocity, {0, 0, 0}},
        {property::mass_orientation, {0, 0, 0, 1}},
        {property::mass, {0}},
        {property::linear_damping, {0}},
    };
    for (const Case& c : cases) {
        const core::Property out = get(actor, c.id);
        for (int lane = 0; lane < 4; ++lane) {
            EXPECT_EQ(out.get_float(lane), c.lanes[lane]) << std::hex << c.id << " lane " << lane;
        }
    }
    for (const uint32_t id : {property::has_sdk_object, property::dynamic, property::awake, property::kinematic,
                              property::collision_enabled, property::solver_iteration_count}) {
        EXPECT_EQ(get(actor, id).get_u32(), 0u) << std::hex << id;
    }
    EXPECT_TRUE(set_vector(actor, property::position, {1, 2, 3})) << "setters answer true when nothing changes";
    EXPECT_TRUE(set_u32(actor, property::driving_placement, make_placement()->get_handle()));
    EXPECT_EQ(get(actor, property::driving_placement).get_u32(), 0u) << "only dynamic actors are driven";
}

TEST_F(PhysXActorWorld, DynamicPropertiesSetReadBackAndRefuseBadValues) {
    physics::PhysXActor* const box = add_box({0, 0, 5});
    call_builtin_words(builtin::set_gravity, {0, 0, 0});
    struct Case {
        const char* name;
        uint32_t id;
        Vector3 value;
        bool accepted;
    };
    const Case cases[] = {
        {"position", property::position, {1, 2, 3}, true},
        {"NaN position", property::position, {nan, 0, 0}, false},
        {"infinite position", property::position, {0, infinity, 0}, false},
        {"velocity", property::linear_velocity, {0.5f, 0, 0}, true},
        {"NaN velocity", property::linear_velocity, {nan, 1, 1}, false},
        {"spin in turns", property::angular_velocity, {1, 0, 0}, true},
        {"infinite spin", property::angular_velocity, {infinity, 0, 0}, false},
        {"inertia", property::mass_inertia, {2, 3, 4}, true},
        {"negative inertia", property::mass_inertia, {-1, 3, 4}, false},
    };
    for (const Case& c : cases) {
        const Vector3 before = get_vector(box, c.id);
        EXPECT_TRUE(set_vector(box, c.id, c.value)) << c.name;
        const Vector3 after = get_vector(box, c.id);
        const Vector3 expected = c.accepted ? c.value : before;
        EXPECT_NEAR(after.x, expected.x, 1e-5f) << c.name;
        EXPECT_NEAR(after.y, expected.y, 1e-5f) << c.name;
        EXPECT_NEAR(after.z, expected.z, 1e-5f) << c.name;
    }
    EXPECT_NEAR(box->get_sdk_actor()->get_angular_velocity().x, 2.0f * 3.14159265f, 1e-4f);

    const struct {
        const char* name;
        uint32_t id;
        float value;
        float expected;
    } floats[] = {
        {"linear damping", property::linear_damping, 0.5f, 0.5f},
        {"negative linear damping", property::linear_damping, -1.0f, 0.5f},
        {"NaN angular damping", property::angular_damping, nan, 0.05f},
        {"user factor", property::user_factor, 0.25f, 0.25f},
        {"user factor above 1", property::user_factor, 1.5f, 0.25f},
    };
    for (const auto& f : floats) {
        EXPECT_TRUE(set_float(box, f.id, f.value)) << f.name;
        EXPECT_FLOAT_EQ(get(box, f.id).get_float(), f.expected) << f.name;
    }

    const struct {
        const char* name;
        uint32_t id;
        uint32_t value;
        uint32_t expected;
    } words[] = {
        {"kinematic", property::kinematic, 1, 1},
        {"dynamic again", property::kinematic, 0, 0},
        {"gravity off", property::gravity_enabled, 0, 0},
        {"collision off", property::collision_enabled, 0, 0},
        {"response off", property::response_enabled, 0, 0},
        {"asleep", property::awake, 0, 0},
        {"awake", property::awake, 1, 1},
        {"solver count", property::solver_iteration_count, 9, 9},
        {"solver count 0 is refused", property::solver_iteration_count, 0, 9},
        {"event word keeps its top bits", property::event_word, 0xFFFFFFFF, 0xFC000000},
        {"visualization off", property::visualization, 0, 0},
    };
    for (const auto& w : words) {
        EXPECT_TRUE(set_u32(box, w.id, w.value)) << w.name;
        EXPECT_EQ(get(box, w.id).get_u32(), w.expected) << w.name;
    }
    EXPECT_FALSE(box->get_sdk_actor()->get_shape(0)->get_flag(ps::shape_flag::visualization));
    EXPECT_EQ(get(box, property::physics_placement).get_u32(), get(box, 10).get_u32()) << "bare number";
    EXPECT_FALSE(set_u32(box, 10, make_placement()->get_handle())) << "setters take only typed ids";
    EXPECT_EQ(get(box, property::physics_placement).get_u32(), 0u);
    EXPECT_TRUE(set_u32(box, property::material, 6));
    EXPECT_EQ(box->get_sdk_actor()->get_shape(0)->get_material(), 0u) << "material 6 does not exist";
    EXPECT_TRUE(set_u32(box, property::material, 5));
    EXPECT_EQ(box->get_sdk_actor()->get_shape(0)->get_material(), 5u);
}

TEST_F(PhysXActorWorld, ForcesWithNaNOrABadModeNeverReachTheSimulation) {
    call_builtin_words(builtin::set_gravity, {0, 0, 0});
    physics::PhysXActor* const box = add_box({0, 0, 5});
    const uint32_t handle = box->get_handle();
    call_builtin_words(builtin::add_force, {handle, word(nan), 0, 0, 1});
    call_builtin_words(builtin::add_force, {handle, word(5), 0, 0, 6});
    call_builtin_words(builtin::add_torque, {handle, 0, word(infinity), 0, 1});
    call_builtin_words(builtin::add_force_at_position, {handle, word(nan), 0, 0, word(1), 0, 0, 1});
    step_main();
    EXPECT_EQ(get_vector(box, property::linear_velocity).x, 0.0f);
    EXPECT_EQ(get_vector(box, property::angular_velocity).y, 0.0f);
    // The position comes before the force: a push at the top spins the box.
    call_builtin_words(builtin::add_force_at_position, {handle, 0, 0, word(5.5f), word(1), 0, 0, 2});
    step_main();
    EXPECT_NEAR(get_vector(box, property::linear_velocity).x, 1.0f, 1e-4f);
    EXPECT_GT(get_vector(box, property::angular_velocity).y, 0.0f);
}

TEST_F(PhysXActorWorld, PlacementsReceiveThePoseAndTheDroppedBoxRestsOnTheGround) {
    add_ground();
    physics::PhysXActor* const box = add_box({0, 0, 2});
    core::Placement* const placement = make_placement();
    EXPECT_TRUE(set_u32(box, property::physics_placement, placement->get_handle()));
    EXPECT_FLOAT_EQ(placement->get_world_position().z, 2.0f) << "set at once";
    step_main(240);
    EXPECT_NEAR(placement->get_world_position().z, 0.5f, 0.001f);
    EXPECT_NEAR(get_vector(box, property::position).z, 0.5f, 0.001f);
}

TEST_F(PhysXActorWorld, DrivingPlacementMovesKinematicActorsAndTeleportsOthers) {
    call_builtin_words(builtin::set_gravity, {0, 0, 0});
    physics::PhysXActor* const kinematic = add_box({0, 0, 0});
    physics::PhysXActor* const dynamic = add_box({10, 0, 0});
    core::Placement* const driver = make_placement();
    driver->set_world_position({1, 2, 3});
    set_u32(kinematic, property::kinematic, 1);
    for (physics::PhysXActor* actor : {kinematic, dynamic}) {
        EXPECT_TRUE(set_u32(actor, property::driving_placement, driver->get_handle()));
    }
    set_vector(dynamic, property::linear_velocity, {5, 0, 0});
    step_main();
    EXPECT_NEAR(get_vector(kinematic, property::position).x, 1.0f, 1e-5f) << "moved by the step";
    EXPECT_NEAR(get_vector(dynamic, property::position).x, 1.0f, 1e-5f) << "teleported after it";
    EXPECT_EQ(get_vector(dynamic, property::linear_velocity).x, 0.0f);
    driver->set_world_position({4, 2, 3});
    step_main();
    EXPECT_NEAR(get_vector(kinematic, property::position).x, 4.0f, 1e-5f);
    EXPECT_NEAR(get_vector(kinematic, property::linear_velocity).x, 3.0f / 0.01667f, 1e-2f) << "the move's speed";
    step_main();
    EXPECT_NEAR(get_vector(kinematic, property::linear_velocity).x, 0.0f, 1e-3f) << "it stays once there";
}

TEST_F(PhysXActorWorld, RenderingPlacementIsInterpolatedBetweenTheLastTwoSteps) {
    call_builtin_words(builtin::set_gravity, {0, 0, 0});
    physics::PhysXActor* const box = add_box({0, 0, 0});
    core::Placement* const drawn = make_placement();
    set_u32(box, property::rendering_placement, drawn->get_handle());
    set_vector(box, property::linear_velocity, {6, 0, 0});
    set_vector(box, property::angular_velocity, {0, 0, 1});
    step_main();
    const float moved = get_vector(box, property::position).x;
    EXPECT_NEAR(moved, 6.0f * 0.01667f, 1e-4f);
    const Quaternion turned = box->get_sdk_actor()->get_global_orientation();
    for (const float factor : {0.0f, 0.5f, 1.0f}) {
        call_builtin_words(builtin::set_interpolation, {word(factor)});
        EXPECT_NEAR(drawn->get_world_position().x, moved * factor, 1e-5f) << factor;
        EXPECT_NEAR(get_vector(box, property::interpolated_position).x, moved * factor, 1e-5f) << factor;
        const Quaternion expected = geometry::slerp(geometry::identity_quaternion(), turned, factor);
        EXPECT_NEAR(drawn->get_world_rotation().z, expected.z, 1e-5f) << factor;
        EXPECT_NEAR(drawn->get_world_rotation().w, expected.w, 1e-5f) << factor;
    }
}

TEST_F(PhysXActorWorld, SaveRecordKeepsTheFieldsAndLoadComesBackWithoutAnSdkActor) {
    physics::PhysXActor* const box = add_box({0, 0, 3});
    set_u32(box, property::user_value, 77);
    set_u32(box, property::event_word, 0x84000000);
    set_float(box, property::user_factor, 0.75f);
    box->record_contact_partner(0x01300005, 1234);
    ByteSaveStream stream;
    box->save(stream);
    const std::vector<uint32_t> words = stream.get_words();
    // Handle, context, 6 handles and words, 7 floats, user value, count, 25 + 25, then 7 bytes.
    EXPECT_EQ(stream.get_bytes().size(), 4u * (2 + 6 + 7 + 2 + 50) + 7);
    EXPECT_EQ(words[2 + 5], 0x84000000u);
    const std::vector<uint8_t> bytes = stream.get_bytes();
    // The server reads the handle; the object reads the rest.
    ByteLoadStream load(std::vector<uint8_t>(bytes.begin() + 4, bytes.end()));
    physics::PhysXActor* const copy = make_actor();
    ASSERT_TRUE(copy->load(load));
    EXPECT_EQ(copy->get_sdk_actor(), nullptr);
    EXPECT_EQ(get(copy, property::user_value).get_u32(), 77u);
    EXPECT_FLOAT_EQ(get(copy, property::user_factor).get_float(), 0.75f);
    uint32_t time = 0;
    EXPECT_TRUE(copy->find_contact_partner_time(0x01300005, time));
    EXPECT_EQ(time, 1234u);
}

// The sample level's stack: three crates of edge 1 settle on each other.
TEST_F(PhysXActorWorld, StackOfCratesSettlesAtItsHeights) {
    add_ground();
    physics::PhysXActor* const crates[] = {add_box({10, 0, 0.5f}), add_box({10, 0, 1.5f}), add_box({10, 0, 2.5f})};
    step_main(120);
    for (int index = 0; index < 3; ++index) {
        EXPECT_NEAR(get_vector(crates[index], property::position).z, 0.5f + static_cast<float>(index), 0.001f) << index;
    }
}

}  // namespace
}  // namespace zolt::test
