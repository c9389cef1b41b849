// The render layers' queuing and sorting, without GL: requests offered for
// every active layer and drained in layer order; the layers' heap beside
// std::sort and std::priority_queue on the same comparator and the same
// requests; and quads written into the quad batcher beside a memcpy of the
// same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <queue>
#include <random>
#include <vector>

#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_comparators.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/materials/material.h"

namespace {

using namespace zolt;
using namespace zolt::renderer;

// Slots that each lead to one layer (the decal slots feed two, which would
// not leave every request of the largest run a place in the pool): depth,
// mask, the lighting layers, blended, screen copy, depth only.
constexpr uint32_t layer_slots[] = {1, 2, 4, 5, 10, 13, 14};

struct Scene {
    std::vector<std::unique_ptr<Material>> materials;
    std::vector<RenderInfo> infos;
};

// Drawables as a level has them: a few dozen materials, objects at
// scattered depths, a tenth drawn in front.
Scene make_scene(uint32_t count) {
    Scene scene;
    std::mt19937 random(7);
    for (uint32_t index = 0; index < 48; ++index) {
        auto material = std::make_unique<Material>();
        material->pass_mask = 1u << layer_slots[index % std::size(layer_slots)];
        material->description.shader_index = index;
        scene.materials.push_back(std::move(material));
    }
    std::uniform_real_distribution<float> depth(1.0f, 500.0f);
    for (uint32_t index = 0; index < count; ++index) {
        RenderInfo info;
        info.object_id = (index / 4) << 12 | (index % 4);
        info.view_depth = depth(random);
        info.eye_distance = info.view_depth * 1.1f;
        info.kind = index % 10 == 0 ? render_info_kind_in_front : 0;
        scene.infos.push_back(info);
    }
    return scene;
}

void drain_all_layers() {
    for (uint32_t index = 0; index < render_layer_count; ++index) {
        if (RenderLayer* const layer = get_render_layer(index)) {
            layer->render_request_pass(index, false);
        }
    }
    clear_accepted_render_layers();
}

void layer_queue_zolt(benchmark::State& state) {
    const auto count = static_cast<uint32_t>(state.range(0));
    const Scene scene = make_scene(count);
    set_active_render_layers(0xFFFFFFFF & ~(1u << shadow_depth_layer));
    for (auto _ : state) {
        for (uint32_t index = 0; index < count; ++index) {
            Material* const material = scene.materials[index % scene.materials.size()].get();
            queue_render_request(scene.infos[index], nullptr, 0, material, 0, 0);
        }
        drain_all_layers();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}

// The same requests kept in one vector per layer and sorted by the layer's
// order before they are handed back.
void layer_queue_vector_sort(benchmark::State& state) {
    const auto count = static_cast<uint32_t>(state.range(0));
    const Scene scene = make_scene(count);
    std::vector<uint32_t> per_layer[std::size(layer_slots)];
    for (auto _ : state) {
        for (uint32_t index = 0; index < count; ++index) {
            const uint32_t layer = index % scene.materials.size() % std::size(layer_slots);
            RenderRequest* const request = make_render_request(
                scene.infos[index], nullptr, 0, scene.materials[index % scene.materials.size()].get(), 0, 0);
            per_layer[layer].push_back(request->heap_node.value);
        }
        for (std::vector<uint32_t>& requests : per_layer) {
            std::sort(requests.begin(), requests.end(), &compare_by_key);
            for (const uint32_t request : requests) {
                free_render_request(&get_render_request(request));
            }
            requests.clear();
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}

std::vector<RenderRequest*> make_sort_requests(uint32_t count) {
    std::mt19937 random(11);
    std::vector<RenderRequest*> requests;
    for (uint32_t index = 0; index < count; ++index) {
        RenderRequest* const request = allocate_render_request();
        request->sort_key = random() % 24;
        request->shader_index = static_cast<uint16_t>(random() % 48);
        request->object_id = random();
        request->view_depth = static_cast<float>(random() % 1000);
        requests.push_back(request);
    }
    return requests;
}

void release(const std::vector<RenderRequest*>& requests) {
    for (RenderRequest* const request : requests) {
        free_render_request(request);
    }
}

void layer_sort_zolt(benchmark::State& state) {
    const std::vector<RenderRequest*> requests = make_sort_requests(static_cast<uint32_t>(state.range(0)));
    FibonacciHeap heap(&compare_by_program);
    uint32_t checksum = 0;
    for (auto _ : state) {
        for (RenderRequest* const request : requests) {
            heap.insert(&request->heap_node);
        }
        while (FibonacciHeapNode* const node = heap.top()) {
            checksum += node->value;
            heap.pop();
        }
    }
    benchmark::DoNotOptimize(checksum);
    release(requests);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void layer_sort_std_sort(benchmark::State& state) {
    const std::vector<RenderRequest*> requests = make_sort_requests(static_cast<uint32_t>(state.range(0)));
    std::vector<uint32_t> order;
    uint32_t checksum = 0;
    for (auto _ : state) {
        for (RenderRequest* const request : requests) {
            order.push_back(request->heap_node.value);
        }
        std::sort(order.begin(), order.end(), &compare_by_program);
        for (const uint32_t value : order) {
            checksum += value;
        }
        order.clear();
    }
    benchmark::DoNotOptimize(checksum);
    release(requests);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

void layer_sort_priority_queue(benchmark::State& state) {
    const std::vector<RenderRequest*> requests = make_sort_requests(static_cast<uint32_t>(state.range(0)));
    // priority_queue hands out its greatest first: the comparator reversed.
    const auto after = [](uint32_t a, uint32_t b) { return compare_by_program(b, a); };
    std::priority_queue<uint32_t, std::vector<uint32_t>, decltype(after)> queue(after);
    uint32_t checksum = 0;
    for (auto _ : state) {
        for (RenderRequest* const request : requests) {
            queue.push(request->heap_node.value);
        }
        while (!queue.empty()) {
            checksum += queue.top();
            queue.pop();
        }
    }
    benchmark::DoNotOptimize(checksum);
    release(requests);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

constexpr uint32_t quads_per_batch = quad_batch_vertex_capacity / 4;

void quad_batch_zolt(benchmark::State& state) {
    set_active_render_layers(0);
    Material material;
    const geometry::Vector3 corners[4] = {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    for (auto _ : state) {
        begin_quad_frame();
        begin_quad_batch(RenderInfo{}, &material);
        for (uint32_t quad = 0; quad < quads_per_batch; ++quad) {
            append_quad(corners, 0.5f, 0xFF808080u + quad);
        }
        flush_quad_batch();
        upload_open_quad_batch();
        benchmark::DoNotOptimize(get_quad_staging_vertices());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * quads_per_batch);
}

void quad_batch_memcpy(benchmark::State& state) {
    std::vector<QuadVertex> source(quad_batch_vertex_capacity);
    std::vector<QuadVertex> target(quad_batch_vertex_capacity);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), quad_batch_vertex_capacity * sizeof(QuadVertex));
        benchmark::DoNotOptimize(target.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * quads_per_batch);
}

}  // namespace

BENCHMARK(layer_queue_zolt)->Name("layer_queue/zolt")->Arg(1000)->Arg(5000)->Arg(20000);
BENCHMARK(layer_queue_vector_sort)->Name("layer_queue/vector_sort")->Arg(1000)->Arg(5000)->Arg(20000);
BENCHMARK(layer_sort_zolt)->Name("layer_sort/zolt")->Arg(1000)->Arg(5000)->Arg(20000);
BENCHMARK(layer_sort_std_sort)->Name("layer_sort/std_sort")->Arg(1000)->Arg(5000)->Arg(20000);
BENCHMARK(layer_sort_priority_queue)->Name("layer_sort/priority_queue")->Arg(1000)->Arg(5000)->Arg(20000);
BENCHMARK(quad_batch_zolt)->Name("quad_batch/zolt");
BENCHMARK(quad_batch_memcpy)->Name("quad_batch/memcpy");
