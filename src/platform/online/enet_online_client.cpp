#include "platform/online/enet_online_client.h"

#include <enet/enet.h>

#include <cstring>
#include <deque>
#include <map>
#include <vector>

#include "platform/online/server_query_packets.h"

namespace zolt::platform {

namespace {

// Every packet starts with its purpose, so the id arrives before any data on
// the one ordered channel.
constexpr uint8_t identity_tag = 0;
constexpr uint8_t data_tag = 1;
constexpr uint8_t query_tag = 2;
constexpr uint8_t details_tag = 3;
// A server that has not answered by then is taken for absent. A game server
// answers once it has something to advertise, so a player started beside a
// host that is still starting finds its game.
constexpr uint32_t query_timeout_milliseconds = 10000;
// A LAN search takes what answered by then.
constexpr uint32_t lan_refresh_milliseconds = 500;
// Reads per poll of a query socket, so a flood cannot hold the frame.
constexpr uint32_t query_reads_per_poll = 64;
// Longer than the game's own peer time-outs, so those decide.
constexpr uint32_t peer_timeout_milliseconds = 90000;

uint32_t to_enet_host(uint32_t address) {
    // ENet keeps addresses in network byte order.
    const uint8_t bytes[4] = {static_cast<uint8_t>(address >> 24), static_cast<uint8_t>(address >> 16),
                              static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address)};
    uint32_t host;
    std::memcpy(&host, bytes, sizeof host);
    return host;
}

uint32_t from_enet_host(uint32_t host) {
    uint8_t bytes[4];
    std::memcpy(bytes, &host, sizeof bytes);
    return static_cast<uint32_t>(bytes[0]) << 24 | bytes[1] << 16 | bytes[2] << 8 | bytes[3];
}

}  // namespace

OnlineId make_game_server_id_for(uint32_t address, uint16_t port) {
    // The low octet and the port tell loopback hosts apart.
    return make_game_server_id((address & 0xFFFFu) << 16 | port);
}

class EnetOnlineClient::Endpoint final : public PeerNetworking {
public:
    Endpoint(EnetOnlineClient& owner, OnlineId id) : owner_(owner), id_(id) {}
    ~Endpoint() override {
        if (host_ != nullptr) {
            for (auto& [peer_id, record] : peers_) {
                if (record.peer != nullptr) {
                    enet_peer_disconnect_now(record.peer, 0);
                }
            }
            enet_host_destroy(host_);
        }
    }

    bool open(uint32_t address, uint16_t port) {
        ENetAddress bind;
        bind.host = to_enet_host(address);
        bind.port = port;
        host_ = enet_host_create(&bind, 64, 1, 0, 0);
        return host_ != nullptr;
    }

    OnlineId get_id() const { return id_; }

    // Asks the game server with that id for its details.
    bool send_query(OnlineId server) {
        Record* const record = find_or_connect(server);
        if (record == nullptr) {
            return false;
        }
        std::vector<uint8_t> packet{query_tag};
        if (!record->connected) {
            record->outgoing.push_back({std::move(packet), PeerSendType::reliable});
            return true;
        }
        return transmit(record->peer, packet, PeerSendType::reliable);
    }

    // The answer of that server once it came; false before.
    bool take_answer(OnlineId server, ServerItem* item) {
        auto found = answers_.find(server);
        if (found == answers_.end()) {
            return false;
        }
        *item = found->second;
        answers_.erase(found);
        return true;
    }

    void answer_queries() {
        if (!owner_.advertised_) {
            return;
        }
        ServerItem details = owner_.details_;
        details.id = id_;
        std::vector<uint8_t> answer = write_server_details(details);
        answer.insert(answer.begin(), details_tag);
        for (OnlineId querier : waiting_queries_) {
            auto found = peers_.find(querier);
            if (found != peers_.end() && found->second.peer != nullptr) {
                transmit(found->second.peer, answer, PeerSendType::reliable);
            }
        }
        waiting_queries_.clear();
    }

    // Whether a connection to that server was given up.
    bool has_failed(OnlineId server) const { return peers_.find(server) == peers_.end(); }

