#pragma once
// The per-frame update of one generator: its pending time advanced in
// sub-steps that move and age the particles and emit the bursts that fall due.
// One thread per generator per frame, with that thread's random generator.
#include <cstdint>

#include "zolt/core/script_objects/random_generator.h"
#include "zolt/renderer/particles/particle_generator_state.h"
#include "zolt/renderer/particles/particle_pool.h"

namespace zolt::renderer {

// A long frame is cut into steps of half the burst interval, never below this.
constexpr uint32_t shortest_particle_step_ticks = 1000;

// Keeps the speed within the description's floor and ceiling; previous is
// the velocity before the last change, restored when the change reversed it.
void clamp_speed(const ParticleDescription& params, geometry::Vector3& velocity, const geometry::Vector3& previous);

// Advances one particle by ticks; false when it died.
bool simulate_particle(const ParticleGeneratorState& state, Particle& particle, uint32_t ticks,
                       core::RandomGenerator& random);

// One sub-step: the particles, then the emission cycle.
void step_generator(ParticleGeneratorState& state, ParticlePool& pool, uint32_t ticks, core::RandomGenerator& random);

// The whole frame of one generator: consumes its pending ticks.
void update_generator(ParticleGeneratorState& state, ParticlePool& pool, core::RandomGenerator& random);

// The particle's alpha in 0..1 after its fades.
float particle_alpha(const Particle& particle);

}  // namespace zolt::renderer
