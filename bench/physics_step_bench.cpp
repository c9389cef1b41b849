#include <benchmark/benchmark.h>
#include <btBulletDynamicsCommon.h>

#include <memory>
#include <vector>

#include "platform/physics/physics_scene.h"
#include "zolt/physics/physx_actor.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_server.h"

namespace {

namespace physics = zolt::physics;
namespace ps = zolt::platform::physics;

// 1000 crates of edge 1 dropped in a 10 x 10 x 10 grid onto a plane; each
// round times the first 120 steps, while they fall, land and settle. The
// engine's side walks its actors around every step as builtin 405 does.
constexpr int grid = 10;
constexpr int box_count = grid * grid * grid;
constexpr int steps_per_round = 120;
constexpr float spacing = 1.2f;
constexpr float half_size = 0.5f;
constexpr float gravity = -9.81f;
constexpr float friction = 1.0f;
constexpr float angular_damping = 0.05f;
constexpr float sleep_linear_velocity = 0.15f;
constexpr float sleep_angular_velocity = 0.14f;

float get_coordinate(int index) {
    return (static_cast<float>(index) - grid / 2) * spacing;
}

float get_height(int level) {
    return half_size + 0.1f + static_cast<float>(level) * spacing;
}

void create_engine_actor(const ps::ActorDescriptor& descriptor) {
    auto* const actor = static_cast<physics::PhysXActor*>(physics::physx_actor_server.create_object_internal(0));
    actor->create_sdk_actor(physics::main_scene, descriptor);
}

void build_engine_world() {
    physics::physx_server.register_server();
    physics::physx_actor_server.register_server();
    physics::physx_server.get_scene(physics::main_scene)->set_gravity({0, 0, gravity});
    physics::PhysXActorDescriptor& descriptor = physics::physx_server.get_actor_descriptor();
    ps::ShapeDescriptor plane;
    plane.type = ps::ShapeType::plane;
    plane.plane_distance = physics::skin_width;
    plane.skin_width = physics::skin_width;
    descriptor.actor.shapes = {plane};
    create_engine_actor(descriptor.actor);
    ps::ShapeDescriptor box;
    box.type = ps::ShapeType::box;
    const float size = half_size + physics::skin_width;
    box.half_extents = {size, size, size};
    box.skin_width = physics::skin_width;
    descriptor.actor.shapes = {box};
    descriptor.actor.body = &descriptor.body;
    descriptor.actor.density = 1.0f;
    for (int x = 0; x < grid; ++x) {
        for (int y = 0; y < grid; ++y) {
            for (int level = 0; level < grid; ++level) {
                descriptor.actor.global_pose.position = {get_coordinate(x), get_coordinate(y), get_height(level)};
                create_engine_actor(descriptor.actor);
            }
        }
    }
    descriptor.reset();
}

void tear_down_engine_world() {
    physics::physx_actor_server.unregister_server();
    physics::physx_server.unregister_server();
}

void physics_step_zolt(benchmark::State& state) {
    ps::Scene::set_worker_threads_allowed(false);
    for (auto _ : state) {
        state.PauseTiming();
        build_engine_world();
        state.ResumeTiming();
        for (int step = 0; step < steps_per_round; ++step) {
            physics::physx_server.step_main_scene();
        }
        state.PauseTiming();
        tear_down_engine_world();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * steps_per_round);
}

// The same world in Bullet alone, as plainly as Bullet is used.
struct BulletWorld {
    btDefaultCollisionConfiguration configuration;
    btCollisionDispatcher dispatcher{&configuration};
    btDbvtBroadphase broadphase;
    btSequentialImpulseConstraintSolver solver;
    btDiscreteDynamicsWorld world{&dispatcher, &broadphase, &solver, &configuration};
    btStaticPlaneShape plane{btVector3(0, 0, 1), 0};
    btBoxShape box{btVector3(half_size, half_size, half_size)};
    std::vector<std::unique_ptr<btRigidBody>> bodies;

    BulletWorld() {
        // The engine's sleep rule, so that both worlds settle alike.
        gDeactivationTime = 0.4f;
        world.setGravity(btVector3(0, 0, gravity));
        add_body(0.0f, &plane, btVector3(0, 0, 0));
        const float size = 2.0f * (half_size + physics::skin_width);
        const float mass = size * size * size;
        for (int x = 0; x < grid; ++x) {
            for (int y = 0; y < grid; ++y) {
                for (int level = 0; level < grid; ++level) {
                    add_body(mass, &box, btVector3(get_coordinate(x), get_coordinate(y), get_height(level)));
                }
            }
        }
    }
    ~BulletWorld() {
        for (auto& body : bodies) {
            world.removeRigidBody(body.get());
        }
    }
    void add_body(float mass, btCollisionShape* shape, const btVector3& position) {
        btVector3 inertia(0, 0, 0);
        if (mass > 0.0f) {
            shape->calculateLocalInertia(mass, inertia);
        }
        btRigidBody::btRigidBodyConstructionInfo info(mass, nullptr, shape, inertia);
        info.m_startWorldTransform.setIdentity();
        info.m_startWorldTransform.setOrigin(position);
        info.m_friction = friction;
        info.m_angularDamping = angular_damping;
        info.m_linearSleepingThreshold = sleep_linear_velocity;
        info.m_angularSleepingThreshold = sleep_angular_velocity;
        bodies.push_back(std::make_unique<btRigidBody>(info));
        world.addRigidBody(bodies.back().get());
    }
};

void physics_step_bullet(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto world = std::make_unique<BulletWorld>();
        state.ResumeTiming();
        for (int step = 0; step < steps_per_round; ++step) {
            world->world.stepSimulation(physics::main_scene_time_step, 0, physics::main_scene_time_step);
        }
        state.PauseTiming();
        world.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * steps_per_round);
}

}  // namespace

BENCHMARK(physics_step_zolt)->Name("physics_step/zolt/1000")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(physics_step_bullet)->Name("physics_step/bullet/1000")->Unit(benchmark::kMillisecond)->MinTime(2.0);
