#include "platform/online/fake_online_world.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/online/server_query_packets.h"

namespace zolt::platform {

FakePeerEndpoint::FakePeerEndpoint(FakeOnlineWorld& world, FakeOnlineClient& owner, OnlineId id, uint32_t address)
    : world_(world), owner_(owner), id_(id), address_(address) {}

uint32_t FakePeerEndpoint::get_held_packet_count() const {
    uint32_t count = 0;
    for (const auto& [remote, peer] : peers_) {
        count += static_cast<uint32_t>(peer.held.size());
    }
    return count;
}

bool FakePeerEndpoint::send_packet(OnlineId remote, const uint8_t* bytes, uint32_t size, PeerSendType type) {
    if (size == 0 || size > peer_packet_capacity) {
        return false;
    }
    if (world_.find_endpoint(remote) == nullptr) {
        owner_.post_callback({OnlineCallbackId::peer_session_connect_failure, remote});
        return true;
    }
    PeerState& peer = peers_[remote];
    // Sending to a peer opens the session from this side.
    peer.accepted = true;
    std::vector<uint8_t> packet(bytes, bytes + size);
    if (type == PeerSendType::reliable) {
        const uint32_t sequence = peer.next_send_sequence++;
        world_.put_on_wire(id_, remote, true, false, sequence, packet);
        peer.unacked.push_back({sequence, std::move(packet), world_.step_});
    } else {
        world_.put_on_wire(id_, remote, false, false, peer.next_send_sequence - 1, packet);
    }
    return true;
}

bool FakePeerEndpoint::is_packet_available(uint32_t* size) {
    if (inbound_.empty()) {
        return false;
    }
    *size = static_cast<uint32_t>(inbound_.front().bytes.size());
    return true;
}

bool FakePeerEndpoint::read_packet(uint8_t* bytes, uint32_t capacity, uint32_t* size, OnlineId* sender) {
    if (inbound_.empty()) {
        return false;
    }
    Packet packet = std::move(inbound_.front());
    inbound_.pop_front();
    if (packet.bytes.size() > capacity) {
        return false;
    }
    std::memcpy(bytes, packet.bytes.data(), packet.bytes.size());
    *size = static_cast<uint32_t>(packet.bytes.size());
    *sender = packet.sender;
    return true;
}

bool FakePeerEndpoint::accept_session(OnlineId remote) {
    PeerState& peer = peers_[remote];
    peer.accepted = true;
    for (auto& bytes : peer.held) {
        inbound_.push_back({remote, std::move(bytes)});
    }
    peer.held.clear();
    return true;
}

bool FakePeerEndpoint::close_session(OnlineId remote) {
    auto found = peers_.find(remote);
    if (found == peers_.end()) {
        return false;
    }
    // The wire's numbering goes on, as a real transport's would across a
    // new session; only the acceptance is forgotten.
    found->second.accepted = false;
    found->second.request_posted = false;
    found->second.held.clear();
    return true;
}

bool FakePeerEndpoint::get_session_address(OnlineId remote, uint32_t* address) {
    const FakePeerEndpoint* endpoint = world_.find_endpoint(remote);
    if (endpoint == nullptr || peers_.count(remote) == 0) {
        return false;
    }
    *address = endpoint->address_;
    return true;
}

void FakePeerEndpoint::take_datagram(OnlineId sender, bool reliable, bool acknowledgement, uint32_t sequence,
                                     std::vector<uint8_t>&& bytes) {
    PeerState& peer = peers_[sender];
    if (acknowledgement) {
        while (!peer.unacked.empty() && peer.unacked.front().sequence <= sequence) {
            peer.unacked.pop_front();
        }
        return;
    }
    if (!reliable) {
        // An unreliable packet never overtakes the reliable one it follows.
        if (sequence >= peer.next_receive_sequence) {
            peer.waiting_unreliable.emplace(sequence, std::move(bytes));
        } else {
            pass_in_order(sender, peer, std::move(bytes));
        }
        return;
    }
    if (sequence >= peer.next_receive_sequence) {
        peer.early_reliable.emplace(sequence, std::move(bytes));
    }
    while (!peer.early_reliable.empty() && peer.early_reliable.begin()->first == peer.next_receive_sequence) {
        pass_in_order(sender, peer, std::move(peer.early_reliable.begin()->second));
        peer.early_reliable.erase(peer.early_reliable.begin());
        const uint32_t delivered = peer.next_receive_sequence++;
        auto [first, last] = peer.waiting_unreliable.equal_range(delivered);
        for (auto it = first; it != last; ++it) {
            pass_in_order(sender, peer, std::move(it->second));
        }
        peer.waiting_unreliable.erase(first, last);
    }
    // Every reliable datagram, repeated or not, is answered so the sender stops resending.
    world_.put_on_wire(id_, sender, false, true, peer.next_receive_sequence - 1, {});
}

void FakePeerEndpoint::pass_in_order(OnlineId sender, PeerState& peer, std::vector<uint8_t>&& bytes) {
    if (peer.accepted) {
        inbound_.push_back({sender, std::move(bytes)});
        return;
    }
    peer.held.push_back(std::move(bytes));
    if (!peer.request_posted) {
        peer.request_posted = true;
        owner_.post_callback({OnlineCallbackId::peer_session_request, sender});
    }
}

void FakePeerEndpoint::resend_due(uint64_t step, uint32_t resend_steps) {
    for (auto& [remote, peer] : peers_) {
        for (UnackedPacket& packet : peer.unacked) {
            if (step - packet.sent_step >= resend_steps) {
                packet.sent_step = step;
                ++world_.counts_.resent;
                world_.put_on_wire(id_, remote, true, false, packet.sequence, packet.bytes);
            }
        }
    }
}

FakeOnlineClient::FakeOnlineClient(FakeOnlineWorld& world, OnlineId user_id, std::string persona_name, uint32_t address)
    : world_(world), user_id_(user_id), persona_name_(std::move(persona_name)), address_(address) {
    user_endpoint_ = std::make_unique<FakePeerEndpoint>(world, *this, user_id, address);
    world_.endpoints_.push_back(user_endpoint_.get());
}

FakePeerEndpoint& FakeOnlineClient::start_game_server(uint32_t account) {
    if (!game_server_endpoint_) {
        game_server_endpoint_ =
            std::make_unique<FakePeerEndpoint>(world_, *this, make_game_server_id(account), address_);
        world_.endpoints_.push_back(game_server_endpoint_.get());
    }
    return *game_server_endpoint_;
}

void FakeOnlineClient::run_callbacks() {
    // Handlers may post more; those wait for the next run.
    std::vector<OnlineCallback> callbacks;
    callbacks.swap(pending_callbacks_);
    for (const OnlineCallback& callback : callbacks) {
        if (handler_ != nullptr) {
            handler_(handler_context_, callback);
        }
    }
}

FakeOnlineWorld::FakeOnlineWorld(const FakeWireSettings& settings)
    : settings_(settings), random_state_(settings.seed * 0x9E3779B97F4A7C15ull + 1) {}

bool FakeOnlineClient::ping_server(uint32_t address, uint16_t) {
    query_ = {ServerQueryState::running, address, {}};
    return true;
}

ServerQueryState FakeOnlineClient::poll_server_query(ServerItem* item) {
    if (query_.state == ServerQueryState::answered) {
        *item = query_.answer;
    }
    return query_.state;
}

bool FakeOnlineClient::request_lan_server_list(uint32_t app_id) {
    lan_search_ = {};
    lan_search_.running = true;
    lan_search_.nonce = next_nonce_++;
    lan_search_.app_id = app_id;
    return true;
}

LanSearchAnswer FakeOnlineClient::poll_lan_server_list(ServerItem* item) {
    if (!lan_search_.running) {
        return LanSearchAnswer::none;
    }
    while (!lan_search_.answers.empty()) {
        auto [address, bytes] = std::move(lan_search_.answers.front());
        lan_search_.answers.pop_front();
        uint32_t nonce = 0;
        if (read_server_answer(bytes.data(), bytes.size(), &nonce, item) && nonce == lan_search_.nonce) {
            item->address = address;
            return LanSearchAnswer::responded;
        }
    }
    if (lan_search_.asked) {
        lan_search_ = {};
        return LanSearchAnswer::complete;
    }
    return LanSearchAnswer::waiting;
}

void FakeOnlineWorld::answer_server_queries() {
    for (const auto& client : clients_) {
        FakeOnlineClient::LanSearch& search = client->lan_search_;
        if (!search.running || search.asked) {
            continue;
        }
        search.asked = true;
        for (const auto& server : clients_) {
            if (server->game_server_endpoint_ && server->advertised_) {
                ServerItem details = server->details_;
                details.address = server->address_;
                details.id = server->game_server_endpoint_->get_id();
                search.answers.emplace_back(server->address_, write_server_answer(search.nonce, details));
            }
        }
    }
    for (const auto& client : clients_) {
        FakeOnlineClient::ServerQuery& query = client->query_;
        if (query.state != ServerQueryState::running) {
            continue;
        }
        query.state = ServerQueryState::failed;
        for (const auto& server : clients_) {
            if (server->game_server_endpoint_ && server->address_ == query.address) {
                query.answer = server->details_;
                query.answer.address = server->address_;
                query.answer.id = server->game_server_endpoint_->get_id();
                query.state = ServerQueryState::answered;
            }
        }
    }
}

FakeOnlineClient& FakeOnlineWorld::add_client(uint32_t account, const char* persona_name) {
    const uint32_t address = 0x7F000000u | static_cast<uint32_t>(clients_.size() + 1);
    clients_.push_back(std::make_unique<FakeOnlineClient>(*this, make_user_id(account), persona_name, address));
    return *clients_.back();
}

uint32_t FakeOnlineWorld::roll_percent() {
    // xorshift64*: the same sequence on every platform for one seed.
    random_state_ ^= random_state_ >> 12;
    random_state_ ^= random_state_ << 25;
    random_state_ ^= random_state_ >> 27;
    return static_cast<uint32_t>((random_state_ * 0x2545F4914F6CDD1Dull) >> 32) % 100;
}

void FakeOnlineWorld::put_on_wire(OnlineId from, OnlineId to, bool reliable, bool acknowledgement, uint32_t sequence,
                                  const std::vector<uint8_t>& bytes) {
    ++counts_.sent;
    if (roll_percent() < settings_.loss_percent) {
        ++counts_.lost;
        return;
    }
    const uint32_t copies = roll_percent() < settings_.duplicate_percent ? 2 : 1;
    counts_.duplicated += copies - 1;
    for (uint32_t copy = 0; copy < copies; ++copy) {
        uint64_t due = step_ + settings_.delay_steps;
        if (roll_percent() < settings_.reorder_percent) {
            ++counts_.reordered;
            due += 1 + roll_percent() % 3;
        }
        wire_.push_back({due, order_++, from, to, reliable, acknowledgement, sequence, bytes});
    }
}

FakePeerEndpoint* FakeOnlineWorld::find_endpoint(OnlineId id) {
    for (FakePeerEndpoint* endpoint : endpoints_) {
        if (endpoint->id_ == id) {
            return endpoint;
        }
    }
    return nullptr;
}

void FakeOnlineWorld::step() {
    ++step_;
    answer_server_queries();
    std::vector<Datagram> due;
    auto split =
        std::stable_partition(wire_.begin(), wire_.end(), [&](const Datagram& d) { return d.due_step > step_; });
    std::move(split, wire_.end(), std::back_inserter(due));
    wire_.erase(split, wire_.end());
    std::sort(due.begin(), due.end(), [](const Datagram& a, const Datagram& b) {
        return a.due_step != b.due_step ? a.due_step < b.due_step : a.order < b.order;
    });
    for (Datagram& datagram : due) {
        if (FakePeerEndpoint* endpoint = find_endpoint(datagram.to)) {
            endpoint->take_datagram(datagram.from, datagram.reliable, datagram.acknowledgement, datagram.sequence,
                                    std::move(datagram.bytes));
        }
    }
    for (FakePeerEndpoint* endpoint : endpoints_) {
        endpoint->resend_due(step_, settings_.resend_steps);
    }
}

bool FakeOnlineWorld::is_idle() const {
    if (!wire_.empty()) {
        return false;
    }
    for (const FakePeerEndpoint* endpoint : endpoints_) {
        for (const auto& [remote, peer] : endpoint->peers_) {
            if (!peer.unacked.empty()) {
                return false;
            }
        }
    }
    return true;
}

void FakeOnlineWorld::run_until_idle(uint32_t max_steps) {
    for (uint32_t i = 0; i < max_steps && !is_idle(); ++i) {
        step();
    }
}

}  // namespace zolt::platform
