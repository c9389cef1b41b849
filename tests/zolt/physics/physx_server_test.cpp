#include <gtest/gtest.h>

#include <limits>

#include "libs/system/exit_code.h"
#include "physx_test_support.h"
#include "platform/physics/physics_sdk.h"
#include "support/byte_streams.h"
#include "support/child_process.h"

namespace zolt::test {
namespace {

namespace ps = platform::physics;
using physics::physx_server;

constexpr float nan = std::numeric_limits<float>::quiet_NaN();

using PhysXServerWorld = PhysXWorld;

TEST_F(PhysXServerWorld, RegistrationBuildsBothScenesAndTheMainSceneMaterials) {
    ps::Scene* const main = physx_server.get_scene(physics::main_scene);
    ps::Scene* const secondary = physx_server.get_scene(physics::secondary_scene);
    ASSERT_NE(main, nullptr);
    ASSERT_NE(secondary, nullptr);
    EXPECT_FLOAT_EQ(main->get_timing().max_timestep, 0.01667f);
    EXPECT_EQ(secondary->get_timing().max_timestep, 1.0f / 65536.0f);
    EXPECT_EQ(secondary->get_descriptor().flags & 70u, 70u);
    EXPECT_FLOAT_EQ(physx_server.get_sdk()->get_parameter(ps::parameter::skin_width), 0.04f);
    EXPECT_FLOAT_EQ(main->get_material_from_index(0)->get_descriptor().static_friction, 1.0f);
    const float frictions[] = {0.8f, 0.8f, 0.5f, 0.5f, 0.0f};
    for (uint32_t index = 1; index <= 5; ++index) {
        EXPECT_FLOAT_EQ(main->get_material_from_index(index)->get_descriptor().dynamic_friction, frictions[index - 1]);
        EXPECT_TRUE(physx_server.is_valid_material_index(index, physics::main_scene));
    }
    EXPECT_EQ(main->get_material_from_index(5)->get_descriptor().flags, ps::material_flag::disable_friction);
    EXPECT_TRUE(physx_server.is_valid_material_index(0, physics::main_scene));
    EXPECT_FALSE(physx_server.is_valid_material_index(6, physics::main_scene));
    EXPECT_FALSE(physx_server.is_valid_material_index(0x10000, physics::main_scene));
    EXPECT_EQ(main->get_actor_group_pair_flags(0, 0), 10u);
}

TEST(PhysXSceneDescriptor, WorkerThreadsFollowTheProcessorCount) {
    struct Case {
        uint32_t processors;
        uint32_t main_threads;
        uint32_t secondary_threads;
    };
    const Case cases[] = {{1, 0, 0}, {2, 0, 0}, {3, 1, 0}, {4, 2, 1}, {8, 4, 4}, {32, 4, 4}};
    for (const Case& c : cases) {
        const ps::SceneDescriptor main = physics::make_scene_descriptor(physics::main_scene, c.processors, false);
        const ps::SceneDescriptor secondary =
            physics::make_scene_descriptor(physics::secondary_scene, c.processors, false);
        EXPECT_EQ(main.internal_thread_count, c.main_threads) << c.processors;
        EXPECT_EQ(secondary.internal_thread_count, c.secondary_threads) << c.processors;
        EXPECT_EQ((main.flags & ps::scene_flag::enable_multithread) != 0, c.main_threads != 0) << c.processors;
        EXPECT_EQ(main.up_axis, 2u);
    }
    EXPECT_EQ(physics::make_scene_descriptor(physics::main_scene, 1, true).flags, 64u + 32u);
}

TEST_F(PhysXServerWorld, ServerBuiltinsRefuseOutOfRangeArguments) {
    struct Case {
        const char* name;
        uint32_t id;
        std::initializer_list<uint32_t> arguments;
        uint32_t answer;
    };
    call_builtin_words(builtin::set_group_collision, {3, 4, 0});
    const Case cases[] = {
        {"386 answers 0", 386, {}, 0},
        {"387 answers 0", 387, {}, 0},
        {"388 answers 1", 388, {}, 1},
        {"groups 3 and 4 were switched off", builtin::get_group_collision, {4, 3}, 0},
        {"groups 3 and 3 collide", builtin::get_group_collision, {3, 3}, 1},
        {"group 32 answers 0", builtin::get_group_collision, {32, 0}, 0},
        {"parameter 15 is not a visualization one", builtin::set_visualization, {15, word(2.0f)}, 0},
        {"parameter 9 is", builtin::set_visualization, {9, word(2.0f)}, 1},
        {"a NaN parameter value is refused", builtin::set_visualization, {10, word(nan)}, 0},
        {"the clock starts at 0", builtin::get_simulation_time, {}, 0},
        {"not asynchronous at start", builtin::is_asynchronous, {}, 0},
        {"nothing cached, the world empty", builtin::clear_instances, {}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(call_builtin_words(c.id, c.arguments).word(), c.answer) << c.name;
    }
    call_builtin_words(builtin::set_group_collision, {32, 0, 0});
    EXPECT_EQ(call_builtin_words(builtin::get_group_collision, {0, 0}).word(), 1u);
    EXPECT_FLOAT_EQ(call_builtin_words(builtin::get_visualization, {9}).number(), 2.0f);
    EXPECT_FLOAT_EQ(call_builtin_words(builtin::get_visualization, {15}).number(), 0.0f);
    EXPECT_FLOAT_EQ(call_builtin_words(builtin::get_gravity).vector().z, -9.81f);
    call_builtin_words(builtin::set_gravity, {word(nan), 0, 0});
    EXPECT_FLOAT_EQ(call_builtin_words(builtin::get_gravity).vector().z, -9.81f) << "NaN gravity refused";

    const struct {
        float factor;
        float stored;
    } factors[] = {{0.5f, 0.5f}, {1.5f, 0.5f}, {-0.1f, 0.5f}, {nan, 0.5f}, {0.0f, 0.0f}, {1.0f, 1.0f}};
    for (const auto& f : factors) {
        call_builtin_words(builtin::set_interpolation, {word(f.factor)});
        EXPECT_FLOAT_EQ(call_builtin_words(builtin::get_interpolation).number(), f.stored) << f.factor;
    }
}

TEST_F(PhysXServerWorld, MainStepAdvancesTheClockBetweenItsBeginAndEndMessages) {
    Recipient* const watcher = recipients.create(false);
    listen(broadcast_id(physics::physics_message::step_begins, 1), watcher->get_handle());
    listen(broadcast_id(physics::physics_message::step_ended, 1), watcher->get_handle());
    ps::Scene& main = *physx_server.get_scene(physics::main_scene);
    step_main();
    frame();
    EXPECT_EQ(call_builtin_words(builtin::get_simulation_time).word(), physics::main_step_ticks);
    EXPECT_EQ(main.get_step_count(), 1u) << "one simulate of the maximum step is one step";
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].id & 0xFFFFFF, physics::physics_message::step_begins);
    EXPECT_EQ(deliveries[1].id & 0xFFFFFF, physics::physics_message::step_ended);

