#pragma once
// A pool of blocks of one size in memory that outlives the pool. Blocks are
// handed out from the highest address down, and a freed block is the next one
// handed out. A free block's first 4 bytes hold the offset of the next free
// block from the pool base, so blocks need no more than 8 bytes on 64-bit.
// Only the thread that owns the pool may call it.
#include <cstdint>
#include <cstring>

#include "libs/utility/fatal_error.h"

namespace zolt {

class FixedMemoryPoolBase {
public:
    // The region holds block_size x block_count bytes, aligned as the blocks'
    // contents need; block_size is a multiple of 4 and at least 8.
    FixedMemoryPoolBase(void* region, uint32_t block_size, uint32_t block_count);
    FixedMemoryPoolBase(const FixedMemoryPoolBase&) = delete;
    FixedMemoryPoolBase& operator=(const FixedMemoryPoolBase&) = delete;

    // An empty pool is fatal.
    void* allocate(uint32_t size) {
        if (free_head_ == no_block) {
            ZOLT_PANIC("out of memory");
        }
        uint8_t* block = base_ + free_head_;
#ifndef NDEBUG
        check_allocation_size(size);
        std::memset(block + sizeof free_head_, 0, sizeof free_block_mark);
#endif
        std::memcpy(&free_head_, block, sizeof free_head_);
        return block;
    }

    void free(void* block) {
#ifndef NDEBUG
        check_free(block);
        std::memcpy(static_cast<uint8_t*>(block) + sizeof free_head_, &free_block_mark, sizeof free_block_mark);
#endif
        std::memcpy(block, &free_head_, sizeof free_head_);
        free_head_ = static_cast<uint32_t>(static_cast<uint8_t*>(block) - base_);
    }

    bool has_free_block() const {
        return free_head_ != no_block;
    }
    uint32_t get_block_size() const {
        return block_size_;
    }
    uint32_t get_block_count() const {
        return block_count_;
    }

protected:
    FixedMemoryPoolBase() = default;
    void initialize(void* region, uint32_t block_size, uint32_t block_count);

private:
    static constexpr uint32_t no_block = 0xFFFFFFFF;
    // Debug builds put this after the link of every free block, so that a
    // second free of a block is found without walking the list each time.
    static constexpr uint32_t free_block_mark = 0xF4EEB10C;

    void check_allocation_size(uint32_t size) const;
    void check_free(const void* block) const;

    uint32_t free_head_ = no_block;
    uint32_t block_size_ = 0;
    uint32_t block_count_ = 0;
    uint8_t* base_ = nullptr;
};

// A fixed pool that holds its blocks; a block size that is a multiple of 16
// gives 16-byte aligned blocks.
template <uint32_t BlockSize, uint32_t BlockCount>
class FixedMemoryPool : public FixedMemoryPoolBase {
    static_assert(BlockSize >= 8 && BlockSize % 4 == 0, "a block holds the 4-byte link and the debug mark");
    static_assert(uint64_t{BlockSize} * BlockCount < 0xFFFFFFFFull, "block offsets are 32-bit");

public:
    FixedMemoryPool() { initialize(blocks_, BlockSize, BlockCount); }

private:
    alignas(16) uint8_t blocks_[BlockSize * BlockCount];
};

}  // namespace zolt
