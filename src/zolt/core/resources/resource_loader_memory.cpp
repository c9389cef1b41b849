#include <cstring>

#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/resource_loader.h"

namespace zolt::core {
namespace {

// Pool blocks are 8-aligned already; larger alignments keep the block's pool
// offset in the word just below the aligned address.
constexpr uint32_t plain_block_alignment = 8;

uint8_t* align_in_block(uint8_t* block, uint32_t alignment) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t aligned = (start + alignment + 3) / alignment * alignment;
    return block + (aligned - start);
}

}  // namespace

VariableMemoryPoolBase& ResourceLoader::get_pool(const ResourceInfo& info) {
    if (io::get_pool_type(info.flags) == io::pool_type_second) {
        return second_pool_;
    }
    return general_pool_;
}

void* ResourceLoader::allocate_aligned(const ResourceInfo& info, uint32_t size, uint32_t alignment) {
    VariableMemoryPoolBase& pool = get_pool(info);
    if (alignment <= plain_block_alignment) {
        void* const block = pool.allocate(size);
        if (block == nullptr) {
            ZOLT_PANIC("out of resource memory");
        }
        return block;
    }
    if (size > UINT32_MAX - alignment) {
        ZOLT_PANIC("out of resource memory");
    }
    auto* const block = static_cast<uint8_t*>(pool.allocate(size + alignment));
    if (block == nullptr) {
        ZOLT_PANIC("out of resource memory");
    }
    uint8_t* const aligned = align_in_block(block, alignment);
    const uint32_t block_offset = pool.get_block_offset(block);
    std::memcpy(aligned - sizeof block_offset, &block_offset, sizeof block_offset);
    return aligned;
}

void ResourceLoader::free_aligned(const ResourceInfo& info, void* pointer, uint32_t size) {
    VariableMemoryPoolBase& pool = get_pool(info);
    const uint32_t alignment = 1u << io::get_alignment_exponent(info.flags);
    if (alignment <= plain_block_alignment) {
        pool.free(pointer, size);
        return;
    }
    uint32_t block_offset = 0;
    std::memcpy(&block_offset, static_cast<uint8_t*>(pointer) - sizeof block_offset, sizeof block_offset);
    pool.free(pool.get_block_at(block_offset), size + alignment);
}

}  // namespace zolt::core
