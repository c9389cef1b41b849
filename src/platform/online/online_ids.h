#pragma once
// Online user, server and lobby ids as the engine sees them: 64-bit values
// with the account number in bits 0-31, the instance in bits 32-51, the
// account type in bits 52-55 and the universe in bits 56-63.
#include <cstdint>

namespace zolt::platform {

using OnlineId = uint64_t;

constexpr uint32_t online_account_type_individual = 1;
constexpr uint32_t online_account_type_game_server = 3;
constexpr uint32_t online_account_type_anonymous_game_server = 4;
constexpr uint32_t online_account_type_chat = 8;
constexpr uint32_t online_universe_public = 1;

constexpr OnlineId make_online_id(uint32_t account, uint32_t instance, uint32_t account_type, uint32_t universe) {
    return static_cast<OnlineId>(account) | static_cast<OnlineId>(instance & 0xFFFFFu) << 32 |
           static_cast<OnlineId>(account_type & 0xFu) << 52 | static_cast<OnlineId>(universe & 0xFFu) << 56;
}

// A player's id: an individual account of the public universe, instance 1.
constexpr OnlineId make_user_id(uint32_t account) {
    return make_online_id(account, 1, online_account_type_individual, online_universe_public);
}

constexpr OnlineId make_game_server_id(uint32_t account) {
    return make_online_id(account, 0, online_account_type_anonymous_game_server, online_universe_public);
}

// The engine's validity rule: a known type and universe; individual accounts
// need instance 1 and a non-zero account, content servers instance 0.
constexpr bool is_valid_online_id(OnlineId id) {
    const uint32_t account = static_cast<uint32_t>(id);
    const uint32_t instance = static_cast<uint32_t>(id >> 32) & 0xFFFFFu;
    const uint32_t account_type = static_cast<uint32_t>(id >> 52) & 0xFu;
    const uint32_t universe = static_cast<uint32_t>(id >> 56);
    if (account_type < 1 || account_type > 10 || universe < 1 || universe > 5) {
        return false;
    }
    if (account_type == online_account_type_individual && (instance != 1 || account == 0)) {
        return false;
    }
    if (account_type == 7 && (instance != 0 || account == 0)) {
        return false;
    }
    return true;
}

}  // namespace zolt::platform
