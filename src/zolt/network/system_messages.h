#pragma once
// The handshake and game-control messages between the host and its players:
// one row per message with its payload length in bits (system id included;
// a negative number is a minimum), the side that handles it and how it goes.
#include <cstdint>

namespace zolt::network {

enum class SystemMessageId : uint8_t {
    hello = 1,
    accepted = 2,
    join_request = 3,
    refusal = 4,
    welcome = 5,
    player_list = 6,
    player_left = 7,
    start_loading = 8,
    loaded = 9,
    start = 10,
    started = 11,
    stop = 12,
    stopped = 13,
    clock_request = 14,
    clock_reply = 15,
    command_batch = 16,
    player_scores = 17,
    player_mask = 18,
    merged_mask = 19,
    close = 20,
};

constexpr uint32_t system_message_count = 21;
constexpr uint8_t system_message_id = 255;
constexpr uint8_t protocol_version = 11;

enum class RefusalReason : uint8_t {
    game_full = 1,
    not_accepting_players = 2,
    protocol_mismatch = 3,
    authentication_refused = 5,
};

enum class MessageSide : uint8_t {
    none = 0,
    host = 1,
    client = 2,
    both = 3,
};

struct SystemMessageRow {
    int32_t bits;
    MessageSide side;
};

// Indexed by system id; row 0 is no message.
constexpr SystemMessageRow system_message_rows[system_message_count] = {
    {0, MessageSide::none},    {16, MessageSide::host},    {-8, MessageSide::client},  {-8, MessageSide::host},
    {16, MessageSide::client}, {32, MessageSide::client},  {-16, MessageSide::client}, {16, MessageSide::client},
    {8, MessageSide::client},  {8, MessageSide::host},     {8, MessageSide::client},   {8, MessageSide::host},
    {8, MessageSide::client},  {8, MessageSide::host},     {40, MessageSide::host},    {136, MessageSide::client},
    {-16, MessageSide::host},  {-16, MessageSide::client}, {40, MessageSide::host},    {40, MessageSide::client},
    {8, MessageSide::both},
};

// False for an unknown id or a payload length the row does not allow.
constexpr bool is_system_message_length_valid(uint32_t system_id, uint32_t bits) {
    if (system_id == 0 || system_id >= system_message_count) {
        return false;
    }
    const int32_t rule = system_message_rows[system_id].bits;
    return rule > 0 ? bits == static_cast<uint32_t>(rule) : bits >= static_cast<uint32_t>(-rule);
}

}  // namespace zolt::network
