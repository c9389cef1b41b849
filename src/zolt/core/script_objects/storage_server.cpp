#include "zolt/core/script_objects/storage_server.h"

namespace zolt::core {

StorageServer storage_server;

Storage* find_storage(ObjectHandle handle) {
    if (get_handle_server_type(handle) != server_type::storage) {
        return nullptr;
    }
    return static_cast<Storage*>(get_object(handle));
}

bool StorageServer::load(storage::LoadStream& stream) {
    if (!PooledServer::load(stream)) {
        return false;
    }
    if (are_chains_sound()) {
        return true;
    }
    // The refused world is destroyed next: each block alone.
    for (uint32_t slot = 0; slot < storage_capacity; ++slot) {
        get_slot(slot).next_block_ = 0;
    }
    return false;
}

bool StorageServer::are_chains_sound() {
    // Every block is the next of at most one other, and no chain comes back
    // to where it started.
    uint8_t referenced[storage_capacity] = {};
    for (uint32_t slot = 0; slot < storage_capacity; ++slot) {
        const Storage& block = get_slot(slot);
        if (find_storage(block.get_handle()) != &block) {
            continue;
        }
        if (const Storage* const next = find_storage(block.get_next_block())) {
            const uint32_t next_slot = get_handle_index(next->get_handle());
            if (next == &block || referenced[next_slot] != 0) {
                return false;
            }
            referenced[next_slot] = 1;
        }
    }
    for (uint32_t slot = 0; slot < storage_capacity; ++slot) {
        const Storage* block = &get_slot(slot);
        if (find_storage(block->get_handle()) != block) {
            continue;
        }
        uint32_t steps = 0;
        while ((block = find_storage(block->get_next_block())) != nullptr) {
            if (++steps > storage_capacity) {
                return false;
            }
        }
    }
    return true;
}

}  // namespace zolt::core
