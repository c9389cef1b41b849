#pragma once
// The online services client as the engine reaches it: identity, the two
// peer-to-peer interfaces (the player's and the hosted game server's) and the
// callbacks, which are queued and handed to their handlers only inside
// run_callbacks, never from a send or a request. Main thread only.
//
// Back ends: offline (the default: nothing is available), an in-process fake
// world for tests, and ENet for packets between processes.
#include <cstdint>

#include "platform/online/online_ids.h"
#include "platform/online/peer_networking.h"

namespace zolt::platform {

enum class OnlineCallbackId : uint32_t {
    peer_session_request = 1202,
    peer_session_connect_failure = 1203,
};

struct OnlineCallback {
    OnlineCallbackId id;
    OnlineId remote;
};

using OnlineCallbackHandler = void (*)(void* context, const OnlineCallback& callback);

// What a game server tells those who query it. Texts are NUL-terminated.
struct ServerItem {
    uint32_t address = 0;  // IPv4, first octet in the top byte
    uint16_t game_port = 0;
    uint16_t query_port = 0;
    char name[64] = {};
    char map[32] = {};
    char tags[32] = {};
    uint32_t players = 0;
    uint32_t max_players = 0;
    uint32_t app_id = 0;
    uint32_t version = 0;
    OnlineId id = 0;
};

enum class ServerQueryState : uint32_t {
    none = 0,
    running = 1,
    answered = 2,
    failed = 3,
};

class OnlineClient {
public:
    virtual ~OnlineClient() = default;

    virtual bool is_available() const = 0;
    virtual OnlineId get_user_id() const = 0;
    // NUL-terminated; empty when not available.
    virtual const char* get_persona_name() const = 0;
    // Null when the interface is not available.
    virtual PeerNetworking* get_client_networking() = 0;
    virtual PeerNetworking* get_game_server_networking() = 0;
    // The hosted game server's id; 0 while none runs.
    virtual OnlineId get_game_server_id() const = 0;
    // Hands the queued callbacks to the registered handler.
    virtual void run_callbacks() = 0;
    // One handler per client; null removes it.
    virtual void set_callback_handler(OnlineCallbackHandler handler, void* context) = 0;

    // One server query at a time: asks the server at that address and query
    // port for its details; false when the query cannot start. A new query
    // cancels the old one. Back ends without server queries refuse.
    virtual bool ping_server(uint32_t, uint16_t) { return false; }
    // The running query's state; the item once it is answered.
    virtual ServerQueryState poll_server_query(ServerItem*) { return ServerQueryState::none; }
    virtual void cancel_server_query() {}
    // What the hosted game server answers queries with from now on.
    virtual void set_game_server_details(const ServerItem&) {}
};

// The offline back end unless another is installed.
OnlineClient& get_online_client();
// Null puts the offline back end back.
void set_online_client(OnlineClient* client);

}  // namespace zolt::platform
