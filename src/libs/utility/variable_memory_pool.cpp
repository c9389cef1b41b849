#include "libs/utility/variable_memory_pool.h"

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
    std::free(block_starts_);
    std::free(block_ends_);
}

void VariableMemoryPoolBase::initialize(void* region, uint32_t size) {
    if (reinterpret_cast<uintptr_t>(region) % 8 != 0) {
        ZOLT_PANIC("variable memory pool region %p is not 8-byte aligned", region);
    }
    base_ = static_cast<uint8_t*>(region);
    region_size_ = size & ~7u;
    free_head_ = no_block;
    if (region_size_ != 0) {
        free_head_ = 0;
        store_word(base_, no_block);
        store_word(base_ + 4, region_size_);
    }
#ifndef NDEBUG
    const size_t word_count = (region_size_ / 8 + 63) / 64 + 1;
    block_starts_ = static_cast<uint64_t*>(std::calloc(word_count, sizeof(uint64_t)));
    block_ends_ = static_cast<uint64_t*>(std::calloc(word_count, sizeof(uint64_t)));
#endif
}

void* VariableMemoryPoolBase::allocate(uint32_t size) {
    if (size > largest_request) {
        return nullptr;
    }
    const uint32_t needed = round_size(size);
    uint8_t* link = reinterpret_cast<uint8_t*>(&free_head_);
    for (uint32_t current = free_head_; current != no_block;) {
        uint8_t* block = base_ + current;
        const uint32_t block_size = load_word(block + 4);
        const uint32_t next = load_word(block);
        if (block_size >= needed) {
            if (block_size > needed) {
                const uint32_t rest = current + needed;
                store_word(base_ + rest, next);
                store_word(base_ + rest + 4, block_size - needed);
                store_word(link, rest);
            } else {
                store_word(link, next);
            }
            mark_allocated(current, needed);
            return block;
        }
        link = block;
        current = next;
    }
    return nullptr;
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
    uint8_t* link = reinterpret_cast<uint8_t*>(&free_head_);
    uint32_t predecessor = no_block;
    uint32_t successor = free_head_;
    while (successor != no_block && successor <= offset) {
        predecessor = successor;
        link = base_ + successor;
        successor = load_word(link);
    }
    uint8_t* block = base_ + offset;
    const bool touches_successor = successor != no_block && offset + size == successor;
    if (predecessor != no_block && predecessor + load_word(base_ + predecessor + 4) == offset) {
        uint32_t grown = load_word(base_ + predecessor + 4) + size;
        if (touches_successor) {
            grown += load_word(base_ + successor + 4);
            store_word(base_ + predecessor, load_word(base_ + successor));
        }
        store_word(base_ + predecessor + 4, grown);
        return;
    }
    store_word(link, offset);
    if (touches_successor) {
        store_word(block, load_word(base_ + successor));
        store_word(block + 4, size + load_word(base_ + successor + 4));
    } else {
        store_word(block, successor);
        store_word(block + 4, size);
    }
}

void* VariableMemoryPoolBase::slide(void* used_block, uint32_t used_block_size, void* source, uint32_t byte_count,
                                    uint32_t alignment) {
    const uint32_t used = get_block_offset(used_block);
    if (free_head_ == no_block || used < free_head_) {
        return source;
    }
    const uint32_t first = free_head_;
    const uint32_t first_size = load_word(base_ + first + 4);
    if (first + first_size != used) {
        return nullptr;
    }
#ifndef NDEBUG
    check_allocated_block(used_block, used_block_size, "slide");
#endif
    const uint32_t moved_size = round_size(used_block_size);
    free_head_ = load_word(base_ + first);
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
        ZOLT_PANIC("%s of %p with size %" PRIu32 ", which was allocated with %" PRIu32 " bytes", operation, block,
                   size, allocated);
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
