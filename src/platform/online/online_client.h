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
};

// The offline back end unless another is installed.
OnlineClient& get_online_client();
// Null puts the offline back end back.
void set_online_client(OnlineClient* client);

}  // namespace zolt::platform
