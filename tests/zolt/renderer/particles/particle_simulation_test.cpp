#include "zolt/renderer/particles/particle_simulation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "zolt/renderer/particles/particle_emission.h"
#include "zolt/renderer/particles/particle_test_support.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;
using testing::make_emitting_state;
using testing::make_seeded_random;

constexpr uint32_t step_ticks = 1000;
constexpr float step_seconds = 0.01f;

// One particle from the state's own parameters, with a chosen start.
Particle make_particle(const ParticleGeneratorState& state, const Vector3& position, const Vector3& velocity) {
    Particle particle;
    particle.lifetime = state.params.lifetime;
    particle.position = position;
    particle.velocity = velocity;
    particle.size = 1;
    particle.growth = 1;
    particle.restitution = state.params.restitution;
    return particle;
}

TEST(ParticleSimulation, ConstantAccelerationFollowsTheDiscreteClosedForm) {
    ParticleGeneratorState state = make_emitting_state();
    state.params.acceleration = {1, -2, -9.81f};
    core::RandomGenerator random = make_seeded_random();
    const Vector3 p0{1, 2, 3}, v0{4, 0, 5};
    Particle particle = make_particle(state, p0, v0);
    constexpr int steps = 50;
    for (int k = 1; k <= steps; ++k) {
        ASSERT_TRUE(simulate_particle(state, particle, step_ticks, random));
        // Velocity changes before the move: v_k = v0 + a k s and
        // p_k = p0 + v0 k s + a s^2 k (k + 1) / 2.
        const float ks = k * step_seconds;
        const float s2 = step_seconds * step_seconds * k * (k + 1) / 2.0f;
        const Vector3& a = state.params.acceleration;
        EXPECT_NEAR(particle.velocity.z, v0.z + a.z * ks, 1e-4f) << k;
        EXPECT_NEAR(particle.position.x, p0.x + v0.x * ks + a.x * s2, 1e-4f) << k;
        EXPECT_NEAR(particle.position.y, p0.y + v0.y * ks + a.y * s2, 1e-4f) << k;
        EXPECT_NEAR(particle.position.z, p0.z + v0.z * ks + a.z * s2, 1e-4f) << k;
    }
}

TEST(ParticleSimulation, GrowthCompoundsAndSizeRateAdds) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.size = 2;
    state.params.growth = 3;
    emit_burst(state, pool, 1, random);
    Particle& particle = *state.particles;
    EXPECT_FLOAT_EQ(particle.log_growth, std::log(3.0f));
    for (int k = 0; k < 100; ++k) {
        simulate_particle(state, particle, step_ticks, random);
    }
    EXPECT_NEAR(particle.size, 2 * 3.0f, 1e-4f);
    particle.log_growth = 0;
    particle.size_rate = -0.5f;
    for (int k = 0; k < 100; ++k) {
        simulate_particle(state, particle, step_ticks, random);
    }
    EXPECT_NEAR(particle.size, 5.5f, 1e-4f);
    // Shrinking below the smallest size ends the particle.
    particle.size_rate = -1000;
    EXPECT_FALSE(simulate_particle(state, particle, step_ticks, random));
    pool.give_particles(state.particles);
}

TEST(ParticleSimulation, BouncesOffThePlaneWithTheRestitution) {
    struct Case {
        const char* name;
        float rest_threshold;
        float expected_vz;
    };
    const Case cases[] = {
        {"bounce up at half speed", 0, 2},
        {"too slow to bounce: rests on the plane", 5, 0},
    };
    for (const Case& c : cases) {
        ParticleGeneratorState state = make_emitting_state();
        state.params.bounce_enabled = 1;
        state.params.bounce_height = 1;
        state.params.restitution = 0.5f;
        state.params.bounce_rest_threshold = c.rest_threshold;
        core::RandomGenerator random = make_seeded_random();
        // 0.02 above the plane, falling at 4: the plane is hit after 0.005 s
        // of the 0.01 s step.
        Particle particle = make_particle(state, {0, 0, 1.02f}, {1, 0, -4});
        ASSERT_TRUE(simulate_particle(state, particle, step_ticks, random));
        EXPECT_NEAR(particle.velocity.z, c.expected_vz, 1e-5f) << c.name;
        EXPECT_NEAR(particle.position.z, 1.0f + c.expected_vz * 0.005f, 1e-5f) << c.name;
        EXPECT_GE(particle.position.z, 1.0f - 1e-6f) << c.name;
        EXPECT_NEAR(particle.position.x, c.expected_vz != 0 ? 0.005f + 0.5f * 0.005f : 0.005f, 1e-5f) << c.name;
    }
}

