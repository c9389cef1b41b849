#include "zolt/network/network_clock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/network_clock_rate.h"
#include "zolt/core/events/message_test_support.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {
namespace {

constexpr uint32_t period = 1667;
constexpr uint32_t network_clock = 3;

class NetworkClockTest : public test::MessageWorld {
protected:
    void SetUp() override {
        MessageWorld::SetUp();
        clear_clock_sync(now_);
        choose_network_clock(network_clock);
    }
    void TearDown() override {
        choose_network_clock(0);
        MessageWorld::TearDown();
    }

    // A reply whose round trip is 2 * half_trip and whose sample is the
    // given offset.
    bool reply(int32_t offset, uint32_t half_trip = 500, uint32_t host_clock = 1000) {
        now_ += 2 * half_trip;
        const uint32_t echoed = now_ - 2 * half_trip;
        return accept_clock_reply(echoed, echoed + half_trip + static_cast<uint32_t>(offset), host_clock, host_clock,
                                  now_);
    }

    uint32_t now_ = 5000000;
};

TEST_F(NetworkClockTest, RepliesAreTakenOrIgnoredByRoundTripAndHostClockOrder) {
    EXPECT_FALSE(accept_clock_reply(now_ - longest_clock_round_trip - 1, now_, 1000, 1000, now_));
    EXPECT_FALSE(get_clock_sync().have_reply);
    EXPECT_TRUE(accept_clock_reply(now_ - longest_clock_round_trip, now_, 1000, 1000, now_));
    // A host clock behind the one taken is an old reply overtaking a new one.
    EXPECT_FALSE(reply(0, 500, 999));
    EXPECT_TRUE(reply(0, 500, 1000));
    EXPECT_EQ(get_clock_sync().last_reply_time, now_);
}

TEST_F(NetworkClockTest, TheOffsetJumpsToAFarSampleAndFoldsTheAverageAfter480Samples) {
    ASSERT_TRUE(reply(4000000));
    EXPECT_EQ(get_clock_sync().offset, 4000000);
    EXPECT_EQ(get_clock_sync().count, 1);
    // 479 more samples, each 10 ahead of the offset: the 480th folds.
    for (int i = 0; i < 478; ++i) {
        ASSERT_TRUE(reply(4000010));
    }
    EXPECT_EQ(get_clock_sync().count, 479);
    EXPECT_EQ(get_clock_sync().offset, 4000000);
    ASSERT_TRUE(reply(4000010));
    EXPECT_EQ(get_clock_sync().count, 240);
    EXPECT_EQ(get_clock_sync().sum, 0);
    EXPECT_EQ(get_clock_sync().offset, 4000000 + 10 * 479 / 480);
    // Within 3,000,000 of the offset a sample only adds to the sum.
    const int32_t folded = 4000000 + 10 * 479 / 480;
    ASSERT_TRUE(reply(folded - 3000000));
    EXPECT_EQ(get_clock_sync().offset, folded);
    EXPECT_EQ(get_clock_sync().sum, -3000000);
}

TEST_F(NetworkClockTest, TheFirstFrameWithAReplyJumpsTheClockToTheHostsThenTheRateFollows) {
    core::event_server.set_clock_time(network_clock, 100);
    sample_network_clock(now_, false, period);
    EXPECT_EQ(core::event_server.get_clock_time(network_clock), 100u) << "no reply yet";
    ASSERT_TRUE(reply(0, 500, 777777));
    sample_network_clock(now_, false, period);
    EXPECT_EQ(core::event_server.get_clock_time(network_clock), 777777u);
    EXPECT_FALSE(get_clock_sync().reset_clock);

    // The rate makes the clock meet the host's: (C - D + E + off - sample + P) / P.
    const struct {
        float wanted;
        float rate;
    } cases[] = {{2.0f, 2.0f}, {10.0f, fastest_clock_rate}, {0.1f, slowest_clock_rate}, {-3.0f, slowest_clock_rate}};
    for (const auto& c : cases) {
        const uint32_t clock_now = core::event_server.get_clock_time(network_clock);
        const auto lead = static_cast<int32_t>(std::lround((c.wanted - 1.0f) * period));
        // The expected frame time is now without frame pacing.
        const uint32_t host_clock = 777777;
        now_ += 10;
        const uint32_t projection = host_clock + now_ - clock_now - static_cast<uint32_t>(lead);
        ASSERT_TRUE(accept_clock_reply(now_ - 1000, now_ - 500, host_clock, projection, now_));
        sample_network_clock(now_, false, period);
        EXPECT_FLOAT_EQ(core::get_network_clock_rate().rate, c.rate) << c.wanted;
    }
    // The host's clock never moves by the rate.
    choose_network_clock(0);
    EXPECT_EQ(get_network_message_clock(), no_network_clock);
}

TEST_F(NetworkClockTest, HostValuesThatWouldOverflowOrAZeroPeriodLeaveTheRateAlone) {
    ASSERT_TRUE(reply(0, 500, 1));
    sample_network_clock(now_, false, period);
    core::get_network_clock_rate().rate = 1.5f;
    now_ += 10;
    ASSERT_TRUE(accept_clock_reply(now_ - 1000, now_ - 500, 0x7FFFFFFF, 0x80000000u, now_));
    sample_network_clock(now_, false, 0);
    EXPECT_FLOAT_EQ(core::get_network_clock_rate().rate, 1.5f);
    sample_network_clock(now_, false, period);
    const float rate = core::get_network_clock_rate().rate;
    EXPECT_TRUE(rate >= slowest_clock_rate && rate <= fastest_clock_rate) << rate;
}

TEST_F(NetworkClockTest, TheNetworkClockAdvancesAtItsRate) {
    enable({network_clock});
    core::get_network_clock_rate().rate = 2.0f;
    const uint32_t before = core::event_server.get_clock(network_clock).target;
    frame();
    const uint32_t step = core::event_server.get_clock(network_clock).target - before;
    EXPECT_EQ(step, 2 * renderer::get_frame_period(60));
}

}  // namespace
}  // namespace zolt::network
