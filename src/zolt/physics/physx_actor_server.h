#pragma once
// The actor server (type 19): 10000 actors. Around each step of a scene it
// walks that scene's actors in the SDK's order: before the step it records
// who is awake and where, and moves kinematic actors after their driving
// placements; after it, it writes poses to placements, teleports driven
// actors and posts the sleep messages. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/physics/physx_actor.h"

namespace zolt::physics {

constexpr uint32_t actor_capacity = 10000;

class PhysXActorServer final : public core::PooledServer<PhysXActor, actor_capacity> {
public:
    PhysXActorServer();

    const char* get_name() const override { return "PhysXActorServer"; }
    void register_server() override;
    bool load(storage::LoadStream& stream) override;
    // Registers the server, as engine start does.
    void initialize() { register_server(); }

    void update_before_scene_step(uint32_t scene);
    void update_after_scene_step(uint32_t scene);
    void update_interpolation(uint32_t scene);

    // Every live actor drops the destroyed actor from its partner table.
    void forget_contact_partner(core::ObjectHandle partner);
    // The physics server is about to release its scenes.
    void forget_scene_actors();
    PhysXActor* get_actor(core::ObjectHandle handle) { return get_typed_object(handle); }
    uint32_t get_query_stamp() const { return query_stamp_; }

private:
    template <typename Visit>
    void for_each_scene_actor(uint32_t scene, Visit visit);

    uint32_t query_stamp_ = 1;
};

extern PhysXActorServer physx_actor_server;

}  // namespace zolt::physics