TEST(ParticleSimulation, TheSpeedClampKeepsTheFloorAndTheCeiling) {
    ParticleGeneratorState state = make_emitting_state();
    state.params.minimum_speed = 2;
    state.params.acceleration = {-50, 0, 0};
    core::RandomGenerator random = make_seeded_random();
    Particle particle = make_particle(state, {}, {2, 0, 0});
    for (int k = 0; k < 100; ++k) {
        simulate_particle(state, particle, step_ticks, random);
        EXPECT_NEAR(particle.velocity.x, 2.0f, 1e-5f) << k;
    }
    state.params.minimum_speed = 0;
    state.params.maximum_speed = 3;
    state.params.acceleration = {0, 0, 1000};
    simulate_particle(state, particle, step_ticks, random);
    EXPECT_NEAR(geometry::length(particle.velocity), 3.0f, 1e-5f);
}

TEST(ParticleSimulation, RadialAndTangentialAccelerationChangeSpeedAlongTheirAxes) {
    ParticleGeneratorState state = make_emitting_state();
    state.params.radial_acceleration = 10;
    state.emitter_local = {1, 0, 0};
    core::RandomGenerator random = make_seeded_random();
    Particle radial = make_particle(state, {1, 3, 0}, {});
    simulate_particle(state, radial, step_ticks, random);
    EXPECT_NEAR(radial.velocity.y, 0.1f, 1e-6f);
    EXPECT_NEAR(radial.velocity.x, 0.0f, 1e-6f);

    state.params.radial_acceleration = 0;
    state.params.tangential_acceleration = -100;
    state.params.tangential_delay = 2000;
    Particle tangential = make_particle(state, {}, {3, 4, 0});
    simulate_particle(state, tangential, step_ticks, random);
    EXPECT_NEAR(geometry::length(tangential.velocity), 5.0f, 1e-5f);  // still too young
    simulate_particle(state, tangential, step_ticks, random);
    EXPECT_NEAR(geometry::length(tangential.velocity), 4.0f, 1e-5f);
    EXPECT_NEAR(tangential.velocity.x / tangential.velocity.y, 0.75f, 1e-5f);
    for (int k = 0; k < 10; ++k) {
        simulate_particle(state, tangential, step_ticks, random);
    }
    EXPECT_EQ(geometry::length(tangential.velocity), 0.0f);
}

TEST(ParticleSimulation, JitterNeverOutrunsItsSpeed) {
    ParticleGeneratorState state = make_emitting_state();
    state.params.jitter_speed = 2;
    state.params.jitter_extents = {0.001f, 0.001f, 0.001f};
    core::RandomGenerator random = make_seeded_random();
    Particle particle = make_particle(state, {}, {});
    // Targets lie far closer than a step's travel, so every step makes
    // several passes; together they may cover no more than speed x time.
    for (int k = 0; k < 50; ++k) {
        const Vector3 before = particle.jitter_offset;
        simulate_particle(state, particle, step_ticks, random);
        EXPECT_LE(geometry::length(particle.jitter_offset - before), 2 * step_seconds + 1e-6f) << k;
        EXPECT_LE(std::fabs(particle.jitter_offset.x), 0.001f + 1e-6f);
    }
    state.params.jitter_extents = {5, 5, 5};
    for (int k = 0; k < 50; ++k) {
        const Vector3 before = particle.jitter_offset;
        simulate_particle(state, particle, step_ticks, random);
        EXPECT_LE(geometry::length(particle.jitter_offset - before), 2 * step_seconds + 1e-5f) << k;
    }
}

TEST(ParticleSimulation, AgeEndsMortalParticlesOnly) {
    ParticleGeneratorState state = make_emitting_state();
    core::RandomGenerator random = make_seeded_random();
    state.params.lifetime = 0;
    Particle zero = make_particle(state, {}, {});
    EXPECT_FALSE(simulate_particle(state, zero, 1, random));
    state.params.lifetime = 2500;
    Particle mortal = make_particle(state, {}, {});
    EXPECT_TRUE(simulate_particle(state, mortal, 2500, random));
    EXPECT_FALSE(simulate_particle(state, mortal, 1, random));
    Particle immortal = make_particle(state, {}, {});
    immortal.immortal = 1;
    immortal.start_color = 0x80112233;
    EXPECT_TRUE(simulate_particle(state, immortal, 100000, random));
    EXPECT_EQ(immortal.color, 0x80112233u);
}

