#include "zolt/network/game_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/online/fake_online_world.h"
#include "scripted_peer.h"
#include "support/fake_clock.h"
#include "zolt/core/events/message_test_support.h"
#include "zolt/core/script_objects/dictionary.h"
#include "zolt/network/command_batch.h"
#include "zolt/network/connection.h"
#include "zolt/network/network_game.h"
#include "zolt/network/network_services.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {
namespace {

platform::ServerItem make_item(const char* name, const char* tags) {
    platform::ServerItem item;
    item.address = 0x7F000005;
    item.game_port = 27015;
    std::snprintf(item.name, sizeof item.name, "%s", name);
    std::snprintf(item.map, sizeof item.map, "harbour");
    std::snprintf(item.tags, sizeof item.tags, "%s", tags);
    item.players = 3;
    item.max_players = 8;
    item.version = listed_game_version;
    item.id = platform::make_game_server_id(7);
    return item;
}

TEST(GameList, ServerDetailsBecomeAnEntryOnlyForAValidGameOfThisVersion) {
    GameListing listing;
    ASSERT_TRUE(make_server_listing(make_item("Bay", "ctf"), &listing));
    EXPECT_EQ(listing.kind, ListingKind::game_server);
    EXPECT_STREQ(listing.name, "Bay");
    EXPECT_STREQ(listing.map, "harbour");
    EXPECT_EQ(listing.game_type, GameType::capture_the_flag);
    EXPECT_EQ(listing.player_count, 3u);
    EXPECT_EQ(listing.player_limit, 8u);
    EXPECT_EQ(listing.private_limit, 0u);

    ASSERT_TRUE(make_server_listing(make_item("", "dm "), &listing));
    EXPECT_STREQ(listing.name, "127.0.0.5:27015") << "a nameless server is named by its address";
    EXPECT_EQ(listing.game_type, GameType::other) << "tags must match exactly";
    // 30 ASCII bytes and a two-byte character: the cut never splits it.
    ASSERT_TRUE(make_server_listing(make_item("012345678901234567890123456789\xC3\xA9", "team"), &listing));
    EXPECT_STREQ(listing.name, "012345678901234567890123456789");

    platform::ServerItem other_version = make_item("Bay", "ctf");
    other_version.version = listed_game_version + 1;
    EXPECT_FALSE(make_server_listing(other_version, &listing));
    platform::ServerItem bad_id = make_item("Bay", "ctf");
    bad_id.id = platform::make_online_id(0, 0, 1, 1);
    EXPECT_FALSE(make_server_listing(bad_id, &listing));
}

class GameListWorld : public test::MessageWorld {
protected:
    void SetUp() override {
        MessageWorld::SetUp();
        enable({0});
        clear_game_list();
        core::cancel_connect_request();
    }
    void TearDown() override {
        core::cancel_connect_request();
        leave_network_game(true);
        reset_network_game();
        clear_system_message_handlers();
        set_user_message_reader(nullptr);
        core::set_network_message_deliverer(nullptr);
        platform::set_online_client(nullptr);
        MessageWorld::TearDown();
    }
    void pump(uint32_t updates = 1) {
        for (uint32_t i = 0; i < updates; ++i) {
            world_.step();
            update_network_game();
            frame();
            clock_.advance(10);
        }
    }
    core::ObjectHandle lan_settings() {
        auto* const dictionary = core::dictionary_server.create_dictionary(5);
        for (auto [id, value] : {std::pair{network_game_property::mode, 0u},
                                 std::pair{network_game_property::player_limit, 4u}}) {
            core::Property property;
            property.set_u32(id & 0xFF000000u, value);
            dictionary->set_property(id, property);
        }
        return dictionary->get_handle();
    }

