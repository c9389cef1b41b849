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
    // The player accepted an invitation to a game server; the text names it
    // as "a.b.c.d:port".
    server_change_requested = 332,
    // The player accepted an invitation to a lobby, whose id is the remote.
    lobby_join_requested = 333,
    peer_session_request = 1202,
    peer_session_connect_failure = 1203,
};

struct OnlineCallback {
    OnlineCallbackId id;
    OnlineId remote;
    // NUL-terminated; empty unless the callback names a server.
    char text[64] = {};
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

// What a LAN server list request has to tell, one answer per poll.
enum class LanSearchAnswer : uint32_t {
    none = 0,       // no search runs
    waiting = 1,    // nothing new yet
    responded = 2,  // a server answered; the item holds its details
    complete = 3,   // the refresh is over; the search is gone
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
    // The application id that servers advertise and searches ask for; 0
    // when the back end has none.
    virtual uint32_t get_app_id() const { return 0; }
    // Asks every game server on the LAN for its details; one search at a
    // time, a new one replaces the old. False when it cannot start.
    virtual bool request_lan_server_list(uint32_t) { return false; }
    virtual LanSearchAnswer poll_lan_server_list(ServerItem*) { return LanSearchAnswer::none; }
    virtual void cancel_lan_server_list() {}
};

// The offline back end unless another is installed.
OnlineClient& get_online_client();
// Null puts the offline back end back.
void set_online_client(OnlineClient* client);

}  // namespace zolt::platform
