#include "zolt/core/engine.h"

#include <atomic>

#include "libs/system/time_base.h"
#include "zolt/core/frame_loop.h"
#include "zolt/core/message_pump.h"
#include "zolt/core/scheduler.h"
#include "zolt/network/network_services.h"
#include "zolt/sound/sound_manager.h"

namespace zolt {

uint32_t current_language = 1;
uint32_t default_language = 1;

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
    current_language = default_language >= 1 && default_language <= 13 ? default_language : 1;
    register_steam_callbacks();
    sound::initialize_xaudio();
    sound::initialize_sound_manager();
}

void run_engine() {
    schedule_thread(&get_frame_loop_thread(), get_time());
    while (!pump_messages()) {
        run_due_thread();
    }
}

void stop_engine() {
    network::stop_game_search();
    network::leave_network_game_internal(true);
    unlink_thread(&sound::get_sound_timer_thread());
    sound::shutdown_xaudio();
    if (network::are_steam_callbacks_registered()) {
        unregister_steam_callbacks();
        cancel_connect_request();
    }
    network::shutdown_network();
}

}  // namespace zolt::core