    bool send_packet(OnlineId remote, const uint8_t* bytes, uint32_t size, PeerSendType type) override {
        if (size == 0 || size > peer_packet_capacity) {
            return false;
        }
        Record* record = find_or_connect(remote);
        if (record == nullptr) {
            owner_.post({OnlineCallbackId::peer_session_connect_failure, remote});
            return true;
        }
        record->accepted = true;
        std::vector<uint8_t> packet(size + 1);
        packet[0] = data_tag;
        std::memcpy(packet.data() + 1, bytes, size);
        if (!record->connected) {
            record->outgoing.push_back({std::move(packet), type});
            return true;
        }
        return transmit(record->peer, packet, type);
    }

    bool is_packet_available(uint32_t* size) override {
        service();
        if (inbound_.empty()) {
            return false;
        }
        *size = static_cast<uint32_t>(inbound_.front().bytes.size());
        return true;
    }

    bool read_packet(uint8_t* bytes, uint32_t capacity, uint32_t* size, OnlineId* sender) override {
        if (inbound_.empty()) {
            return false;
        }
        Inbound packet = std::move(inbound_.front());
        inbound_.pop_front();
        if (packet.bytes.size() > capacity) {
            return false;
        }
        std::memcpy(bytes, packet.bytes.data(), packet.bytes.size());
        *size = static_cast<uint32_t>(packet.bytes.size());
        *sender = packet.sender;
        return true;
    }

    bool accept_session(OnlineId remote) override {
        auto found = peers_.find(remote);
        if (found == peers_.end()) {
            return false;
        }
        found->second.accepted = true;
        for (auto& bytes : found->second.held) {
            inbound_.push_back({remote, std::move(bytes)});
        }
        found->second.held.clear();
        return true;
    }

    bool close_session(OnlineId remote) override {
        auto found = peers_.find(remote);
        if (found == peers_.end()) {
            return false;
        }
        if (found->second.peer != nullptr) {
            enet_peer_disconnect_later(found->second.peer, 0);
        }
        found->second.accepted = false;
        found->second.held.clear();
        return true;
    }

    bool get_session_address(OnlineId remote, uint32_t* address) override {
        auto found = peers_.find(remote);
        if (found == peers_.end() || found->second.peer == nullptr) {
            return false;
        }
        *address = from_enet_host(found->second.peer->address.host);
        return true;
    }

    void service() {
        if (host_ == nullptr) {
            return;
        }
        ENetEvent event;
        while (enet_host_service(host_, &event, 0) > 0) {
            switch (event.type) {
            case ENET_EVENT_TYPE_CONNECT:
                on_connect(event.peer);
                break;
            case ENET_EVENT_TYPE_RECEIVE:
                on_receive(event.peer, event.packet);
                enet_packet_destroy(event.packet);
                break;
            case ENET_EVENT_TYPE_DISCONNECT:
                on_disconnect(event.peer);
                break;
            default:
                break;
            }
        }
        enet_host_flush(host_);
    }

private:
    struct Outgoing {
        std::vector<uint8_t> bytes;
        PeerSendType type;
    };
    struct Record {
        ENetPeer* peer = nullptr;
        bool connected = false;
        bool accepted = false;
        bool request_posted = false;
        std::vector<Outgoing> outgoing;
        std::vector<std::vector<uint8_t>> held;
    };
    struct Inbound {
        OnlineId sender;
        std::vector<uint8_t> bytes;
    };

