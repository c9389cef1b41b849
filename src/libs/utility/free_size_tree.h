#pragma once
// The largest free block that starts in each group of a variable pool, with a
// 16-way tree of maxima above the groups, so that the lowest group holding a
// block of at least a given size is found by reading one 64-byte node per
// level (five levels for a pool of 300 MiB in groups of 512 bytes). The tree
// lives in storage its owner provides, zero-filled, of get_storage_words.
// Sizes are counted in units of 8 bytes, from 1 up, so they stay below 2^29.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#if defined(__x86_64__)
#include <emmintrin.h>
#endif

namespace zolt {

class FreeSizeTree {
public:
    static constexpr uint32_t no_group = 0xFFFFFFFF;

    static size_t get_storage_words(uint32_t group_count) {
        size_t words = 0;
        for (uint32_t count = round_to_node(group_count);; count = round_to_node(count / node_width)) {
            words += count;
            if (count == node_width) {
                return words;
            }
        }
    }

    void initialize(uint32_t* storage, uint32_t group_count) {
        storage_ = storage;
        top_level_ = 0;
        uint32_t start = 0;
        for (uint32_t count = round_to_node(group_count);; count = round_to_node(count / node_width)) {
            level_starts_[top_level_] = start;
            start += count;
            if (count == node_width) {
                return;
            }
            ++top_level_;
        }
    }

    // The lowest group whose largest free block has at least size units.
    uint32_t find_first_group(uint32_t size) const {
        uint32_t index = 0;
        for (uint32_t level = top_level_;; --level) {
            const uint32_t entry = find_first_entry(storage_ + level_starts_[level] + index * node_width, size);
            if (entry == node_width) {
                return no_group;  // only the top node can lack one: every entry below it is a maximum
            }
            index = index * node_width + entry;
            if (level == 0) {
                return index;
            }
        }
    }

    uint32_t get_largest(uint32_t group) const { return storage_[group]; }

    // A block of this size now starts in the group; cheaper than set_largest
    // because maxima only grow.
    void raise(uint32_t group, uint32_t size) {
        uint32_t index = group;
        for (uint32_t level = 0; level <= top_level_; ++level, index /= node_width) {
            uint32_t& entry = storage_[level_starts_[level] + index];
            if (entry >= size) {
                return;
            }
            entry = size;
        }
    }

    // The group's largest free block after one of its blocks shrank or left.
    void set_largest(uint32_t group, uint32_t largest) {
        uint32_t& leaf = storage_[group];
        const uint32_t previous = leaf;
        if (largest >= previous) {
            raise(group, largest);
            return;
        }
        leaf = largest;
        // Only the ancestors whose maximum came from this group change.
        uint32_t index = group;
        for (uint32_t level = 1; level <= top_level_; ++level) {
            const uint32_t parent = index / node_width;
            uint32_t& entry = storage_[level_starts_[level] + parent];
            if (entry != previous) {
                return;
            }
            const uint32_t maximum = get_node_maximum(storage_ + level_starts_[level - 1] + parent * node_width);
            if (maximum == previous) {
                return;
            }
            entry = maximum;
            index = parent;
        }
    }

private:
    // One cache line of 32-bit maxima per node.
    static constexpr uint32_t node_width = 16;
    // Enough for 2^32 groups.
    static constexpr uint32_t max_levels = 9;

    static uint32_t round_to_node(uint32_t count) {
        return count <= node_width ? node_width : (count + node_width - 1) / node_width * node_width;
    }

    static uint32_t find_first_entry(const uint32_t* node, uint32_t size) {
#if defined(__x86_64__)
        // Sizes below 2^31 compare the same signed, which is all SSE2 has.
        const __m128i below = _mm_set1_epi32(static_cast<int32_t>(size - 1));
        const auto* lanes = reinterpret_cast<const __m128i*>(node);
        const __m128i low = _mm_packs_epi32(_mm_cmpgt_epi32(_mm_loadu_si128(lanes), below),
                                            _mm_cmpgt_epi32(_mm_loadu_si128(lanes + 1), below));
        const __m128i high = _mm_packs_epi32(_mm_cmpgt_epi32(_mm_loadu_si128(lanes + 2), below),
                                             _mm_cmpgt_epi32(_mm_loadu_si128(lanes + 3), below));
        const auto found = static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(low, high)));
#else
        uint32_t found = 0;
        for (uint32_t entry = 0; entry < node_width; ++entry) {
            found |= static_cast<uint32_t>(node[entry] >= size) << entry;
        }
#endif
        return static_cast<uint32_t>(std::countr_zero(found | (1u << node_width)));
    }

    static uint32_t get_node_maximum(const uint32_t* node) {
        uint32_t maximum = 0;
        for (uint32_t entry = 0; entry < node_width; ++entry) {
            maximum = std::max(maximum, node[entry]);
        }
        return maximum;
    }

    uint32_t* storage_ = nullptr;
    uint32_t top_level_ = 0;
    uint32_t level_starts_[max_levels] = {};
};

}  // namespace zolt
