#include "zolt/network/network_game.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>
#include <vector>

#include "scripted_peer.h"
#include "support/fake_clock.h"
#include "zolt/core/events/message_test_support.h"
#include "zolt/core/script_objects/dictionary.h"
#include "zolt/network/connection.h"
#include "zolt/network/game_list.h"
#include "zolt/network/game_search.h"
#include "zolt/network/network_services.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {
namespace {

using State = NetworkGameState;
using test::ScriptedPeer;
using Sid = SystemMessageId;

// Events reach the listeners of clock 0 as broadcasts.
constexpr uint32_t clock_0_broadcast = 0x80000000u;

struct Heard {
    std::vector<std::pair<uint32_t, uint32_t>> states;
    std::vector<uint32_t> joined;
    std::vector<uint32_t> left;
    uint32_t connection_lost = 0;
    uint32_t list_changed = 0;
    uint32_t search_ended = 0;
};
Heard heard;

uint32_t read(core::Message* message, uint32_t id) {
    core::Property property;
    return message->get_property(id, property) ? property.get_u32() : 0xFFFFFFFF;
}

class NetworkGameTest : public test::MessageWorld {
protected:
    void SetUp() override {
        MessageWorld::SetUp();
        heard = {};
        enable({0});
        frame();
        test::Recipient* const recipient = test::recipients.create(false);
        recipient->action = [](core::Message* message) {
            switch (message->get_id() & 0xFFFFFFu) {
            case 0x1E0000:
                heard.states.emplace_back(read(message, network_game_property::old_state),
                                          read(message, network_game_property::new_state));
                break;
            case 0x210000:
                heard.joined.push_back(read(message, network_game_property::slot));
                break;
            case 0x220000:
                heard.left.push_back(read(message, network_game_property::slot));
                break;
            case 0x250000:
                ++heard.connection_lost;
                break;
            case 0x1F0000:
                ++heard.list_changed;
                break;
            case 0x200000:
                ++heard.search_ended;
                break;
            default:
                break;
            }
        };
        for (uint32_t kind : {0x1E0000u, 0x210000u, 0x220000u, 0x250000u, 0x1F0000u, 0x200000u}) {
            listen(clock_0_broadcast | kind, recipient->get_handle());
        }
        platform::set_online_client(&host_);
    }
    void TearDown() override {
        stop_game_search();
        clear_game_list();
        leave_network_game(true);
        reset_network_game();
        clear_system_message_handlers();
        set_user_message_reader(nullptr);
        platform::set_online_client(nullptr);
        MessageWorld::TearDown();
    }

    core::ObjectHandle settings(uint32_t mode, uint32_t limit, uint32_t private_places) {
        auto* const dictionary = core::dictionary_server.create_dictionary(5);
        for (auto [id, value] :
             {std::pair{network_game_property::mode, mode}, std::pair{network_game_property::player_limit, limit},
              std::pair{network_game_property::private_places, private_places}}) {
            core::Property property;
            property.set_u32(id & 0xFF000000u, value);
            dictionary->set_property(id, property);
        }
        return dictionary->get_handle();
    }

    // One network update: the wire, the game, the clocks.
    void pump(uint32_t updates = 1) {
        for (uint32_t i = 0; i < updates; ++i) {
            world_.step();
            update_network_game();
            frame();
            clock_.advance(10);
        }
    }

    std::vector<uint32_t> peer_hears(ScriptedPeer& peer) { return ScriptedPeer::kinds(peer.receive()); }

    // A remote player through connect, hello and join request; its slot.
    void join_peer(ScriptedPeer& peer, const char* name) {
        peer.send_control(ControlCode::connect_request);
        pump(3);
        peer.send_system(Sid::hello, {protocol_version});
        pump(3);
        std::vector<uint8_t> request = {0};
        const auto name_bytes = ScriptedPeer::name_field(name);
        request.insert(request.end(), name_bytes.begin(), name_bytes.end());
        ScriptedPeer::put_word(request, 0);
        peer.send_system(Sid::join_request, request);
        pump(3);
    }