    static bool transmit(ENetPeer* peer, const std::vector<uint8_t>& bytes, PeerSendType type) {
        ENetPacket* const packet = enet_packet_create(bytes.data(), bytes.size(),
                                                      type == PeerSendType::reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
        if (packet == nullptr) {
            return false;
        }
        if (enet_peer_send(peer, 0, packet) != 0) {
            enet_packet_destroy(packet);
            return false;
        }
        return true;
    }

    // Only game servers can be reached by id alone: their id holds their
    // address. Players are known once they have spoken.
    Record* find_or_connect(OnlineId remote) {
        auto found = peers_.find(remote);
        if (found != peers_.end() && found->second.peer != nullptr) {
            return &found->second;
        }
        const uint32_t account = static_cast<uint32_t>(remote);
        if (((remote >> 52) & 0xF) != online_account_type_anonymous_game_server) {
            return nullptr;
        }
        ENetAddress address;
        address.host = to_enet_host(0x7F000000u | (account >> 16));
        address.port = static_cast<uint16_t>(account);
        ENetPeer* const peer = enet_host_connect(host_, &address, 1, 0);
        if (peer == nullptr) {
            return nullptr;
        }
        enet_peer_timeout(peer, 0, peer_timeout_milliseconds, peer_timeout_milliseconds);
        Record& record = peers_[remote];
        record.peer = peer;
        record.connected = false;
        peer->data = reinterpret_cast<void*>(static_cast<uintptr_t>(1));
        pending_ids_[peer] = remote;
        return &record;
    }

    void on_connect(ENetPeer* peer) {
        enet_peer_timeout(peer, 0, peer_timeout_milliseconds, peer_timeout_milliseconds);
        std::vector<uint8_t> identity(9);
        identity[0] = identity_tag;
        for (uint32_t i = 0; i < 8; ++i) {
            identity[1 + i] = static_cast<uint8_t>(id_ >> (8 * i));
        }
        transmit(peer, identity, PeerSendType::reliable);
        auto pending = pending_ids_.find(peer);
        if (pending == pending_ids_.end()) {
            return;
        }
        Record& record = peers_[pending->second];
        record.connected = true;
        for (const Outgoing& packet : record.outgoing) {
            transmit(peer, packet.bytes, packet.type);
        }
        record.outgoing.clear();
    }

    void on_receive(ENetPeer* peer, ENetPacket* packet) {
        if (packet->dataLength == 0) {
            return;
        }
        auto known = ids_by_peer_.find(peer);
        if (packet->data[0] == identity_tag) {
            if (known != ids_by_peer_.end() || packet->dataLength != 9) {
                return;
            }
            OnlineId id = 0;
            for (uint32_t i = 0; i < 8; ++i) {
                id |= static_cast<OnlineId>(packet->data[1 + i]) << (8 * i);
            }
            if (!is_valid_online_id(id)) {
                enet_peer_disconnect_later(peer, 0);
                return;
            }
            ids_by_peer_[peer] = id;
            Record& record = peers_[id];
            record.peer = peer;
            record.connected = true;
            for (const Outgoing& outgoing : record.outgoing) {
                transmit(peer, outgoing.bytes, outgoing.type);
            }
            record.outgoing.clear();
            return;
        }
        // Anything before a name is nobody's.
        if (known == ids_by_peer_.end()) {
            return;
        }
        if (packet->data[0] == query_tag && packet->dataLength == 1) {
            waiting_queries_.push_back(known->second);
            answer_queries();
            return;
        }
        if (packet->data[0] == details_tag) {
            ServerItem item;
            if (read_server_details(packet->data + 1, packet->dataLength - 1, &item)) {
                // Who answered is known from the connection, not from the body.
                item.id = known->second;
                item.address = from_enet_host(peer->address.host);
                answers_[known->second] = item;
            }
            return;
        }
        if (packet->data[0] != data_tag) {
            return;
        }
        const OnlineId sender = known->second;
        Record& record = peers_[sender];
        std::vector<uint8_t> bytes(packet->data + 1, packet->data + packet->dataLength);
        if (record.accepted) {
            inbound_.push_back({sender, std::move(bytes)});
            return;
        }
        record.held.push_back(std::move(bytes));
        if (!record.request_posted) {
            record.request_posted = true;
            owner_.post({OnlineCallbackId::peer_session_request, sender});
        }
    }

    void on_disconnect(ENetPeer* peer) {
        OnlineId id = 0;
        if (auto known = ids_by_peer_.find(peer); known != ids_by_peer_.end()) {
            id = known->second;
            ids_by_peer_.erase(known);
        }
        if (auto pending = pending_ids_.find(peer); pending != pending_ids_.end()) {
            id = pending->second;
            pending_ids_.erase(pending);
        }
        if (id == 0) {
            return;
        }
        peers_.erase(id);
        owner_.post({OnlineCallbackId::peer_session_connect_failure, id});
    }

    EnetOnlineClient& owner_;
    OnlineId id_;
    ENetHost* host_ = nullptr;
    std::map<OnlineId, Record> peers_;
    std::map<ENetPeer*, OnlineId> ids_by_peer_;
    std::map<ENetPeer*, OnlineId> pending_ids_;
    std::deque<Inbound> inbound_;
    std::map<OnlineId, ServerItem> answers_;
    std::vector<OnlineId> waiting_queries_;
};

// One nonblocking UDP socket of server queries: the game server's listener
// or a searcher's asking socket.
class EnetOnlineClient::QuerySocket {
public:
    ~QuerySocket() {
        if (socket_ != ENET_SOCKET_NULL) {
            enet_socket_destroy(socket_);
        }
    }

