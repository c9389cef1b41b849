#include <benchmark/benchmark.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "zolt/core/script_objects/dictionary_server.h"

namespace {

using zolt::core::Dictionary;
using zolt::core::dictionary_server;
using zolt::core::Property;

// Scalar property ids with keys spread over the 16 bits, as scripts use them.
std::vector<uint32_t> make_ids(int64_t count) {
    std::vector<uint32_t> ids;
    for (uint32_t index = 0; index < count; ++index) {
        ids.push_back(0x3000000u | ((index * 2654435761u >> 9) & 0xFFFFu));
    }
    return ids;
}

// Lookups in the order a mixed workload asks them.
std::vector<uint32_t> make_lookups(const std::vector<uint32_t>& ids) {
    std::mt19937 random(5);
    std::vector<uint32_t> lookups(4096);
    for (uint32_t& id : lookups) {
        id = ids[random() % ids.size()];
    }
    return lookups;
}

class RegisteredServer {
public:
    RegisteredServer() { dictionary_server.register_server(); }
    ~RegisteredServer() { dictionary_server.unregister_server(); }
};

Dictionary* make_filled_dictionary(const std::vector<uint32_t>& ids) {
    Dictionary* dictionary = dictionary_server.create_dictionary(0);
    Property value;
    for (uint32_t id : ids) {
        value.set_u32(id, id);
        dictionary->set_property(id, value);
    }
    return dictionary;
}

void dictionary_get_zolt(benchmark::State& state) {
    RegisteredServer server;
    const std::vector<uint32_t> ids = make_ids(state.range(0));
    const std::vector<uint32_t> lookups = make_lookups(ids);
    const Dictionary* dictionary = make_filled_dictionary(ids);
    size_t next = 0;
    Property out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(dictionary->get_property(lookups[next], out));
        benchmark::DoNotOptimize(out.value[0]);
        next = (next + 1) % lookups.size();
    }
}

void dictionary_get_unordered_map(benchmark::State& state) {
    const std::vector<uint32_t> ids = make_ids(state.range(0));
    const std::vector<uint32_t> lookups = make_lookups(ids);
    std::unordered_map<uint32_t, uint32_t> map;
    for (uint32_t id : ids) {
        map[id] = id;
    }
    size_t next = 0;
    for (auto _ : state) {
        const auto found = map.find(lookups[next]);
        benchmark::DoNotOptimize(found != map.end() ? found->second : 0);
        next = (next + 1) % lookups.size();
    }
}

void dictionary_set_zolt(benchmark::State& state) {
    RegisteredServer server;
    const std::vector<uint32_t> ids = make_ids(state.range(0));
    const std::vector<uint32_t> lookups = make_lookups(ids);
    Dictionary* dictionary = make_filled_dictionary(ids);
    size_t next = 0;
    Property value;
    for (auto _ : state) {
        value.set_u32(lookups[next], static_cast<uint32_t>(next));
        benchmark::DoNotOptimize(dictionary->set_property(lookups[next], value));
        next = (next + 1) % lookups.size();
    }
}

void dictionary_set_unordered_map(benchmark::State& state) {
    const std::vector<uint32_t> ids = make_ids(state.range(0));
    const std::vector<uint32_t> lookups = make_lookups(ids);
    std::unordered_map<uint32_t, uint32_t> map;
    for (uint32_t id : ids) {
        map[id] = id;
    }
    size_t next = 0;
    for (auto _ : state) {
        map[lookups[next]] = static_cast<uint32_t>(next);
        benchmark::ClobberMemory();
        next = (next + 1) % lookups.size();
    }
}

// Set n new properties, then remove them all: growth and the rebuild on
// every removal.
void dictionary_fill_and_empty_zolt(benchmark::State& state) {
    RegisteredServer server;
    const std::vector<uint32_t> ids = make_ids(state.range(0));
    Dictionary* dictionary = dictionary_server.create_dictionary(0);
    Property value;
    for (auto _ : state) {
        for (uint32_t id : ids) {
            value.set_u32(id, id);
            dictionary->set_property(id, value);
        }
        for (uint32_t id : ids) {
            dictionary->remove_property(id);
        }
    }
}

void dictionary_fill_and_empty_unordered_map(benchmark::State& state) {
    const std::vector<uint32_t> ids = make_ids(state.range(0));
    std::unordered_map<uint32_t, uint32_t> map;
    for (auto _ : state) {
        for (uint32_t id : ids) {
            map[id] = id;
        }
        for (uint32_t id : ids) {
            map.erase(id);
        }
        benchmark::ClobberMemory();
    }
}

BENCHMARK(dictionary_get_zolt)->Name("dictionary_get/zolt")->Arg(8)->Arg(64)->Arg(200);
BENCHMARK(dictionary_get_unordered_map)->Name("dictionary_get/unordered_map")->Arg(8)->Arg(64)->Arg(200);
BENCHMARK(dictionary_set_zolt)->Name("dictionary_set/zolt")->Arg(8)->Arg(64)->Arg(200);
BENCHMARK(dictionary_set_unordered_map)->Name("dictionary_set/unordered_map")->Arg(8)->Arg(64)->Arg(200);
BENCHMARK(dictionary_fill_and_empty_zolt)->Name("dictionary_fill_and_empty/zolt")->Arg(8)->Arg(64)->Arg(200);
BENCHMARK(dictionary_fill_and_empty_unordered_map)
    ->Name("dictionary_fill_and_empty/unordered_map")
    ->Arg(8)
    ->Arg(64)
    ->Arg(200);

}  // namespace
