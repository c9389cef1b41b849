// Choosing the lights of 1000 objects in a room of 32 lights, against a
// plain loop that scores every light for every object and keeps the best
// seven by a partial sort.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "zolt/navigation/sector.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_instance.h"
#include "zolt/renderer/lights/light_selection.h"
#include "zolt/renderer/lights/light_server.h"
#include "zolt/renderer/view/visibility_context.h"

namespace {

using namespace zolt;

constexpr uint32_t light_count = 32;
constexpr uint32_t object_count = 1000;

struct Room {
    servers::SectorRender sector;
    std::array<renderer::LightInstanceRender, light_count> instances;
    std::vector<geometry::Vector3> objects;
    std::unique_ptr<renderer::VisibilityContext> context = std::make_unique<renderer::VisibilityContext>();

    Room() {
        for (uint32_t index = 0; index < light_count; ++index) {
            renderer::LightRender& light = renderer::light_server.get_render_slot(index);
            light = {};
            light.on = 1;
            light.light_mask = 0xFFFFFFFF;
            light.type = static_cast<uint8_t>(renderer::LightType::point);
            light.position = {static_cast<float>(index % 8) * 5, static_cast<float>(index / 8) * 5, 2};
            light.range = 8;
            light.colour = {1, 1, 1, 1};
            light.intensity = 1;
            renderer::LightInstanceRender& record = instances[index];
            record.light = &light;
            record.sector = &sector;
            record.static_set = 1;
            record.list_index = 2;
            record.instance_mask = 0xFFFFFFFF;
            record.next = &instances[(index + 1) % light_count];
            record.previous = &instances[(index + light_count - 1) % light_count];
            context->add_visible_light(index);
        }
        sector.lights[0][2] = &instances[0];
        for (uint32_t index = 0; index < object_count; ++index) {
            objects.push_back({static_cast<float>(index % 40), static_cast<float>(index / 40) * 0.6f, 1});
        }
    }
};

void light_selection_zolt(benchmark::State& state) {
    Room room;
    renderer::ObjectLightQuery query;
    query.home_sector = &room.sector;
    query.radius = 0.5f;
    for (auto _ : state) {
        uint64_t total = 0;
        for (const geometry::Vector3& centre : room.objects) {
            query.centre = centre;
            total += renderer::select_object_lights(*room.context, query);
        }
        benchmark::DoNotOptimize(total);
    }
}

void light_selection_plain_loop(benchmark::State& state) {
    Room room;
    for (auto _ : state) {
        uint64_t total = 0;
        for (const geometry::Vector3& centre : room.objects) {
            std::array<std::pair<float, uint32_t>, light_count> scores;
            for (uint32_t index = 0; index < light_count; ++index) {
                scores[index] = {renderer::get_visual_importance(renderer::light_server.get_render_slot(index),
                                                                 centre, 0.5f),
                                 index};
            }
            std::partial_sort(scores.begin(), scores.begin() + 7, scores.end(),
                              [](const auto& a, const auto& b) { return a.first > b.first; });
            for (uint32_t index = 0; index < 7; ++index) {
                total += scores[index].first >= 0.01f ? scores[index].second : 0;
            }
        }
        benchmark::DoNotOptimize(total);
    }
}

BENCHMARK(light_selection_zolt)->Name("light_selection/zolt/1000_objects")->Unit(benchmark::kMicrosecond);
BENCHMARK(light_selection_plain_loop)->Name("light_selection/plain_loop/1000_objects")->Unit(benchmark::kMicrosecond);

}  // namespace
