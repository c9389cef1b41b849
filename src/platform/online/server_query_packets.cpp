#include "platform/online/server_query_packets.h"

#include <cstring>

namespace zolt::platform {

namespace {

constexpr uint8_t query_magic[4] = {'Z', 'Q', 'R', 'Y'};
constexpr uint8_t answer_magic[4] = {'Z', 'Q', 'R', 'S'};

template <typename T>
void put_field(std::vector<uint8_t>& bytes, const T& value) {
    const auto* const raw = reinterpret_cast<const uint8_t*>(&value);
    bytes.insert(bytes.end(), raw, raw + sizeof value);
}

template <typename T>
void take_field(const uint8_t*& bytes, T& value) {
    std::memcpy(&value, bytes, sizeof value);
    bytes += sizeof value;
}

}  // namespace

std::vector<uint8_t> write_server_details(const ServerItem& item) {
    std::vector<uint8_t> bytes;
    bytes.reserve(server_details_size);
    put_field(bytes, item.address);
    put_field(bytes, item.game_port);
    put_field(bytes, item.query_port);
    put_field(bytes, item.name);
    put_field(bytes, item.map);
    put_field(bytes, item.tags);
    for (uint32_t word : {item.players, item.max_players, item.app_id, item.version}) {
        put_field(bytes, word);
    }
    put_field(bytes, item.id);
    return bytes;
}

bool read_server_details(const uint8_t* bytes, size_t size, ServerItem* item) {
    if (size != server_details_size) {
        return false;
    }
    take_field(bytes, item->address);
    take_field(bytes, item->game_port);
    take_field(bytes, item->query_port);
    take_field(bytes, item->name);
    take_field(bytes, item->map);
    take_field(bytes, item->tags);
    for (uint32_t* word : {&item->players, &item->max_players, &item->app_id, &item->version}) {
        take_field(bytes, *word);
    }
    take_field(bytes, item->id);
    item->name[sizeof item->name - 1] = '\0';
    item->map[sizeof item->map - 1] = '\0';
    item->tags[sizeof item->tags - 1] = '\0';
    return true;
}

std::vector<uint8_t> write_server_query(uint32_t nonce, uint32_t app_id) {
    std::vector<uint8_t> bytes(query_magic, query_magic + 4);
    put_field(bytes, nonce);
    put_field(bytes, app_id);
    return bytes;
}

bool read_server_query(const uint8_t* bytes, size_t size, uint32_t* nonce, uint32_t* app_id) {
    if (size != server_query_size || std::memcmp(bytes, query_magic, 4) != 0) {
        return false;
    }
    bytes += 4;
    take_field(bytes, *nonce);
    take_field(bytes, *app_id);
    return true;
}

std::vector<uint8_t> write_server_answer(uint32_t nonce, const ServerItem& item) {
    std::vector<uint8_t> bytes(answer_magic, answer_magic + 4);
    put_field(bytes, nonce);
    const std::vector<uint8_t> details = write_server_details(item);
    bytes.insert(bytes.end(), details.begin(), details.end());
    return bytes;
}

bool read_server_answer(const uint8_t* bytes, size_t size, uint32_t* nonce, ServerItem* item) {
    if (size != server_answer_size || std::memcmp(bytes, answer_magic, 4) != 0) {
        return false;
    }
    std::memcpy(nonce, bytes + 4, sizeof *nonce);
    return read_server_details(bytes + 8, size - 8, item);
}

}  // namespace zolt::platform
