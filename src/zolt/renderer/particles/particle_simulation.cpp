#include "zolt/renderer/particles/particle_simulation.h"

#include <cmath>

#include "zolt/renderer/particles/particle_color.h"
#include "zolt/renderer/particles/particle_emission.h"
#include "zolt/renderer/particles/particle_ranges.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;

constexpr float tiny = 1.0f / 65536.0f;
constexpr float seconds_per_tick = 0.00001f;
constexpr float ticks_per_second = 100000.0f;
constexpr uint32_t jitter_passes = 10;

uint32_t add_saturating(uint32_t a, uint32_t b) {
    return a > UINT32_MAX - b ? UINT32_MAX : a + b;
}

void move_particle(const ParticleGeneratorState& state, Particle& particle, float seconds) {
    const ParticleDescription& p = state.params;
    const Vector3 step =
        (geometry::multiply(p.emitter_velocity_factor, state.emitter_velocity_local) + particle.velocity) * seconds;
    Vector3 moved = particle.position + step;
    const Vector3 velocity = particle.velocity;
    if (p.bounce_enabled != 0 && moved.z < p.bounce_height && velocity.z * seconds < 0.0f) {
        const float height = particle.position.z >= p.bounce_height ? particle.position.z - p.bounce_height : 0.0f;
        const float to_plane = -height / velocity.z;
        const Vector3 impact = particle.position + velocity * to_plane;
        Vector3 bounced = Vector3{velocity.x, velocity.y, -velocity.z} * particle.restitution;
        if (geometry::length_squared(bounced) < p.bounce_rest_threshold) {
            bounced = {};
        }
        particle.velocity = bounced;
        moved = impact + bounced * (seconds - to_plane);
    }
    particle.position = moved;
}

// The offset walks towards its target at the jitter speed and picks a new
// target on arrival. Time is spent as it goes, so a pass that arrives early
// moves on with what is left of the step rather than the whole step again.
void move_jitter(const ParticleDescription& p, Particle& particle, float seconds, core::RandomGenerator& random) {
    if (p.jitter_speed < tiny || geometry::length_squared(p.jitter_extents) < tiny) {
        return;
    }
    float remaining = seconds;
    for (uint32_t pass = 0; pass < jitter_passes; ++pass) {
        const Vector3 gap = particle.jitter_target - particle.jitter_offset;
        const float gap_length = geometry::length(gap);
        const float needed = gap_length >= tiny ? gap_length / p.jitter_speed : 0.0f;
        if (needed < remaining) {
            particle.jitter_offset = particle.jitter_target;
            remaining -= needed;
            particle.jitter_target = geometry::multiply(random.next_vector3_in_cube(), p.jitter_extents);
            if (remaining < tiny) {
                return;
            }
        } else {
            particle.jitter_offset = particle.jitter_offset + gap * (p.jitter_speed * remaining / gap_length);
            return;
        }
    }
}

uint32_t get_color_over_life(const ParticleDescription& p, const Particle& particle) {
    if (particle.immortal != 0) {
        return particle.start_color;
    }
    const float life = static_cast<float>(particle.age) / static_cast<float>(particle.lifetime);
    if (life <= p.color_blend_start) {
        return particle.start_color;
    }
    if (life >= p.color_blend_end) {
        return particle.end_color;
    }
    const float t = (life - p.color_blend_start) / (p.color_blend_end - p.color_blend_start);
    return blend_packed_colors(particle.start_color, particle.end_color, t);
}

bool is_generator_finished(const ParticleGeneratorState& state) {
    return state.params.burst_limit != 0 && state.burst_count >= state.params.burst_limit;
}

void restart_cycle(ParticleGeneratorState& state) {
    state.elapsed_ticks = 0;
    state.burst_count = 0;
    state.burst_countdown = 0;
}

}  // namespace

void clamp_speed(const ParticleDescription& params, Vector3& velocity, const Vector3& previous) {
    float speed;
    if (params.minimum_speed > 0.0f) {
        if (geometry::length(velocity) < tiny || geometry::dot(velocity, previous) < -tiny) {
            velocity = previous;
        }
        speed = geometry::length(velocity);
        if (speed < tiny) {
            return;
        }
        if (speed < params.minimum_speed) {
            velocity = velocity * (params.minimum_speed / speed);
            return;
        }
    } else {
        speed = geometry::length(velocity);
    }
    if (params.maximum_speed != 0.0f && speed > params.maximum_speed) {
        velocity = velocity * (params.maximum_speed / speed);
    }
}

