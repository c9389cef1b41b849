#pragma once
// A pool of blocks of any size in one region that outlives the pool. Sizes
// are rounded up to 8 bytes; allocation is first fit (the lowest block large
// enough), free blocks are always fully merged, and an allocated block has no
// header: its owner gives its size back on free. A free block holds its u32
// size in its first and in its last 4 bytes, so an 8-byte block can be free.
// Beside the region the pool keeps a bit for every 8 bytes that starts a free
// block and one for every 8 bytes that ends one, which find a freed block's
// neighbours at once, and a tree of the largest free block in each 512 bytes,
// which finds the first fit in logarithmic time. Only the thread that owns the
// pool may call it.
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "libs/utility/free_size_tree.h"

namespace zolt {

class VariableMemoryPoolBase {
public:
    // The region starts 8-byte aligned; a size that is not a multiple of 8
    // loses its tail.
    VariableMemoryPoolBase(void* region, uint32_t size);
    ~VariableMemoryPoolBase();
    VariableMemoryPoolBase(const VariableMemoryPoolBase&) = delete;
    VariableMemoryPoolBase& operator=(const VariableMemoryPoolBase&) = delete;

    // Null when no free block is large enough; the caller decides whether
    // that is fatal (halt_due_out_of_memory).
    void* allocate(uint32_t size);
    // Size is the one asked for at allocation.
    void free(void* block, uint32_t size);

    // One compaction step: when the lowest free block ends where used_block
    // starts, moves byte_count bytes from source (inside the used block) down
    // to that free block's start, or with a non-zero alignment to the first
    // multiple of it at least 4 bytes in, with the block's offset stored in
    // the 4 bytes below; the free space then follows the moved block.
    // Answers the new address, source when the block lies below every free
    // block, or null when something stays between.
    void* slide(void* used_block, uint32_t used_block_size, void* source, uint32_t byte_count, uint32_t alignment);

    uint32_t get_block_offset(const void* block) const {
        return static_cast<uint32_t>(static_cast<const uint8_t*>(block) - base_);
    }
    void* get_block_at(uint32_t offset) const { return base_ + offset; }

    // Visits every free block in address order as (block, size).
    template <typename Visit>
    void for_each_free_block(Visit&& visit) const {
        for (uint32_t group = 0; group < group_count_; ++group) {
            for (uint64_t starts = free_starts_[group]; starts != 0; starts &= starts - 1) {
                uint8_t* const block = base_ + (group * granules_per_group + std::countr_zero(starts)) * 8;
                uint32_t size = 0;
                std::memcpy(&size, block, sizeof size);
                visit(static_cast<void*>(block), size);
            }
        }
    }

protected:
    VariableMemoryPoolBase() = default;
    void initialize(void* region, uint32_t size);

private:
    static constexpr uint32_t no_block = 0xFFFFFFFF;
    // One word of each bitmap, and one leaf of the tree.
    static constexpr uint32_t granules_per_group = 64;

    void release(uint32_t offset, uint32_t size);
    uint32_t find_first_fit(uint32_t size) const;
    uint32_t get_largest_in_group(uint32_t group) const;
    void check_allocated_block(const void* block, uint32_t size, const char* operation) const;
    void mark_allocated(uint32_t offset, uint32_t size);
    void mark_released(uint32_t offset, uint32_t size);

    uint32_t region_size_ = 0;
    uint32_t group_count_ = 0;
    uint8_t* base_ = nullptr;
    // One allocation at construction holds both bitmaps and the tree.
    uint64_t* free_starts_ = nullptr;
    uint64_t* free_ends_ = nullptr;
    FreeSizeTree largest_free_;
    // Debug builds keep one bit per 8 bytes for the first and for the last
    // 8 bytes of every allocated block, to catch a free with the wrong size
    // or a second free before either corrupts the free blocks.
    uint64_t* block_starts_ = nullptr;
    uint64_t* block_ends_ = nullptr;
};

// Pools of this size and above take a reserved region.
constexpr uint32_t reserved_pool_threshold = 1u << 20;
// A reserved region for a pool; no address space for it is fatal.
uint8_t* reserve_pool_region(uint32_t size);

// A variable pool that holds its region, 16-byte aligned.

template <uint32_t Size>
class VariableMemoryPool : public VariableMemoryPoolBase {
    static_assert(Size % 8 == 0 && Size < 0xFFFFFFF8u, "block offsets are 32-bit");

public:
    VariableMemoryPool() { initialize(get_region(), Size); }

private:
    // Large pools live in a reserved region rather than inside the object, so
    // their untouched pages cost neither memory nor start-up time.
    static constexpr bool is_reserved = Size >= reserved_pool_threshold;

    uint8_t* get_region() {
        if constexpr (is_reserved) {
            region_ = reserve_pool_region(Size);
            return region_;
        } else {
            return region_;
        }
    }

    alignas(16) std::conditional_t<is_reserved, uint8_t*, uint8_t[is_reserved ? 1 : Size]> region_{};
};

// The fatal "out of memory" of a caller that cannot go on without a block.
[[noreturn]] void halt_due_out_of_memory(const VariableMemoryPoolBase& pool);

}  // namespace zolt