    test::FakeClock clock_;
    platform::FakeOnlineWorld world_;
    platform::FakeOnlineClient& host_ = world_.add_client(1, "host");
    platform::FakePeerEndpoint& server_ = host_.start_game_server(1);
    platform::FakeOnlineClient& player_ = world_.add_client(2, "player");
};

TEST_F(GameListWorld, TheSameGameIsReplacedAndAnotherAppended) {
    GameListing listing;
    ASSERT_TRUE(make_server_listing(make_item("Bay", "ctf"), &listing));
    add_game_listing(listing);
    listing.player_count = 5;
    add_game_listing(listing);
    ASSERT_EQ(get_game_list_count(), 1u);
    EXPECT_EQ(get_game_listing(0)->player_count, 5u);
    listing.game_type = GameType::team;
    add_game_listing(listing);
    EXPECT_EQ(get_game_list_count(), 2u) << "another type is another game";
    EXPECT_EQ(get_game_listing(2), nullptr);
}

// "+connect" names the host's address; the query finds its game server, whose
// entry the player joins like any listed game.
TEST_F(GameListWorld, AConnectRequestResolvesIntoTheHostsEntryWhichThePlayerJoins) {
    platform::ServerItem details = make_item("Bay", "conquest");
    host_.set_game_server_details(details);
    platform::set_online_client(&player_);
    const char* const arguments[] = {"+connect", "127.0.0.1:27015"};
    core::parse_connect_arguments(2, arguments);
    EXPECT_FALSE(poll_connect_request()) << "not started";
    ASSERT_TRUE(start_connect_request());
    EXPECT_FALSE(start_connect_request()) << "already started";
    EXPECT_FALSE(poll_connect_request()) << "the query runs";
    pump();
    ASSERT_TRUE(poll_connect_request());
    EXPECT_FALSE(get_connect_request().pending);
    ASSERT_EQ(get_game_list_count(), 1u);
    EXPECT_EQ(get_game_listing(0)->id, server_.get_id());
    EXPECT_EQ(get_game_listing(0)->game_type, GameType::conquest);

    EXPECT_FALSE(join_listed_game(1));
    EXPECT_EQ(get_network_game().join_error, NetworkGameError::no_settings);
    ASSERT_TRUE(join_listed_game(0));
    EXPECT_EQ(get_network_game().state, NetworkGameState::connecting);
    EXPECT_EQ(get_connection(client_connection_index).get_remote_id(), server_.get_id());
    EXPECT_FALSE(join_listed_game(0));
    EXPECT_EQ(get_network_game().join_error, NetworkGameError::busy);
}

TEST_F(GameListWorld, AnAddressWhereNoGameRunsResolvesToNoEntry) {
    platform::set_online_client(&player_);
    const char* const arguments[] = {"+connect", "127.0.0.9:27015"};
    core::parse_connect_arguments(2, arguments);
    ASSERT_TRUE(start_connect_request());
    pump();
    EXPECT_TRUE(poll_connect_request());
    EXPECT_EQ(get_game_list_count(), 0u);
    // Offline nothing can be queried.
    platform::set_online_client(nullptr);
    core::parse_connect_arguments(2, arguments);
    EXPECT_FALSE(start_connect_request());
}

// Invitations accepted in the overlay arrive as callbacks, handled from the
// engine's start on, and become the pending request when none is.
TEST_F(GameListWorld, InvitationsBecomeThePendingRequestWhenNoneIs) {
    host_.set_game_server_details(make_item("Bay", "dm"));
    platform::set_online_client(&player_);
    core::register_steam_callbacks();
    const auto invite = [this](platform::OnlineCallbackId id, platform::OnlineId remote, const char* server) {
        platform::OnlineCallback callback{id, remote};
        std::snprintf(callback.text, sizeof callback.text, "%s", server);
        player_.post_callback(callback);
        pump();
    };
    const platform::OnlineId lobby = platform::make_online_id(77, 1u << 18, platform::online_account_type_chat, 1);
    struct Case {
        const char* what;
        platform::OnlineCallbackId id;
        platform::OnlineId remote;
        const char* server;
        bool pending;
    };
    const Case cases[] = {
        {"a server", platform::OnlineCallbackId::server_change_requested, 0, "127.0.0.1:27015", true},
        {"a server with an octet too large", platform::OnlineCallbackId::server_change_requested, 0,
         "127.0.0.300:27015", false},
        {"a server with text after it", platform::OnlineCallbackId::server_change_requested, 0, "127.0.0.1:27015x",
         false},
        {"a lobby", platform::OnlineCallbackId::lobby_join_requested, lobby, "", true},
        {"a player's id for a lobby", platform::OnlineCallbackId::lobby_join_requested, platform::make_user_id(5), "",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        core::cancel_connect_request();
        invite(c.id, c.remote, c.server);
        EXPECT_EQ(get_connect_request().pending, c.pending);
    }

    core::cancel_connect_request();
    invite(platform::OnlineCallbackId::server_change_requested, 0, "127.0.0.1:27015");
    // A second invitation while the first is pending is ignored.
    invite(platform::OnlineCallbackId::lobby_join_requested, lobby, "");
    EXPECT_FALSE(get_connect_request().to_lobby);
    EXPECT_EQ(get_connect_request().user_code, 0x0F);
    ASSERT_TRUE(start_connect_request());
    pump();
    ASSERT_TRUE(poll_connect_request());
    ASSERT_EQ(get_game_list_count(), 1u);
    EXPECT_EQ(get_game_listing(0)->id, server_.get_id());
    core::unregister_steam_callbacks();
}

TEST_F(GameListWorld, ALobbyToConnectToMustBeALobbysId) {
    const std::string player_id = std::to_string(platform::make_user_id(5));
    const char* const arguments[] = {"+connect_lobby", player_id.c_str()};
    core::parse_connect_arguments(2, arguments);
    EXPECT_FALSE(get_connect_request().pending);
}

struct Command {
    uint32_t command;
    float first;
    float second;
    uint32_t word;
    uint32_t last;
    core::ObjectHandle recipient;
};
std::vector<Command> commands;

bool take_command(core::Message* message) {
    const auto read = [message](uint32_t id) {
        core::Property property;
        return message->get_property(id, property) ? property : core::Property{};
    };
    commands.push_back({read(command_record_property::command).get_u32(),
                        read(command_record_property::first_value).get_float(),
                        read(command_record_property::second_value).get_float(),
                        read(command_record_property::word).get_u32(), read(command_record_property::last).get_u32(),
                        message->get_recipient()});
    return false;
}

// The host's own player sends through the in-process pair, which reads the
// batch as any player's: fields left out repeat the record before.
TEST_F(GameListWorld, ACommandBatchArrivesAsOneCommandMessagePerRecord) {
    platform::set_online_client(&host_);
    ASSERT_TRUE(host_network_game(lan_settings()));
    pump(5);
    ASSERT_EQ(get_network_game().slots[0].state, SlotState::joined);
    commands.clear();
    core::set_network_message_deliverer(take_command);
    const Command sent[] = {{5, 1.5f, -0.0f, 7, 0, 0}, {5, 1.5f, 2.0f, 8, 0, 0}, {130, 0.25f, 2.0f, 9, 1, 0}};
    core::ObjectHandle next = 0;
    for (int index = 2; index >= 0; --index) {
        auto* const record = core::dictionary_server.create_dictionary(5);
        core::Property property;
        property.set_u32(0x03000000, sent[index].command);
        record->set_property(command_record_property::command, property);
        property.set_float(0x05000000, sent[index].first);
        record->set_property(command_record_property::first_value, property);
        property.set_float(0x05000000, sent[index].second);
        record->set_property(command_record_property::second_value, property);
        property.set_u32(0x03000000, sent[index].word);
        record->set_property(command_record_property::word, property);
        if (next != 0) {
            property.set_u32(0x01000000, next);
            record->set_property(command_record_property::next, property);
        }
        next = record->get_handle();
    }
    const core::ObjectHandle target = next;
    ASSERT_TRUE(send_command_batch(target, next, true));
    pump(3);
    ASSERT_EQ(commands.size(), 3u);
    for (uint32_t index = 0; index < 3; ++index) {
        EXPECT_EQ(commands[index].command, sent[index].command & 0x7Fu) << index;
        EXPECT_EQ(std::memcmp(&commands[index].first, &sent[index].first, sizeof(float)), 0) << index;
        EXPECT_EQ(std::memcmp(&commands[index].second, &sent[index].second, sizeof(float)), 0) << index;
        EXPECT_EQ(commands[index].word, sent[index].word) << index;
        EXPECT_EQ(commands[index].last, index == 2 ? 1u : 0u) << index;
        EXPECT_EQ(commands[index].recipient, target) << index;
    }
    EXPECT_FALSE(send_command_batch(target, 0, true)) << "no record, nothing sent";
}

// A batch that claims more records than its bits hold fails the host's link
// to that player, and makes no message.
TEST_F(GameListWorld, ABatchShortOfItsRecordsFailsTheLink) {
    platform::set_online_client(&host_);
    ASSERT_TRUE(host_network_game(lan_settings()));
    pump(5);
    commands.clear();
    core::set_network_message_deliverer(take_command);
    Connection& own = get_connection(client_connection_index);
    ASSERT_TRUE(own.begin_system_message(SystemMessageId::command_batch));
    NetworkStream& stream = get_send_stream();
    stream.write_bits(6, 0);   // the null target
    stream.write_bits(5, 31);  // 31 records, none there
    stream.write_bits(5, 0);
    ASSERT_TRUE(own.finish_message(true));
    pump(3);
    EXPECT_TRUE(commands.empty());
    EXPECT_EQ(get_connection(0).get_state(), ConnectionState::failed);
}

}  // namespace
}  // namespace zolt::network
