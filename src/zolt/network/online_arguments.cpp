#include "zolt/network/online_arguments.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/online/enet_online_client.h"
#include "zolt/network/network_services.h"

namespace zolt::network {

namespace {

std::unique_ptr<platform::EnetOnlineClient> enet_client;

// "a.b.c.d", each number 0-255, nothing after it.
bool parse_ip_address(const char* text, uint32_t* address) {
    unsigned parts[4];
    char tail;
    if (std::sscanf(text, "%3u.%3u.%3u.%3u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) != 4) {
        return false;
    }
    *address = 0;
    for (unsigned part : parts) {
        if (part > 255) {
            return false;
        }
        *address = *address << 8 | part;
    }
    return true;
}

}  // namespace

bool start_online_services(int argument_count, const char* const* arguments, std::string* message) {
    bool hosting = false;
    bool joining = false;
    uint32_t own_address = 0;
    for (int index = 0; index < argument_count; ++index) {
        if (std::strcmp(arguments[index], "+host") == 0) {
            if (index + 1 >= argument_count || !parse_ip_address(arguments[index + 1], &own_address)) {
                *message = "+host needs the address to play at, as a.b.c.d";
                return false;
            }
            hosting = true;
        } else if (std::strcmp(arguments[index], "+join") == 0) {
            if (index + 1 >= argument_count || !parse_ip_address(arguments[index + 1], &own_address)) {
                *message = "+join needs the address to play at, as a.b.c.d";
                return false;
            }
            joining = true;
        }
    }
    if (!hosting && !joining) {
        return true;
    }
    if (hosting && joining) {
        *message = "+host and +join exclude each other";
        return false;
    }
    if (joining && !get_connect_request().pending) {
        *message = "+join needs the game to join, as +connect e.f.g.h:port";
        return false;
    }
    platform::EnetSettings settings;
    settings.bind_address = own_address;
    // Every machine of one loopback network is a different player.
    settings.account = own_address & 0x00FFFFFFu;
    char name[32];
    std::snprintf(name, sizeof name, "%u.%u.%u.%u", own_address >> 24, (own_address >> 16) & 0xFFu,
                  (own_address >> 8) & 0xFFu, own_address & 0xFFu);
    settings.persona_name = name;
    auto client = std::make_unique<platform::EnetOnlineClient>();
    if (settings.account == 0 || !client->start(settings, message) ||
        (hosting && !client->start_game_server(message))) {
        if (message->empty()) {
            *message = "no player can play at that address";
        }
        return false;
    }
    enet_client = std::move(client);
    platform::set_online_client(enet_client.get());
    return true;
}

void stop_online_services() {
    if (enet_client) {
        platform::set_online_client(nullptr);
        enet_client.reset();
    }
}

}  // namespace zolt::network
