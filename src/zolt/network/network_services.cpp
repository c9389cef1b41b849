#include "zolt/network/network_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/online/online_client.h"
#include "platform/system/clock.h"
#include "zolt/network/network_clock.h"
#include "zolt/network/network_game.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::network {
namespace {
ConnectRequest connect_request;
bool steam_callbacks_registered = false;
bool steam_available = false;

bool parse_address(const char* text, uint32_t* address, uint16_t* port) {
    unsigned parts[4];
    unsigned port_number;
    char tail;
    if (std::sscanf(text, "%u.%u.%u.%u:%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &port_number, &tail) != 5) {
        return false;
    }
    for (unsigned part : parts) {
        if (part > 255) {
            return false;
        }
    }
    if (port_number > 65535) {
        return false;
    }
    *address = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
    *port = static_cast<uint16_t>(port_number);
    return true;
}

// A valid id of a chat account with the lobby flag in its instance.
bool is_lobby_id(uint64_t id) {
    constexpr uint32_t lobby_instance_flag = 1u << 18;
    return platform::is_valid_online_id(id) && ((id >> 52) & 0xFu) == platform::online_account_type_chat &&
           (static_cast<uint32_t>(id >> 32) & lobby_instance_flag) != 0;
}

// The request belongs to the first local user.
constexpr int32_t first_user_code = 0x0F;

bool parse_lobby_id(const char* text, uint64_t* lobby_id) {
    if (text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0') {
        return false;
    }
    if (!is_lobby_id(value)) {
        return false;
    }
    *lobby_id = value;
    return true;
}
}  // namespace

bool start_connect_request() {
    ConnectRequest& request = connect_request;
    if (get_game_list_count() != 0 || !request.pending || request.started) {
        return false;
    }
    // Lobbies are not offered by any online back end here.
    if (request.to_lobby || !platform::get_online_client().ping_server(request.address, server_query_port)) {
        return false;
    }
    request.started = true;
    return true;
}

bool poll_connect_request() {
    ConnectRequest& request = connect_request;
    if (!request.started) {
        return false;
    }
    if (!request.done) {
        platform::ServerItem item;
        switch (platform::get_online_client().poll_server_query(&item)) {
        case platform::ServerQueryState::running:
            return false;
        case platform::ServerQueryState::answered:
            request.entry_ready = make_server_listing(item, &request.listing);
            break;
        default:
            break;
        }
        request.done = true;
        request.pending = false;
        request.to_lobby = false;
        request.user_code = -1;
        if (request.entry_ready && get_game_list_count() == 0) {
            add_game_listing(request.listing);
        }
    }
    return true;
}

bool is_steam_available() {
    return steam_available || platform::get_online_client().is_available();
}

bool are_steam_callbacks_registered() {
    return steam_callbacks_registered;
}

void run_steam_callbacks() {
    // The network update runs at most every 10 ms however often it is asked.
    static uint32_t last_update = 0;
    const uint32_t now = platform::read_milliseconds();
    if (now - last_update < 10) {
        return;
    }
    last_update = now;
    update_network_game();
}

const ConnectRequest& get_connect_request() {
    return connect_request;
}

void stop_connect_request_query() {
    ConnectRequest& request = connect_request;
    if (request.started && !request.done) {
        platform::get_online_client().cancel_server_query();
    }
    request.started = request.entry_ready = request.done = false;
}

void leave_network_game_internal(bool shutting_down) {
    leave_network_game(shutting_down);
}

void shutdown_network() {
    stop_game_search();
    clear_game_list();
    leave_network_game_internal(true);
    reset_network_game();
}

void sample_network_game_clock() {
    const NetworkGame& game = get_network_game();
    if (game.state == NetworkGameState::idle || game.local_only) {
        return;
    }
    const uint32_t period = renderer::get_frame_pacing_state().frame_period;
    sample_network_clock(read_network_ticks(), game.host, period != 0 ? period : renderer::get_frame_period(60));
}

}  // namespace zolt::network

namespace zolt::core {

void parse_connect_arguments(int argument_count, const char* const* arguments) {
    using network::connect_request;
    bool have_address = false;
    bool have_lobby = false;
    uint32_t address = 0;
    uint16_t port = 0;
    uint64_t lobby_id = 0;
    for (int index = 0; index + 1 < argument_count; ++index) {
        if (std::strcmp(arguments[index], "+connect") == 0) {
            have_address = network::parse_address(arguments[index + 1], &address, &port) || have_address;
        } else if (std::strcmp(arguments[index], "+connect_lobby") == 0) {
            have_lobby = network::parse_lobby_id(arguments[index + 1], &lobby_id) || have_lobby;
        }
    }
    using network::first_user_code;
    if (have_lobby) {
        connect_request = {};
        connect_request.pending = connect_request.to_lobby = true;
        connect_request.lobby_id = lobby_id;
        connect_request.user_code = first_user_code;
    } else if (have_address) {
        connect_request = {};
        connect_request.pending = true;
        connect_request.address = address;
        connect_request.port = port;
        connect_request.user_code = first_user_code;
    }
}

void register_steam_callbacks() {
    if (network::is_steam_available() && !network::steam_callbacks_registered) {
        network::steam_callbacks_registered = true;
        // Invitations may come before any game is hosted or joined.
        network::install_network_game_handlers();
    }
}

void unregister_steam_callbacks() {
    if (network::steam_callbacks_registered) {
        platform::get_online_client().set_callback_handler(nullptr, nullptr);
    }
    network::steam_callbacks_registered = false;
}

void cancel_connect_request() {
    if (network::connect_request.started && !network::connect_request.done) {
        platform::get_online_client().cancel_server_query();
    }
    network::connect_request = {};
}

void accept_server_invitation(const char* server) {
    using network::connect_request;
    uint32_t address = 0;
    uint16_t port = 0;
    if (connect_request.pending || !network::parse_address(server, &address, &port)) {
        return;
    }
    connect_request = {};
    connect_request.pending = true;
    connect_request.address = address;
    connect_request.port = port;
    connect_request.user_code = network::first_user_code;
}

void accept_lobby_invitation(uint64_t lobby_id) {
    using network::connect_request;
    if (connect_request.pending || !network::is_lobby_id(lobby_id)) {
        return;
    }
    connect_request = {};
    connect_request.pending = connect_request.to_lobby = true;
    connect_request.lobby_id = lobby_id;
    connect_request.user_code = network::first_user_code;
}

}  // namespace zolt::core
