#include <benchmark/benchmark.h>

#include <vector>

#include "zolt/renderer/particles/particle_emission.h"
#include "zolt/renderer/particles/particle_simulation.h"
#include "zolt/renderer/particles/particle_update_workers.h"

namespace {

using zolt::renderer::ParticleGeneratorState;
using zolt::renderer::ParticlePool;
using zolt::renderer::ParticleUpdateWorkers;

constexpr uint32_t generator_count = 200;
constexpr uint32_t particles_per_generator = 500;
constexpr uint32_t particle_count = generator_count * particles_per_generator;
// A frame at 60 frames per second.
constexpr uint32_t frame_ticks = 1666;

// 100,000 particles that live through the whole run: a moving, growing,
// spinning, bouncing and jittering load that emits nothing more.
struct ParticleScene {
    ParticlePool pool{particle_count};
    std::vector<ParticleGeneratorState> states{generator_count};

    ParticleScene() {
        zolt::core::RandomGenerator random;
        random.seed(11);
        for (ParticleGeneratorState& state : states) {
            auto& p = state.params;
            p.enabled = 1;
            p.immortal_particles = 1;
            p.destroy_when_idle = 0;
            p.burst_limit = 1;
            p.emission_shape = static_cast<uint32_t>(zolt::renderer::EmissionShape::Ellipsoid);
            p.shape_extents = {2, 2, 1};
            p.spread = 0.2f;
            p.speed = 3;
            p.speed_range = 1;
            p.size = 0.2f;
            p.growth = 1.01f;
            p.spin = 0.3f;
            p.acceleration = {0, 0, -9.81f};
            p.bounce_enabled = 1;
            p.bounce_height = -5;
            p.restitution = 0.8f;
            p.jitter_speed = 0.5f;
            p.jitter_extents = {0.1f, 0.1f, 0.1f};
            p.radial_acceleration = 0.5f;
            zolt::renderer::emit_burst(state, pool, particles_per_generator, random);
        }
    }

    ParticleGeneratorState* publish_frame() {
        for (uint32_t index = 0; index < generator_count; ++index) {
            states[index].pending_ticks = frame_ticks;
            states[index].update_next = index + 1 < generator_count ? &states[index + 1] : nullptr;
        }
        return &states.front();
    }
};

void run_frames(benchmark::State& state, uint32_t workers) {
    ParticleScene scene;
    ParticleUpdateWorkers update(scene.pool, zolt::renderer::update_generator);
    update.start_workers(workers);
    zolt::core::RandomGenerator random;
    random.seed(3);
    for (auto _ : state) {
        update.begin_update(scene.publish_frame());
        update.finish_update(random);
    }
    update.stop_workers();
    state.SetItemsProcessed(state.iterations() * particle_count);
}

// The main thread with as many workers as the argument.
void particle_update_zolt(benchmark::State& state) {
    run_frames(state, static_cast<uint32_t>(state.range(0)));
}

// The peer: the same frame on the main thread alone, so each ratio is the
// inverse of the speed-up the workers give.
void particle_update_main_thread_only(benchmark::State& state) {
    run_frames(state, 0);
}

}  // namespace

BENCHMARK(particle_update_zolt)
    ->Name("particle_update/zolt")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(particle_update_main_thread_only)
    ->Name("particle_update/main_thread_only")
    ->Arg(1)
    ->Arg(2)
    ->Arg(4)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