    test::FakeClock clock_;
    platform::FakeOnlineWorld world_;
    platform::FakeOnlineClient& host_ = world_.add_client(1, "host");
    platform::FakePeerEndpoint& server_ = host_.start_game_server(1);
    platform::FakeOnlineClient& player_ = world_.add_client(2, "peer");
    platform::FakeOnlineClient& other_ = world_.add_client(3, "other");
    ScriptedPeer peer_{player_.get_user_endpoint(), server_.get_id()};
    ScriptedPeer other_peer_{other_.get_user_endpoint(), server_.get_id()};
};

const std::vector<std::pair<uint32_t, uint32_t>> to_lobby = {{0, 1}, {1, 4}};

TEST_F(NetworkGameTest, ALocalOnlyGamePassesThroughEveryState) {
    ASSERT_TRUE(host_network_game(settings(local_only_mode, 40, 50)));
    // 40 places asked, 32 given, all private.
    EXPECT_EQ(get_network_game().free_private_places, 32u);
    EXPECT_EQ(get_network_game().free_public_places, 0u);
    EXPECT_FALSE(start_loading_network_game());
    ASSERT_TRUE(start_network_game());
    ASSERT_TRUE(stop_network_game());
    ASSERT_TRUE(acknowledge_network_game_stop());
    leave_network_game(false);
    pump(3);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{0, 1},   {1, 4},  {4, 8},  {8, 9}, {9, 10},
                                                                 {10, 11}, {11, 4}, {4, 12}, {12, 0}};
    EXPECT_EQ(heard.states, expected);
    EXPECT_EQ(heard.joined, std::vector<uint32_t>{0});
    EXPECT_FALSE(host_network_game(0));
    EXPECT_EQ(get_network_game().host_error, NetworkGameError::no_settings);
}

TEST_F(NetworkGameTest, AHostTakesARemotePlayerThroughHandshakeLoadingStartAndStop) {
    ASSERT_TRUE(host_network_game(settings(0, 8, 2)));
    pump(3);
    EXPECT_EQ(heard.states, to_lobby);
    EXPECT_EQ(heard.joined, std::vector<uint32_t>{0});
    EXPECT_EQ(get_network_game().own_slot, 0u);
    // The host's own player holds a private place.
    EXPECT_EQ(get_network_game().free_private_places, 1u);
    // Loading needs a remote player.
    EXPECT_FALSE(start_loading_network_game());

    join_peer(peer_, "peer");
    const std::vector<test::PeerMessage> handshake = peer_.receive();
    EXPECT_EQ(ScriptedPeer::kinds(handshake), (std::vector<uint32_t>{test::control_kind + 2, 2, 5, 6}));
    ASSERT_EQ(handshake.size(), 4u);
    EXPECT_EQ(handshake[2].payload, (std::vector<uint8_t>{1, 0, 0}));  // slot 1, not running, public
    EXPECT_EQ(handshake[3].payload[0], 1u);                            // one player listed: slot 0
    EXPECT_EQ(heard.joined, (std::vector<uint32_t>{0, 1}));

    ASSERT_TRUE(start_loading_network_game());
    pump(3);
    EXPECT_EQ(peer_hears(peer_), std::vector<uint32_t>{8});
    peer_.send_system(Sid::loaded, {});
    pump(3);
    ASSERT_TRUE(start_network_game());
    pump(3);
    EXPECT_EQ(get_network_game().state, State::starting);
    EXPECT_EQ(peer_hears(peer_), std::vector<uint32_t>{10});
    peer_.send_system(Sid::started, {});
    pump(3);
    ASSERT_TRUE(stop_network_game());
    pump(3);
    EXPECT_EQ(peer_hears(peer_), std::vector<uint32_t>{12});
    ASSERT_TRUE(acknowledge_network_game_stop());
    pump(3);
    EXPECT_EQ(get_network_game().state, State::stopped);
    peer_.send_system(Sid::stopped, {});
    pump(3);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{0, 1}, {1, 4}, {4, 5},  {5, 6},   {6, 7},
                                                                 {7, 8}, {8, 9}, {9, 10}, {10, 11}, {11, 4}};
    EXPECT_EQ(heard.states, expected);
}

