#pragma once
// An in-process online world for tests: users and game servers share one
// wire that the test pumps step by step. The wire loses, duplicates and
// delays (reorders) datagrams from a seeded generator; over it each endpoint
// keeps the promise of the peer-to-peer interface (reliable packets arrive
// once and in order, unreliable ones never ahead of an earlier reliable one)
// by numbering, acknowledging and resending, as a real transport does.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/online/online_client.h"

namespace zolt::platform {

struct FakeWireSettings {
    uint32_t seed = 1;
    uint32_t loss_percent = 0;
    uint32_t duplicate_percent = 0;
    // A reordered datagram is held back 1 to 3 steps more than the others.
    uint32_t reorder_percent = 0;
    uint32_t delay_steps = 1;
    // Steps after which an unacknowledged reliable packet is sent again.
    uint32_t resend_steps = 4;
};

struct FakeWireCounts {
    uint32_t sent = 0;
    uint32_t lost = 0;
    uint32_t duplicated = 0;
    uint32_t reordered = 0;
    uint32_t resent = 0;
};

class FakeOnlineWorld;
class FakeOnlineClient;

class FakePeerEndpoint final : public PeerNetworking {
public:
    FakePeerEndpoint(FakeOnlineWorld& world, FakeOnlineClient& owner, OnlineId id, uint32_t address);

    OnlineId get_id() const { return id_; }
    uint32_t get_address() const { return address_; }
    // Packets of sessions not yet accepted.
    uint32_t get_held_packet_count() const;

    bool send_packet(OnlineId remote, const uint8_t* bytes, uint32_t size, PeerSendType type) override;
    bool is_packet_available(uint32_t* size) override;
    bool read_packet(uint8_t* bytes, uint32_t capacity, uint32_t* size, OnlineId* sender) override;
    bool accept_session(OnlineId remote) override;
    bool close_session(OnlineId remote) override;
    bool get_session_address(OnlineId remote, uint32_t* address) override;

private:
    friend class FakeOnlineWorld;

    struct Packet {
        OnlineId sender;
        std::vector<uint8_t> bytes;
    };
    struct UnackedPacket {
        uint32_t sequence;
        std::vector<uint8_t> bytes;
        uint64_t sent_step;
    };
    // What one endpoint keeps of one peer.
    struct PeerState {
        bool accepted = false;
        bool request_posted = false;
        uint32_t next_send_sequence = 1;
        std::deque<UnackedPacket> unacked;
        uint32_t next_receive_sequence = 1;
        std::map<uint32_t, std::vector<uint8_t>> early_reliable;
        // Unreliable packets waiting for the reliable one they follow.
        std::multimap<uint32_t, std::vector<uint8_t>> waiting_unreliable;
        std::vector<std::vector<uint8_t>> held;
    };

    void take_datagram(OnlineId sender, bool reliable, bool acknowledgement, uint32_t sequence,
                       std::vector<uint8_t>&& bytes);
    void pass_in_order(OnlineId sender, PeerState& peer, std::vector<uint8_t>&& bytes);
    void resend_due(uint64_t step, uint32_t resend_steps);

    FakeOnlineWorld& world_;
    FakeOnlineClient& owner_;
    OnlineId id_;
    uint32_t address_;
    std::map<OnlineId, PeerState> peers_;
    std::deque<Packet> inbound_;
};

class FakeOnlineClient final : public OnlineClient {
public:
    FakeOnlineClient(FakeOnlineWorld& world, OnlineId user_id, std::string persona_name, uint32_t address);

    FakePeerEndpoint& get_user_endpoint() { return *user_endpoint_; }
    // Starts the hosted game server's endpoint when it is not there yet.
    FakePeerEndpoint& start_game_server(uint32_t account);
    void post_callback(const OnlineCallback& callback) { pending_callbacks_.push_back(callback); }
    uint32_t get_pending_callback_count() const { return static_cast<uint32_t>(pending_callbacks_.size()); }

