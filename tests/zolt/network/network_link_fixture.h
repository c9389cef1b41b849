#pragma once
// Links on a fake online world: the host's game-server endpoint and its own
// user endpoint are two peers, so one process holds both ends of a link.
// Packets a scripted peer would send are built here field by field.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/online/fake_online_world.h"
#include "zolt/network/connection.h"
#include "zolt/network/peer_packets.h"

namespace zolt::test {

inline void put_word(std::vector<uint8_t>* bytes, uint32_t word) {
    for (uint32_t i = 0; i < 4; ++i) {
        bytes->push_back(static_cast<uint8_t>(word >> (8 * i)));
    }
}

// A reliable packet numbered `number` holding one message; length_bits is
// written as given, so it may lie about the payload.
inline std::vector<uint8_t> make_reliable_packet(uint32_t number, uint32_t length_bits, uint8_t id,
                                                 const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> bytes;
    put_word(&bytes, number | network::reliable_packet_bit);
    bytes.push_back(static_cast<uint8_t>(length_bits));
    bytes.push_back(static_cast<uint8_t>(length_bits >> 8));
    bytes.push_back(id);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

inline std::vector<uint8_t> make_unreliable_packet(uint32_t number, uint32_t named_reliable, uint32_t length_bits,
                                                   uint8_t id, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> bytes;
    put_word(&bytes, number);
    put_word(&bytes, named_reliable);
    bytes.push_back(static_cast<uint8_t>(length_bits));
    bytes.push_back(static_cast<uint8_t>(length_bits >> 8));
    bytes.push_back(id);
    bytes.insert(bytes.end(), payload.begin(), payload.end());
    return bytes;
}

class NetworkLinkTest : public ::testing::Test {
protected:
    explicit NetworkLinkTest(const platform::FakeWireSettings& settings = {})
        : world_(settings), host_(world_.add_client(1, "host")), server_(host_.start_game_server(1)) {
        platform::set_online_client(&host_);
    }
    ~NetworkLinkTest() override {
        for (uint32_t i = 0; i < network::connection_count; ++i) {
            network::get_connection(i).reset();
        }
        network::clear_system_message_handlers();
        network::set_user_message_reader(nullptr);
        network::clear_peer_packet_counts();
        platform::set_online_client(nullptr);
    }

    // A host-side link for slot 1 with the host's own user endpoint as the
    // player, and the client link to the game server: both ends of one link.
    void open_link_pair() {
        host_link().open_to_user(host_.get_user_id(), 1);
        ASSERT_TRUE(client_link().connect_to_host(server_.get_id()));
        client_link().set_state(network::ConnectionState::connected);
        host_.get_user_endpoint().accept_session(server_.get_id());
        server_.accept_session(host_.get_user_id());
    }

    // One step of the wire, then both sides read what arrived.
    void pump() {
        world_.step();
        network::receive_all_p2p_packets(server_, true, nullptr);
        network::receive_all_p2p_packets(host_.get_user_endpoint(), false, nullptr);
    }

    static network::Connection& host_link() { return network::get_connection(1); }
    static network::Connection& client_link() { return network::get_connection(network::client_connection_index); }

    platform::FakeOnlineWorld world_;
    platform::FakeOnlineClient& host_;
    platform::FakePeerEndpoint& server_;
};

}  // namespace zolt::test
