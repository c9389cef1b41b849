#include "platform/online/server_query_packets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace zolt::platform {
namespace {

ServerItem sample_item() {
    ServerItem item;
    item.address = 0x7F000002;
    item.game_port = 27015;
    item.query_port = 27016;
    std::strcpy(item.name, "Lan game");
    std::strcpy(item.map, "dunes");
    std::strcpy(item.tags, "team");
    item.players = 4;
    item.max_players = 16;
    item.app_id = 7;
    item.version = 1253727461;
    item.id = make_game_server_id(99);
    return item;
}

TEST(ServerQueryPacketsTest, QueriesAndAnswersRoundTrip) {
    const std::vector<uint8_t> query = write_server_query(0xA1B2C3D4, 7);
    ASSERT_EQ(query.size(), server_query_size);
    uint32_t nonce = 0;
    uint32_t app_id = 0;
    ASSERT_TRUE(read_server_query(query.data(), query.size(), &nonce, &app_id));
    EXPECT_EQ(nonce, 0xA1B2C3D4u);
    EXPECT_EQ(app_id, 7u);

    const std::vector<uint8_t> answer = write_server_answer(0x1234, sample_item());
    ASSERT_EQ(answer.size(), server_answer_size);
    ServerItem item;
    ASSERT_TRUE(read_server_answer(answer.data(), answer.size(), &nonce, &item));
    EXPECT_EQ(nonce, 0x1234u);
    EXPECT_STREQ(item.name, "Lan game");
    EXPECT_STREQ(item.map, "dunes");
    EXPECT_STREQ(item.tags, "team");
    EXPECT_EQ(item.game_port, 27015);
    EXPECT_EQ(item.players, 4u);
    EXPECT_EQ(item.max_players, 16u);
    EXPECT_EQ(item.app_id, 7u);
    EXPECT_EQ(item.version, 1253727461u);
    EXPECT_EQ(item.id, make_game_server_id(99));
}

TEST(ServerQueryPacketsTest, BrokenDatagramsAreRefused) {
    const std::vector<uint8_t> answer = write_server_answer(1, sample_item());
    const std::vector<uint8_t> query = write_server_query(1, 7);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> answers = {
        {"empty", {}},
        {"a query", query},
        {"truncated by one byte", {answer.begin(), answer.end() - 1}},
        {"one byte too long", answer},
        {"wrong magic", answer},
    };
    answers[3].bytes.push_back(0);
    answers[4].bytes[3] = 'Y';
    for (const Case& c : answers) {
        SCOPED_TRACE(c.what);
        uint32_t nonce = 0;
        ServerItem item;
        EXPECT_FALSE(read_server_answer(c.bytes.data(), c.bytes.size(), &nonce, &item));
    }
    uint32_t nonce = 0;
    uint32_t app_id = 0;
    EXPECT_FALSE(read_server_query(answer.data(), answer.size(), &nonce, &app_id));
    EXPECT_FALSE(read_server_query(query.data(), query.size() - 1, &nonce, &app_id));
}

TEST(ServerQueryPacketsTest, TextsWithoutTheirEndAreCutToTheirFields) {
    std::vector<uint8_t> answer = write_server_answer(1, sample_item());
    // Fill every text field with letters and no terminator.
    const size_t texts = 8 + 4 + 2 + 2;
    std::memset(answer.data() + texts, 'x', 64 + 32 + 32);
    uint32_t nonce = 0;
    ServerItem item;
    ASSERT_TRUE(read_server_answer(answer.data(), answer.size(), &nonce, &item));
    EXPECT_EQ(std::strlen(item.name), sizeof item.name - 1);
    EXPECT_EQ(std::strlen(item.map), sizeof item.map - 1);
    EXPECT_EQ(std::strlen(item.tags), sizeof item.tags - 1);
}

}  // namespace
}  // namespace zolt::platform
