#include "zolt/core/program/engine.h"
#include "zolt/core/resources/language.h"

#include <atomic>
#include <span>

#include "libs/io/io_thread.h"
#include "libs/system/time_base.h"
#include "libs/utility/config_variable_row.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/program/frame_loop.h"
#include "zolt/core/program/server_registration.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/network/network_services.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/graphics_library/game_window.h"
#include "zolt/renderer/graphics_library/gamma.h"
#include "zolt/renderer/loading_screen/loading_screen.h"
#include "zolt/sound/sound_manager.h"
#include "zolt/storage/save_manager.h"

namespace zolt {

uint32_t get_completed_rendering_command_count() {
    return renderer::read_completed_counter();
}

}  // namespace zolt

namespace zolt::core {

void start_engine() {
    bind_all_builtins();
    io::start_io_thread();
    current_language = default_language >= 1 && default_language <= 13 ? default_language : 1;
    renderer::initialize_display();
    renderer::initialize_frame_rate_control();
    renderer::install_batcher_rendering_steps();
    renderer::install_loading_screen_hooks();
    renderer::register_as_rendering_thread();
    storage::save_manager.initialize();
    register_steam_callbacks();
    random_generator_server.seed_global_generator();
    const std::span<ServerBase* const> servers = get_server_registration_order();
    for (size_t index = 0; index < servers.size(); ++index) {
        if (index == first_server_after_sound_start) {
            sound::initialize_xaudio();
            sound::initialize_sound_manager();
        }
        servers[index]->register_server();
    }
    renderer::set_gamma(renderer::gamma, renderer::brightness, renderer::contrast, false);
}

void run_engine() {
    schedule_thread(&get_frame_loop_thread(), get_time());
    if (event_server.is_registered()) {
        event_server.set_next_enabled_mask(event_server.get_next_enabled_mask() | get_clock_mask_bit(0));
    }
    start_first_task();
    while (!pump_messages()) {
        run_due_thread();
    }
}

void stop_engine() {
    run_rendering_command(renderer::free_all_dead_objects_command);
    renderer::restore_saved_gamma_ramp();
    network::stop_game_search();
    network::leave_network_game_internal(true);
    while (ServerBase* const last = get_last_server()) {
        last->unregister_server();
    }
    unlink_thread(&sound::get_sound_timer_thread());
    sound::shutdown_xaudio();
    if (network::are_steam_callbacks_registered()) {
        unregister_steam_callbacks();
        cancel_connect_request();
    }
    network::shutdown_network();
    renderer::unregister_rendering_thread();
    renderer::remove_batcher_rendering_steps();
    renderer::remove_loading_screen_hooks();
    renderer::shutdown_frame_rate_control();
    renderer::shutdown_display();
    io::stop_io_thread();
}

}  // namespace zolt::core
