#include <benchmark/benchmark.h>
#include <cstdlib>
#include <random>
#include <unordered_map>
#include <vector>

#include "zolt/core/object_server/pooled_server.h"

namespace {

class BenchObject final : public zolt::core::ServerObject {
public:
    void initialize(uint32_t argument) override { value = argument; }
    void finalize() override {}
    uint32_t value = 0;
};

class BenchServer final : public zolt::core::PooledServer<BenchObject, 15000> {
public:
    BenchServer() : PooledServer(zolt::core::server_type::placement) {}
    const char* get_name() const override { return "BenchServer"; }
};

BenchServer& get_bench_server() {
    static BenchServer* server = [] {
        auto* created = new BenchServer;
        created->register_server();
        for (uint32_t index = 0; index < 15000; ++index) {
            created->create_object_internal(index);
        }
        return created;
    }();
    return *server;
}

std::vector<uint32_t> make_lookup_order(bool random_order) {
    std::vector<uint32_t> order(4096);
    std::mt19937 random(5);
    for (size_t index = 0; index < order.size(); ++index) {
        order[index] = random_order ? random() % 15000 : static_cast<uint32_t>(index % 16);
    }
    return order;
}

// Handles as scripts hold them: the live handle of each slot.
std::vector<uint32_t> make_handles(const std::vector<uint32_t>& order) {
    std::vector<uint32_t> handles;
    for (uint32_t slot : order) {
        handles.push_back(get_bench_server().get_slot(slot).get_handle());
    }
    return handles;
}

void resolve_zolt(benchmark::State& state) {
    const auto handles = make_handles(make_lookup_order(state.range(0) != 0));
    for (auto _ : state) {
        uint32_t sum = 0;
        for (uint32_t handle : handles) {
            sum += static_cast<BenchObject*>(zolt::core::get_object(handle))->value;
        }
        benchmark::DoNotOptimize(sum);
    }
}

void resolve_unordered_map(benchmark::State& state) {
    const auto handles = make_handles(make_lookup_order(state.range(0) != 0));
    std::unordered_map<uint32_t, BenchObject*> map;
    for (uint32_t slot = 0; slot < 15000; ++slot) {
        BenchObject& object = get_bench_server().get_slot(slot);
        map[object.get_handle()] = &object;
    }
    for (auto _ : state) {
        uint32_t sum = 0;
        for (uint32_t handle : handles) {
            sum += map.find(handle)->second->value;
        }
        benchmark::DoNotOptimize(sum);
    }
}

void resolve_array_index(benchmark::State& state) {
    const auto order = make_lookup_order(state.range(0) != 0);
    std::vector<BenchObject*> array(15000);
    for (uint32_t slot = 0; slot < 15000; ++slot) {
        array[slot] = &get_bench_server().get_slot(slot);
    }
    for (auto _ : state) {
        uint32_t sum = 0;
        for (uint32_t slot : order) {
            sum += array[slot]->value;
        }
        benchmark::DoNotOptimize(sum);
    }
}

void create_destroy_zolt(benchmark::State& state) {
    BenchServer& server = get_bench_server();
    for (uint32_t index = 0; index < 64; ++index) {
        server.destroy_object_internal(server.get_live_list().get_tail());
    }
    zolt::core::ServerObject* objects[64];
    for (auto _ : state) {
        for (auto*& object : objects) {
            object = server.create_object_internal(1);
        }
        for (auto* object : objects) {
            server.destroy_object_internal(object);
        }
    }
}

void create_destroy_malloc(benchmark::State& state) {
    void* objects[64];
    for (auto _ : state) {
        for (void*& object : objects) {
            object = std::malloc(sizeof(BenchObject));
            benchmark::DoNotOptimize(object);
        }
        for (void* object : objects) {
            std::free(object);
        }
    }
}

BENCHMARK(resolve_zolt)->Name("handle_resolve/zolt")->Arg(0)->Arg(1);
BENCHMARK(resolve_unordered_map)->Name("handle_resolve/unordered_map")->Arg(0)->Arg(1);
BENCHMARK(resolve_array_index)->Name("handle_resolve/array_index")->Arg(0)->Arg(1);
BENCHMARK(create_destroy_zolt)->Name("create_destroy/zolt");
BENCHMARK(create_destroy_malloc)->Name("create_destroy/malloc");

}  // namespace