    bool open(uint32_t address, uint16_t port) {
        socket_ = enet_socket_create(ENET_SOCKET_TYPE_DATAGRAM);
        if (socket_ == ENET_SOCKET_NULL) {
            return false;
        }
        ENetAddress bind;
        bind.host = to_enet_host(address);
        bind.port = port;
        return enet_socket_set_option(socket_, ENET_SOCKOPT_NONBLOCK, 1) == 0 && enet_socket_bind(socket_, &bind) == 0;
    }

    void send(uint32_t address, uint16_t port, const std::vector<uint8_t>& bytes) {
        ENetAddress to;
        to.host = to_enet_host(address);
        to.port = port;
        ENetBuffer buffer;
        buffer.data = const_cast<uint8_t*>(bytes.data());
        buffer.dataLength = bytes.size();
        enet_socket_send(socket_, &to, &buffer, 1);
    }

    // The next datagram that fits the buffer; oversized ones are dropped.
    bool receive(uint32_t* address, uint16_t* port, size_t* size) {
        for (uint32_t reads = 0; reads < query_reads_per_poll; ++reads) {
            ENetAddress from;
            ENetBuffer buffer;
            buffer.data = buffer_;
            buffer.dataLength = sizeof buffer_;
            const int length = enet_socket_receive(socket_, &from, &buffer, 1);
            if (length == 0) {
                return false;
            }
            if (length > 0) {
                *address = from_enet_host(from.host);
                *port = from.port;
                *size = static_cast<size_t>(length);
                return true;
            }
        }
        return false;
    }

