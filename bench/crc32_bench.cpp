#include <benchmark/benchmark.h>
#include <zlib.h>
#include <random>
#include <vector>

#include "libs/utility/crc32.h"

namespace {

std::vector<uint8_t> make_buffer(size_t size) {
    std::vector<uint8_t> buffer(size);
    std::mt19937 random(7);
    for (uint8_t& byte : buffer) {
        byte = static_cast<uint8_t>(random());
    }
    return buffer;
}

void crc32_zolt(benchmark::State& state) {
    const auto buffer = make_buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(zolt::compute_crc32(buffer.data(), buffer.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void crc32_zlib(benchmark::State& state) {
    const auto buffer = make_buffer(static_cast<size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(crc32(0L, buffer.data(), static_cast<uInt>(buffer.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

BENCHMARK(crc32_zolt)->Name("crc32/zolt")->Arg(64)->Arg(4096)->Arg(1 << 20);
BENCHMARK(crc32_zlib)->Name("crc32/zlib")->Arg(64)->Arg(4096)->Arg(1 << 20);

}  // namespace
