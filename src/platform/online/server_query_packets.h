#pragma once
// The datagrams of server queries: a query names a nonce and the asker's
// application; an answer echoes the nonce and carries the server's details.
// The details body also answers the single-server query between ENet peers.
// Everything is little-endian, texts in fixed NUL-padded fields. Readers
// check lengths and terminate texts whatever the peer sent.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/online/online_client.h"

namespace zolt::platform {

constexpr uint32_t server_query_size = 12;
constexpr uint32_t server_details_size = 4 + 2 + 2 + 64 + 32 + 32 + 4 * 4 + 8;
constexpr uint32_t server_answer_size = 8 + server_details_size;

std::vector<uint8_t> write_server_details(const ServerItem& item);
bool read_server_details(const uint8_t* bytes, size_t size, ServerItem* item);

std::vector<uint8_t> write_server_query(uint32_t nonce, uint32_t app_id);
bool read_server_query(const uint8_t* bytes, size_t size, uint32_t* nonce, uint32_t* app_id);

std::vector<uint8_t> write_server_answer(uint32_t nonce, const ServerItem& item);
// False for anything but a whole answer; the nonce is the caller's to check.
bool read_server_answer(const uint8_t* bytes, size_t size, uint32_t* nonce, ServerItem* item);

}  // namespace zolt::platform
