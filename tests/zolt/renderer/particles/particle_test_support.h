#pragma once
// A generator state with a long-lived particle set-up and a fixed seed, so
// each test changes only what it checks.
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/renderer/particles/particle_generator_state.h"
#include "zolt/renderer/particles/particle_pool.h"

namespace zolt::renderer::testing {

inline ParticleGeneratorState make_emitting_state() {
    ParticleGeneratorState state;
    state.params.enabled = 1;
    state.params.lifetime = 100000000;
    state.params.size = 1;
    state.params.burst_size = 1;
    state.params.burst_interval = 1000000000;
    return state;
}

inline core::RandomGenerator make_seeded_random(uint32_t seed = 7) {
    core::RandomGenerator random;
    random.seed(seed);
    return random;
}

// Every particle of the state, in list order.
template <typename Visit>
void for_each_particle(const ParticleGeneratorState& state, Visit visit) {
    for (const Particle* particle = state.particles; particle != nullptr; particle = particle->next) {
        visit(*particle);
    }
}

}  // namespace zolt::renderer::testing
