#include "zolt/network/game_list.h"

#include <cstdio>
#include <cstring>

#include "zolt/network/network_game.h"

namespace zolt::network {

namespace {

GameListing listings[game_list_capacity];
uint32_t listing_count = 0;

const char* const game_type_names[] = {"", "dm", "team", "ctf", "conquest"};

bool is_same_game(const GameListing& a, const GameListing& b) {
    return a.kind == b.kind && a.id == b.id && a.game_type == b.game_type &&
           a.reserved_bytes[0] == b.reserved_bytes[0] && a.reserved_bytes[1] == b.reserved_bytes[1];
}

// Texts from other machines: cut to 31 bytes, never inside a UTF-8 sequence.
void copy_name(char (&field)[32], const char* text) {
    uint32_t length = 0;
    while (length < sizeof field - 1 && text[length] != '\0') {
        ++length;
    }
    if (text[length] != '\0') {
        while (length > 0 && (static_cast<uint8_t>(text[length]) & 0xC0u) == 0x80u) {
            --length;
        }
    }
    std::memcpy(field, text, length);
    field[length] = '\0';
}

}  // namespace

uint32_t get_game_list_count() {
    return listing_count;
}

const GameListing* get_game_listing(uint32_t index) {
    return index < listing_count ? &listings[index] : nullptr;
}

void add_game_listing(const GameListing& listing) {
    uint32_t index = 0;
    while (index < listing_count && !is_same_game(listings[index], listing)) {
        ++index;
    }
    if (index == listing_count) {
        if (listing_count == game_list_capacity) {
            return;
        }
        ++listing_count;
    }
    listings[index] = listing;
    post_network_game_event(NetworkGameEvent::game_list_changed);
}

void clear_game_list() {
    listing_count = 0;
}

GameType read_game_type_name(const char* text) {
    for (uint32_t type = 1; type < sizeof game_type_names / sizeof game_type_names[0]; ++type) {
        if (std::strcmp(text, game_type_names[type]) == 0) {
            return static_cast<GameType>(type);
        }
    }
    return GameType::other;
}

const char* get_game_type_name(GameType type) {
    switch (type) {
    case GameType::deathmatch:
    case GameType::team:
    case GameType::capture_the_flag:
        return game_type_names[static_cast<uint32_t>(type)];
    default:
        // A game server advertises every other type as conquest.
        return game_type_names[static_cast<uint32_t>(GameType::conquest)];
    }
}

bool make_server_listing(const platform::ServerItem& item, GameListing* listing) {
    if (!platform::is_valid_online_id(item.id) || item.version != listed_game_version) {
        return false;
    }
    *listing = {};
    listing->kind = ListingKind::game_server;
    listing->id = item.id;
    char name[sizeof item.name];
    std::memcpy(name, item.name, sizeof name);
    name[sizeof name - 1] = '\0';
    if (name[0] == '\0') {
        std::snprintf(name, sizeof name, "%u.%u.%u.%u:%u", item.address >> 24, (item.address >> 16) & 0xFFu,
                      (item.address >> 8) & 0xFFu, item.address & 0xFFu, static_cast<uint32_t>(item.game_port));
    }
    copy_name(listing->name, name);
    char map[sizeof item.map];
    std::memcpy(map, item.map, sizeof map);
    map[sizeof map - 1] = '\0';
    copy_name(listing->map, map);
    char tags[sizeof item.tags];
    std::memcpy(tags, item.tags, sizeof tags);
    tags[sizeof tags - 1] = '\0';
    listing->game_type = read_game_type_name(tags);
    listing->player_count = item.players;
    listing->player_limit = item.max_players;
    return true;
}

}  // namespace zolt::network
