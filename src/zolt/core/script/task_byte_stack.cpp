#include "zolt/core/script/task_byte_stack.h"

#include <cstring>

namespace zolt::core {

uint32_t StackPagePool::take_page() {
    auto* page = static_cast<StackPage*>(pool_.allocate(sizeof(StackPage)));
    std::memset(page, 0, sizeof *page);
    return static_cast<uint32_t>(page - pages_) + 1;
}

void StackPagePool::return_page(uint32_t number) {
    pool_.free(&pages_[number - 1]);
}

void push_bytes(ByteStack& stack, StackPagePool& pool, const void* bytes, uint32_t count) {
    const auto* source = static_cast<const uint8_t*>(bytes);
    while (count > 0) {
        uint32_t fill = get_top_page_fill(stack.byte_count);
        if (stack.top_page == 0 || fill == stack_page_data_size) {
            const uint32_t page = pool.take_page();
            pool.get_page(page).older_page = stack.top_page;
            stack.top_page = page;
            fill = 0;
        }
        const uint32_t room = stack_page_data_size - fill;
        const uint32_t chunk = count < room ? count : room;
        std::memcpy(pool.get_page(stack.top_page).data + fill, source, chunk);
        source += chunk;
        count -= chunk;
        stack.byte_count += chunk;
    }
}

void pop_bytes(ByteStack& stack, StackPagePool& pool, void* bytes, uint32_t count) {
    auto* destination = static_cast<uint8_t*>(bytes);
    while (count > 0 && stack.top_page != 0) {
        const uint32_t fill = get_top_page_fill(stack.byte_count);
        const uint32_t chunk = count < fill ? count : fill;
        StackPage& page = pool.get_page(stack.top_page);
        count -= chunk;
        std::memcpy(destination + count, page.data + fill - chunk, chunk);
        stack.byte_count -= chunk;
        if (chunk == fill) {
            const uint32_t older = page.older_page;
            pool.return_page(stack.top_page);
            stack.top_page = older;
        }
    }
}

void overwrite_bytes_below_top(ByteStack& stack, StackPagePool& pool, uint32_t depth, const void* bytes,
                               uint32_t count) {
    if (depth > stack.byte_count || count > depth) {
        return;
    }
    // Byte positions count from the bottom of the stack; pages are reached from the top.
    const uint32_t start = stack.byte_count - depth;
    const auto* source = static_cast<const uint8_t*>(bytes);
    uint32_t page = stack.top_page;
    uint32_t page_start = (get_page_count(stack.byte_count) - 1) * stack_page_data_size;
    for (uint32_t index = count; index > 0; --index) {
        const uint32_t position = start + index - 1;
        while (position < page_start) {
            page = pool.get_page(page).older_page;
            page_start -= stack_page_data_size;
        }
        pool.get_page(page).data[position - page_start] = source[index - 1];
    }
}

void release_pages(ByteStack& stack, StackPagePool& pool) {
    while (stack.top_page != 0) {
        const uint32_t older = pool.get_page(stack.top_page).older_page;
        pool.return_page(stack.top_page);
        stack.top_page = older;
    }
    stack.byte_count = 0;
}

}  // namespace zolt::core