TEST(ParticleSimulation, ColourMovesFromStartToEndBetweenTheBlendPoints) {
    ParticleGeneratorState state = make_emitting_state();
    state.params.lifetime = 10000;
    state.params.color_blend_start = 0.2f;
    state.params.color_blend_end = 0.6f;
    core::RandomGenerator random = make_seeded_random();
    Particle particle = make_particle(state, {}, {});
    particle.start_color = 0x00000000;
    particle.end_color = 0xFFFF0000;
    const struct {
        uint32_t age;
        uint32_t color;
    } rows[] = {{1000, 0x00000000}, {2000, 0x00000000}, {4000, 0x7F7F0000}, {6000, 0xFFFF0000}, {9000, 0xFFFF0000}};
    uint32_t age = 0;
    for (const auto& row : rows) {
        simulate_particle(state, particle, row.age - age, random);
        age = row.age;
        EXPECT_EQ(particle.color, row.color) << row.age;
    }
}

TEST(ParticleSimulation, AlphaRampsInAndOut) {
    Particle particle;
    particle.color = 0xFF000000;
    particle.lifetime = 1000;
    particle.fade_in = 100;
    particle.fade_out = 200;
    const struct {
        uint32_t age;
        float alpha;
    } rows[] = {{0, 0}, {50, 0.5f}, {100, 1}, {800, 1}, {900, 0.5f}, {1000, 0}};
    for (const auto& row : rows) {
        particle.age = row.age;
        EXPECT_NEAR(particle_alpha(particle), row.alpha, 1e-6f) << row.age;
    }
    particle.immortal = 1;
    particle.age = 950;
    EXPECT_EQ(particle_alpha(particle), 1.0f);
}

TEST(ParticleSimulation, AnimationTimeLoopsOrStopsAtTheEnd) {
    ParticleGeneratorState state = make_emitting_state();
    state.params.animation_duration = 0.025f;
    core::RandomGenerator random = make_seeded_random();
    Particle stopping = make_particle(state, {}, {});
    for (int k = 0; k < 3; ++k) {
        simulate_particle(state, stopping, step_ticks, random);
    }
    EXPECT_FLOAT_EQ(stopping.animation_time, 0.025f);
    state.params.animation_loops = 1;
    Particle looping = make_particle(state, {}, {});
    for (int k = 0; k < 3; ++k) {
        simulate_particle(state, looping, step_ticks, random);
    }
    EXPECT_NEAR(looping.animation_time, 0.005f, 1e-6f);
}

TEST(ParticleSimulation, TheEmitterVelocityCarriesParticlesByItsFactor) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.emitter_velocity_factor = {0.5f, 0, 0};
    state.params.burst_interval = 0;
    state.params.burst_limit = 1;
    state.emitter_present = 1;
    state.previous_emitter_position = {0, 0, 0};
    state.emitter_position = {2, 0, 0};
    state.pending_ticks = 2000;
    update_generator(state, pool, random);
    // Moved 2 in 0.02 s: 100 units per second, half of which carries the
    // particle born at the emitter in the first step through the second.
    EXPECT_FLOAT_EQ(state.emitter_velocity.x, 100.0f);
    ASSERT_EQ(state.particle_count, 1u);
    EXPECT_NEAR(state.particles->position.x, 2.0f + 0.5f, 1e-4f);
    EXPECT_TRUE(geometry::equal_xyz(state.previous_emitter_position, state.emitter_position));
    pool.give_particles(state.particles);
}

TEST(ParticleSimulation, AnOutOfRangeGeneratorDropsItsParticlesAndResumesWithAFreshCycle) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.burst_interval = 0;
    state.params.update_margin = 10;
    state.pending_ticks = 3000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.particle_count, 3u);

    state.in_range = 0;
    state.pending_ticks = 3000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.suspended, 1);
    EXPECT_EQ(state.particle_count, 0u);
    EXPECT_EQ(state.particles, nullptr);
    EXPECT_EQ(state.pending_ticks, 0u);
    EXPECT_EQ(pool.count_free_particles(), pool.get_capacity());

    state.in_range = 1;
    state.pending_ticks = 1000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.suspended, 0);
    EXPECT_EQ(state.elapsed_ticks, 1000u);
    EXPECT_EQ(state.burst_count, 1u);
    pool.give_particles(state.particles);
}

TEST(ParticleSimulation, ADisabledGeneratorDropsItsTime) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.enabled = 0;
    state.pending_ticks = 5000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.pending_ticks, 0u);
    EXPECT_EQ(state.elapsed_ticks, 0u);
    EXPECT_EQ(state.particle_count, 0u);
}

}  // namespace
}  // namespace zolt::renderer
