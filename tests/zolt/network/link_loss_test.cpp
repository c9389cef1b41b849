#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "network_link_fixture.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/script_objects/dictionary.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/connection.h"
#include "zolt/network/transport_formats.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {
namespace {

struct Arrivals {
    std::vector<uint32_t> at_host;
    std::vector<uint32_t> at_client;
};
Arrivals arrivals;

// Each message carries its running number; the high bit marks a reliable one.
bool record_number(Connection& link, NetworkStream& stream, uint32_t, bool, uint32_t) {
    uint32_t number = 0;
    if (!stream.read_checked(32, &number)) {
        return false;
    }
    (link.is_client_link() ? arrivals.at_client : arrivals.at_host).push_back(number);
    return true;
}

constexpr uint32_t reliable_mark = 0x80000000u;

bool send_number(Connection& link, uint32_t number) {
    const bool reliable = (number & reliable_mark) != 0;
    return link.begin_message(1) && get_send_stream().write_bits(32, number) && link.finish_message(reliable);
}

// Reliable messages arrive exactly once and in order; unreliable ones may be
// lost but never arrive twice or out of order.
void expect_delivery(const std::vector<uint32_t>& received, const std::vector<uint32_t>& reliable_sent, uint32_t seed) {
    std::vector<uint32_t> reliable_received;
    uint32_t last_number = 0;
    for (uint32_t value : received) {
        const uint32_t number = value & ~reliable_mark;
        EXPECT_GT(number, last_number) << "seed " << seed;
        last_number = number;
        if ((value & reliable_mark) != 0) {
            reliable_received.push_back(number);
        }
    }
    EXPECT_EQ(reliable_received, reliable_sent) << "seed " << seed;
    EXPECT_GT(received.size(), reliable_sent.size()) << "seed " << seed;
}

class LinkLossTest : public test::NetworkLinkTest, public ::testing::WithParamInterface<uint32_t> {
protected:
    LinkLossTest() : NetworkLinkTest({GetParam(), 10, 5, 10, 1, 4}) {
        arrivals = {};
        set_user_message_reader(record_number);
    }
};

TEST_P(LinkLossTest, MessagesArriveOnceAndInOrderUnderLossAndReordering) {
    open_link_pair();
    std::vector<uint32_t> reliable_sent;
    for (uint32_t number = 1; number <= 300; ++number) {
        // Two reliable messages to one unreliable, both ways.
        const bool reliable = number % 3 != 0;
        if (reliable) {
            reliable_sent.push_back(number);
        }
        const uint32_t value = number | (reliable ? reliable_mark : 0);
        ASSERT_TRUE(send_number(client_link(), value));
        ASSERT_TRUE(send_number(host_link(), value));
        pump();
    }
    for (uint32_t i = 0; i < 200 && !world_.is_idle(); ++i) {
        pump();
    }
    ASSERT_TRUE(world_.is_idle());
    EXPECT_TRUE(host_link().is_connected());
    EXPECT_TRUE(client_link().is_connected());
    EXPECT_GT(world_.get_counts().lost, 0u);
    EXPECT_GT(world_.get_counts().reordered, 0u);
    expect_delivery(arrivals.at_host, reliable_sent, GetParam());
    expect_delivery(arrivals.at_client, reliable_sent, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Seeds, LinkLossTest, ::testing::Values(1u, 7u, 1234u));

// Script messages whose properties travel by a transport format: a running
// counter and a quantised position that follows it.
constexpr uint32_t update_format = 3;
constexpr uint32_t update_type = 0x20;
constexpr uint32_t counter_property = 0x3000600;
constexpr uint32_t position_property = 0x5000601;

struct PropertyArrival {
    uint32_t counter;
    float position;
};
std::vector<PropertyArrival> property_arrivals;

bool record_properties(Connection&, NetworkStream& stream, uint32_t, bool type_implied, uint32_t format) {
    core::ObjectHandle target = 0;
    if (!type_implied || !TransportFormatManager::read_handle(stream, &target)) {
        return false;
    }
    auto* const message = static_cast<core::Message*>(core::message_server.create_object_internal(update_type));
    const bool read = transport_formats.deserialize_object(format, *message, stream);
    core::Property counter;
    core::Property position;
    if (read && message->get_property(counter_property, counter) &&
        message->get_property(position_property, position)) {
        property_arrivals.push_back({counter.get_u32(), position.get_float()});
    }
    core::destroy_object(message);
    return read;
}

class PropertyLossTest : public LinkLossTest {
protected:
    PropertyLossTest() {
        core::string_server.register_server();
        core::dictionary_server.register_server();
        core::event_server.register_server();
        core::message_server.register_server();
        transport_formats.clear_formats();
        transport_formats.begin_format(update_format, update_type);
        transport_formats.add_pair(counter_property, make_transport_format(TransportKind::unsigned_integer, 24));
        transport_formats.add_pair(position_property, make_transport_format(TransportKind::quantised_float, 20, 4));
        transport_formats.end_format();
        property_arrivals = {};
        set_user_message_reader(record_properties);
    }
    ~PropertyLossTest() override {
        transport_formats.clear_formats();
        core::message_server.destroy_all_objects();
        core::message_server.unregister_server();
        core::event_server.unregister_server();
        core::dictionary_server.unregister_server();
        core::string_server.unregister_server();
    }
};

TEST_P(PropertyLossTest, PropertiesArriveOnceAndInOrderUnderLossAndReordering) {
    open_link_pair();
    core::Dictionary* const source = core::dictionary_server.create_dictionary(4);
    for (uint32_t counter = 1; counter <= 200; ++counter) {
        core::Property property;
        property.set_u32(counter_property & 0xFF000000u, counter);
        source->set_property(counter_property, property);
        property.set_float(position_property & 0xFF000000u, static_cast<float>(counter) * 0.5f);
        source->set_property(position_property, property);
        ASSERT_TRUE(send_user_message(client_link(), 0, update_format, update_type, *source, true));
        pump();
    }
    for (uint32_t i = 0; i < 200 && !world_.is_idle(); ++i) {
        pump();
    }
    ASSERT_TRUE(world_.is_idle());
    EXPECT_TRUE(host_link().is_connected());
    EXPECT_GT(world_.get_counts().lost, 0u);
    EXPECT_GT(world_.get_counts().reordered, 0u);
    ASSERT_EQ(property_arrivals.size(), 200u) << "seed " << GetParam();
    for (uint32_t i = 0; i < property_arrivals.size(); ++i) {
        EXPECT_EQ(property_arrivals[i].counter, i + 1);
        EXPECT_EQ(property_arrivals[i].position, static_cast<float>(i + 1) * 0.5f);
    }
    core::destroy_object(source);
}

INSTANTIATE_TEST_SUITE_P(Seeds, PropertyLossTest, ::testing::Values(1u, 7u, 1234u));

}  // namespace
}  // namespace zolt::network
