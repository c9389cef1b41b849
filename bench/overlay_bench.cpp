// The 2D overlay's per-element work for 5000 elements a frame: each element's
// colour and clip rectangle applied and its quad queued into the display
// server's 500-quad batch (corners, a tenth of them turned, texture
// coordinates, a fifth with a turned or scaled texture, colour bytes),
// flushed every 500 quads; beside a bare quad-batch upload of the same
// vertices, computed beforehand and copied batch by batch into a vertex
// array of the same size. GL is left out on both sides (no material is
// bound, so a flush issues no draw): what is measured is the CPU cost per
// element, reported as seconds per element.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "zolt/renderer/display/display_server.h"
#include "zolt/renderer/display/overlay_quad.h"

namespace {

using namespace zolt::renderer;

constexpr uint32_t element_count = 5000;

struct Element {
    OverlayQuad quad;
    PackedColor color;
};

std::vector<Element> make_elements() {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> screen(0.0f, 1000.0f);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::vector<Element> elements(element_count);
    for (uint32_t index = 0; index < element_count; ++index) {
        Element& element = elements[index];
        element.quad.position = {screen(random), screen(random)};
        element.quad.size = {16.0f + unit(random) * 48.0f, 16.0f + unit(random) * 48.0f};
        element.quad.pivot = {element.quad.size.x * 0.5f, element.quad.size.y * 0.5f};
        element.quad.texture_extent = {1.0f, 1.0f};
        if (index % 10 == 0) {
            element.quad.angle = unit(random);
        }
        if (index % 5 == 0) {
            element.quad.texture_angle = unit(random) * 0.25f;
            element.quad.texture_scale = {1.0f + unit(random), 1.0f};
        }
        element.color = 0xFF000000u | static_cast<uint32_t>(random() & 0xFFFFFF);
    }
    return elements;
}

void per_element_counter(benchmark::State& state) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * element_count);
    state.counters["per_element"] =
        benchmark::Counter(element_count, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void overlay_zolt(benchmark::State& state) {
    const std::vector<Element> elements = make_elements();
    for (auto _ : state) {
        for (const Element& element : elements) {
            display_server.set_current_color(element.color);
            display_server.set_clip_rectangle({}, {});
            display_server.queue_quad(element.quad, nullptr, nullptr);
        }
        benchmark::DoNotOptimize(display_server.get_vertices());
        display_server.flush_quads();
    }
    per_element_counter(state);
}

// The same vertices, as a batch that only uploads them would take them.
void overlay_bare_upload(benchmark::State& state) {
    const std::vector<Element> elements = make_elements();
    std::vector<OverlayVertex> computed(element_count * 4);
    for (uint32_t index = 0; index < element_count; ++index) {
        build_overlay_quad(elements[index].quad, 1, 1, elements[index].color, &computed[index * 4]);
    }
    std::vector<OverlayVertex> batch(overlay_quad_capacity * 4);
    for (auto _ : state) {
        for (uint32_t first = 0; first < element_count; first += overlay_quad_capacity) {
            const uint32_t quads = std::min(overlay_quad_capacity, element_count - first);
            std::memcpy(batch.data(), &computed[first * 4], quads * 4 * sizeof(OverlayVertex));
            benchmark::DoNotOptimize(batch.data());
            benchmark::ClobberMemory();
        }
    }
    per_element_counter(state);
}

}  // namespace

BENCHMARK(overlay_zolt)->Name("overlay_elements/zolt/5000");
BENCHMARK(overlay_bare_upload)->Name("overlay_elements/bare_upload/5000");
