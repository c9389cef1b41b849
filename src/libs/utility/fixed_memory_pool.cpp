#include "libs/utility/fixed_memory_pool.h"

#include <cinttypes>

namespace zolt {

FixedMemoryPoolBase::FixedMemoryPoolBase(void* region, uint32_t block_size, uint32_t block_count) {
    initialize(region, block_size, block_count);
}

void FixedMemoryPoolBase::initialize(void* region, uint32_t block_size, uint32_t block_count) {
    if (block_size < 8 || block_size % 4 != 0 || uint64_t{block_size} * block_count >= no_block) {
        ZOLT_PANIC("unsupported fixed memory pool: %" PRIu32 " blocks of %" PRIu32 " bytes", block_count, block_size);
    }
    base_ = static_cast<uint8_t*>(region);
    block_size_ = block_size;
    block_count_ = block_count;
    // Each block links to the one below it, so the highest goes out first.
    uint32_t link = no_block;
    for (uint32_t index = 0; index < block_count; ++index) {
        uint8_t* block = base_ + uint64_t{index} * block_size;
        std::memcpy(block, &link, sizeof link);
#ifndef NDEBUG
        std::memcpy(block + sizeof link, &free_block_mark, sizeof free_block_mark);
#endif
        link = index * block_size;
    }
    free_head_ = link;
}

void FixedMemoryPoolBase::check_allocation_size(uint32_t size) const {
    if (size > block_size_) {
        ZOLT_PANIC("allocation of %" PRIu32 " bytes from a pool of %" PRIu32 "-byte blocks", size, block_size_);
    }
}

void FixedMemoryPoolBase::check_free(const void* block) const {
    const uint8_t* address = static_cast<const uint8_t*>(block);
    const uint64_t region_size = uint64_t{block_size_} * block_count_;
    if (address < base_ || address >= base_ + region_size || (address - base_) % block_size_ != 0) {
        ZOLT_PANIC("free of %p, which is not a block of this pool", block);
    }
    uint32_t mark = 0;
    std::memcpy(&mark, address + sizeof free_head_, sizeof mark);
    if (mark != free_block_mark) {
        return;
    }
    // The mark may also be live data: only the list can tell.
    const uint32_t offset = static_cast<uint32_t>(address - base_);
    uint32_t current = free_head_;
    for (uint32_t steps = 0; current != no_block && steps < block_count_; ++steps) {
        if (current == offset) {
            ZOLT_PANIC("block %p is freed twice", block);
        }
        std::memcpy(&current, base_ + current, sizeof current);
    }
}

}  // namespace zolt
