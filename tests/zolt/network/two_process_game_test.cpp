// Two processes on loopback play a network game over ENet: the host and a
// player go through the handshake, loading, start, play and stop while each
// sends the other a numbered message with properties every 20 ms, and both
// end cleanly. The play lasts ZOLT_NET_PLAY_SECONDS (2 by default).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/online/enet_online_client.h"
#include "platform/system/clock.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/game_server.h"
#include "zolt/network/network_game.h"
#include "zolt/network/transport_formats.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::network {
namespace {

constexpr int port_taken_exit = 3;
constexpr uint32_t counter_property = 0x3000600;
constexpr uint32_t position_property = 0x5000601;
constexpr uint32_t update_format = 5;
constexpr uint32_t update_type = 0x270000;

struct Received {
    uint32_t count = 0;
    uint32_t last = 0;
    bool in_order = true;
    bool values_right = true;
};
Received received;

// Stands in for the game objects' scripts: checks each arrival.
bool check_arrival(core::Message* message) {
    core::Property counter;
    core::Property position;
    if (!message->get_property(counter_property, counter) || !message->get_property(position_property, position)) {
        received.values_right = false;
        return false;
    }
    received.in_order = received.in_order && counter.get_u32() > received.last;
    // Quantised with 4 fraction bits.
    const float expected = std::floor(static_cast<float>(counter.get_u32()) * 0.5f * 16.0f) / 16.0f;
    received.values_right = received.values_right && position.get_float() == expected;
    received.last = counter.get_u32();
    ++received.count;
    return false;
}

void start_world() {
    renderer::initial_frame_rate = 60;
    core::string_server.register_server();
    core::dictionary_server.register_server();
    core::event_server.register_server();
    core::message_server.register_server();
    servers::game_server.register_server();
    core::set_network_message_deliverer(check_arrival);
    core::event_server.set_next_enabled_mask(core::get_clock_mask_bit(0));
    transport_formats.begin_format(update_format, update_type);
    transport_formats.add_pair(counter_property, make_transport_format(TransportKind::unsigned_integer, 24));
    transport_formats.add_pair(position_property, make_transport_format(TransportKind::quantised_float, 20, 4));
    transport_formats.end_format();
}

void frame() {
    update_network_game();
    core::event_server.update_clocks();
    core::message_server.free_delivered_messages();
    core::event_server.run_clocks();
}

void set(core::ServerObject* object, uint32_t id, const core::Property& value) {
    object->set_property(id, value);
}

// One side's whole game; the exit code says how it went.
// Written by the host once its game is hosted, so that the player never
// knocks at a port nobody listens on yet (a slow start would outlast the
// player's connect attempts).
int host_ready_pipe[2] = {-1, -1};

void tell_parent_host_ready() {
    const char ready = 1;
    if (write(host_ready_pipe[1], &ready, 1) != 1) {
        std::perror("host ready");
    }
}

int play(bool hosting, uint16_t port, uint32_t seconds) {
    start_world();
    platform::EnetOnlineClient client;
    std::string message;
    platform::EnetSettings settings;
    settings.account = hosting ? 1 : 2;
    settings.persona_name = hosting ? "host" : "player";
    settings.game_port = port;
    settings.query_port = static_cast<uint16_t>(port + 1);
    if (!client.start(settings, &message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    if (hosting && !client.start_game_server(&message)) {
        return port_taken_exit;
    }
    platform::set_online_client(&client);
    auto* const avatar = static_cast<servers::GameObject*>(servers::game_server.create_object_internal(0));
    const core::ObjectHandle target = avatar->get_handle();
    if (hosting) {
        core::Property mode;
        mode.set_u32(0x03000000, 0);
        auto* const game_settings = core::dictionary_server.create_dictionary(5);
        game_settings->set_property(network_game_property::mode, mode);
        core::Property limit;
        limit.set_u32(0x03000000, 4);
        game_settings->set_property(network_game_property::player_limit, limit);
        if (!host_network_game(game_settings->get_handle())) {
            return 1;
        }
        tell_parent_host_ready();
    } else if (!join_network_game(platform::make_game_server_id_for(settings.bind_address, port))) {
        return 1;
    }
    const auto start = std::chrono::steady_clock::now();
    const auto give_up = start + std::chrono::seconds(seconds + 20);
    auto play_until = start + std::chrono::hours(1);
    uint32_t sent = 0;
    uint32_t join_attempts = 1;
    bool stopping = false;
    bool stopped_once = false;
    while (std::chrono::steady_clock::now() < give_up) {
        frame();
        const NetworkGame& game = get_network_game();
        if (game.state == NetworkGameState::idle && !hosting) {
            std::fprintf(stderr, "player left the game, join error %u\n", static_cast<uint32_t>(game.join_error));
            // A link that failed before play began (a loaded machine can
            // starve the handshake) is joined again, as a player would.
            if (game.join_error != NetworkGameError::link_failed || sent != 0 || ++join_attempts > 3 ||
                !join_network_game(platform::make_game_server_id_for(settings.bind_address, port))) {
                return 1;
            }
        }
        if (hosting && game.state == NetworkGameState::lobby && !stopping && game.slots[1].state == SlotState::joined) {
            start_loading_network_game();
        }
        if (hosting && game.state == NetworkGameState::loaded) {
            start_network_game();
        }
        if (game.state == NetworkGameState::running && !stopping) {
            if (play_until > std::chrono::steady_clock::now() + std::chrono::seconds(seconds)) {
                play_until = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
            }
            core::Property counter;
            counter.set_u32(0x03000000, ++sent);
            set(avatar, counter_property, counter);
            core::Property position;
            position.set_float(0x05000000, static_cast<float>(sent) * 0.5f);
            set(avatar, position_property, position);
            if (hosting) {
                send_message_to_players(0x2, target, update_type, update_format, avatar->get_handle(), sent % 2 == 0);
            } else {
                send_message_to_host(target, update_type, update_format, avatar->get_handle(), sent % 2 == 0);
            }
            if (hosting && std::chrono::steady_clock::now() > play_until) {
                stopping = true;
                stop_network_game();
                acknowledge_network_game_stop();
            }
        }
        if (!hosting && game.state == NetworkGameState::stopping) {
            acknowledge_network_game_stop();
        }
        if (game.state == NetworkGameState::lobby && (stopping || (!hosting && sent > 0))) {
            stopped_once = true;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    // Let the last answers go out before leaving.
    for (int i = 0; i < 10; ++i) {
        frame();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    const bool ok = stopped_once && received.count > 10 && received.in_order && received.values_right;
    std::fprintf(stderr, "%s: sent %u, received %u in order %d values %d, stopped %d\n", hosting ? "host" : "player",
                 sent, received.count, received.in_order, received.values_right, stopped_once);
    leave_network_game(true);
    platform::set_online_client(nullptr);
    return ok ? 0 : 1;
}

pid_t start_side(bool hosting, uint16_t port, uint32_t seconds) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::_Exit(play(hosting, port, seconds));
    }
    return pid;
}

int wait_for(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(TwoProcessGame, HostAndPlayerPlayAndStopOverEnetOnLoopback) {
    const char* const configured = std::getenv("ZOLT_NET_PLAY_SECONDS");
    const uint32_t seconds = configured != nullptr ? static_cast<uint32_t>(std::atoi(configured)) : 2;
    // Ports from a range this test alone uses; a taken one is tried again.
    for (uint32_t attempt = 0; attempt < 8; ++attempt) {
        const auto port = static_cast<uint16_t>(41000 + (getpid() * 7 + attempt * 131) % 2000);
        ASSERT_EQ(pipe(host_ready_pipe), 0);
        const pid_t host = start_side(true, port, seconds);
        close(host_ready_pipe[1]);
        // Nothing read: the host ended before hosting (a taken port, a failure).
        char ready = 0;
        const bool hosted = read(host_ready_pipe[0], &ready, 1) == 1;
        close(host_ready_pipe[0]);
        const pid_t player = hosted ? start_side(false, port, seconds) : -1;
        const int host_code = wait_for(host);
        const int player_code = player > 0 ? wait_for(player) : 1;
        if (host_code == port_taken_exit) {
            continue;
        }
        EXPECT_EQ(host_code, 0);
        EXPECT_EQ(player_code, 0);
        return;
    }
    FAIL() << "no free port";
}

}  // namespace
}  // namespace zolt::network
