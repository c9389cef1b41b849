#pragma once
// A live SDK for the physics layer's tests: plain heap allocation, an output
// stream that keeps the errors it is told, and helpers that build the usual
// bodies (a ground plane, boxes) in a scene with gravity along -z.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_scene.h"
#include "platform/physics/physics_sdk.h"

namespace zolt::test {

class HeapAllocator final : public platform::physics::Allocator {
public:
    void* allocate(size_t size) override { return std::malloc(size); }
    void* reallocate(void* block, size_t size) override { return std::realloc(block, size); }
    void release(void* block) override { std::free(block); }
};

class RecordedOutput final : public platform::physics::OutputStream {
public:
    void report_error(uint32_t code, const char* message, const char*, int) override { errors.push_back(message); }
    std::vector<std::string> errors;
};

class PhysicsWorld : public ::testing::Test {
protected:
    static constexpr float step = 1.0f / 60.0f;
    static constexpr float skin = 0.04f;

    void SetUp() override {
        platform::physics::Scene::set_worker_threads_allowed(true);
        sdk_ = platform::physics::create_physics_sdk(platform::physics::sdk_version, allocator_, output_, {}, nullptr);
        ASSERT_NE(sdk_, nullptr);
        sdk_->set_parameter(platform::physics::parameter::skin_width, skin);
        platform::physics::SceneDescriptor descriptor;
        descriptor.gravity = {0, 0, -9.81f};
        descriptor.timing = {step, 1, platform::physics::TimeStepMethod::fixed};
        scene_ = sdk_->create_scene(descriptor);
        ASSERT_NE(scene_, nullptr);
    }
    void TearDown() override { platform::physics::release_physics_sdk(sdk_); }

    void run_steps(int count) {
        for (int index = 0; index < count; ++index) {
            scene_->simulate(step);
            ASSERT_TRUE(scene_->fetch_results(true));
        }
    }

    // A static plane whose surface is z = height (the plane's d carries the skin).
    platform::physics::Actor* add_ground(float height = 0.0f, uint16_t group = 0) {
        platform::physics::ActorDescriptor actor;
        platform::physics::ShapeDescriptor plane;
        plane.type = platform::physics::ShapeType::plane;
        plane.plane_normal = {0, 0, 1};
        plane.plane_distance = height + skin;
        plane.group = group;
        actor.shapes.push_back(plane);
        return scene_->create_actor(actor);
    }

    // A dynamic box of density 1 whose visible half extents are half_size.
    platform::physics::Actor* add_box(const geometry::Vector3& position, float half_size, uint16_t group = 0) {
        platform::physics::ActorDescriptor actor;
        actor.global_pose.position = position;
        actor.body = &body_;
        actor.density = 1.0f;
        platform::physics::ShapeDescriptor box;
        box.type = platform::physics::ShapeType::box;
        box.half_extents = {half_size + skin, half_size + skin, half_size + skin};
        box.group = group;
        actor.shapes.push_back(box);
        return scene_->create_actor(actor);
    }

    HeapAllocator allocator_;
    RecordedOutput output_;
    platform::physics::BodyDescriptor body_;
    platform::physics::PhysicsSdk* sdk_ = nullptr;
    platform::physics::Scene* scene_ = nullptr;
};

}  // namespace zolt::test
