#pragma once
// The server of script strings (type 8, 1000 of them) and of the 100,000-byte
// pool their UTF-16 text lives in. A text block holds exactly its string's
// units. When an allocation does not fit, the live texts are slid down once
// to close the gaps and the allocation is retried: any allocation may move
// any string's text. Main thread only.
#include <cstdint>

#include "libs/utility/variable_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/string_object.h"

namespace zolt::core {

constexpr uint32_t string_capacity = 1000;
constexpr uint32_t string_pool_size = 100000;
// No string can be longer than the whole pool.
constexpr uint32_t string_length_limit = string_pool_size / sizeof(char16_t);

class StringServer final : public PooledServer<String, string_capacity> {
public:
    StringServer() : PooledServer(server_type::string) {}

    const char* get_name() const override { return "StringServer"; }
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    String* create_string() { return static_cast<String*>(create_object_internal(0)); }

    // Room for length units (1 to string_length_limit); a pool that stays
    // full after compaction is the fatal "out of memory".
    char16_t* allocate_text(uint32_t length);
    // The same, but null when the pool stays full.
    char16_t* try_allocate_text(uint32_t length);
    void free_text(char16_t* text, uint32_t length);
    // Slides live texts down, lowest first, into the free space below them.
    void compact();

    const VariableMemoryPoolBase& get_pool() const { return pool_; }

private:
    VariableMemoryPool<string_pool_size> pool_;
    String* compaction_list_[string_capacity] = {};
};

extern StringServer string_server;

// The live string object the handle names, following aliases and proxies;
// null when it names nothing or something that is not a string.
String* get_string_object(ObjectHandle handle);

}  // namespace zolt::core
