#include "libs/utility/variable_memory_pool.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "support/child_process.h"

namespace zolt {
namespace {

using FreeList = std::vector<std::pair<uint32_t, uint32_t>>;  // offset, size

// A pool over a heap region of exactly its size, so that AddressSanitizer
// sees any write past either end.
struct PoolFixture {
    explicit PoolFixture(uint32_t size) : region(size), pool(region.data(), size) {}

    uint32_t offset_of(const void* block) const { return pool.get_block_offset(block); }

    FreeList free_list() const {
        FreeList blocks;
        pool.for_each_free_block([&](void* block, uint32_t size) { blocks.emplace_back(offset_of(block), size); });
        return blocks;
    }

    std::vector<uint8_t> region;
    VariableMemoryPoolBase pool;
};

TEST(VariableMemoryPool, RoundsSizesToEightBytesAtAllocationAndAtFree) {
    const std::pair<uint32_t, uint32_t> cases[] = {{0, 8}, {1, 8}, {7, 8}, {8, 8}, {9, 16}, {100, 104}};
    for (const auto& [size, taken] : cases) {
        PoolFixture fixture(256);
        void* block = fixture.pool.allocate(size);
        ASSERT_EQ(fixture.offset_of(block), 0u);
        EXPECT_EQ(fixture.free_list(), (FreeList{{taken, 256 - taken}})) << size;
        fixture.pool.free(block, size);
        EXPECT_EQ(fixture.free_list(), (FreeList{{0, 256}})) << size;
    }
}

TEST(VariableMemoryPool, ExactFitEmptiesThePoolAndEveryFreeOrderMergesBack) {
    // Blocks of 8, 16 and 24 bytes fill the pool exactly.
    const uint32_t sizes[] = {8, 16, 24};
    std::vector<int> order = {0, 1, 2};
    do {
        PoolFixture fixture(48);
        void* blocks[3];
        for (int index = 0; index < 3; ++index) {
            blocks[index] = fixture.pool.allocate(sizes[index]);
        }
        EXPECT_TRUE(fixture.free_list().empty());
        EXPECT_EQ(fixture.pool.allocate(1), nullptr);
        for (int index : order) {
            fixture.pool.free(blocks[index], sizes[index]);
        }
        EXPECT_EQ(fixture.free_list(), (FreeList{{0, 48}})) << order[0] << order[1] << order[2];
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(VariableMemoryPool, FreeingMiddleThenLeftThenRightMergesStepByStep) {
    PoolFixture fixture(32);
    void* left = fixture.pool.allocate(8);
    void* middle = fixture.pool.allocate(8);
    void* right = fixture.pool.allocate(8);
    fixture.pool.free(middle, 8);
    EXPECT_EQ(fixture.free_list(), (FreeList{{8, 8}, {24, 8}}));
    fixture.pool.free(left, 8);
    EXPECT_EQ(fixture.free_list(), (FreeList{{0, 16}, {24, 8}}));
    fixture.pool.free(right, 8);
    EXPECT_EQ(fixture.free_list(), (FreeList{{0, 32}}));
}

TEST(VariableMemoryPool, FirstFitTakesTheLowestBlockLargeEnoughAndSplitsItInPlace) {
    PoolFixture fixture(64);
    fixture.pool.allocate(8);
    void* wide = fixture.pool.allocate(24);  // 8..32
    fixture.pool.allocate(8);
    void* narrow = fixture.pool.allocate(16);  // 40..56
    fixture.pool.allocate(8);
    fixture.pool.free(wide, 24);
    fixture.pool.free(narrow, 16);
    // A best fit would take the 16-byte hole at 40.
    EXPECT_EQ(fixture.offset_of(fixture.pool.allocate(16)), 8u);
    EXPECT_EQ(fixture.free_list(), (FreeList{{24, 8}, {40, 16}}));
    EXPECT_EQ(fixture.pool.allocate(17), nullptr);
    EXPECT_EQ(fixture.pool.allocate(0xFFFFFFFFu), nullptr);
}

TEST(VariableMemoryPool, SlideMovesTheBlockAfterTheFirstFreeBlockToItsStart) {
    PoolFixture fixture(64);
    void* first = fixture.pool.allocate(16);
    auto* moved = static_cast<uint8_t*>(fixture.pool.allocate(13));
    for (uint8_t index = 0; index < 13; ++index) {
        moved[index] = static_cast<uint8_t>(100 + index);
    }
    fixture.pool.free(first, 16);
    auto* destination = static_cast<uint8_t*>(fixture.pool.slide(moved, 13, moved, 13, 0));
    ASSERT_EQ(destination, fixture.region.data());
    for (uint8_t index = 0; index < 13; ++index) {
        EXPECT_EQ(destination[index], 100 + index);
    }
    EXPECT_EQ(fixture.free_list(), (FreeList{{16, 48}}));
    // The moved block is an ordinary block of its size.
    fixture.pool.free(destination, 13);
    EXPECT_EQ(fixture.free_list(), (FreeList{{0, 64}}));
}

TEST(VariableMemoryPool, SlideLeavesBlocksThatCannotMove) {
    struct Case {
        const char* name;
        std::vector<std::pair<uint32_t, bool>> blocks;  // size, freed before the slide
        int slid;                                       // index of the used block to slide
        bool answers_source;                            // else null
    };
    const Case cases[] = {
        {"pool full", {{32, false}, {32, false}}, 1, true},
        {"block below the first free block", {{16, false}, {16, true}, {32, false}}, 0, true},
        {"used block between", {{8, true}, {8, false}, {16, false}, {32, false}}, 2, false},
    };
    for (const Case& c : cases) {
        PoolFixture fixture(64);
        std::vector<void*> blocks;
        for (const auto& [size, freed] : c.blocks) {
            blocks.push_back(fixture.pool.allocate(size));
        }
        for (size_t index = 0; index < blocks.size(); ++index) {
            if (c.blocks[index].second) {
                fixture.pool.free(blocks[index], c.blocks[index].first);
            }
        }
        const FreeList before = fixture.free_list();
        void* block = blocks[static_cast<size_t>(c.slid)];
        const uint32_t size = c.blocks[static_cast<size_t>(c.slid)].first;
        EXPECT_EQ(fixture.pool.slide(block, size, block, size, 0), c.answers_source ? block : nullptr) << c.name;
        EXPECT_EQ(fixture.free_list(), before) << c.name;
    }
}

TEST(VariableMemoryPool, AlignedSlideStoresTheBlockOffsetBelowTheData) {
    struct Case {
        uint32_t alignment;
        uint32_t hole;
    };
    const Case cases[] = {{16, 8}, {16, 24}, {32, 8}, {64, 40}, {256, 16}};
    for (const Case& c : cases) {
        const uint32_t data_size = 20;
        PoolFixture fixture(1024);
        ASSERT_EQ(reinterpret_cast<uintptr_t>(fixture.region.data()) % 16, 0u);
        void* hole = fixture.pool.allocate(c.hole);
        auto* block = static_cast<uint8_t*>(fixture.pool.allocate(data_size + c.alignment));
        fixture.pool.allocate(8);
        // Laid out as an aligned resource block: data at the first multiple
        // of the alignment 4 bytes or more into the block.
        const uintptr_t start = reinterpret_cast<uintptr_t>(block);
        uint8_t* data = block + ((start + c.alignment + 3) / c.alignment * c.alignment - start);
        for (uint32_t index = 0; index < data_size; ++index) {
            data[index] = static_cast<uint8_t>(7 * index + 1);
        }
        fixture.pool.free(hole, c.hole);

        auto* moved =
            static_cast<uint8_t*>(fixture.pool.slide(block, data_size + c.alignment, data, data_size, c.alignment));
        ASSERT_NE(moved, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(moved) % c.alignment, 0u) << c.alignment;
        EXPECT_GE(moved - fixture.region.data(), 4);
        EXPECT_LE(moved - fixture.region.data(), static_cast<ptrdiff_t>(c.alignment));
        uint32_t stored = 0xFFFFFFFF;
        std::memcpy(&stored, moved - 4, sizeof stored);
        EXPECT_EQ(stored, 0u);
        for (uint32_t index = 0; index < data_size; ++index) {
            ASSERT_EQ(moved[index], static_cast<uint8_t>(7 * index + 1)) << c.alignment << " " << c.hole;
        }
        const uint32_t block_size = (data_size + c.alignment + 7) & ~7u;
        EXPECT_EQ(fixture.free_list(),
                  (FreeList{{block_size, c.hole}, {c.hole + block_size + 8, 1024 - c.hole - block_size - 8}}));
    }
}

// A random run of allocations, frees and compactions against a model of the
// live blocks: the free list must always be exactly the merged gaps between
// them, allocation must be the model's first fit, and no byte of a live block
// may change.
struct ModelSetup {
    uint32_t pool_size;
    uint32_t compactions_per_thousand;  // steps that compact the whole pool
    uint32_t large_per_hundred;         // allocations of 1 to 16 KiB, which span many 512-byte groups
    int full_check_interval;            // steps between comparisons of the whole free list
};

class VariablePoolModel {
public:
    VariablePoolModel(const ModelSetup& setup, uint32_t seed)
        : fixture_(setup.pool_size), random_(seed), size_(setup.pool_size), setup_(setup) {}

    void run(int operations) {
        for (int step = 0; step < operations; ++step) {
            const uint32_t choice = random_() % 1000;
            if (choice < 550) {
                allocate();
            } else if (choice < 1000 - setup_.compactions_per_thousand) {
                free_random_block();
            } else {
                compact();
            }
            if (step % setup_.full_check_interval == 0) {
                ASSERT_EQ(fixture_.free_list(), expected_free_list()) << "step " << step;
            }
            if (step % (64 * setup_.full_check_interval) == 0) {
                verify_all();
            }
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
        verify_all();
        while (!live_.empty()) {
            free_block(live_.begin()->first);
        }
        EXPECT_EQ(fixture_.free_list(), (FreeList{{0, size_}}));
    }

    size_t allocations() const { return allocation_count_; }
    size_t failed_allocations() const { return failed_allocation_count_; }
    size_t slides() const { return slide_count_; }
    size_t small_blocks() const { return small_block_count_; }

private:
    struct Live {
        uint32_t requested;  // the size the pool was asked for
        uint32_t alignment;  // 0 for a plain block
        uint32_t data;       // offset of the payload
        uint32_t data_size;
        uint8_t seed;
    };

    static uint32_t round(uint32_t size) { return size == 0 ? 8 : (size + 7) & ~7u; }

    FreeList expected_free_list() const {
        FreeList blocks;
        uint32_t end = 0;
        for (const auto& [offset, live] : live_) {
            if (offset > end) {
                blocks.emplace_back(end, offset - end);
            }
            end = offset + round(live.requested);
        }
        if (end < size_) {
            blocks.emplace_back(end, size_ - end);
        }
        return blocks;
    }

    uint8_t* at(uint32_t offset) { return fixture_.region.data() + offset; }

    void fill(uint32_t offset) {
        const Live& live = live_.at(offset);
        for (uint32_t index = 0; index < live.data_size; ++index) {
            at(live.data)[index] = static_cast<uint8_t>(live.seed + index * 31);
        }
    }

    void verify(uint32_t offset) {
        const Live& live = live_.at(offset);
        for (uint32_t index = 0; index < live.data_size; ++index) {
            ASSERT_EQ(at(live.data)[index], static_cast<uint8_t>(live.seed + index * 31))
                << "block at " << offset << ", byte " << index;
        }
        if (live.alignment != 0) {
            uint32_t stored = 0;
            std::memcpy(&stored, at(live.data) - 4, sizeof stored);
            ASSERT_EQ(stored, offset);
        }
    }

    void verify_all() {
        for (const auto& entry : live_) {
            verify(entry.first);
        }
    }

    void allocate() {
        const uint32_t kind = random_() % 100;
        uint32_t alignment = 0;
        uint32_t data_size = 0;
        uint32_t requested = 0;
        if (kind < setup_.large_per_hundred) {
            requested = 1024 + random_() % 15360;
        } else if (kind < 40) {
            requested = random_() % 9;  // 0 to 8 bytes: 8-byte blocks
        } else if (kind < 85) {
            requested = 9 + random_() % 300;
        } else {
            alignment = 16u << (random_() % 3);
            data_size = 1 + random_() % 100;
            requested = data_size + alignment;
        }
        const uint32_t needed = round(requested);
        uint32_t expected = UINT32_MAX;
        for (const auto& [offset, size] : expected_free_list()) {
            if (size >= needed) {
                expected = offset;
                break;
            }
        }
        void* block = fixture_.pool.allocate(requested);
        if (expected == UINT32_MAX) {
            ASSERT_EQ(block, nullptr);
            ++failed_allocation_count_;
            return;
        }
        ASSERT_NE(block, nullptr);
        const uint32_t offset = fixture_.offset_of(block);
        ASSERT_EQ(offset, expected);
        uint32_t data = offset;
        if (alignment == 0) {
            data_size = needed;  // the owner may use the whole rounded block
        } else {
            const uintptr_t start = reinterpret_cast<uintptr_t>(block);
            data = offset + static_cast<uint32_t>((start + alignment + 3) / alignment * alignment - start);
            const uint32_t stored = offset;
            std::memcpy(at(data) - 4, &stored, sizeof stored);
        }
        live_[offset] = {requested, alignment, data, data_size, static_cast<uint8_t>(random_())};
        fill(offset);
        ++allocation_count_;
        small_block_count_ += needed == 8;
    }

    void free_block(uint32_t offset) {
        verify(offset);
        fixture_.pool.free(at(offset), live_.at(offset).requested);
        live_.erase(offset);
    }

    void free_random_block() {
        if (live_.empty()) {
            return;
        }
        auto entry = live_.begin();
        std::advance(entry, static_cast<long>(random_() % live_.size()));
        free_block(entry->first);
    }

    // The owners' compaction: every block in address order slides down when
    // the lowest free block ends right at it, which in this order it always
    // does unless nothing is free below the block.
    void compact() {
        std::vector<uint32_t> order;
        for (const auto& entry : live_) {
            order.push_back(entry.first);
        }
        uint32_t packed_end = 0;  // every byte below is in use
        for (uint32_t offset : order) {
            Live live = live_.at(offset);
            void* source = at(live.data);
            void* answer = fixture_.pool.slide(at(offset), live.requested, source, live.data_size, live.alignment);
            const uint32_t destination = packed_end;
            packed_end += round(live.requested);
            if (offset == destination) {
                ASSERT_EQ(answer, source);
                continue;
            }
            ASSERT_NE(answer, nullptr);
            live.data = fixture_.offset_of(answer);
            if (live.alignment == 0) {
                ASSERT_EQ(live.data, destination);
            } else {
                ASSERT_EQ(reinterpret_cast<uintptr_t>(answer) % live.alignment, 0u);
            }
            live_.erase(offset);
            live_[destination] = live;
            verify(destination);
            ++slide_count_;
        }
    }

    PoolFixture fixture_;
    std::mt19937 random_;
    uint32_t size_;
    ModelSetup setup_;
    std::map<uint32_t, Live> live_;
    size_t allocation_count_ = 0;
    size_t failed_allocation_count_ = 0;
    size_t slide_count_ = 0;
    size_t small_block_count_ = 0;
};

TEST(VariableMemoryPool, RandomAllocationsFreesAndCompactionsMatchTheModel) {
    for (uint32_t seed : {1u, 2u, 3u}) {
        VariablePoolModel model({4096, 30, 0, 1}, seed);
        model.run(20000);
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "seed " << seed;
        // The run must have exercised what it claims to.
        EXPECT_GT(model.allocations(), 5000u);
        EXPECT_GT(model.slides(), 5000u);
        EXPECT_GT(model.small_blocks(), 2000u);
    }
}

// A pool of 1024 groups of 512 bytes, deep enough that the first fit is found
// through three levels of the tree, filled until allocations fail.
TEST(VariableMemoryPool, ALargeFragmentedPoolKeepsTheLowestFitAndMergesEveryNeighbour) {
    for (uint32_t seed : {4u}) {
        VariablePoolModel model({1u << 19, 1, 3, 16}, seed);
        model.run(30000);
        ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "seed " << seed;
        EXPECT_GT(model.allocations(), 15000u);
        EXPECT_GT(model.failed_allocations(), 20u);
        EXPECT_GT(model.slides(), 1000u);
    }
}

TEST(VariableMemoryPool, AnyRequestSizeOfTheSameRoundingFreesTheBlock) {
    alignas(16) static uint8_t region[64];
    VariableMemoryPoolBase pool(region, 64);
    for (uint32_t asked = 9; asked <= 16; ++asked) {
        for (uint32_t given = 9; given <= 16; ++given) {
            void* block = pool.allocate(asked);
            pool.free(block, given);
        }
    }
    uint32_t free_blocks = 0;
    pool.for_each_free_block([&](void*, uint32_t size) {
        ++free_blocks;
        EXPECT_EQ(size, 64u);
    });
    EXPECT_EQ(free_blocks, 1u);
}

#ifndef NDEBUG
TEST(VariableMemoryPool, DebugBuildsPanicOnAWrongSizeOrASecondFree) {
    struct Case {
        const char* name;
        void (*misuse)(VariableMemoryPoolBase& pool, uint8_t* a, uint8_t* b);
        const char* message;
    };
    const Case cases[] = {
        {"smaller size", [](VariableMemoryPoolBase& pool, uint8_t* a, uint8_t*) { pool.free(a, 8); },
         "with size 8, which was allocated with 16 bytes"},
        {"larger size", [](VariableMemoryPoolBase& pool, uint8_t* a, uint8_t*) { pool.free(a, 17); },
         "with size 17, which was allocated with 16 bytes"},
        {"second free",
         [](VariableMemoryPoolBase& pool, uint8_t*, uint8_t* b) {
             pool.free(b, 8);
             pool.free(b, 8);
         },
         "which is not an allocated block"},
        {"inside a block", [](VariableMemoryPoolBase& pool, uint8_t* a, uint8_t*) { pool.free(a + 8, 8); },
         "which is not an allocated block"},
        {"outside the pool", [](VariableMemoryPoolBase& pool, uint8_t* a, uint8_t*) { pool.free(a - 64, 8); },
         "which is not a block of this pool"},
        {"slide with a wrong size",
         [](VariableMemoryPoolBase& pool, uint8_t* a, uint8_t* b) {
             pool.free(a, 16);
             pool.slide(b, 16, b, 8, 0);
         },
         "slide of"},
    };
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child([&] {
            alignas(16) static uint8_t region[256];
            VariableMemoryPoolBase pool(region + 64, 128);
            auto* a = static_cast<uint8_t*>(pool.allocate(16));
            auto* b = static_cast<uint8_t*>(pool.allocate(8));
            pool.allocate(8);
            c.misuse(pool, a, b);
        });
        EXPECT_TRUE(result.exited) << c.name;
        EXPECT_EQ(result.exit_code, ExitCode::crash) << c.name;
        EXPECT_NE(result.standard_error.find("zolt: fatal error: "), std::string::npos) << c.name;
        EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << c.name << ": " << result.standard_error;
    }
}

#endif

}  // namespace
}  // namespace zolt
