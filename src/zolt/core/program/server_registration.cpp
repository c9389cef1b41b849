#include "zolt/core/program/server_registration.h"

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/proxy_server.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/semaphore.h"
#include "zolt/core/script/state_machine.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/function_table_server.h"
#include "zolt/core/script_objects/motion_server.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/core/script_objects/storage_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/animation/animator_server.h"
#include "zolt/renderer/animation/skeleton_server.h"
#include "zolt/renderer/animation/track_mixer_server.h"
#include "zolt/renderer/display/display_server.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/network/game_server.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/particles/particle_generator_server.h"
#include "zolt/renderer/viewport/viewport_server.h"
#include "zolt/renderer/visuals/visual_server.h"
#include "zolt/physics/physx_actor_server.h"
#include "zolt/physics/physx_server.h"
#include "zolt/renderer/camera/camera.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/resources/wave_bank_server.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_listener.h"

namespace zolt::core {
namespace {

ServerBase* const registration_order[] = {
    &random_generator_server,
    &string_server,
    &alias_server,
    &resource_server,  // opens the packs and loads those of key 0
    &event_server,
    &dictionary_server,
    &storage_server,
    &array_server,
    &listener_server,
    &code_server,
    &placement_server,
    &physics::physx_server,
    &physics::physx_actor_server,
    &motion_server,
    &function_table_server,
    &renderer::viewport_server,
    &renderer::texture_server,  // checks the graphics hardware and makes the render targets
    &renderer::material_server,  // creates the default material
    // Creates the default overlay material.
    &renderer::display_server,
    &renderer::camera_server,
    &renderer::mesh_server,
    &servers::loadable_area_server,
    &servers::sector_server,
    &renderer::light_server,
    &renderer::light_instance_server,
    &servers::portal_server,
    &renderer::visual_server,
    &renderer::particle_generator_server,  // starts the particle worker threads
    &renderer::decal_server,
    &renderer::debug_draw_server,
    &animation::animator_server,
    &animation::track_mixer_server,
    &animation::skeleton_server,
    // The sound output starts here.
    &message_server,
    &state_machine_server,
    &proxy_server,
    &servers::game_server,
    &task_server,
    &semaphore_server,
    &sound::wave_bank_server,
    &sound::sound_bank_server,
    &sound::sound_listener_server,
    &sound::sound_entity_server,
};

static_assert(first_server_after_sound_start <= std::size(registration_order));

}  // namespace

std::span<ServerBase* const> get_server_registration_order() {
    return registration_order;
}

}  // namespace zolt::core
