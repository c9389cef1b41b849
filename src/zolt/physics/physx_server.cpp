#include "zolt/physics/physx_server.h"

namespace zolt::physics {

bool disable_physx_physics = false;
PhysXServer physx_server;
PhysXActorServer physx_actor_server;

void PhysXServer::start_scene_step() {
    ++started_step_count_;
}

void PhysXServer::is_scene_step_finished() {
    ++finished_step_count_;
}

}  // namespace zolt::physics
