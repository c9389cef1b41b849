#pragma once
// The server of script arrays (type 7, 2000 of them) and of the 512 KiB pool
// their words live in. When an allocation does not fit, the live arrays'
// storage is slid down once to close the gaps and the allocation is retried:
// any allocation may move any array's storage. Main thread only.
#include <cstdint>

#include "libs/utility/variable_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/array_object.h"

namespace zolt::core {

constexpr uint32_t array_capacity = 2000;
constexpr uint32_t array_pool_size = 0x80000;
// No array can hold more words than the whole pool.
constexpr uint32_t array_word_limit = array_pool_size / sizeof(uint32_t);

class ArrayServer final : public PooledServer<ArrayObject, array_capacity> {
public:
    ArrayServer() : PooledServer(server_type::array) {}

    const char* get_name() const override { return "ArrayServer"; }
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    ArrayObject* create_array(uint32_t capacity) { return static_cast<ArrayObject*>(create_object_internal(capacity)); }

    // Room for count words (1 to array_word_limit); a pool that stays full
    // after compaction is the fatal "out of memory".
    uint32_t* allocate_elements(uint32_t count);
    // The same, but null when the pool stays full.
    uint32_t* try_allocate_elements(uint32_t count);
    void free_elements(uint32_t* elements, uint32_t count);
    // Slides live storage down, lowest first, into the free space below it.
    void compact();

    const VariableMemoryPoolBase& get_pool() const { return pool_; }

private:
    VariableMemoryPool<array_pool_size> pool_;
    ArrayObject* compaction_list_[array_capacity] = {};
};

extern ArrayServer array_server;

}  // namespace zolt::core