TEST_F(NetworkGameTest, RefusalsFreeTheSlot) {
    struct Case {
        const char* what;
        uint32_t limit;
        uint8_t version;
        uint32_t refusal;
    };
    const Case cases[] = {
        {"protocol mismatch", 8, 10, static_cast<uint32_t>(RefusalReason::protocol_mismatch)},
        {"game full", 1, protocol_version, static_cast<uint32_t>(RefusalReason::game_full)},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(host_network_game(settings(0, c.limit, 0)));
        pump(3);
        peer_.send_control(ControlCode::connect_request);
        pump(3);
        peer_.send_system(Sid::hello, {c.version});
        pump(3);
        std::vector<uint8_t> request = {0, 0, 0, 0, 0, 0, 0, 0, 0};
        peer_.send_system(Sid::join_request, request);
        pump(3);
        const std::vector<uint32_t> kinds = peer_hears(peer_);
        EXPECT_NE(std::find(kinds.begin(), kinds.end(), 4u), kinds.end()) << c.what;
        EXPECT_EQ(get_network_game().slots[1].state, SlotState::free) << c.what;
        EXPECT_EQ(heard.joined, std::vector<uint32_t>{0}) << c.what;
        leave_network_game(false);
        pump(3);
        heard = {};
    }
    // Nobody hosting: the connect request itself is refused.
    peer_.send_control(ControlCode::connect_request);
    pump(3);
    EXPECT_EQ(peer_hears(peer_), std::vector<uint32_t>{test::control_kind + 3});
}

TEST_F(NetworkGameTest, APlayerJoiningMidLoadIsWelcomedWhenTheGameRuns) {
    ASSERT_TRUE(host_network_game(settings(0, 8, 0)));
    pump(3);
    join_peer(peer_, "peer");
    peer_.receive();
    ASSERT_TRUE(start_loading_network_game());
    pump(3);
    join_peer(other_peer_, "other");
    EXPECT_EQ(get_network_game().slots[2].state, SlotState::waiting_for_welcome);
    peer_.send_system(Sid::loaded, {});
    pump(3);
    ASSERT_TRUE(start_network_game());
    pump(3);
    peer_.send_system(Sid::started, {});
    pump(3);
    EXPECT_EQ(get_network_game().state, State::running);
    const std::vector<test::PeerMessage> late = other_peer_.receive();
    ASSERT_FALSE(late.empty());
    EXPECT_EQ(late[late.size() - 2].kind, 5u);
    EXPECT_EQ(late[late.size() - 2].payload, (std::vector<uint8_t>{2, 1, 0}));  // slot 2, running
    EXPECT_EQ(late.back().kind, 6u);
    EXPECT_EQ(late.back().payload[0], 2u);  // slots 0 and 1
    EXPECT_EQ(heard.joined, (std::vector<uint32_t>{0, 1, 2}));
    // The first player hears of the newcomer.
    EXPECT_EQ(ScriptedPeer::kinds(peer_.receive()), (std::vector<uint32_t>{8, 10, 6}));
}

TEST_F(NetworkGameTest, ASilentPeerIsDroppedAndTheGameMovesOn) {
    ASSERT_TRUE(host_network_game(settings(0, 8, 0)));
    pump(3);
    join_peer(peer_, "peer");
    ASSERT_TRUE(start_network_game());
    pump(3);
    EXPECT_EQ(get_network_game().state, State::starting);
    // Twenty seconds without a word.
    clock_.advance(20001);
    pump(2);
    EXPECT_EQ(get_network_game().state, State::running);
    EXPECT_EQ(heard.left, std::vector<uint32_t>{1});
    EXPECT_EQ(get_network_game().slots[1].state, SlotState::free);
    EXPECT_EQ(get_connection(1).get_state(), ConnectionState::closed);
}

