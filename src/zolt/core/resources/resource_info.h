#pragma once
// The loader's record of one resource and of one opened pack. A record's
// state byte is shared with the loader thread, so it is read and changed only
// through the accessors below; the other fields of a record with a load
// pending belong to the loader thread until it clears load_pending.
#include <atomic>
#include <cstdint>

#include "platform/system/files.h"

namespace zolt::core {

class ResourceObject;

namespace resource_state {
constexpr uint8_t from_pack = 0x01;  // always set
constexpr uint8_t in_memory = 0x04;  // data holds the memory
constexpr uint8_t open = 0x08;       // data names the resource object holding it
constexpr uint8_t opened_once = 0x10;
constexpr uint8_t load_pending = 0x20;
constexpr uint8_t loading = 0x40;
}  // namespace resource_state

struct ResourceInfo {
    uint32_t id;
    // Which member is meant follows state: the object while open, else the memory.
    union {
        void* memory;
        ResourceObject* object;
    } data;
    uint8_t state;
    uint16_t flags;  // the directory's low 16 bits, plus 0x80 for deferred resources
    uint16_t pack;
    uint32_t offset;  // of the stored bytes in the pack file
    uint32_t unpacked_size;
    uint32_t stored_size;
    uint32_t stored_crc;

    uint8_t get_state() const {
        return std::atomic_ref<uint8_t>(const_cast<uint8_t&>(state)).load(std::memory_order_acquire);
    }
    void add_state(uint8_t bits) { std::atomic_ref<uint8_t>(state).fetch_or(bits, std::memory_order_acq_rel); }
    void remove_state(uint8_t bits) {
        std::atomic_ref<uint8_t>(state).fetch_and(static_cast<uint8_t>(~bits), std::memory_order_acq_rel);
    }
    bool has_state(uint8_t bits) const { return (get_state() & bits) != 0; }
};

namespace pack_flag {
constexpr uint32_t marked = 0x1;
constexpr uint32_t directory_read = 0x2;
}  // namespace pack_flag

struct ResourcePack {
    platform::FileHandle handle;  // open for the whole run
    const char* path;             // as the pack list names it, for reports
    uint32_t key;
    uint32_t flags;
    uint32_t entry_count;
    uint32_t directory_offset;
    uint32_t directory_crc;
    // Taken at open, so that no directory or stored bytes are trusted past it.
    uint64_t file_size;
};

}  // namespace zolt::core