    deliveries.clear();
    physics::disable_physx_physics = true;
    step_main();
    call_builtin_words(builtin::step_secondary);
    frame();
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(call_builtin_words(builtin::get_simulation_time).word(), physics::main_step_ticks);
    EXPECT_EQ(main.get_step_count(), 1u);
    EXPECT_EQ(physx_server.get_scene(physics::secondary_scene)->get_step_count(), 0u);
    physics::disable_physx_physics = false;
}

TEST_F(PhysXServerWorld, SecondaryStepRunsInPlaceOnlyWhileNotAsynchronous) {
    const ps::Scene& secondary = *physx_server.get_scene(physics::secondary_scene);
    call_builtin_words(builtin::step_secondary);
    EXPECT_EQ(secondary.get_step_count(), 1u);
    call_builtin_words(builtin::set_asynchronous, {1});
    EXPECT_EQ(call_builtin_words(builtin::is_asynchronous).word(), 1u);
    call_builtin_words(builtin::step_secondary);
    EXPECT_EQ(secondary.get_step_count(), 1u);
    EXPECT_EQ(call_builtin_words(builtin::get_simulation_time).word(), 0u);
}

TEST_F(PhysXServerWorld, SecondaryStepOnItsOwnThreadMovesDrivenActorsBetweenStartAndFinish) {
    ps::Scene::set_worker_threads_allowed(true);
    physics::PhysXActor* const target = add_box({0, 0, 0}, 0.5f, physics::secondary_scene);
    core::Placement* const driver = make_placement();
    driver->set_world_position({2, 0, 0});
    set_u32(target, physics::actor_property::kinematic, 1);
    set_u32(target, physics::actor_property::driving_placement, driver->get_handle());
    const ps::Scene& secondary = *physx_server.get_scene(physics::secondary_scene);
    // Frame-loop states 2 and 4.
    physics::physx_actor_server.update_before_scene_step(physics::secondary_scene);
    physx_server.start_scene_step(physics::secondary_scene);
    physx_server.is_scene_step_finished(physics::secondary_scene, true);
    physics::physx_actor_server.update_after_scene_step(physics::secondary_scene);
    EXPECT_TRUE(secondary.is_writable());
    EXPECT_EQ(secondary.get_step_count(), 1u);
    EXPECT_NEAR(get_vector(target, physics::actor_property::position).x, 2.0f, 1e-5f);
    EXPECT_FLOAT_EQ(get(target, physics::actor_property::mass).get_float(), 1.0f);
}

TEST_F(PhysXServerWorld, FlushingTheCachesMovesNothingAndKeepsTheClock) {
    physics::PhysXActor* const box = add_box({0, 0, 5});
    call_builtin_words(builtin::flush_caches);
    EXPECT_EQ(physx_server.get_scene(physics::main_scene)->get_step_count(), 0u);
    EXPECT_FLOAT_EQ(get_vector(box, physics::actor_property::position).z, 5.0f);
    EXPECT_EQ(call_builtin_words(builtin::get_simulation_time).word(), 0u);
    EXPECT_EQ(physx_server.get_scene(physics::main_scene)->get_contact_report() != nullptr, true);
}

TEST_F(PhysXServerWorld, WorldResetNeedsAnEmptyWorldAndNothingLent) {
    physics::PhysXActor* const box = add_box({0, 0, 5});
    EXPECT_EQ(call_builtin_words(builtin::reset_world).word(), 0u) << "an actor in scene 0";
    EXPECT_EQ(call_builtin_words(builtin::clear_instances).word(), 0u);
    physics::physx_actor_server.destroy_object_internal(box);
    const uint32_t owner = call_builtin_words(builtin::acquire).word();
    EXPECT_EQ(call_builtin_words(builtin::reset_world).word(), 0u) << "the descriptor is lent";
    call_builtin_words(builtin::release, {owner});
    step_main();
    EXPECT_EQ(call_builtin_words(builtin::reset_world).word(), 1u);
    EXPECT_EQ(physx_server.get_scene(physics::main_scene)->get_step_count(), 0u) << "a new scene";
    EXPECT_EQ(physx_server.get_scene(physics::main_scene)->get_material_count(), 6u);
    EXPECT_EQ(call_builtin_words(builtin::acquire).word(), 1u) << "owner ids start again";
    call_builtin_words(builtin::release, {1});
}

TEST_F(PhysXServerWorld, EventReportingCanBeSwitchedOff) {
    ps::Scene& main = *physx_server.get_scene(physics::main_scene);
    call_builtin_words(builtin::set_event_reporting, {0});
    EXPECT_EQ(main.get_contact_report(), nullptr);
    call_builtin_words(builtin::set_event_reporting, {1});
    EXPECT_NE(main.get_contact_report(), nullptr);
}

TEST(PhysXServerFatal, SdkCreationFailureEndsTheProgramWithExitCode48) {
    const ChildResult result = run_in_child([] {
        ps::fail_next_sdk_creation(ps::SdkCreateError::connection_error);
        physx_server.register_server();
    });
    EXPECT_EQ(result.exit_code, static_cast<int>(ExitCode::physx));
    EXPECT_NE(result.standard_error.find("Failed to initialize PhysX SDK: Failed to communicate with found PhysX "
                                         "hardware."),
              std::string::npos)
        << result.standard_error;
}

TEST(PhysXServerFatal, ObjectRequestsAndSavingWhileLentAreFatal) {
    const ChildResult lookup = run_in_child([] { physx_server.get_object_internal(0x01200001); });
    EXPECT_NE(lookup.standard_error.find("PhysX server does not manage any objects."), std::string::npos);
    const ChildResult save = run_in_child([] {
        physx_server.register_server();
        physx_server.acquire_actor_descriptor();
        ByteSaveStream stream;
        physx_server.save(stream);
    });
    EXPECT_NE(save.standard_error.find("PhysX actor descriptor is acquired."), std::string::npos)
        << save.standard_error;
}

}  // namespace
}  // namespace zolt::test
