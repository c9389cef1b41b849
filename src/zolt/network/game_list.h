#pragma once
// The game list that scripts browse and join from: the games a search found
// and the game a command-line connect request resolved to. Each entry says
// where the game is (a lobby or a game server, by online id) and what it is
// (name, map, type, places). Main thread only.
#include <cstdint>

#include "platform/online/online_client.h"

namespace zolt::network {

enum class ListingKind : uint8_t {
    lobby = 0,
    game_server = 1,
};

// The game types as servers and lobbies name them.
enum class GameType : uint32_t {
    other = 0,
    deathmatch = 1,
    team = 2,
    capture_the_flag = 3,
    conquest = 4,
};

struct GameListing {
    ListingKind kind = ListingKind::lobby;
    platform::OnlineId id = 0;
    char name[32] = {};
    char map[32] = {};
    uint32_t reserved_value = 0;
    GameType game_type = GameType::other;
    uint8_t reserved_bytes[2] = {};
    uint32_t player_count = 0;
    uint32_t private_player_count = 0;
    uint32_t player_limit = 0;
    uint32_t private_limit = 0;
};

constexpr uint32_t game_list_capacity = 1000;
// The only game version that is listed.
constexpr uint32_t listed_game_version = 1253727461;

uint32_t get_game_list_count();
// Null past the count.
const GameListing* get_game_listing(uint32_t index);
// Replaces the entry of the same game, or appends while there is room, and
// tells the scripts the list changed.
void add_game_listing(const GameListing& listing);
void clear_game_list();

// A queried server's details as an entry; false when it is not a game of
// this version or its id is not valid.
bool make_server_listing(const platform::ServerItem& item, GameListing* listing);
// "dm", "team", "ctf" or "conquest" and back; anything else is other.
GameType read_game_type_name(const char* text);
const char* get_game_type_name(GameType type);

}  // namespace zolt::network
