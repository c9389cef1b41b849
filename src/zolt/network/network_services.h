#pragma once
// The network and online services as the engine's start, stop and frame loop
// see them: the command-line connect request, the online-service callbacks,
// leaving a network game and sampling its clock. The online services come
// from the platform's online client: offline unless another is installed.
#include <cstdint>

#include "zolt/network/game_list.h"

namespace zolt::network {

struct ConnectRequest {
    bool pending = false;
    bool to_lobby = false;
    uint32_t address = 0;  // a.b.c.d with a in the high byte
    uint16_t port = 0;
    uint64_t lobby_id = 0;
    int32_t user_code = -1;
    bool started = false;
    bool entry_ready = false;
    bool done = false;
    GameListing listing;
};

// Servers are always queried on this port, whatever port the request named.
constexpr uint16_t server_query_port = 27016;

bool is_steam_available();
bool are_steam_callbacks_registered();
void run_steam_callbacks();
const ConnectRequest& get_connect_request();

// Builtin 320: stops the scripts' game search, and any command-line server
// query with it.
void stop_game_search();
// Cancels a running command-line server query; the request stays pending.
void stop_connect_request_query();
void leave_network_game_internal(bool shutting_down);
void shutdown_network();
void sample_network_game_clock();

// Builtin 338: starts resolving the pending request into a game-list entry.
bool start_connect_request();
// Builtin 339: true once the request is resolved (entry 0 of an empty game
// list when the game answered).
bool poll_connect_request();

}  // namespace zolt::network

namespace zolt::core {

// "+connect a.b.c.d:port" and "+connect_lobby id" record a pending connect
// request (the lobby wins when both are given); other arguments are ignored.
void parse_connect_arguments(int argument_count, const char* const* arguments);
void register_steam_callbacks();
void unregister_steam_callbacks();
void cancel_connect_request();
// Invitations accepted while the game runs become the pending request, when
// none is pending and they name a server ("a.b.c.d:port") or a lobby.
void accept_server_invitation(const char* server);
void accept_lobby_invitation(uint64_t lobby_id);

}  // namespace zolt::core