    bool is_available() const override { return true; }
    OnlineId get_user_id() const override { return user_id_; }
    const char* get_persona_name() const override { return persona_name_.c_str(); }
    PeerNetworking* get_client_networking() override { return user_endpoint_.get(); }
    PeerNetworking* get_game_server_networking() override { return game_server_endpoint_.get(); }
    OnlineId get_game_server_id() const override { return game_server_endpoint_ ? game_server_endpoint_->get_id() : 0; }
    void run_callbacks() override;
    void set_callback_handler(OnlineCallbackHandler handler, void* context) override {
        handler_ = handler;
        handler_context_ = context;
    }
    // Answered from the world's game server at that address at the next
    // world step, or failed when none runs there.
    bool ping_server(uint32_t address, uint16_t port) override;
    ServerQueryState poll_server_query(ServerItem* item) override;
    void cancel_server_query() override { query_ = {}; }
    void set_game_server_details(const ServerItem& item) override {
        details_ = item;
        advertised_ = true;
    }
    uint32_t get_app_id() const override { return fake_app_id; }
    // Every advertising game server of the world answers at the next world
    // step, as the datagrams a real search reads; the refresh is complete
    // once those answers are taken.
    bool request_lan_server_list(uint32_t app_id) override;
    LanSearchAnswer poll_lan_server_list(ServerItem* item) override;
    void cancel_lan_server_list() override { lan_search_ = {}; }

    static constexpr uint32_t fake_app_id = 1;

private:
    friend class FakeOnlineWorld;

    struct ServerQuery {
        ServerQueryState state = ServerQueryState::none;
        uint32_t address = 0;
        ServerItem answer;
    };

    struct LanSearch {
        bool running = false;
        bool asked = false;
        uint32_t nonce = 0;
        uint32_t app_id = 0;
        std::deque<std::pair<uint32_t, std::vector<uint8_t>>> answers;
    };

    FakeOnlineWorld& world_;
    OnlineId user_id_;
    std::string persona_name_;
    uint32_t address_;
    std::unique_ptr<FakePeerEndpoint> user_endpoint_;
    std::unique_ptr<FakePeerEndpoint> game_server_endpoint_;
    std::vector<OnlineCallback> pending_callbacks_;
    OnlineCallbackHandler handler_ = nullptr;
    void* handler_context_ = nullptr;
    ServerQuery query_;
    ServerItem details_;
    bool advertised_ = false;
    LanSearch lan_search_;
    uint32_t next_nonce_ = 1;
};

class FakeOnlineWorld {
public:
    explicit FakeOnlineWorld(const FakeWireSettings& settings = {});

    // Address 127.0.0.N for the N-th client.
    FakeOnlineClient& add_client(uint32_t account, const char* persona_name);
    // Delivers what is due, resends what is overdue.
    void step();
    // Steps until nothing is in flight or unacknowledged, at most max_steps.
    void run_until_idle(uint32_t max_steps);
    bool is_idle() const;
    const FakeWireCounts& get_counts() const { return counts_; }

private:
    friend class FakePeerEndpoint;
    friend class FakeOnlineClient;

    struct Datagram {
        uint64_t due_step;
        uint64_t order;
        OnlineId from;
        OnlineId to;
        bool reliable;
        bool acknowledgement;
        uint32_t sequence;
        std::vector<uint8_t> bytes;
    };

    void put_on_wire(OnlineId from, OnlineId to, bool reliable, bool acknowledgement, uint32_t sequence,
                     const std::vector<uint8_t>& bytes);
    FakePeerEndpoint* find_endpoint(OnlineId id);
    void answer_server_queries();
    uint32_t roll_percent();

    FakeWireSettings settings_;
    FakeWireCounts counts_;
    uint64_t random_state_;
    uint64_t step_ = 0;
    uint64_t order_ = 0;
    std::vector<Datagram> wire_;
    std::vector<std::unique_ptr<FakeOnlineClient>> clients_;
    std::vector<FakePeerEndpoint*> endpoints_;
};

}  // namespace zolt::platform
