#include "zolt/physics/physx_actor_server.h"

#include "libs/utility/fatal_error.h"
#include "platform/physics/physics_actor.h"
#include "platform/physics/physics_scene.h"
#include "zolt/physics/physx_common.h"
#include "zolt/physics/physx_server.h"

namespace zolt::physics {

PhysXActorServer physx_actor_server;

PhysXActorServer::PhysXActorServer() : PooledServer(physx_server_type::actor) {}

void PhysXActorServer::register_server() {
    PooledServer::register_server();
    query_stamp_ = 1;
}

bool PhysXActorServer::load(storage::LoadStream& stream) {
    const bool loaded = PooledServer::load(stream);
    query_stamp_ = 1;
    return loaded;
}

// The scene's own actor order; actors that are not dynamic are skipped.
template <typename Visit>
void PhysXActorServer::for_each_scene_actor(uint32_t scene, Visit visit) {
    platform::physics::Scene* const target = physx_server.get_scene(scene);
    if (target == nullptr) {
        return;
    }
    const uint32_t count = target->get_actor_count();
    platform::physics::Actor* const* const actors = target->get_actors();
    if (count != 0 && actors == nullptr) {
        ZOLT_PANIC("Failed to obtain actors of PhysX scene.");
    }
    for (uint32_t index = 0; index < count; ++index) {
        platform::physics::Actor* const actor = actors[index];
        if (actor == nullptr) {
            ZOLT_PANIC("Failed to obtain actor of PhysX scene.");
        }
        if (actor->is_dynamic()) {
            visit(*PhysXServer::get_encapsulating_actor(actor));
        }
    }
}

void PhysXActorServer::update_before_scene_step(uint32_t scene) {
    for_each_scene_actor(scene, [](PhysXActor& actor) { actor.update_before_scene_step(); });
}

void PhysXActorServer::update_after_scene_step(uint32_t scene) {
    for_each_scene_actor(scene, [](PhysXActor& actor) { actor.update_after_scene_step(); });
}

void PhysXActorServer::update_interpolation(uint32_t scene) {
    const float factor = physx_server.get_interpolation_factor();
    for_each_scene_actor(scene, [factor](PhysXActor& actor) { actor.update_interpolation(factor); });
}

void PhysXActorServer::forget_contact_partner(core::ObjectHandle partner) {
    const core::ObjectList& live = get_live_list();
    for (core::ServerObject* object = live.get_head(); object != nullptr;) {
        static_cast<PhysXActor*>(object)->forget_contact_partner(partner);
        object = core::ObjectList::get_next(object) != live.get_head() ? core::ObjectList::get_next(object) : nullptr;
    }
}

void PhysXActorServer::forget_scene_actors() {
    const core::ObjectList& live = get_live_list();
    for (core::ServerObject* object = live.get_head(); object != nullptr;) {
        static_cast<PhysXActor*>(object)->forget_sdk_actor();
        object = core::ObjectList::get_next(object) != live.get_head() ? core::ObjectList::get_next(object) : nullptr;
    }
}

}  // namespace zolt::physics
