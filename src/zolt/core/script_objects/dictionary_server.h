#pragma once
// The server of dictionaries (type 5, 20000 of them) and of the memory their
// blocks live in: a 4,000,000-byte variable pool, with freed blocks kept on
// 384 lists by 8-byte size class (8 to 3072 bytes) and reused by exact class
// before the pool is touched. When the pool has no room, the lists go back
// to it, and then live blocks are slid down to close the gaps: any
// allocation may move any dictionary's block. Main thread only.
#include <cstdint>

#include "libs/utility/variable_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/dictionary.h"

namespace zolt::core {

constexpr uint32_t dictionary_capacity = 20000;
constexpr uint32_t dictionary_pool_size = 4000000;
constexpr uint32_t dictionary_size_class_count = 384;

class DictionaryServer final : public PooledServer<Dictionary, dictionary_capacity> {
public:
    DictionaryServer();

    const char* get_name() const override { return "DictionaryServer"; }
    // Also gives every size-class list back to the pool.
    void unregister_server() override;
    // The block pool is a reserved region outside the object.
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)) + dictionary_pool_size; }

    Dictionary* create_dictionary(uint32_t bucket_count) {
        return static_cast<Dictionary*>(create_object_internal(bucket_count));
    }

    // Never null: a pool that stays full after compaction is fatal.
    void* allocate_block(uint32_t size);
    void free_block(void* block, uint32_t size);
    void return_size_class_lists();
    // Slides live blocks down, lowest first, into the free space below them.
    void compact();

    const VariableMemoryPoolBase& get_pool() const { return pool_; }

private:
    static constexpr uint32_t no_block = 0xFFFFFFFFu;

    // Pool offsets of the first free block of each class; a listed block's
    // first word is the offset of the next.
    uint32_t size_class_heads_[dictionary_size_class_count];
    VariableMemoryPool<dictionary_pool_size> pool_;
    Dictionary* compaction_list_[dictionary_capacity] = {};
};

extern DictionaryServer dictionary_server;

}  // namespace zolt::core
