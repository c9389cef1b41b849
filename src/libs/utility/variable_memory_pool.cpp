#include "libs/utility/variable_memory_pool.h"

#include <algorithm>
#include <bit>
#include <cinttypes>
#include <cstdlib>

#include "libs/utility/fatal_error.h"
#include "platform/system/reserved_memory.h"

namespace zolt {
namespace {

constexpr uint32_t largest_request = 0xFFFFFFF8u;

uint32_t load_word(const uint8_t* address) {
    uint32_t value = 0;
    std::memcpy(&value, address, sizeof value);
    return value;
}

void store_word(uint8_t* address, uint32_t value) {
    std::memcpy(address, &value, sizeof value);
}

// Every size is rounded up to 8 bytes; 0 takes 8 as well, so that a block
// always has room for a free header.
uint32_t round_size(uint32_t size) {
    return size == 0 ? 8 : (size + 7u) & ~7u;
}

bool test_bit(const uint64_t* bits, uint32_t index) {
    return (bits[index / 64] >> (index % 64)) & 1u;
}

void set_bit(uint64_t* bits, uint32_t index) {
    bits[index / 64] |= uint64_t{1} << (index % 64);
}

void clear_bit(uint64_t* bits, uint32_t index) {
    bits[index / 64] &= ~(uint64_t{1} << (index % 64));
}

}  // namespace

VariableMemoryPoolBase::VariableMemoryPoolBase(void* region, uint32_t size) {
    initialize(region, size);
}

VariableMemoryPoolBase::~VariableMemoryPoolBase() {
    std::free(free_starts_);
    std::free(block_starts_);
    std::free(block_ends_);
}

void VariableMemoryPoolBase::initialize(void* region, uint32_t size) {
    if (reinterpret_cast<uintptr_t>(region) % 8 != 0) {
        ZOLT_PANIC("variable memory pool region %p is not 8-byte aligned", region);
    }
    base_ = static_cast<uint8_t*>(region);
    region_size_ = size & ~7u;
    group_count_ = std::max((region_size_ / 8 + granules_per_group - 1) / granules_per_group, 1u);
    // Large pools get their side storage from fresh pages, which the system
    // hands out zeroed and only when touched, like the region itself.
    // Each bitmap has a zero word past its side of the region (after the
    // starts, before the ends), so a block at either end of the region reads
    // a neighbour that is never free.
    const size_t bitmap_bytes = (size_t{group_count_} + 1) * sizeof(uint64_t);
    const size_t tree_bytes = FreeSizeTree::get_storage_words(group_count_) * sizeof(uint32_t);
    auto* const storage = static_cast<uint8_t*>(std::calloc(2 * bitmap_bytes + tree_bytes, 1));
    if (storage == nullptr) {
        ZOLT_ERROR("out of memory");
    }
    free_starts_ = reinterpret_cast<uint64_t*>(storage);
    free_ends_ = reinterpret_cast<uint64_t*>(storage + bitmap_bytes) + 1;
    largest_free_.initialize(reinterpret_cast<uint32_t*>(storage + 2 * bitmap_bytes), group_count_);
    if (region_size_ != 0) {
        set_bit(free_starts_, 0);
        set_bit(free_ends_, region_size_ / 8 - 1);
        store_word(base_, region_size_);
        store_word(base_ + region_size_ - 4, region_size_);
        largest_free_.raise(0, region_size_ / 8);
    }
#ifndef NDEBUG
    const size_t word_count = (region_size_ / 8 + 63) / 64 + 1;
    block_starts_ = static_cast<uint64_t*>(std::calloc(word_count, sizeof(uint64_t)));
    block_ends_ = static_cast<uint64_t*>(std::calloc(word_count, sizeof(uint64_t)));
#endif
}

uint32_t VariableMemoryPoolBase::find_first_fit(uint32_t size) const {
    const uint32_t group = largest_free_.find_first_group(size / 8);
    if (group == FreeSizeTree::no_group) {
        return no_block;
    }
    for (uint64_t starts = free_starts_[group];; starts &= starts - 1) {
        const uint32_t offset = (group * granules_per_group + static_cast<uint32_t>(std::countr_zero(starts))) * 8;
        if (load_word(base_ + offset) >= size) {
            return offset;
        }
    }
}

uint32_t VariableMemoryPoolBase::get_largest_in_group(uint32_t group) const {
    uint32_t largest = 0;
    for (uint64_t starts = free_starts_[group]; starts != 0; starts &= starts - 1) {
        const uint32_t offset = (group * granules_per_group + static_cast<uint32_t>(std::countr_zero(starts))) * 8;
        largest = std::max(largest, load_word(base_ + offset));
    }
    return largest / 8;
}

void* VariableMemoryPoolBase::allocate(uint32_t size) {
    if (size > largest_request) {
        return nullptr;
    }
    const uint32_t needed = round_size(size);
    const uint32_t group = largest_free_.find_first_group(needed / 8);
    if (group == FreeSizeTree::no_group) {
        return nullptr;
    }
    // One walk over the group's free blocks finds the fit and, as the fit is
    // most often the group's largest, the largest of the others.
    const uint32_t group_offset = group * granules_per_group * 8;
    uint64_t starts = free_starts_[group];
    uint32_t offset = 0;
    uint32_t block_size = 0;
    uint32_t largest_other = 0;
    for (;; starts &= starts - 1) {
        offset = group_offset + static_cast<uint32_t>(std::countr_zero(starts)) * 8;
        block_size = load_word(base_ + offset);
        if (block_size >= needed) {
            break;
        }
        largest_other = std::max(largest_other, block_size);
    }
    const bool was_largest = block_size / 8 == largest_free_.get_largest(group);
    if (was_largest) {
        for (starts &= starts - 1; starts != 0; starts &= starts - 1) {
            const uint32_t other = group_offset + static_cast<uint32_t>(std::countr_zero(starts)) * 8;
            largest_other = std::max(largest_other, load_word(base_ + other));
        }
    }
    clear_bit(free_starts_, offset / 8);
    if (block_size > needed) {
        // The rest keeps the block's end, so only its start moves.
        const uint32_t rest = offset + needed;
        const uint32_t rest_size = block_size - needed;
        set_bit(free_starts_, rest / 8);
        store_word(base_ + rest, rest_size);
        store_word(base_ + offset + block_size - 4, rest_size);
        const uint32_t rest_group = rest / 8 / granules_per_group;
        if (rest_group != group) {
            largest_free_.raise(rest_group, rest_size / 8);
        } else {
            largest_other = std::max(largest_other, rest_size);
        }
    } else {
        clear_bit(free_ends_, (offset + block_size) / 8 - 1);
    }
    if (was_largest) {
        largest_free_.set_largest(group, largest_other / 8);
    }
    mark_allocated(offset, needed);
    return base_ + offset;
}

void VariableMemoryPoolBase::free(void* block, uint32_t size) {
#ifndef NDEBUG
    check_allocated_block(block, size, "free");
#endif
    const uint32_t offset = get_block_offset(block);
    const uint32_t released = round_size(size);
    mark_released(offset, released);
    release(offset, released);
}

void VariableMemoryPoolBase::release(uint32_t offset, uint32_t size) {
    // Whether a neighbour is free is as likely as not, so both merges are
    // done with masks rather than branches; a neighbour that is not free
    // reads the block's own first word and adds nothing.
    const uint32_t end = offset + size;
    const uint32_t granule = offset / 8;
    // The granule before the block, counted from the ends' guard word.
    uint64_t* const guarded_ends = free_ends_ - 1;
    const uint32_t before = granule + 63;
    const uint64_t predecessor_bit = uint64_t{1} << (before % 64);
    const uint64_t predecessor_free = (guarded_ends[before / 64] & predecessor_bit) != 0;
    const auto predecessor_mask = static_cast<uint32_t>(0 - predecessor_free);
    const uint32_t predecessor_size = load_word(base_ + offset - (4 & predecessor_mask)) & predecessor_mask;
    guarded_ends[before / 64] &= ~(predecessor_bit & (0 - predecessor_free));
    free_starts_[granule / 64] |= (uint64_t{1} << (granule % 64)) & (predecessor_free - 1);

    const uint32_t after = end / 8;
    const uint64_t successor_bit = uint64_t{1} << (after % 64);
    const uint64_t successor_free = (free_starts_[after / 64] & successor_bit) != 0;
    const uint32_t successor_size =
        load_word(base_ + (successor_free != 0 ? end : offset)) & (0u - static_cast<uint32_t>(successor_free));
    free_starts_[after / 64] &= ~(successor_bit & (0 - successor_free));
    free_ends_[(after - 1) / 64] |= (uint64_t{1} << ((after - 1) % 64)) & (successor_free - 1);

    const uint32_t start = offset - predecessor_size;
    const uint32_t merged_size = predecessor_size + size + successor_size;
    store_word(base_ + start, merged_size);
    store_word(base_ + start + merged_size - 4, merged_size);
    // The successor's group lost a block, which may have been its largest.
    const uint32_t start_group = start / 8 / granules_per_group;
    const uint32_t successor_group = after / granules_per_group;
    // One branch, taken seldom, rather than one per condition.
    if (static_cast<int>(successor_free != 0) & static_cast<int>(successor_group != start_group) &
        static_cast<int>(successor_size / 8 == largest_free_.get_largest(successor_group))) {
        largest_free_.set_largest(successor_group, get_largest_in_group(successor_group));
    }
    // Whatever the merged block swallowed in its own group was smaller.
    largest_free_.raise(start_group, merged_size / 8);
}

void* VariableMemoryPoolBase::slide(void* used_block, uint32_t used_block_size, void* source, uint32_t byte_count,
                                    uint32_t alignment) {
    const uint32_t used = get_block_offset(used_block);
    const uint32_t first = find_first_fit(8);
    if (first == no_block || used < first) {
        return source;
    }
    const uint32_t first_size = load_word(base_ + first);
    if (first + first_size != used) {
        return nullptr;
    }
#ifndef NDEBUG
    check_allocated_block(used_block, used_block_size, "slide");
#endif
    const uint32_t moved_size = round_size(used_block_size);
    clear_bit(free_starts_, first / 8);
    clear_bit(free_ends_, used / 8 - 1);
    const uint32_t first_group = first / 8 / granules_per_group;
    if (first_size / 8 == largest_free_.get_largest(first_group)) {
        largest_free_.set_largest(first_group, get_largest_in_group(first_group));
    }
    uint8_t* destination = base_ + first;
    if (alignment != 0) {
        const uintptr_t start = reinterpret_cast<uintptr_t>(destination);
        const uintptr_t aligned = (start + alignment + 3) / alignment * alignment;
        destination += aligned - start;
        store_word(destination - 4, first);
    }
#ifndef NDEBUG
    if (destination + byte_count > base_ + first + moved_size) {
        ZOLT_PANIC("slide of %" PRIu32 " bytes aligned to %" PRIu32 " does not fit a block of %" PRIu32 " bytes",
                   byte_count, alignment, used_block_size);
    }
#endif
    std::memmove(destination, source, byte_count);
    mark_released(used, moved_size);
    mark_allocated(first, moved_size);
    release(first + moved_size, first_size);
    return destination;
}

void VariableMemoryPoolBase::check_allocated_block(const void* block, uint32_t size, const char* operation) const {
    const uint8_t* address = static_cast<const uint8_t*>(block);
    if (address < base_ || address >= base_ + region_size_ || (address - base_) % 8 != 0) {
        ZOLT_PANIC("%s of %p, which is not a block of this pool", operation, block);
    }
    if (block_starts_ == nullptr || block_ends_ == nullptr) {
        return;
    }
    const uint32_t first_granule = get_block_offset(block) / 8;
    if (!test_bit(block_starts_, first_granule)) {
        ZOLT_PANIC("%s of %p, which is not an allocated block (freed twice?)", operation, block);
    }
    // The first end at or after a live block's start is its own end.
    uint32_t word = first_granule / 64;
    uint64_t bits = block_ends_[word] & (~uint64_t{0} << (first_granule % 64));
    while (bits == 0) {
        bits = block_ends_[++word];
    }
    const uint32_t allocated = (word * 64 + static_cast<uint32_t>(std::countr_zero(bits)) - first_granule + 1) * 8;
    if (size > largest_request || round_size(size) != allocated) {
        ZOLT_PANIC("%s of %p with size %" PRIu32 ", which was allocated with %" PRIu32 " bytes", operation, block, size,
                   allocated);
    }
}

void VariableMemoryPoolBase::mark_allocated(uint32_t offset, uint32_t size) {
    if (block_starts_ != nullptr && block_ends_ != nullptr) {
        set_bit(block_starts_, offset / 8);
        set_bit(block_ends_, (offset + size) / 8 - 1);
    }
}

void VariableMemoryPoolBase::mark_released(uint32_t offset, uint32_t size) {
    if (block_starts_ != nullptr && block_ends_ != nullptr) {
        clear_bit(block_starts_, offset / 8);
        clear_bit(block_ends_, (offset + size) / 8 - 1);
    }
}

void halt_due_out_of_memory(const VariableMemoryPoolBase& pool) {
    ZOLT_PANIC("out of memory");
}

uint8_t* reserve_pool_region(uint32_t size) {
    uint8_t* const region = platform::reserve_memory_region(size);
    if (region == nullptr) {
        ZOLT_ERROR("out of memory");
    }
    return region;
}

}  // namespace zolt
