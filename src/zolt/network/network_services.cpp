#include "zolt/network/network_services.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/online/online_client.h"
#include "platform/system/clock.h"
#include "zolt/network/network_game.h"

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

bool parse_lobby_id(const char* text, uint64_t* lobby_id) {
    if (text[0] < '0' || text[0] > '9') {
        return false;
    }
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0') {
        return false;
    }
    *lobby_id = value;
    return true;
}
}  // namespace

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

void stop_game_search() {}

void leave_network_game_internal(bool shutting_down) {
    leave_network_game(shutting_down);
}

void shutdown_network() {
    stop_game_search();
    leave_network_game_internal(true);
    reset_network_game();
}

void sample_network_game_clock() {}

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
    if (have_lobby) {
        connect_request = {true, true, 0, 0, lobby_id};
    } else if (have_address) {
        connect_request = {true, false, address, port, 0};
    }
}

void register_steam_callbacks() {
    if (network::is_steam_available() && !network::steam_callbacks_registered) {
        network::steam_callbacks_registered = true;
    }
}

void unregister_steam_callbacks() {
    network::steam_callbacks_registered = false;
}

void cancel_connect_request() {
    network::connect_request = {};
}

}  // namespace zolt::core
