#pragma once
// The byte stack a suspended task keeps its saved state on: chained 64-byte
// pages, each a link to the next older page and 60 data bytes, taken from one
// pool shared by all tasks. Pages are named by number (1 upward, 0 for none)
// so that a page stays 64 bytes on 64-bit. The newest page is the top page;
// it holds byte_count mod 60 bytes, where 0 means a full page. Pushing takes
// zeroed pages as needed; popping returns every page it empties. An empty
// pool is the fatal "out of memory". Main thread only.
#include <cstdint>

#include "libs/utility/fixed_memory_pool.h"

namespace zolt::core {

constexpr uint32_t stack_page_data_size = 60;
constexpr uint32_t stack_page_count = 20000;

struct StackPage {
    uint32_t older_page;
    uint8_t data[stack_page_data_size];
};
static_assert(sizeof(StackPage) == 64);

class StackPagePool {
public:
    StackPagePool() : pool_(pages_, sizeof(StackPage), stack_page_count) {}
    StackPagePool(const StackPagePool&) = delete;
    StackPagePool& operator=(const StackPagePool&) = delete;

    // A zeroed page's number.
    uint32_t take_page();
    void return_page(uint32_t number);
    StackPage& get_page(uint32_t number) { return pages_[number - 1]; }
    const StackPage& get_page(uint32_t number) const { return pages_[number - 1]; }
    bool has_free_page() const { return pool_.has_free_block(); }

private:
    alignas(64) StackPage pages_[stack_page_count];
    FixedMemoryPoolBase pool_;
};

struct ByteStack {
    uint32_t top_page = 0;
    uint32_t byte_count = 0;
};

// Bytes used in the top page.
constexpr uint32_t get_top_page_fill(uint32_t byte_count) {
    return byte_count == 0 ? 0 : (byte_count - 1) % stack_page_data_size + 1;
}

constexpr uint32_t get_page_count(uint32_t byte_count) {
    return (byte_count + stack_page_data_size - 1) / stack_page_data_size;
}

void push_bytes(ByteStack& stack, StackPagePool& pool, const void* bytes, uint32_t count);
// The last count bytes pushed, in the order they were pushed; count must not
// exceed the stack's byte count.
void pop_bytes(ByteStack& stack, StackPagePool& pool, void* bytes, uint32_t count);
// Overwrites bytes in place, depth bytes below the top (depth >= count).
void overwrite_bytes_below_top(ByteStack& stack, StackPagePool& pool, uint32_t depth, const void* bytes,
                               uint32_t count);
void release_pages(ByteStack& stack, StackPagePool& pool);

}  // namespace zolt::core