bool simulate_particle(const ParticleGeneratorState& state, Particle& particle, uint32_t ticks,
                       core::RandomGenerator& random) {
    const ParticleDescription& p = state.params;
    const float seconds = static_cast<float>(ticks) * seconds_per_tick;
    particle.age = add_saturating(particle.age, ticks);
    if (particle.immortal == 0 && particle.age > particle.lifetime) {
        return false;
    }
    particle.size = particle.size * std::exp(seconds * particle.log_growth) + particle.size_rate * seconds;
    if (particle.size < tiny) {
        return false;
    }
    particle.rotation += particle.spin * seconds;
    if (static_cast<ParticleOrientation>(p.orientation_mode) != ParticleOrientation::VelocityFacing) {
        particle.rotation -= std::floor(particle.rotation);
    }

    Vector3 previous = particle.velocity;
    particle.velocity = particle.velocity + p.acceleration * seconds;
    clamp_speed(p, particle.velocity, previous);

    if (std::fabs(p.radial_acceleration) >= tiny) {
        const Vector3 outwards = particle.position - state.emitter_local;
        const float distance = geometry::length(outwards);
        if (distance >= tiny) {
            previous = particle.velocity;
            particle.velocity = particle.velocity + outwards * (p.radial_acceleration * seconds / distance);
            clamp_speed(p, particle.velocity, previous);
        }
    }
    if (std::fabs(p.tangential_acceleration) >= tiny && particle.age >= p.tangential_delay) {
        const float speed = geometry::length(particle.velocity);
        if (speed >= tiny) {
            previous = particle.velocity;
            const float change = p.tangential_acceleration * seconds;
            particle.velocity =
                change + speed < 0.0f ? Vector3{} : particle.velocity + particle.velocity * (change / speed);
            clamp_speed(p, particle.velocity, previous);
        }
    }

    if (p.animation_duration == 0.0f) {
        particle.animation_time = 0.0f;
    } else {
        float t = particle.animation_time + seconds;
        if (t > p.animation_duration) {
            t = p.animation_loops != 0 ? std::fmod(t, p.animation_duration) : p.animation_duration;
        }
        particle.animation_time = t;
    }

    move_particle(state, particle, seconds);
    move_jitter(p, particle, seconds, random);
    particle.color = get_color_over_life(p, particle);
    return true;
}

void step_generator(ParticleGeneratorState& state, ParticlePool& pool, uint32_t ticks, core::RandomGenerator& random) {
    Particle** link = &state.particles;
    while (*link != nullptr) {
        Particle* const particle = *link;
        if (simulate_particle(state, *particle, ticks, random)) {
            link = &particle->next;
            continue;
        }
        *link = particle->next;
        --state.particle_count;
        pool.give_particle(particle);
    }

    const ParticleDescription& p = state.params;
    state.elapsed_ticks = add_saturating(state.elapsed_ticks, ticks);
    if (state.elapsed_ticks < p.start_delay || p.stopped != 0) {
        return;
    }
    if (ticks >= state.burst_countdown) {
        emit_burst(state, pool, draw_in_range(p.burst_size, p.burst_size_range, random), random);
        state.burst_countdown =
            add_saturating(state.burst_countdown, draw_in_range(p.burst_interval, p.burst_interval_range, random));
    }
    if (state.burst_countdown >= ticks) {
        state.burst_countdown -= ticks;
    }
    if (p.cycle_length != 0 && state.elapsed_ticks > p.cycle_length && p.immortal_particles == 0) {
        restart_cycle(state);
    }
}

void update_generator(ParticleGeneratorState& state, ParticlePool& pool, core::RandomGenerator& random) {
    const ParticleDescription& p = state.params;
    Vector3 displacement;
    if (state.emitter_present != 0) {
        displacement = state.emitter_position - state.previous_emitter_position;
        state.previous_emitter_position = state.emitter_position;
    }
    const bool emitting = !is_generator_finished(state) && p.stopped == 0;
    if (p.enabled == 0 ||
        !(p.immortal_particles != 0 || emitting || state.particle_count != 0 || p.cycle_length != 0)) {
        state.pending_ticks = 0;
        return;
    }
    if (state.in_range == 0 && p.update_margin > 0.0f) {
        pool.give_particles(state.particles);
        state.particle_count = 0;
        state.suspended = 1;
        state.pending_ticks = 0;
        return;
    }
    if (state.suspended != 0) {
        restart_cycle(state);
        state.suspended = 0;
    }
    if (state.pending_ticks == 0) {
        return;
    }
    state.emitter_velocity = displacement * (ticks_per_second / static_cast<float>(state.pending_ticks));
    state.emitter_velocity_local =
        state.space_present != 0 ? geometry::rotate(geometry::conjugate(state.space_rotation), state.emitter_velocity)
                                 : state.emitter_velocity;
    const uint32_t half_interval = p.burst_interval / 2;
    const uint32_t step = half_interval > shortest_particle_step_ticks ? half_interval : shortest_particle_step_ticks;
    while (state.pending_ticks > 0) {
        const uint32_t ticks = state.pending_ticks < step ? state.pending_ticks : step;
        state.pending_ticks -= ticks;
        step_generator(state, pool, ticks, random);
    }
}

float particle_alpha(const Particle& particle) {
    const float alpha = static_cast<float>(particle.color >> 24) / 255.0f;
    if (particle.age < particle.fade_in) {
        return alpha * static_cast<float>(particle.age) / static_cast<float>(particle.fade_in);
    }
    if (particle.immortal == 0 && particle.fade_out != 0 && particle.age > particle.lifetime - particle.fade_out) {
        const float into_fade = static_cast<float>(particle.age + particle.fade_out - particle.lifetime);
        return alpha * (1.0f - into_fade / static_cast<float>(particle.fade_out));
    }
    return alpha;
}

}  // namespace zolt::renderer
