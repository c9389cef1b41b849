#include "libs/utility/fixed_memory_pool.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

#include "support/child_process.h"

namespace zolt {
namespace {

TEST(FixedMemoryPool, HandsOutTheHighestBlockFirstAndAFreedBlockNext) {
    for (uint32_t block_size : {8u, 12u, 24u, 64u}) {
        std::vector<uint8_t> region(block_size * 3);
        FixedMemoryPoolBase pool(region.data(), block_size, 3);
        uint8_t* const a = region.data();
        uint8_t* const b = a + block_size;
        uint8_t* const c = b + block_size;
        EXPECT_EQ(pool.allocate(block_size), c) << block_size;
        EXPECT_EQ(pool.allocate(block_size), b) << block_size;
        EXPECT_EQ(pool.allocate(1), a) << block_size;
        EXPECT_FALSE(pool.has_free_block());
        pool.free(b);
        EXPECT_TRUE(pool.has_free_block());
        EXPECT_EQ(pool.allocate(block_size), b) << block_size;
    }
}

TEST(FixedMemoryPool, PoolWithItsOwnBlocksAlignsThemTo16Bytes) {
    static FixedMemoryPool<48, 5> pool;
    EXPECT_EQ(pool.get_block_size(), 48u);
    EXPECT_EQ(pool.get_block_count(), 5u);
    uint8_t* previous = nullptr;
    for (int index = 0; index < 5; ++index) {
        auto* block = static_cast<uint8_t*>(pool.allocate(48));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
        if (previous != nullptr) {
            EXPECT_EQ(block, previous - 48);
        }
        previous = block;
    }
    EXPECT_FALSE(pool.has_free_block());
}

// Random allocations and frees against a stack of free block indices: every
// block handed out is exactly the one predicted, and no write to a live block
// is ever disturbed by the pool.
TEST(FixedMemoryPool, RandomAllocationsAndFreesFollowTheFreeStack) {
    for (uint32_t block_size : {8u, 12u, 64u}) {
        constexpr uint32_t block_count = 50;
        std::vector<uint8_t> region(block_size * block_count);
        FixedMemoryPoolBase pool(region.data(), block_size, block_count);
        std::vector<uint32_t> free_stack;
        for (uint32_t index = 0; index < block_count; ++index) {
            free_stack.push_back(index);
        }
        std::vector<uint32_t> live;
        std::mt19937 random(block_size);
        auto pattern = [&](uint32_t index, uint32_t byte) { return static_cast<uint8_t>(index * 37 + byte * 11 + 5); };
        for (int step = 0; step < 20000; ++step) {
            if (!free_stack.empty() && (live.empty() || random() % 2 == 0)) {
                const uint32_t expected = free_stack.back();
                free_stack.pop_back();
                auto* block = static_cast<uint8_t*>(pool.allocate(block_size));
                ASSERT_EQ(block, region.data() + expected * block_size) << "step " << step;
                for (uint32_t byte = 0; byte < block_size; ++byte) {
                    block[byte] = pattern(expected, byte);
                }
                live.push_back(expected);
            } else {
                const size_t position = random() % live.size();
                const uint32_t index = live[position];
                live[position] = live.back();
                live.pop_back();
                uint8_t* block = region.data() + index * block_size;
                for (uint32_t byte = 0; byte < block_size; ++byte) {
                    ASSERT_EQ(block[byte], pattern(index, byte)) << "block " << index << " step " << step;
                }
                pool.free(block);
                free_stack.push_back(index);
            }
        }
        EXPECT_EQ(pool.has_free_block(), !free_stack.empty());
        for (uint32_t index : live) {
            pool.free(region.data() + index * block_size);
        }
        // Nothing leaked: every block comes back once.
        std::vector<bool> seen(block_count);
        for (uint32_t count = 0; count < block_count; ++count) {
            const auto offset = static_cast<uint32_t>(static_cast<uint8_t*>(pool.allocate(1)) - region.data());
            ASSERT_EQ(offset % block_size, 0u);
            ASSERT_FALSE(seen[offset / block_size]);
            seen[offset / block_size] = true;
        }
        EXPECT_FALSE(pool.has_free_block());
    }
}

#ifndef NDEBUG
TEST(FixedMemoryPool, DebugBuildsPanicOnMisuse) {
    struct Case {
        const char* name;
        void (*misuse)(FixedMemoryPoolBase& pool, uint8_t* region);
        const char* message;
    };
    const Case cases[] = {
        {"second free",
         [](FixedMemoryPoolBase& pool, uint8_t*) {
             void* block = pool.allocate(16);
             pool.free(block);
             pool.free(block);
         },
         "is freed twice"},
        {"second free of a block deeper in the list",
         [](FixedMemoryPoolBase& pool, uint8_t*) {
             void* first = pool.allocate(16);
             void* second = pool.allocate(16);
             pool.free(first);
             pool.free(second);
             pool.free(first);
         },
         "is freed twice"},
        {"free inside a block", [](FixedMemoryPoolBase& pool, uint8_t* region) { pool.free(region + 8); },
         "which is not a block of this pool"},
        {"free outside the pool", [](FixedMemoryPoolBase& pool, uint8_t* region) { pool.free(region + 64); },
         "which is not a block of this pool"},
        {"allocation larger than a block", [](FixedMemoryPoolBase& pool, uint8_t*) { pool.allocate(17); },
         "allocation of 17 bytes from a pool of 16-byte blocks"},
    };
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child([&] {
            alignas(16) static uint8_t region[80];
            FixedMemoryPoolBase pool(region, 16, 4);
            c.misuse(pool, region);
        });
        EXPECT_TRUE(result.exited) << c.name;
        EXPECT_EQ(result.exit_code, ExitCode::crash) << c.name;
        EXPECT_NE(result.standard_error.find(std::string("zolt: fatal error: ")), std::string::npos) << c.name;
        EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << c.name << ": " << result.standard_error;
    }
}

TEST(FixedMemoryPool, LiveDataThatLooksLikeAFreeBlockIsNoSecondFree) {
    alignas(16) static uint8_t region[32];
    FixedMemoryPoolBase pool(region, 16, 2);
    auto* block = static_cast<uint8_t*>(pool.allocate(16));
    // Copy a free block's first 8 bytes into the live block.
    std::memcpy(block, region, 8);
    pool.free(block);
    EXPECT_EQ(pool.allocate(16), block);
    EXPECT_EQ(pool.allocate(16), region);
}
#endif

}  // namespace
}  // namespace zolt