    const uint8_t* get_bytes() const { return buffer_; }

private:
    ENetSocket socket_ = ENET_SOCKET_NULL;
    // Larger than any datagram of ours, so a truncated one shows.
    uint8_t buffer_[server_answer_size + 64];
};

EnetOnlineClient::EnetOnlineClient() = default;

EnetOnlineClient::~EnetOnlineClient() {
    stop();
}

bool EnetOnlineClient::start(const EnetSettings& settings, std::string* message) {
    if (!initialised_) {
        if (enet_initialize() != 0) {
            *message = "ENet could not start";
            return false;
        }
        initialised_ = true;
    }
    settings_ = settings;
    user_ = std::make_unique<Endpoint>(*this, make_user_id(settings.account));
    if (!user_->open(settings.bind_address, 0)) {
        user_.reset();
        *message = "the player's endpoint could not be opened";
        return false;
    }
    return true;
}

bool EnetOnlineClient::start_game_server(std::string* message) {
    if (game_server_) {
        return true;
    }
    game_server_ =
        std::make_unique<Endpoint>(*this, make_game_server_id_for(settings_.bind_address, settings_.game_port));
    if (!game_server_->open(settings_.bind_address, settings_.game_port)) {
        game_server_.reset();
        *message = "the game port is taken";
        return false;
    }
    query_listener_ = std::make_unique<QuerySocket>();
    if (!query_listener_->open(settings_.bind_address, settings_.query_port)) {
        query_listener_.reset();
        game_server_.reset();
        *message = "the query port is taken";
        return false;
    }
    return true;
}

void EnetOnlineClient::stop() {
    lan_search_.reset();
    query_listener_.reset();
    game_server_.reset();
    user_.reset();
    if (initialised_) {
        enet_deinitialize();
        initialised_ = false;
    }
}

bool EnetOnlineClient::is_available() const {
    return user_ != nullptr;
}

OnlineId EnetOnlineClient::get_user_id() const {
    return user_ ? user_->get_id() : 0;
}

const char* EnetOnlineClient::get_persona_name() const {
    return user_ ? settings_.persona_name.c_str() : "";
}

PeerNetworking* EnetOnlineClient::get_client_networking() {
    return user_.get();
}

PeerNetworking* EnetOnlineClient::get_game_server_networking() {
    return game_server_.get();
}

OnlineId EnetOnlineClient::get_game_server_id() const {
    return game_server_ ? game_server_->get_id() : 0;
}

void EnetOnlineClient::run_callbacks() {
    if (user_) {
        user_->service();
    }
    if (game_server_) {
        game_server_->service();
    }
    answer_lan_queries();
    std::vector<OnlineCallback> callbacks;
    callbacks.swap(pending_callbacks_);
    for (const OnlineCallback& callback : callbacks) {
        if (handler_ != nullptr) {
            handler_(handler_context_, callback);
        }
    }
}

bool EnetOnlineClient::ping_server(uint32_t address, uint16_t) {
    cancel_server_query();
    const OnlineId server = make_game_server_id_for(address, settings_.game_port);
    if (!user_ || !user_->send_query(server)) {
        return false;
    }
    queried_server_ = server;
    query_start_time_ = enet_time_get();
    return true;
}

ServerQueryState EnetOnlineClient::poll_server_query(ServerItem* item) {
    if (queried_server_ == 0 || !user_) {
        return ServerQueryState::none;
    }
    user_->service();
    if (user_->take_answer(queried_server_, item)) {
        queried_server_ = 0;
        return ServerQueryState::answered;
    }
    if (user_->has_failed(queried_server_) || enet_time_get() - query_start_time_ > query_timeout_milliseconds) {
        queried_server_ = 0;
        return ServerQueryState::failed;
    }
    return ServerQueryState::running;
}

void EnetOnlineClient::set_game_server_details(const ServerItem& item) {
    details_ = item;
    advertised_ = true;
    if (game_server_) {
        game_server_->answer_queries();
    }
}

void EnetOnlineClient::cancel_server_query() {
    queried_server_ = 0;
}

void EnetOnlineClient::set_callback_handler(OnlineCallbackHandler handler, void* context) {
    handler_ = handler;
    handler_context_ = context;
}

void EnetOnlineClient::answer_lan_queries() {
    if (!query_listener_ || !advertised_) {
        return;
    }
    uint32_t address = 0;
    uint16_t port = 0;
    size_t size = 0;
    while (query_listener_->receive(&address, &port, &size)) {
        uint32_t nonce = 0;
        uint32_t app_id = 0;
        if (!read_server_query(query_listener_->get_bytes(), size, &nonce, &app_id)) {
            continue;
        }
        ServerItem details = details_;
        details.id = game_server_->get_id();
        details.address = settings_.bind_address;
        details.game_port = settings_.game_port;
        details.query_port = settings_.query_port;
        details.app_id = settings_.app_id;
        query_listener_->send(address, port, write_server_answer(nonce, details));
    }
}

bool EnetOnlineClient::request_lan_server_list(uint32_t app_id) {
    cancel_lan_server_list();
    if (!user_ || settings_.lan_first > settings_.lan_last) {
        return false;
    }
    auto socket = std::make_unique<QuerySocket>();
    if (!socket->open(settings_.bind_address, 0)) {
        return false;
    }
    // Answers to an earlier search carry another nonce and are dropped.
    lan_search_nonce_ = enet_time_get() * 2654435761u ^ static_cast<uint32_t>(settings_.account);
    const std::vector<uint8_t> query = write_server_query(lan_search_nonce_, app_id);
    for (uint64_t address = settings_.lan_first; address <= settings_.lan_last; ++address) {
        socket->send(static_cast<uint32_t>(address), settings_.query_port, query);
    }
    lan_search_ = std::move(socket);
    lan_search_start_time_ = enet_time_get();
    return true;
}

LanSearchAnswer EnetOnlineClient::poll_lan_server_list(ServerItem* item) {
    if (!lan_search_) {
        return LanSearchAnswer::none;
    }
    // A host searching its own LAN answers itself.
    answer_lan_queries();
    uint32_t address = 0;
    uint16_t port = 0;
    size_t size = 0;
    while (lan_search_->receive(&address, &port, &size)) {
        uint32_t nonce = 0;
        if (!read_server_answer(lan_search_->get_bytes(), size, &nonce, item) || nonce != lan_search_nonce_) {
            continue;
        }
        // Who answered is known from where the answer came, not from its body.
        item->address = address;
        item->id = make_game_server_id_for(address, item->game_port);
        return LanSearchAnswer::responded;
    }
    if (enet_time_get() - lan_search_start_time_ >= lan_refresh_milliseconds) {
        lan_search_.reset();
        return LanSearchAnswer::complete;
    }
    return LanSearchAnswer::waiting;
}

void EnetOnlineClient::cancel_lan_server_list() {
    lan_search_.reset();
}

}  // namespace zolt::platform
