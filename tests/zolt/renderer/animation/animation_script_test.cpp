// A script drives the chain skeleton through the skeleton and track mixer
// builtins as game code does: it makes the skeleton and a mixing tree with
// create_object and set_property, gives the tracks their animations (561),
// blends them with a fade, moves the skeleton in time (550, 551) and poses
// it (549).
#include <gtest/gtest.h>

#include "pose_reference.h"
#include "skeleton_world.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/script/task_test_support.h"

namespace zolt::animation {
namespace {

// Entry 1: skeleton in local 0, root group in local 1, the walk track in
// local 2, the lean track in local 3. The walk plays alone to 600, then the
// lean fades in over 400 ticks; the pose is taken at 800, halfway.
const std::string drive_source = R"(
.code 0 1
.entry idle
.entry drive
idle:
    end_task
drive:
    reserve 4
    set_r0 41
    set_r2 0x5A100001
    create_object
    push_r0
    pop_local1 0
    push_local1 0
    pop_r2
    call_local make_mixer
    push_r0
    pop_local1 1
    push_local1 0
    pop_r2
    call_local make_mixer
    push_r0
    pop_local1 2
    push_local1 0
    pop_r2
    call_local make_mixer
    push_r0
    pop_local1 3
    push_zero                   ; both tracks play one animator
    push_local1 2
    pop_r0
    set_r2 0x03000021
    set_property
    push_zero
    push_local1 3
    pop_r0
    set_r2 0x03000021
    set_property
    push_word 1.0
    push_local1 1
    pop_r0
    set_r2 0x05000222           ; weight
    set_property
    push_word 1.0
    push_local1 2
    pop_r0
    set_r2 0x05000222
    set_property
    push_local1 2               ; the walk, then the lean, under the root
    push_local1 1
    pop_r0
    set_r2 0x0100021F
    set_property
    push_local1 3
    push_local1 1
    pop_r0
    set_r2 0x0100021F
    set_property
    push_local1 1
    push_local1 0
    pop_r0
    set_r2 0x01000217           ; the skeleton's root mixer
    set_property
    push_one                    ; looping
    push_word 0x5A200001
    push_local1 2
    call builtin(set_track_mixer_animation)
    drop3
    push_one
    push_word 0x5A200002
    push_local1 3
    call builtin(set_track_mixer_animation)
    drop3
    push_word 600
    push_local1 0
    call builtin(update_skeleton_to_time)
    drop2
    push_word 400               ; the lean fades in over 400 ticks
    push_local1 3
    pop_r0
    set_r2 0x03000127
    set_property
    push_word 1.0
    push_local1 3
    pop_r0
    set_r2 0x05000224
    set_property
    push_word 200
    push_local1 0
    call builtin(advance_skeleton)
    drop2
    push_local1 0
    call builtin(update_skeleton_pose)
    drop1
hold:                           ; the task's objects live as long as it does
    set_r0 100000
    wait
    jump hold
make_mixer:                     ; r0 = a track mixer of the skeleton in r2
    set_r0 42
    create_object
    return_to_caller
)";

class AnimationScriptTest : public test::SkeletonWorld {
protected:
    void SetUp() override {
        core::bind_all_builtins();
        start({drive_source});
        core::string_server.register_server();
        core::array_server.register_server();
        core::task_server.register_server();
    }
    void TearDown() override {
        core::task_server.unregister_server();
        SkeletonWorld::TearDown();
        core::clear_stand_in_wake_events();
    }
};

TEST_F(AnimationScriptTest, AScriptBlendsTwoTracksIntoTheExpectedPose) {
    core::Task* const task = core::task_server.start_task(0x4001, zolt::test::clock_0_selector, 0);
    ASSERT_NE(task, nullptr);
    const core::ObjectHandle handle = task->get_handle();
    // Each run goes on to the next wait or give-way; at the end the task
    // holds on to its objects, waiting.
    for (int run = 0; run < 20 && zolt::test::is_alive(handle); ++run) {
        zolt::test::ScriptWorld::execute(core::find_task(handle));
    }
    ASSERT_TRUE(zolt::test::is_alive(handle));
    ASSERT_EQ(skeleton_server.get_live_count(), 1u);
    Skeleton* const skeleton = static_cast<Skeleton*>(skeleton_server.get_live_list().get_head());
    EXPECT_EQ(skeleton->get_last_update_time(), 800u);
    EXPECT_EQ(track_mixer_server.get_live_count(), 3u);

    // The lean weighs 0.5 against the walk's 1: it moves the root a third of
    // the way from the walk at 800 to x = 1.
    const AnimationDescription walk = test::describe_walk_animation();
    const std::array<test::LocalD, 3> locals = test::reference_locals(walk, 800);
    const geometry::Vector3 root = bone(skeleton, 0)->get_local_position();
    EXPECT_NEAR(root.x, 1.0 / 3.0, 1e-6);
    EXPECT_NEAR(root.z, locals[0].position[2] * 2.0 / 3.0, 1e-6);
    // The lean holds every other bone at its rest, so each rotation turns a
    // third of the way from the walk's back to the rest.
    for (uint32_t index = 0; index < 2; ++index) {
        const test::QuaternionD& q = locals[index].rotation;
        const geometry::Quaternion expected =
            geometry::slerp(geometry::Quaternion{float(q.x), float(q.y), float(q.z), float(q.w)},
                            geometry::identity_quaternion(), 1.0f / 3.0f);
        const geometry::Quaternion turned = bone(skeleton, index)->get_local_rotation();
        EXPECT_NEAR(turned.x, expected.x, 1e-5) << "bone " << index;
        EXPECT_NEAR(turned.z, expected.z, 1e-5) << "bone " << index;
        EXPECT_NEAR(turned.w, expected.w, 1e-5) << "bone " << index;
    }
    EXPECT_NEAR(bone(skeleton, 1)->get_local_position().y, 1.0f, 1e-6);
}

}  // namespace
}  // namespace zolt::animation
