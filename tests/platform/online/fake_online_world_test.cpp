#include "platform/online/fake_online_world.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/online/online_client.h"

namespace zolt::platform {
namespace {

struct Received {
    bool reliable;
    uint32_t number;
};

// Packets carry their kind and a running number so order can be checked.
void send_numbered(FakePeerEndpoint& from, OnlineId to, bool reliable, uint32_t number) {
    const uint8_t bytes[5] = {static_cast<uint8_t>(reliable ? 1 : 0), static_cast<uint8_t>(number),
                              static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number >> 16),
                              static_cast<uint8_t>(number >> 24)};
    ASSERT_TRUE(
        from.send_packet(to, bytes, sizeof bytes, reliable ? PeerSendType::reliable : PeerSendType::unreliable));
}

void drain(FakePeerEndpoint& endpoint, std::vector<Received>* received) {
    uint32_t size = 0;
    while (endpoint.is_packet_available(&size)) {
        uint8_t bytes[16];
        OnlineId sender = 0;
        ASSERT_TRUE(endpoint.read_packet(bytes, sizeof bytes, &size, &sender));
        ASSERT_EQ(size, 5u);
        received->push_back(
            {bytes[0] == 1, static_cast<uint32_t>(bytes[1] | bytes[2] << 8 | bytes[3] << 16 | bytes[4] << 24)});
    }
}

struct SessionLog {
    std::vector<OnlineCallback> callbacks;
    static void record(void* context, const OnlineCallback& callback) {
        static_cast<SessionLog*>(context)->callbacks.push_back(callback);
    }
};

TEST(OnlineIds, ValidityFollowsTypeUniverseAndInstance) {
    struct Case {
        OnlineId id;
        bool valid;
    };
    const Case cases[] = {
        {make_user_id(7), true},
        {make_user_id(0), false},  // an individual needs an account
        {make_online_id(7, 2, online_account_type_individual, 1), false},
        {make_game_server_id(3), true},
        {make_online_id(1, 0x40000, online_account_type_chat, 1), true},
        {make_online_id(1, 0, 0, 1), false},   // no type
        {make_online_id(1, 0, 11, 1), false},  // unknown type
        {make_online_id(1, 0, 4, 0), false},   // no universe
        {make_online_id(1, 0, 4, 6), false},   // unknown universe
        {make_online_id(0, 0, 7, 1), false},
        {0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(is_valid_online_id(c.id), c.valid) << std::hex << c.id;
    }
}

TEST(OfflineOnlineClient, AnswersNotAvailable) {
    set_online_client(nullptr);
    OnlineClient& client = get_online_client();
    EXPECT_FALSE(client.is_available());
    EXPECT_EQ(client.get_user_id(), 0u);
    EXPECT_STREQ(client.get_persona_name(), "");
    EXPECT_EQ(client.get_client_networking(), nullptr);
    EXPECT_EQ(client.get_game_server_networking(), nullptr);
    client.run_callbacks();
}

// Under loss, duplication and reordering the reliable packets still arrive
// once each and in order, and no unreliable packet overtakes a reliable one
// sent before it.
TEST(FakeOnlineWorld, ReliablePacketsArriveOnceInOrderOverALossyWire) {
    for (uint32_t seed : {1u, 2u, 3u, 42u}) {
        FakeOnlineWorld world({seed, 10, 5, 10, 1, 4});
        FakeOnlineClient& host = world.add_client(1, "host");
        FakeOnlineClient& player = world.add_client(2, "player");
        player.get_user_endpoint().accept_session(host.get_user_id());
        std::vector<Received> received;
        uint32_t sent_reliable = 0;
        for (uint32_t number = 1; number <= 400; ++number) {
            const bool reliable = number % 3 != 0;
            sent_reliable += reliable ? 1 : 0;
            send_numbered(host.get_user_endpoint(), player.get_user_id(), reliable, number);
            world.step();
            drain(player.get_user_endpoint(), &received);
        }
        world.run_until_idle(1000);
        drain(player.get_user_endpoint(), &received);
        ASSERT_TRUE(world.is_idle());
        EXPECT_GT(world.get_counts().lost, 0u);
        EXPECT_GT(world.get_counts().reordered, 0u);

        uint32_t reliable_seen = 0;
        uint32_t last_reliable = 0;
        for (const Received& r : received) {
            if (r.reliable) {
                EXPECT_GT(r.number, last_reliable) << "seed " << seed;
                last_reliable = r.number;
                ++reliable_seen;
            } else {
                // The reliable packet sent just before this one is already in.
                EXPECT_GE(last_reliable, r.number - 1) << "seed " << seed;
            }
        }
        EXPECT_EQ(reliable_seen, sent_reliable) << "seed " << seed;
    }
}

TEST(FakeOnlineWorld, PacketsOfANewPeerWaitForTheSessionToBeAccepted) {
    FakeOnlineWorld world;
    FakeOnlineClient& host = world.add_client(1, "host");
    FakeOnlineClient& player = world.add_client(2, "player");
    SessionLog log;
    host.set_callback_handler(SessionLog::record, &log);

    send_numbered(player.get_user_endpoint(), host.get_user_id(), true, 1);
    send_numbered(player.get_user_endpoint(), host.get_user_id(), true, 2);
    world.run_until_idle(20);
    uint32_t size = 0;
    EXPECT_FALSE(host.get_user_endpoint().is_packet_available(&size));
    EXPECT_EQ(host.get_user_endpoint().get_held_packet_count(), 2u);
    // Callbacks come only from run_callbacks, one per peer.
    EXPECT_TRUE(log.callbacks.empty());
    host.run_callbacks();
    ASSERT_EQ(log.callbacks.size(), 1u);
    EXPECT_EQ(log.callbacks[0].id, OnlineCallbackId::peer_session_request);
    EXPECT_EQ(log.callbacks[0].remote, player.get_user_id());

    host.get_user_endpoint().accept_session(player.get_user_id());
    std::vector<Received> received;
    drain(host.get_user_endpoint(), &received);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[1].number, 2u);
    uint32_t address = 0;
    ASSERT_TRUE(host.get_user_endpoint().get_session_address(player.get_user_id(), &address));
    EXPECT_EQ(address, 0x7F000002u);
}

TEST(FakeOnlineWorld, SendingToNobodyReportsAConnectFailure) {
    FakeOnlineWorld world;
    FakeOnlineClient& player = world.add_client(2, "player");
    SessionLog log;
    player.set_callback_handler(SessionLog::record, &log);
    const OnlineId nobody = make_user_id(99);
    send_numbered(player.get_user_endpoint(), nobody, true, 1);
    const uint8_t too_large[peer_packet_capacity + 1] = {};
    EXPECT_FALSE(player.get_user_endpoint().send_packet(nobody, too_large, sizeof too_large, PeerSendType::reliable));
    player.run_callbacks();
    ASSERT_EQ(log.callbacks.size(), 1u);
    EXPECT_EQ(log.callbacks[0].id, OnlineCallbackId::peer_session_connect_failure);
    EXPECT_EQ(log.callbacks[0].remote, nobody);
}

TEST(FakeOnlineWorld, GameServerEndpointIsAPeerOfItsOwnUser) {
    FakeOnlineWorld world;
    FakeOnlineClient& host = world.add_client(1, "host");
    FakePeerEndpoint& server = host.start_game_server(5);
    EXPECT_EQ(&server, host.get_game_server_networking());
    EXPECT_TRUE(is_valid_online_id(server.get_id()));
    send_numbered(server, host.get_user_id(), true, 9);
    world.run_until_idle(10);
    host.get_user_endpoint().accept_session(server.get_id());
    std::vector<Received> received;
    drain(host.get_user_endpoint(), &received);
    ASSERT_EQ(received.size(), 1u);
    uint32_t address = 0;
    ASSERT_TRUE(host.get_user_endpoint().get_session_address(server.get_id(), &address));
    EXPECT_EQ(address, 0x7F000001u);
}

}  // namespace
}  // namespace zolt::platform
