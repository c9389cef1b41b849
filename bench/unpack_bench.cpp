#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#if defined(ZOLT_HAVE_LZ4)
#include <lz4.h>
#include <lz4hc.h>
#endif

#include "libs/io/resource_unpacker.h"
#include "zpack/lib/lz_packer.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t corpus_size = 4 << 20;

// Text: words drawn with a skew, as scripts' strings and configuration.
Bytes make_text() {
    std::mt19937 random(3);
    std::vector<std::string> words;
    for (int index = 0; index < 400; ++index) {
        std::string word;
        for (uint32_t letter = 0, length = 2 + random() % 9; letter < length; ++letter) {
            word.push_back(static_cast<char>('a' + random() % 26));
        }
        words.push_back(word);
    }
    Bytes bytes;
    while (bytes.size() < corpus_size) {
        const uint32_t pick = random() % 400;
        const std::string& word = words[pick * pick / 400];
        bytes.insert(bytes.end(), word.begin(), word.end());
        bytes.push_back(random() % 12 == 0 ? '\n' : ' ');
    }
    bytes.resize(corpus_size);
    return bytes;
}

// A mesh: vertices of a gently noisy surface (position, normal, texture
// coordinates as floats) and 16-bit triangle indices.
Bytes make_mesh() {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> noise(-0.01f, 0.01f);
    Bytes bytes;
    const auto put = [&](const void* value, size_t size) {
        const auto* start = static_cast<const uint8_t*>(value);
        bytes.insert(bytes.end(), start, start + size);
    };
    const uint32_t side = 256;
    while (bytes.size() < corpus_size) {
        for (uint32_t row = 0; row < side && bytes.size() < corpus_size; ++row) {
            for (uint32_t column = 0; column < side; ++column) {
                const float x = static_cast<float>(column) * 0.5f;
                const float y = static_cast<float>(row) * 0.5f;
                const float height = std::sin(x * 0.1f) * std::cos(y * 0.1f) + noise(random);
                const float vertex[8] = {
                    x, y, height, 0.0f, 0.0f, 1.0f, static_cast<float>(column) / side, static_cast<float>(row) / side};
                put(vertex, sizeof vertex);
            }
        }
        for (uint32_t row = 0; row + 1 < 64 && bytes.size() < corpus_size; ++row) {
            for (uint32_t column = 0; column + 1 < side; ++column) {
                const auto corner = static_cast<uint16_t>(row * side + column);
                const uint16_t triangles[6] = {corner,
                                               static_cast<uint16_t>(corner + 1),
                                               static_cast<uint16_t>(corner + side),
                                               static_cast<uint16_t>(corner + 1),
                                               static_cast<uint16_t>(corner + side + 1),
                                               static_cast<uint16_t>(corner + side)};
                put(triangles, sizeof triangles);
            }
        }
    }
    bytes.resize(corpus_size);
    return bytes;
}

// Bytecode: 32-bit words of frequent opcodes with small operands, register
// numbers, handles and float constants.
Bytes make_bytecode() {
    std::mt19937 random(7);
    Bytes bytes;
    const auto put = [&](uint32_t word) {
        const auto* start = reinterpret_cast<const uint8_t*>(&word);
        bytes.insert(bytes.end(), start, start + 4);
    };
    while (bytes.size() < corpus_size) {
        const uint32_t opcode = random() % 64;
        put(opcode * opcode / 64 | (random() % 8) << 8);
        switch (random() % 4) {
        case 0:
            put(random() % 16);
            break;
        case 1:
            put(0x10000000 | (random() % 512));
            break;
        case 2: {
            const float value = static_cast<float>(random() % 1000) * 0.25f;
            uint32_t word;
            std::memcpy(&word, &value, 4);
            put(word);
            break;
        }
        default:
            break;
        }
    }
    bytes.resize(corpus_size);
    return bytes;
}

struct Corpus {
    const char* name;
    Bytes data;
    Bytes zolt_stream;
    Bytes lz4_stream;
};

const Corpus& get_corpus(int64_t index) {
    static std::vector<Corpus> corpora = [] {
        std::vector<Corpus> made = {
            {"text", make_text(), {}, {}}, {"mesh", make_mesh(), {}, {}}, {"bytecode", make_bytecode(), {}, {}}};
        for (Corpus& corpus : made) {
            corpus.zolt_stream =
                zolt::tools::pack_stream(corpus.data.data(), static_cast<uint32_t>(corpus.data.size()));
#if defined(ZOLT_HAVE_LZ4)
            corpus.lz4_stream.resize(LZ4_compressBound(static_cast<int>(corpus.data.size())));
            const int size = LZ4_compress_HC(
                reinterpret_cast<const char*>(corpus.data.data()), reinterpret_cast<char*>(corpus.lz4_stream.data()),
                static_cast<int>(corpus.data.size()), static_cast<int>(corpus.lz4_stream.size()), LZ4HC_CLEVEL_DEFAULT);
            corpus.lz4_stream.resize(static_cast<size_t>(size));
#endif
        }
        return made;
    }();
    return corpora[static_cast<size_t>(index)];
}

void label(benchmark::State& state, const Corpus& corpus, size_t stored_size) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * corpus.data.size()));
    state.SetLabel(
        std::string(corpus.name) + ", ratio " +
        std::to_string(static_cast<double>(stored_size) / static_cast<double>(corpus.data.size())).substr(0, 5));
}

void unpack_zolt(benchmark::State& state) {
    const Corpus& corpus = get_corpus(state.range(0));
    Bytes output(corpus.data.size());
    for (auto _ : state) {
        const bool is_decoded = zolt::decompress(static_cast<uint32_t>(output.size()), corpus.zolt_stream.data(),
                                                 static_cast<uint32_t>(corpus.zolt_stream.size()), output.data());
        benchmark::DoNotOptimize(is_decoded);
        benchmark::ClobberMemory();
    }
    if (output != corpus.data) {
        state.SkipWithError("unpacked bytes differ");
    }
    label(state, corpus, corpus.zolt_stream.size());
}

void unpack_memcpy(benchmark::State& state) {
    const Corpus& corpus = get_corpus(state.range(0));
    Bytes output(corpus.data.size());
    for (auto _ : state) {
        std::memcpy(output.data(), corpus.data.data(), output.size());
        benchmark::ClobberMemory();
    }
    label(state, corpus, corpus.data.size());
}

BENCHMARK(unpack_zolt)->Name("unpack/zolt")->Arg(0)->Arg(1)->Arg(2);
BENCHMARK(unpack_memcpy)->Name("unpack/memcpy")->Arg(0)->Arg(1)->Arg(2);

#if defined(ZOLT_HAVE_LZ4)
void unpack_lz4(benchmark::State& state) {
    const Corpus& corpus = get_corpus(state.range(0));
    Bytes output(corpus.data.size());
    for (auto _ : state) {
        const int size = LZ4_decompress_safe(
            reinterpret_cast<const char*>(corpus.lz4_stream.data()), reinterpret_cast<char*>(output.data()),
            static_cast<int>(corpus.lz4_stream.size()), static_cast<int>(output.size()));
        benchmark::DoNotOptimize(size);
        benchmark::ClobberMemory();
    }
    if (output != corpus.data) {
        state.SkipWithError("unpacked bytes differ");
    }
    label(state, corpus, corpus.lz4_stream.size());
}

BENCHMARK(unpack_lz4)->Name("unpack/lz4")->Arg(0)->Arg(1)->Arg(2);
#endif

}  // namespace
