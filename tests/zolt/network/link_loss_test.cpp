#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "network_link_fixture.h"
#include "zolt/network/connection.h"

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

}  // namespace
}  // namespace zolt::network
