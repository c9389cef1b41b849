#include "zolt/network/connection.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "network_link_fixture.h"

namespace zolt::network {
namespace {

using test::make_reliable_packet;
using test::make_unreliable_packet;

struct Seen {
    uint32_t hellos = 0;
    uint32_t version = 0;
    std::vector<uint32_t> user_values;
    std::vector<uint32_t> user_formats;
};
Seen seen;

bool read_hello(Connection&, NetworkStream& stream) {
    ++seen.hellos;
    return stream.read_checked(8, &seen.version);
}

bool read_hello_partly(Connection&, NetworkStream&) {
    ++seen.hellos;
    return true;
}

bool close_on_stop(Connection& link, NetworkStream&) {
    link.set_state(ConnectionState::closing);
    return true;
}

// Reads a 32-bit value when the message has one.
bool read_user_value(Connection&, NetworkStream& stream, uint32_t length_bits, bool, uint32_t format) {
    uint32_t value = 0;
    if (length_bits >= 32 && !stream.read_checked(32, &value)) {
        return false;
    }
    seen.user_values.push_back(value);
    seen.user_formats.push_back(format);
    return true;
}

bool read_past_message(Connection&, NetworkStream& stream, uint32_t length_bits, bool, uint32_t) {
    return stream.skip_bits(length_bits + 8);
}

class ConnectionTest : public test::NetworkLinkTest {
protected:
    ConnectionTest() {
        seen = {};
        set_system_message_handler(MessageSide::host, SystemMessageId::hello, read_hello);
        set_system_message_handler(MessageSide::client, SystemMessageId::stop, close_on_stop);
        set_user_message_reader(read_user_value);
        host_link().open_to_user(platform::make_user_id(2), 1);
    }
};

// Every row is one malformed packet from a peer: the link fails and no
// handler runs on it.
TEST_F(ConnectionTest, MalformedPacketsFailTheLinkBeforeAnyHandlerRuns) {
    struct Case {
        const char* fault;
        std::vector<uint8_t> packet;
    };
    const std::vector<uint8_t> hello = {1, protocol_version};
    std::vector<uint8_t> bits_28_set = make_reliable_packet(1, 16, system_message_id, hello);
    bits_28_set[3] |= 0x10;
    const Case cases[] = {
        {"shorter than a sequence word", {1, 0, 0}},
        {"sequence bit 28 set", bits_28_set},
        {"unreliable without the reliable number", {1, 0, 0, 0, 0, 0}},
        {"no message header", {1, 0, 0, 0x40, 16, 0}},
        {"length past the packet", make_reliable_packet(1, 64, system_message_id, hello)},
        {"system length not whole bytes", make_reliable_packet(1, 12, system_message_id, hello)},
        {"system length of zero", make_reliable_packet(1, 0, system_message_id, {})},
        {"hello with 24 bits", make_reliable_packet(1, 24, system_message_id, {1, protocol_version, 0})},
        {"unknown system id 21", make_reliable_packet(1, 8, system_message_id, {21})},
        {"unknown system id 0", make_reliable_packet(1, 8, system_message_id, {0})},
        {"client message on a host link", make_reliable_packet(1, 8, system_message_id, {2})},
        {"known message without a handler", make_reliable_packet(1, 8, system_message_id, {9})},
        {"packet numbered 0", make_reliable_packet(0, 16, system_message_id, hello)},
    };
    for (const Case& c : cases) {
        host_link().open_to_user(platform::make_user_id(2), 1);
        seen = {};
        EXPECT_FALSE(host_link().receive_packet(c.packet.data(), static_cast<uint32_t>(c.packet.size()))) << c.fault;
        EXPECT_EQ(host_link().get_state(), ConnectionState::failed) << c.fault;
        EXPECT_EQ(seen.hellos, 0u) << c.fault;
    }
}

TEST_F(ConnectionTest, HandlerMustReadExactlyItsMessage) {
    const auto hello = make_reliable_packet(1, 16, system_message_id, {1, protocol_version});
    ASSERT_TRUE(host_link().receive_packet(hello.data(), static_cast<uint32_t>(hello.size())));
    EXPECT_EQ(seen.hellos, 1u);
    EXPECT_EQ(seen.version, protocol_version);
    EXPECT_TRUE(host_link().is_connected());

    set_system_message_handler(MessageSide::host, SystemMessageId::hello, read_hello_partly);
    const auto again = make_reliable_packet(2, 16, system_message_id, {1, protocol_version});
    EXPECT_FALSE(host_link().receive_packet(again.data(), static_cast<uint32_t>(again.size())));
    EXPECT_EQ(host_link().get_state(), ConnectionState::failed);
}

TEST_F(ConnectionTest, AHandlerThatClosesTheLinkNeedNotReadEverything) {
    Connection& link = client_link();
    link.open_to_user(platform::make_user_id(2), no_player_slot);
    link.set_client_link(true);
    const auto stop = make_reliable_packet(1, 8, system_message_id, {12});
    EXPECT_TRUE(link.receive_packet(stop.data(), static_cast<uint32_t>(stop.size())));
    EXPECT_EQ(link.get_state(), ConnectionState::closing);
}

TEST_F(ConnectionTest, PacketOrderRules) {
    const std::vector<uint8_t> value = {7, 0, 0, 0};
    auto receive = [&](const std::vector<uint8_t>& packet) {
        return host_link().receive_packet(packet.data(), static_cast<uint32_t>(packet.size()));
    };
    ASSERT_TRUE(receive(make_reliable_packet(1, 32, 1, value)));
    ASSERT_TRUE(receive(make_unreliable_packet(2, 1, 32, 1, value)));
    // A repeated unreliable number and one naming an older or a newer
    // reliable packet are dropped; the link stays up.
    EXPECT_FALSE(receive(make_unreliable_packet(2, 1, 32, 1, value)));
    EXPECT_FALSE(receive(make_unreliable_packet(5, 0, 32, 1, value)));
    EXPECT_FALSE(receive(make_unreliable_packet(6, 4, 32, 1, value)));
    EXPECT_TRUE(host_link().is_connected());
    EXPECT_EQ(host_link().get_dropped_packet_count(), 3u);
    EXPECT_EQ(seen.user_values.size(), 2u);
    // The reliable packet the newer one named still comes in order.
    ASSERT_TRUE(receive(make_reliable_packet(4, 32, 1, value)));
    EXPECT_EQ(host_link().get_last_reliable_sequence_received(), 4u);
    // A reliable packet that repeats a number fails the link.
    EXPECT_FALSE(receive(make_reliable_packet(4, 32, 1, value)));
    EXPECT_EQ(host_link().get_state(), ConnectionState::failed);
}

TEST_F(ConnectionTest, UserMessagesAreReadToTheirLengthAndNoFurther) {
    auto receive = [&](const std::vector<uint8_t>& packet) {
        return host_link().receive_packet(packet.data(), static_cast<uint32_t>(packet.size()));
    };
    // The reader takes 32 of 48 bits; the rest is skipped.
    ASSERT_TRUE(receive(make_reliable_packet(1, 48, 0x85, {1, 2, 3, 4, 5, 6})));
    ASSERT_EQ(seen.user_values.size(), 1u);
    EXPECT_EQ(seen.user_values[0], 0x04030201u);
    EXPECT_EQ(seen.user_formats[0], 5u);
    set_user_message_reader(read_past_message);
    EXPECT_FALSE(receive(make_reliable_packet(2, 8, 3, {1, 2})));
    EXPECT_EQ(host_link().get_state(), ConnectionState::failed);
}

TEST_F(ConnectionTest, PacketsLargerThanTheRingFailTheLink) {
    std::vector<uint8_t> huge = make_reliable_packet(1, 0xFFF8, 1, std::vector<uint8_t>(65536 - 6, 0));
    EXPECT_FALSE(host_link().receive_packet(huge.data(), static_cast<uint32_t>(huge.size())));
    EXPECT_EQ(host_link().get_state(), ConnectionState::failed);
}

TEST_F(ConnectionTest, LargestMessageIsSentAndOneBitMoreFailsTheSender) {
    open_link_pair();
    ASSERT_TRUE(client_link().begin_message(1));
    for (uint32_t i = 0; i < 0xFFF8 / 8; ++i) {
        ASSERT_TRUE(get_send_stream().write_bits(8, i == 0 ? 0x2A : 0));
    }
    ASSERT_TRUE(client_link().finish_message(true));
    pump();
    ASSERT_EQ(seen.user_values.size(), 1u);
    EXPECT_EQ(seen.user_values[0], 0x2Au);
    EXPECT_TRUE(host_link().is_connected());

    ASSERT_TRUE(client_link().begin_message(1));
    for (uint32_t i = 0; i < 0x10000 / 32; ++i) {
        ASSERT_TRUE(get_send_stream().write_bits(32, 0));
    }
    EXPECT_FALSE(client_link().finish_message(true));
    EXPECT_EQ(client_link().get_state(), ConnectionState::failed);
}

TEST_F(ConnectionTest, PacketsFromStrangersCloseTheirSession) {
    open_link_pair();
    platform::FakeOnlineClient& stranger = world_.add_client(9, "stranger");
    const auto packet = make_reliable_packet(1, 32, 1, {1, 0, 0, 0});
    ASSERT_TRUE(stranger.get_user_endpoint().send_packet(
        server_.get_id(), packet.data(), static_cast<uint32_t>(packet.size()), platform::PeerSendType::reliable));
    world_.step();
    server_.accept_session(stranger.get_user_id());
    pump();
    EXPECT_EQ(get_peer_packet_counts().dropped, 1u);
    EXPECT_TRUE(seen.user_values.empty());
    EXPECT_TRUE(host_link().is_connected());
}

TEST_F(ConnectionTest, PlayerNamesAreCutAndLengthsChecked) {
    struct Case {
        uint32_t length;
        uint32_t bytes_there;
        bool read;
        const char* name;
    };
    const Case cases[] = {
        {5, 5, true, "aaaaa"},      {40, 40, true, "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"},
        {6, 5, false, ""},          {0x20000000, 8, false, ""},
        {0xFFFFFFFF, 8, false, ""},
    };
    for (const Case& c : cases) {
        NetworkStream& stream = get_send_stream();
        stream.clear();
        stream.write_bits(32, c.length);
        for (uint32_t i = 0; i < c.bytes_there; ++i) {
            stream.write_bits(8, 'a');
        }
        if (c.read) {
            stream.write_bits(8, 0xEE);
        }
        host_link().set_persona_name("");
        EXPECT_EQ(Connection::read_player_name(host_link(), stream), c.read) << c.length;
        EXPECT_STREQ(host_link().get_persona_name(), c.name) << c.length;
        if (c.read) {
            EXPECT_EQ(stream.read_bits(8), 0xEEu) << c.length;
        }
    }
}

TEST_F(ConnectionTest, InProcessPairFailsCleanlyWhenThePeersRingIsFull) {
    Connection& client = client_link();
    Connection& slot = get_connection(0);
    Connection::connect_local_pair(client, slot);
    ASSERT_TRUE(client.send_hello());
    // 8 KB messages until the host's unread ring cannot take another.
    uint32_t sent = 0;
    for (;;) {
        ASSERT_TRUE(client.begin_message(1));
        get_send_stream().write_bits(32, sent + 1);
        for (uint32_t i = 0; i < 2000; ++i) {
            get_send_stream().write_bits(32, 0);
        }
        if (!client.finish_message(true)) {
            break;
        }
        ++sent;
    }
    EXPECT_EQ(client.get_state(), ConnectionState::failed);
    EXPECT_EQ(sent, 8u);
    slot.receive_pending_messages();
    EXPECT_TRUE(slot.is_connected());
    EXPECT_EQ(seen.hellos, 1u);
    ASSERT_EQ(seen.user_values.size(), sent);
    EXPECT_EQ(seen.user_values.back(), sent);
}

}  // namespace
}  // namespace zolt::network