TEST_F(NetworkGameTest, APeerThatNeverFinishesItsHandshakeGivesItsSlotBackSoon) {
    ASSERT_TRUE(host_network_game(settings(0, 8, 0)));
    pump(3);
    join_peer(peer_, "peer");
    ScriptedPeer mute_peer{other_.get_user_endpoint(), server_.get_id()};
    mute_peer.send_control(ControlCode::connect_request);
    pump(3);
    ASSERT_EQ(get_network_game().slots[2].state, SlotState::waiting_for_hello);
    // Well inside the handshake time the slot is kept.
    clock_.advance(4000);
    pump(1);
    EXPECT_EQ(get_network_game().slots[2].state, SlotState::waiting_for_hello);
    clock_.advance(1100);
    pump(2);
    EXPECT_EQ(get_network_game().slots[2].state, SlotState::free);
    EXPECT_EQ(get_connection(2).get_state(), ConnectionState::closed);
    // The joined player, as quiet for as long, keeps its place.
    EXPECT_EQ(get_network_game().slots[1].state, SlotState::joined);
    EXPECT_EQ(get_network_game().free_public_places, 6u);
    EXPECT_EQ(heard.left, std::vector<uint32_t>{});
}

// After hello the join request may wait for the peer's loading: only the
// silence limit ends a peer that sends nothing more.
TEST_F(NetworkGameTest, APeerStuckAfterHelloIsTimedOutBySilenceAlone) {
    ASSERT_TRUE(host_network_game(settings(0, 8, 0)));
    pump(3);
    peer_.send_control(ControlCode::connect_request);
    pump(3);
    peer_.send_system(Sid::hello, {protocol_version});
    pump(3);
    ASSERT_EQ(get_network_game().slots[1].state, SlotState::waiting_for_join_request);
    clock_.advance(5100);
    pump(2);
    EXPECT_EQ(get_network_game().slots[1].state, SlotState::waiting_for_join_request);
    clock_.advance(20100);
    pump(2);
    EXPECT_EQ(get_network_game().slots[1].state, SlotState::free);
}

// The game searches the LAN of the fake world, where another machine runs a
// game server.
class GameSearchTest : public NetworkGameTest {
protected:
    void SetUp() override {
        NetworkGameTest::SetUp();
        platform::set_online_client(&player_);
        host_.set_game_server_details(details("Host's game", host_.get_app_id()));
    }

    static platform::ServerItem details(const char* name, uint32_t app_id) {
        platform::ServerItem item;
        std::snprintf(item.name, sizeof item.name, "%s", name);
        std::snprintf(item.map, sizeof item.map, "dunes");
        std::snprintf(item.tags, sizeof item.tags, "ctf");
        item.players = 3;
        item.max_players = 8;
        item.app_id = app_id;
        item.version = listed_game_version;
        item.game_port = 27015;
        return item;
    }
};

TEST_F(GameSearchTest, ALanSearchListsTheAnsweringGameAndEnds) {
    ASSERT_TRUE(start_game_search(settings(0, 0, 0)));
    EXPECT_TRUE(is_browsing());
    // One search at a time, and no hosting or joining meanwhile.
    EXPECT_FALSE(start_game_search(settings(0, 0, 0)));
    EXPECT_FALSE(host_network_game(settings(0, 8, 0)));
    EXPECT_EQ(get_network_game().host_error, NetworkGameError::busy);
    pump(3);
    EXPECT_FALSE(is_browsing());
    EXPECT_EQ(heard.search_ended, 1u);
    EXPECT_EQ(heard.list_changed, 1u);
    ASSERT_EQ(get_game_list_count(), 1u);
    const GameListing& listing = *get_game_listing(0);
    EXPECT_STREQ(listing.name, "Host's game");
    EXPECT_STREQ(listing.map, "dunes");
    EXPECT_EQ(listing.game_type, GameType::capture_the_flag);
    EXPECT_EQ(listing.kind, ListingKind::game_server);
    EXPECT_EQ(listing.id, server_.get_id());
    EXPECT_EQ(listing.player_count, 3u);
    EXPECT_EQ(listing.player_limit, 8u);

    // The listed game is joined like any other, and a second search finds
    // the same game again in place of adding it twice.
    ASSERT_TRUE(start_game_search(settings(0, 0, 0)));
    pump(3);
    EXPECT_EQ(get_game_list_count(), 1u);
    ASSERT_TRUE(join_listed_game(0));
    EXPECT_EQ(get_network_game().state, State::connecting);
}

