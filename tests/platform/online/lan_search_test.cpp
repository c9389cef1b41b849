#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/online/enet_online_client.h"

namespace zolt::platform {
namespace {

constexpr uint32_t host_address = 0x7F000002;  // 127.0.0.2
constexpr uint32_t searcher_address = 0x7F000003;

EnetSettings settings_at(uint32_t address, uint32_t account, uint16_t game_port) {
    EnetSettings settings;
    settings.account = account;
    settings.bind_address = address;
    settings.game_port = game_port;
    settings.query_port = static_cast<uint16_t>(game_port + 1);
    settings.lan_first = 0x7F000001;
    settings.lan_last = 0x7F000004;
    return settings;
}

// Real datagrams on loopback: a game server at 127.0.0.2 and a searcher at
// 127.0.0.3 that asks 127.0.0.1 to 127.0.0.4.
class LanSearchTest : public testing::Test {
protected:
    void SetUp() override {
        std::string message;
        for (uint32_t attempt = 0; attempt < 20; ++attempt) {
            port_ = static_cast<uint16_t>(45000 + (getpid() * 13 + attempt * 97) % 4000);
            if (host_.start(settings_at(host_address, 1, port_), &message) && host_.start_game_server(&message)) {
                break;
            }
            host_.stop();
            port_ = 0;
        }
        ASSERT_NE(port_, 0) << message;
        ASSERT_TRUE(searcher_.start(settings_at(searcher_address, 2, port_), &message)) << message;
    }

    // Polls until the refresh completes, at most two seconds.
    std::vector<ServerItem> search() {
        std::vector<ServerItem> found;
        EXPECT_TRUE(searcher_.request_lan_server_list(searcher_.get_app_id()));
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < limit) {
            host_.run_callbacks();
            ServerItem item;
            const LanSearchAnswer answer = searcher_.poll_lan_server_list(&item);
            if (answer == LanSearchAnswer::responded) {
                found.push_back(item);
            } else if (answer == LanSearchAnswer::complete) {
                complete_ = true;
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        return found;
    }

    uint16_t port_ = 0;
    EnetOnlineClient host_;
    EnetOnlineClient searcher_;
    bool complete_ = false;
};

TEST_F(LanSearchTest, AnAdvertisingServerAnswersWithItsDetailsAndTheRefreshEnds) {
    ServerItem details;
    std::strcpy(details.name, "Host's game");
    std::strcpy(details.map, "dunes");
    std::strcpy(details.tags, "dm");
    details.players = 2;
    details.max_players = 8;
    details.version = 1253727461;
    host_.set_game_server_details(details);

    const std::vector<ServerItem> found = search();
    EXPECT_TRUE(complete_);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_STREQ(found[0].name, "Host's game");
    EXPECT_STREQ(found[0].map, "dunes");
    EXPECT_EQ(found[0].players, 2u);
    EXPECT_EQ(found[0].app_id, host_.get_app_id());
    // Who answered comes from where the answer came from.
    EXPECT_EQ(found[0].address, host_address);
    EXPECT_EQ(found[0].game_port, port_);
    EXPECT_EQ(found[0].id, host_.get_game_server_id());
    EXPECT_EQ(searcher_.poll_lan_server_list(&details), LanSearchAnswer::none);
}

TEST_F(LanSearchTest, AServerWithNothingToAdvertiseStaysQuiet) {
    EXPECT_TRUE(search().empty());
    EXPECT_TRUE(complete_);
}

TEST_F(LanSearchTest, ACancelledSearchAnswersNothing) {
    ASSERT_TRUE(searcher_.request_lan_server_list(searcher_.get_app_id()));
    searcher_.cancel_lan_server_list();
    ServerItem item;
    EXPECT_EQ(searcher_.poll_lan_server_list(&item), LanSearchAnswer::none);
}

}  // namespace
}  // namespace zolt::platform
