#include "zolt/core/program/server_registration.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/game_folder.h"
#include "zolt/core/program/engine.h"
#include "zolt/navigation/loadable_area.h"
#include "zolt/navigation/portal.h"
#include "zolt/navigation/sector.h"
#include "zolt/physics/physx_common.h"
#include "zolt/renderer/animation/animation_server_types.h"
#include "zolt/renderer/camera/camera.h"
#include "zolt/renderer/decals/decal_server.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_render.h"
#include "zolt/renderer/mesh/mesh_server.h"
#include "zolt/renderer/debug_draw/debug_draw_object.h"
#include "zolt/renderer/particles/particle_generator_server.h"
#include "zolt/renderer/viewport/viewport_server.h"
#include "zolt/renderer/visuals/visual_server.h"
#include "zolt/renderer/display/display_server.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/resources/wave_bank_server.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_listener.h"

namespace zolt::core {
namespace {

// Saved games hold the servers' records in this order; a change here breaks
// every saved game, so it must be a deliberate one.
const std::vector<uint32_t> saved_game_server_order = {
    server_type::random_generator,
    server_type::string,
    server_type::alias,
    server_type::resource,
    server_type::event,
    server_type::dictionary,
    server_type::storage,
    server_type::array,
    server_type::listener,
    server_type::code,
    server_type::placement,
    physics::physx_server_type::physx,
    physics::physx_server_type::actor,
    server_type::motion,
    server_type::function_table,
    renderer::viewport_server_type,
    server_type::texture,
    server_type::material,
    renderer::display_server_type,
    renderer::camera_server_type,
    renderer::mesh_server_type,
    servers::loadable_area_server_type,
    servers::sector_server_type,
    renderer::light_server_type,
    renderer::light_instance_server_type,
    servers::portal_server_type,
    renderer::visual_server_type,
    renderer::particle_generator_server_type,
    renderer::decal_server_type,
    renderer::debug_draw_server_type,
    animation::animator_server_type,
    animation::track_mixer_server_type,
    animation::skeleton_server_type,
    server_type::message,
    server_type::state_machine,
    server_type::proxy,
    server_type::game,
    server_type::task,
    server_type::semaphore,
    sound::wave_bank_server_type,
    sound::sound_bank_server_type,
    sound::sound_listener_server_type,
    sound::sound_entity_server_type,
};

std::vector<uint32_t> types_of(std::span<ServerBase* const> servers) {
    std::vector<uint32_t> types;
    for (const ServerBase* server : servers) {
        types.push_back(server->get_type());
    }
    return types;
}

TEST(ServerRegistration, OrderIsTheSavedGameOrderWithSoundStartingBeforeTheMessageServer) {
    const std::span<ServerBase* const> order = get_server_registration_order();
    EXPECT_EQ(types_of(order), saved_game_server_order);
    ASSERT_LT(first_server_after_sound_start, order.size());
    EXPECT_EQ(order[first_server_after_sound_start]->get_type(), server_type::message);
}

TEST(ServerRegistration, EngineStartPutsTheServersOnTheRingInThatOrder) {
    const test::ChildResult result = test::run_in_child([] {
        test::enter_game_folder();
        start_engine();
        std::vector<ServerBase*> ring;
        for (ServerBase* server = get_first_server(); server != nullptr;) {
            ring.push_back(server);
            server = server->get_next_server() != get_first_server() ? server->get_next_server() : nullptr;
        }
        std::string types;
        for (const uint32_t type : types_of(ring)) {
            types += " " + std::to_string(type);
        }
        std::fprintf(stderr, "ring%s\n", types.c_str());
        stop_engine();
    });
    std::string expected = "ring";
    for (const uint32_t type : saved_game_server_order) {
        expected += " " + std::to_string(type);
    }
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_error.find(expected + "\n"), std::string::npos) << result.standard_error;
}

}  // namespace
}  // namespace zolt::core
