#pragma once
// Object handles: 32 bits naming one object of one server. Bits 26-31 are the
// generation, bits 20-25 the server type, bits 0-19 the slot. A slot's stored
// handle starts at (type << 20) + slot + 1; creating adds 0x3FFFFFF (next
// generation, index back to the slot) and destroying adds 1, so a handle of a
// destroyed object never matches its slot again until the generation wraps.
#include <cstdint>

namespace zolt::core {

using ObjectHandle = uint32_t;

constexpr uint32_t server_table_size = 64;
// Script calls refuse server types from this one up.
constexpr uint32_t first_invalid_server_type = 58;
constexpr uint32_t handle_creation_step = 0x3FFFFFFu;

constexpr uint32_t get_handle_server_type(ObjectHandle handle) {
    return (handle >> 20) & 0x3Fu;
}

constexpr uint32_t get_handle_index(ObjectHandle handle) {
    return handle & 0xFFFFFu;
}

constexpr uint32_t get_handle_generation(ObjectHandle handle) {
    return handle >> 26;
}

constexpr ObjectHandle make_free_slot_handle(uint32_t server_type, uint32_t slot) {
    return (server_type << 20) + slot + 1;
}

namespace server_type {
constexpr uint32_t alias = 1, proxy = 2, resource = 3, code = 4, dictionary = 5, storage = 6, array = 7, string = 8,
                   random_generator = 9, message = 10, listener = 11, semaphore = 12, task = 13, event = 14,
                   state_machine = 15, game = 16, placement = 17, texture = 23, material = 24, motion = 51,
                   function_table = 56;
}  // namespace server_type

}  // namespace zolt::core
