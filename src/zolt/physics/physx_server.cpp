#include "zolt/physics/physx_server.h"

#include "libs/utility/config_variable_row.h"

namespace zolt::physics {

bool disable_physx_physics = false;
const ConfigVariableRow<bool> disable_physx_physics_row(50, "disable_physx_physics", &disable_physx_physics, false,
                                                        false, true, config_written_when_changed);
PhysXServer physx_server;
PhysXActorServer physx_actor_server;

void PhysXServer::start_scene_step() {
    ++started_step_count_;
}

void PhysXServer::is_scene_step_finished() {
    ++finished_step_count_;
}

}  // namespace zolt::physics
