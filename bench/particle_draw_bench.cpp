// Drawing 100,000 view-facing particles: each particle's quad worked out
// for the view (fades, near shrink, axes) and its four vertices written as
// the quad batcher stages them, against the peer that only copies the same
// vertex bytes. The GL upload of the staged buffers is not part of it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/particles/particle_emission.h"
#include "zolt/renderer/particles/particle_quad.h"

namespace {

using zolt::renderer::ParticleGeneratorState;
using zolt::renderer::QuadVertex;

constexpr uint32_t generator_count = 200;
constexpr uint32_t particles_per_generator = 500;
constexpr uint32_t particle_count = generator_count * particles_per_generator;
constexpr uint32_t vertex_count = particle_count * 4;

struct DrawScene {
    zolt::renderer::ParticlePool pool{particle_count};
    std::vector<ParticleGeneratorState> states{generator_count};
    zolt::renderer::ParticleView view;
    std::vector<QuadVertex> staging = std::vector<QuadVertex>(vertex_count);

    DrawScene() {
        zolt::core::RandomGenerator random;
        random.seed(5);
        for (uint32_t index = 0; index < generator_count; ++index) {
            ParticleGeneratorState& state = states[index];
            auto& p = state.params;
            p.enabled = 1;
            p.emission_shape = static_cast<uint32_t>(zolt::renderer::EmissionShape::Box);
            p.shape_extents = {20, 20, 5};
            p.size = 0.3f;
            p.far_fade_distance = 60;
            p.far_cut_distance = 80;
            p.near_shrink_radius = 1;
            zolt::renderer::emit_burst(state, pool, particles_per_generator, random);
            state.emitter_position = {static_cast<float>(index % 20) * 2 - 20, 30, 0};
        }
        view.right = {1, 0, 0};
        view.up = {0, 0, 1};
        view.forward = {0, 1, 0};
        view.eye = {0, -40, 0};
    }
};

void particle_draw_zolt(benchmark::State& bench) {
    DrawScene scene;
    for (auto _ : bench) {
        QuadVertex* vertex = scene.staging.data();
        for (const ParticleGeneratorState& state : scene.states) {
            const auto axes = zolt::renderer::get_particle_axes(state, scene.view);
            zolt::renderer::ParticleQuad quad;
            for (const auto* particle = state.particles; particle != nullptr; particle = particle->next) {
                if (!zolt::renderer::compute_particle_quad(state, axes, *particle, scene.view, quad)) {
                    continue;
                }
                for (const auto& corner : quad.corners) {
                    vertex->x = corner.x;
                    vertex->y = corner.y;
                    vertex->z = corner.z;
                    vertex->w = quad.phase;
                    std::memcpy(vertex->color, &quad.color, 4);
                    ++vertex;
                }
            }
        }
        benchmark::DoNotOptimize(vertex);
        benchmark::ClobberMemory();
    }
    bench.SetItemsProcessed(bench.iterations() * particle_count);
}

// The floor: the same vertex bytes copied once.
void particle_draw_memcpy(benchmark::State& bench) {
    const std::vector<QuadVertex> source(vertex_count);
    std::vector<QuadVertex> target(vertex_count);
    for (auto _ : bench) {
        std::memcpy(target.data(), source.data(), vertex_count * sizeof(QuadVertex));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    bench.SetItemsProcessed(bench.iterations() * particle_count);
}

}  // namespace

BENCHMARK(particle_draw_zolt)->Name("particle_draw/zolt")->Unit(benchmark::kMicrosecond);
BENCHMARK(particle_draw_memcpy)->Name("particle_draw/memcpy")->Unit(benchmark::kMicrosecond);
