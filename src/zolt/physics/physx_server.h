#pragma once
// The physics server (type 18): owns the SDK, its two scenes and their
// materials, the actor descriptor that scripts fill before they create
// actors, the simulation clock and the interpolation factor for drawing. It
// keeps no script objects: actors are the actor server's. Scene 0 is the
// main scene, stepped by script with a fixed step and the only one that
// reports contacts; scene 1 never collides and is stepped between frame-loop
// states 2 and 4 when the script made it asynchronous, else by builtin 407.
// Main thread only; the SDK simulates scene 1 on its own thread while a
// secondary step is in flight.
#include <cstdint>

#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_scene.h"
#include "platform/physics/physics_sdk.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/physics/physx_allocator_pc.h"

namespace zolt::physics {

// Configuration: no scene is stepped (builtins 405 and 407 and the frame
// loop's secondary step do nothing).
extern bool disable_physx_physics;
// Configuration: asks the SDK for hardware simulation.
extern bool use_physx_hardware;

constexpr uint32_t main_scene = 0, secondary_scene = 1, scene_count = 2;
constexpr float main_scene_time_step = 0.01667f;
constexpr float secondary_scene_time_step = 1.0f / 65536.0f;
// Simulation-clock ticks (10 microseconds) of one main step.
constexpr uint32_t main_step_ticks = 1667;
constexpr float skin_width = 0.04f;

namespace physics_message {
constexpr uint32_t contact = 0x160000, fell_asleep = 0x170000, joint_broke = 0x180000, step_begins = 0x190000,
                   step_ended = 0x1A0000;
}  // namespace physics_message

// The descriptor scripts fill to create actors: lent to one owner at a time.
struct PhysXActorDescriptor {
    platform::physics::BodyDescriptor body;
    platform::physics::ActorDescriptor actor;
    bool acquired = false;
    uint32_t owner = 0;

    bool is_dynamic() const { return actor.body != nullptr; }
    // Both descriptors at the SDK defaults, no shapes; lending unchanged.
    void reset();
};

// Scene descriptors as the server adjusts them, by scene index and the
// number of processors the program may use.
platform::physics::SceneDescriptor make_scene_descriptor(uint32_t scene, uint32_t processor_count, bool hardware);

class PhysXServer final : public core::ServerBase {
public:
    // Turns the main scene's contact pairs into contact messages.
    class ContactReporter final : public platform::physics::ContactReport {
    public:
        void on_contact_notify(const platform::physics::ContactPair& pair, uint32_t events) override;
    };

    PhysXServer();
    ~PhysXServer() override;

    const char* get_name() const override { return "PhysXServer"; }
    uint32_t get_capacity() const override { return 0; }
    void register_server() override;
    void unregister_server() override;
    void start() override;
    // The clock and the interpolation factor after the server part; fatal
    // while a descriptor is lent.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    // The server keeps no objects: every request is fatal.
    core::ServerObject* get_object_address(core::ObjectHandle handle) override;
    core::ServerObject* get_object_internal(core::ObjectHandle handle) override;
    core::ServerObject* get_object_resolved(core::ObjectHandle handle) override;
    core::ServerObject* create_object_internal(uint32_t argument) override;
    void destroy_object_internal(core::ServerObject* object) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    void initialize_transient(bool for_load);
    void deinitialize_transient();
    void reset_transient();

    platform::physics::PhysicsSdk* get_sdk() const { return sdk_; }
    // Null while the server is down.
    platform::physics::Scene* get_scene(uint32_t scene) const { return scene < scene_count ? scenes_[scene] : nullptr; }
    platform::physics::Material* get_material(uint32_t scene, uint32_t index);
    bool is_valid_material_index(uint32_t index, uint32_t scene);

    // One step of exactly the scene's maximum time step.
    void start_scene_step(uint32_t scene);
    // Blocks until the step's results are in; answers true.
    bool is_scene_step_finished(uint32_t scene, bool block);
    void flush_simulation_scene_caches();
    void step_main_scene();
    void step_secondary_scene();
    void set_event_reporting(bool on);
    // 527: rebuilds the world when it is empty and nothing is lent.
    bool reset_world();

    uint32_t get_simulation_time() const { return simulation_time_; }
    float get_interpolation_factor() const { return interpolation_factor_; }
    // Outside 0 to 1 nothing changes; else the drawn poses follow.
    void set_interpolation_factor(float factor);
    // Builtins 409 and 408 set and read this.
    bool is_asynchronous_step_enabled() const { return asynchronous_secondary_scene_; }
    void set_asynchronous_step_flag(uint8_t flag) { asynchronous_secondary_scene_ = flag != 0; }

    PhysXActorDescriptor& get_actor_descriptor() { return actor_descriptor_; }
    // The next owner id, or 0 when already lent.
    uint32_t acquire_actor_descriptor();
    bool is_actor_descriptor_owner(uint32_t owner) const {
        return actor_descriptor_.acquired && actor_descriptor_.owner == owner;
    }
    void release_actor_descriptor(uint32_t owner);

    // The actor object of an SDK actor; fatal when it has none.
    static class PhysXActor* get_encapsulating_actor(const platform::physics::Actor* actor);

private:
    void attach_event_callbacks();
    void detach_event_callbacks();
    void create_scenes();

    PhysXAllocator allocator_;
    PhysXOutputStream output_stream_;
    ContactReporter contact_reporter_;
    platform::physics::PhysicsSdk* sdk_ = nullptr;
    platform::physics::Scene* scenes_[scene_count] = {nullptr, nullptr};
    PhysXActorDescriptor actor_descriptor_;
    uint32_t simulation_time_ = 0;
    float interpolation_factor_ = 0.0f;
    bool asynchronous_secondary_scene_ = false;
};

extern PhysXServer physx_server;

}  // namespace zolt::physics
