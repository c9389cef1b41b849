#include "zolt/core/engine.h"

#include <atomic>

#include "libs/io/io_thread.h"
#include "libs/system/time_base.h"
#include "libs/utility/config_variable_row.h"
#include "zolt/core/alias_server.h"
#include "zolt/core/array_server.h"
#include "zolt/core/code_server.h"
#include "zolt/core/string_server.h"
#include "zolt/core/dictionary_server.h"
#include "zolt/core/placement_server.h"
#include "zolt/core/proxy_server.h"
#include "zolt/core/resource_server.h"
#include "zolt/core/server_base.h"
#include "zolt/core/frame_loop.h"
#include "zolt/core/message_pump.h"
#include "zolt/core/scheduler.h"
#include "zolt/core/task_server.h"
#include "zolt/network/network_services.h"
#include "zolt/sound/sound_manager.h"

namespace zolt {

uint32_t current_language = 1;
uint32_t default_language = 1;
const ConfigVariableRow<uint32_t> default_language_row(37, "default_language", &default_language, 1, 1, 13,
                                                      config_always_written);

namespace {
std::atomic<uint32_t> completed_rendering_command_count{0};
}  // namespace

uint32_t get_completed_rendering_command_count() {
    uint32_t expected = 0;
    completed_rendering_command_count.compare_exchange_strong(expected, 0);
    return expected;
}

}  // namespace zolt

namespace zolt::core {

void start_engine() {
    io::start_io_thread();
    current_language = default_language >= 1 && default_language <= 13 ? default_language : 1;
    register_steam_callbacks();
    // Registration order is the ring's order, which saved games follow.
    string_server.register_server();
    alias_server.register_server();
    // Opens the packs and loads those of key 0.
    resource_server.register_server();
    dictionary_server.register_server();
    array_server.register_server();
    code_server.register_server();
    placement_server.register_server();
    sound::initialize_xaudio();
    sound::initialize_sound_manager();
    proxy_server.register_server();
    task_server.register_server();
}

void run_engine() {
    schedule_thread(&get_frame_loop_thread(), get_time());
    start_first_task();
    while (!pump_messages()) {
        run_due_thread();
    }
}

void stop_engine() {
    run_rendering_command(10);
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
    io::stop_io_thread();
}

}  // namespace zolt::core
