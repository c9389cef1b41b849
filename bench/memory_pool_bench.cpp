#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "libs/utility/fixed_memory_pool.h"
#include "libs/utility/variable_memory_pool.h"

namespace {

constexpr uint32_t batch_size = 64;

// Frees come back in a mixed order, as render requests and tasks do.
std::vector<uint32_t> make_free_order() {
    std::vector<uint32_t> order(batch_size);
    for (uint32_t index = 0; index < batch_size; ++index) {
        order[index] = index;
    }
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    return order;
}

void fixed_pool_zolt(benchmark::State& state) {
    const auto block_size = static_cast<uint32_t>(state.range(0));
    const std::vector<uint32_t> order = make_free_order();
    std::vector<uint8_t> region(block_size * 1024);
    zolt::FixedMemoryPoolBase pool(region.data(), block_size, 1024);
    void* blocks[batch_size];
    for (auto _ : state) {
        for (uint32_t index = 0; index < batch_size; ++index) {
            blocks[index] = pool.allocate(block_size);
            *static_cast<uint32_t*>(blocks[index]) = index;
        }
        benchmark::DoNotOptimize(blocks);
        for (uint32_t index : order) {
            pool.free(blocks[index]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * batch_size);
}

void fixed_pool_malloc(benchmark::State& state) {
    const auto block_size = static_cast<size_t>(state.range(0));
    const std::vector<uint32_t> order = make_free_order();
    void* blocks[batch_size];
    for (auto _ : state) {
        for (uint32_t index = 0; index < batch_size; ++index) {
            blocks[index] = std::malloc(block_size);
            *static_cast<uint32_t*>(blocks[index]) = index;
        }
        benchmark::DoNotOptimize(blocks);
        for (uint32_t index : order) {
            std::free(blocks[index]);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * batch_size);
}

// A fragmented heap of `live` blocks of 8 to 256 bytes with about as many
// holes between them; each step frees a random live block and allocates a
// block of a random size in its place.
struct ChurnPlan {
    explicit ChurnPlan(uint32_t live) {
        std::mt19937 random(9);
        for (uint32_t index = 0; index < 2 * live; ++index) {
            initial_sizes.push_back(8 + random() % 249);
        }
        for (uint32_t step = 0; step < 4096; ++step) {
            victims.push_back(random() % live);
            sizes.push_back(8 + random() % 249);
        }
    }
    std::vector<uint32_t> initial_sizes;
    std::vector<uint32_t> victims;
    std::vector<uint32_t> sizes;
};

void variable_pool_zolt(benchmark::State& state) {
    const auto live_count = static_cast<uint32_t>(state.range(0));
    const ChurnPlan plan(live_count);
    std::vector<uint8_t> region(static_cast<size_t>(live_count) * 2048);
    zolt::VariableMemoryPoolBase pool(region.data(), static_cast<uint32_t>(region.size()));
    std::vector<void*> all;
    for (uint32_t size : plan.initial_sizes) {
        all.push_back(pool.allocate(size));
    }
    std::vector<void*> live;
    std::vector<uint32_t> live_sizes;
    for (size_t index = 0; index < all.size(); ++index) {
        if (index % 2 == 0) {
            pool.free(all[index], plan.initial_sizes[index]);
        } else {
            live.push_back(all[index]);
            live_sizes.push_back(plan.initial_sizes[index]);
        }
    }
    size_t step = 0;
    for (auto _ : state) {
        const uint32_t victim = plan.victims[step];
        pool.free(live[victim], live_sizes[victim]);
        live[victim] = pool.allocate(plan.sizes[step]);
        if (live[victim] == nullptr) {
            state.SkipWithError("pool too small for the plan");
            break;
        }
        live_sizes[victim] = plan.sizes[step];
        step = (step + 1) % plan.victims.size();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void variable_pool_malloc(benchmark::State& state) {
    const auto live_count = static_cast<uint32_t>(state.range(0));
    const ChurnPlan plan(live_count);
    std::vector<void*> all;
    for (uint32_t size : plan.initial_sizes) {
        all.push_back(std::malloc(size));
    }
    std::vector<void*> live;
    for (size_t index = 0; index < all.size(); ++index) {
        if (index % 2 == 0) {
            std::free(all[index]);
        } else {
            live.push_back(all[index]);
        }
    }
    size_t step = 0;
    for (auto _ : state) {
        const uint32_t victim = plan.victims[step];
        std::free(live[victim]);
        live[victim] = std::malloc(plan.sizes[step]);
        benchmark::DoNotOptimize(live[victim]);
        step = (step + 1) % plan.victims.size();
    }
    for (void* block : live) {
        std::free(block);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

BENCHMARK(fixed_pool_zolt)->Name("fixed_pool/zolt")->Arg(16)->Arg(64)->Arg(256);
BENCHMARK(fixed_pool_malloc)->Name("fixed_pool/malloc")->Arg(16)->Arg(64)->Arg(256);
BENCHMARK(variable_pool_zolt)->Name("variable_pool/zolt")->Arg(100)->Arg(1000)->Arg(10000);
BENCHMARK(variable_pool_malloc)->Name("variable_pool/malloc")->Arg(100)->Arg(1000)->Arg(10000);

}  // namespace