TEST_F(GameSearchTest, OnlyGamesOfThisApplicationAndVersionAreListed) {
    struct Case {
        const char* what;
        uint32_t app_id;
        uint32_t version;
        const char* tags;
    };
    const Case cases[] = {
        {"another application", platform::FakeOnlineClient::fake_app_id + 1, listed_game_version, "dm"},
        {"another version", platform::FakeOnlineClient::fake_app_id, listed_game_version + 1, "dm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::ServerItem item = details("other", c.app_id);
        item.version = c.version;
        host_.set_game_server_details(item);
        heard = {};
        ASSERT_TRUE(start_game_search(settings(0, 0, 0)));
        pump(3);
        EXPECT_EQ(get_game_list_count(), 0u);
        EXPECT_EQ(heard.search_ended, 1u);
    }
}

TEST_F(GameSearchTest, RefusedAndStoppedSearches) {
    // Lobby searches need lobbies, which no back end here offers.
    EXPECT_FALSE(start_game_search(settings(1, 0, 0)));
    EXPECT_FALSE(start_game_search(0));
    EXPECT_FALSE(is_browsing());
    // A command-line query that runs holds the search back.
    const char* const arguments[] = {"zolt", "+connect", "127.0.0.1:27015"};
    core::parse_connect_arguments(3, arguments);
    ASSERT_TRUE(start_connect_request());
    EXPECT_FALSE(start_game_search(settings(0, 0, 0)));
    core::cancel_connect_request();

    ASSERT_TRUE(start_game_search(settings(0, 0, 0)));
    stop_game_search();
    EXPECT_FALSE(is_browsing());
    pump(3);
    EXPECT_EQ(get_game_list_count(), 0u);
    EXPECT_EQ(heard.search_ended, 0u);
    // The offline back end cannot search.
    platform::set_online_client(nullptr);
    EXPECT_FALSE(start_game_search(settings(0, 0, 0)));
}

// The game as a client of a host played by the test.
class NetworkClientTest : public NetworkGameTest {
protected:
    platform::FakePeerEndpoint& remote_server_ = other_.start_game_server(9);
    ScriptedPeer host_peer_{remote_server_, host_.get_user_id()};

    void SetUp() override {
        NetworkGameTest::SetUp();
        remote_server_.accept_session(host_.get_user_id());
        ASSERT_TRUE(join_network_game(remote_server_.get_id()));
        pump(3);
        ASSERT_EQ(ScriptedPeer::kinds(host_peer_.receive()), std::vector<uint32_t>{test::control_kind + 1});
        host_peer_.send_control(ControlCode::accepted);
        pump(3);
        ASSERT_EQ(get_network_game().state, State::handshaking);
        ASSERT_EQ(ScriptedPeer::kinds(host_peer_.receive()), std::vector<uint32_t>{1});
        host_peer_.send_system(Sid::accepted, {2});
        pump(3);
        ASSERT_EQ(ScriptedPeer::kinds(host_peer_.receive()), std::vector<uint32_t>{3});
    }
};

TEST_F(NetworkClientTest, JoiningARunningGameGoesStraightToRunningWithoutStarted) {
    host_peer_.send_system(Sid::welcome, {3, 1, 0});
    pump(3);
    const std::vector<std::pair<uint32_t, uint32_t>> expected = {{0, 2}, {2, 3}, {3, 8}, {8, 9}};
    EXPECT_EQ(heard.states, expected);
    EXPECT_EQ(get_network_game().own_slot, 3u);
    EXPECT_TRUE(get_network_game().joined_while_running);
    for (uint32_t kind : ScriptedPeer::kinds(host_peer_.receive())) {
        EXPECT_NE(kind, static_cast<uint32_t>(Sid::started));
    }
}

TEST_F(NetworkClientTest, AWelcomeToNoSlotFailsTheLinkAndTheJoin) {
    host_peer_.send_system(Sid::welcome, {40, 0, 0});
    pump(3);
    EXPECT_EQ(get_network_game().state, State::idle);
    EXPECT_EQ(get_network_game().join_error, NetworkGameError::link_failed);
}

TEST_F(NetworkClientTest, ARefusalBecomesTheJoinError) {
    host_peer_.send_system(Sid::refusal, {1});
    pump(3);
    EXPECT_EQ(get_network_game().state, State::idle);
    EXPECT_EQ(get_network_game().join_error, NetworkGameError::game_full);
}

}  // namespace
}  // namespace zolt::network
