#include <benchmark/benchmark.h>
#include <stb/stb_dxt.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "zcontent/lib/content_manifest.h"
#include "zcontent/lib/png_reader.h"
#include "zcontent/lib/png_writer.h"
#include "zcontent/lib/texture_builder.h"

namespace {

constexpr uint32_t image_edge = 1024;

// A photograph-like RGBA texture: smooth gradients and waves under
// per-texel noise, alpha a soft vignette, as an 8-bit PNG.
struct SourcePng {
    std::vector<uint8_t> texels;  // R, G, B, A
    std::vector<uint8_t> file;
};

const SourcePng& get_source_png() {
    static const SourcePng source = [] {
        SourcePng made;
        std::mt19937 random(11);
        std::normal_distribution<float> noise(0.0f, 6.0f);
        zolt::tools::PngPicture picture;
        picture.width = image_edge;
        picture.height = image_edge;
        for (uint32_t y = 0; y < image_edge; ++y) {
            for (uint32_t x = 0; x < image_edge; ++x) {
                const float u = static_cast<float>(x) / image_edge;
                const float v = static_cast<float>(y) / image_edge;
                const float wave = 40.0f * std::sin(u * 19.0f) * std::cos(v * 13.0f);
                const float channels[4] = {60.0f + 150.0f * u + wave, 90.0f + 100.0f * v - wave * 0.5f,
                                           140.0f - 80.0f * u * v + wave * 0.25f,
                                           255.0f - 200.0f * ((u - 0.5f) * (u - 0.5f) + (v - 0.5f) * (v - 0.5f))};
                for (float channel : channels) {
                    const float value = std::round(channel + noise(random));
                    const auto byte = static_cast<uint8_t>(value < 0.0f ? 0.0f : (value > 255.0f ? 255.0f : value));
                    made.texels.push_back(byte);
                    picture.samples.push_back(byte);
                }
            }
        }
        std::string error;
        zolt::tools::encode_png(picture, &made.file, &error);
        return made;
    }();
    return source;
}

void set_throughput(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * image_edge * image_edge * 4);
}

// The builder's whole road from PNG bytes to laid-out DXT5 resources: decode,
// full gamma-correct mipmap chain, block compression of every level, layout
// and the engine's check.
void build_dxt5_texture(benchmark::State& state) {
    const SourcePng& source = get_source_png();
    zolt::tools::ContentManifest manifest;
    std::string error;
    if (!zolt::tools::parse_content_manifest(
            R"({"pack": {"file": "bench.pack"}, "textures": [{"id": "0x20000010", "source": "bench.png",
                "format": "dxt5"}]})",
            "bench.json", &manifest, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        std::vector<zolt::tools::SourceImage> faces(1);
        zolt::tools::TextureResources resources;
        if (!zolt::tools::decode_png(source.file.data(), source.file.size(), zolt::tools::max_texture_edge, &faces[0],
                                     &error) ||
            !zolt::tools::build_texture_from_images(manifest, manifest.textures[0], faces, &resources, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(resources.resident.data());
    }
    set_throughput(state);
}

// The peer: stb_dxt alone over the top level's 8-bit texels, already in
// memory, with the builder's compression mode. The ratio is the builder's
// overhead: PNG decoding, the mipmaps and their blocks, layout.
void compress_with_stb_dxt(benchmark::State& state) {
    const SourcePng& source = get_source_png();
    std::vector<uint8_t> blocks(size_t{image_edge / 4} * (image_edge / 4) * 16);
    for (auto _ : state) {
        uint8_t* out = blocks.data();
        uint8_t block[64];
        for (uint32_t block_y = 0; block_y < image_edge / 4; ++block_y) {
            for (uint32_t block_x = 0; block_x < image_edge / 4; ++block_x) {
                for (uint32_t row = 0; row < 4; ++row) {
                    std::memcpy(block + row * 16,
                                source.texels.data() + ((size_t{block_y} * 4 + row) * image_edge + block_x * 4) * 4,
                                16);
                }
                stb_compress_dxt_block(out, block, 1, STB_DXT_HIGHQUAL);
                out += 16;
            }
        }
        benchmark::DoNotOptimize(blocks.data());
        benchmark::ClobberMemory();
    }
    set_throughput(state);
}

BENCHMARK(build_dxt5_texture)->Name("png_to_dxt5/zolt/1024")->Unit(benchmark::kMillisecond);
BENCHMARK(compress_with_stb_dxt)->Name("png_to_dxt5/stb_dxt/1024")->Unit(benchmark::kMillisecond);

}  // namespace
