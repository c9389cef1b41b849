#pragma once
// The server of storage objects (type 6, 1000 of them). A loaded world whose
// chains loop or share a block is refused, its links cut first: destroying
// such a chain would destroy a block twice. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/storage_object.h"

namespace zolt::core {

constexpr uint32_t storage_capacity = 1000;

class StorageServer final : public PooledServer<Storage, storage_capacity> {
public:
    StorageServer() : PooledServer(server_type::storage) {}

    const char* get_name() const override { return "StorageServer"; }
    bool load(storage::LoadStream& stream) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    // A new block with next 0 and zero data, or null when the pool is full.
    Storage* create_block() {
        return live_count_ < storage_capacity ? static_cast<Storage*>(create_object_internal(0)) : nullptr;
    }
    uint32_t get_free_count() const { return storage_capacity - live_count_; }

private:
    bool are_chains_sound();
};

extern StorageServer storage_server;

// The live storage object the handle names, or null.
Storage* find_storage(ObjectHandle handle);

}  // namespace zolt::core
