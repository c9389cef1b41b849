#pragma once
// The online client for games between processes: peer-to-peer packets over
// ENet on loopback or a LAN. Each endpoint (the player's and the hosted game
// server's) is one ENet host; a peer's first packet names its online id, and
// that id, never one claimed later, is who its packets come from. Packets of
// a peer whose session was not accepted wait and announce themselves with a
// session request. A game server's id holds the low 16 bits of its loopback
// address and its port, so a player who knows where a server listens knows
// its id. Server queries travel the same way: a game server answers them on
// its game port (every process uses the same one), whatever query port the
// caller names. A LAN search is plain UDP instead: a query datagram to the
// query port of every address of the LAN range, whose game servers answer
// with their details; senders are known by the address the answer came from.
// Main thread only.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/online/online_client.h"

namespace zolt::platform {

struct EnetSettings {
    uint32_t account = 1;
    std::string persona_name = "player";
    // IPv4, first octet in the top byte.
    uint32_t bind_address = 0x7F000001;
    uint16_t game_port = 27015;
    // Where game servers answer LAN searches.
    uint16_t query_port = 27016;
    // The addresses a LAN search asks, first and last included; loopback has
    // no broadcast.
    uint32_t lan_first = 0x7F000001;
    uint32_t lan_last = 0x7F000010;
    uint32_t app_id = 1;
};

// The id of the game server listening at that address and port.
OnlineId make_game_server_id_for(uint32_t address, uint16_t port);

class EnetOnlineClient final : public OnlineClient {
public:
    EnetOnlineClient();
    ~EnetOnlineClient() override;

    // False with a message when ENet or the player's endpoint cannot start.
    bool start(const EnetSettings& settings, std::string* message);
    // Listens on the game port; false with a message when it is taken.
    bool start_game_server(std::string* message);
    void stop();

    bool is_available() const override;
    OnlineId get_user_id() const override;
    const char* get_persona_name() const override;
    PeerNetworking* get_client_networking() override;
    PeerNetworking* get_game_server_networking() override;
    OnlineId get_game_server_id() const override;
    void run_callbacks() override;
    void set_callback_handler(OnlineCallbackHandler handler, void* context) override;
    bool ping_server(uint32_t address, uint16_t port) override;
    ServerQueryState poll_server_query(ServerItem* item) override;
    void cancel_server_query() override;
    void set_game_server_details(const ServerItem& item) override;
    uint32_t get_app_id() const override { return settings_.app_id; }
    bool request_lan_server_list(uint32_t app_id) override;
    LanSearchAnswer poll_lan_server_list(ServerItem* item) override;
    void cancel_lan_server_list() override;

    class Endpoint;
    class QuerySocket;

private:
    void answer_lan_queries();

    void post(const OnlineCallback& callback) { pending_callbacks_.push_back(callback); }

    EnetSettings settings_;
    std::unique_ptr<Endpoint> user_;
    std::unique_ptr<Endpoint> game_server_;
    OnlineCallbackHandler handler_ = nullptr;
    void* handler_context_ = nullptr;
    std::vector<OnlineCallback> pending_callbacks_;
    bool initialised_ = false;
    ServerItem details_;
    bool advertised_ = false;
    OnlineId queried_server_ = 0;
    uint32_t query_start_time_ = 0;
    std::unique_ptr<QuerySocket> query_listener_;
    std::unique_ptr<QuerySocket> lan_search_;
    uint32_t lan_search_nonce_ = 0;
    uint32_t lan_search_start_time_ = 0;
};

}  // namespace zolt::platform
