#include "zolt/renderer/particles/particle_quad.h"

#include <cmath>
#include <numbers>

#include "libs/geometry/quaternion.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/particles/particle_simulation.h"

namespace zolt::renderer {
namespace {

using geometry::Quaternion;
using geometry::Vector3;

constexpr float tiny = 1.0f / 65536.0f;

// Perpendicular to u, built from u's smallest component.
Vector3 get_perpendicular(const Vector3& u) {
    const float ax = std::fabs(u.x), ay = std::fabs(u.y), az = std::fabs(u.z);
    if (ax <= ay && ax < az) {
        return geometry::normalize(Vector3{0, u.z, -u.y});
    }
    if (ay < ax && ay < az) {
        return geometry::normalize(Vector3{-u.z, 0, u.x});
    }
    return geometry::normalize(Vector3{-u.y, u.x, 0});
}

Vector3 to_world(const ParticleGeneratorState& state, const Vector3& p) {
    return state.space_present != 0 ? geometry::rotate(state.space_rotation, p) + state.space_position : p;
}

float get_distance_factor(const ParticleDescription& params, const ParticleView& view, float distance) {
    const bool own_far = params.far_cut_distance > 0.0f;
    const float far_cut = own_far ? params.far_cut_distance : view.default_far_cut_distance;
    const float far_fade = own_far ? params.far_fade_distance : view.default_far_fade_distance;
    float factor = 1.0f;
    if (far_cut > 0.0f && distance >= far_fade) {
        if (far_cut <= distance + tiny) {
            return 0.0f;
        }
        factor = (far_cut - distance) / (far_cut - far_fade);
    }
    if (params.near_fade_distance > 0.0f && distance <= params.near_fade_distance) {
        if (params.near_cut_distance >= distance - tiny) {
            return 0.0f;
        }
        const float near =
            (distance - params.near_cut_distance) / (params.near_fade_distance - params.near_cut_distance);
        factor = near < factor ? near : factor;
    }
    return factor < 0.0f ? 0.0f : factor > 1.0f ? 1.0f : factor;
}

uint32_t replace_alpha(uint32_t color, float alpha) {
    const uint32_t byte = alpha >= 1.0f ? 255u : alpha <= 0.0f ? 0u : static_cast<uint32_t>(alpha * 255.0f);
    return (color & 0x00FFFFFFu) | byte << 24;
}

}  // namespace

ParticleAxes get_particle_axes(const ParticleGeneratorState& state, const ParticleView& view) {
    const uint32_t mode = state.params.orientation_mode;
    switch (static_cast<ParticleOrientation>(mode)) {
    case ParticleOrientation::ViewFacing:
        return {view.right, view.up, view.forward};
    case ParticleOrientation::AxisFacing:
    case ParticleOrientation::SpaceFixed:
        if (state.space_present != 0) {
            const Quaternion& q = state.space_rotation;
            return {geometry::rotate(q, {1, 0, 0}), geometry::rotate(q, {0, 0, 1}), geometry::rotate(q, {0, 1, 0})};
        }
        return {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    case ParticleOrientation::WorldFixed:
        return {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    case ParticleOrientation::VelocityFacing:
        return {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}};
    }
    ZOLT_PANIC("Invalid orientation mode of particle %u.", mode);
}

bool compute_particle_quad(const ParticleGeneratorState& state, const ParticleAxes& axes, const Particle& particle,
                           const ParticleView& view, ParticleQuad& out) {
    const ParticleDescription& p = state.params;
    const Vector3 position = to_world(state, particle.position + particle.jitter_offset);
    const float distance = geometry::length(position - view.eye);
    const float alpha = particle_alpha(particle) * get_distance_factor(p, view, distance);
    if (alpha < tiny) {
        return false;
    }
    float size = particle.size;
    const float depth = geometry::dot(position - view.eye, view.forward);
    if (p.near_shrink_radius >= tiny && p.near_shrink_radius > depth) {
        const float r = p.near_shrink_radius;
        size = (2.0f * r - depth) * depth / (r * r) * size;
    }
    if (size < tiny) {
        return false;
    }
    const float speed = geometry::length(particle.velocity);
    const auto mode = static_cast<ParticleOrientation>(p.orientation_mode);
    Vector3 right = axes.right, up = axes.up, normal = axes.normal;
    if (mode == ParticleOrientation::AxisFacing || mode == ParticleOrientation::VelocityFacing) {
        if (mode == ParticleOrientation::VelocityFacing) {
            up = speed < tiny ? Vector3{0, 0, 1} : particle.velocity * (1.0f / speed);
        }
        right = geometry::cross(position - view.eye, up);
        right = geometry::length_squared(right) < tiny ? get_perpendicular(up) : geometry::normalize(right);
        normal = geometry::cross(up, right);
    }
    Vector3 half_width = right * ((p.width_factor + p.width_per_speed * speed) * size);
    Vector3 half_height = up * ((p.height_factor + p.height_per_speed * speed) * size);
    if (mode == ParticleOrientation::VelocityFacing) {
        half_height = half_height * particle.rotation;
    } else if (particle.rotation != 0.0f) {
        const float angle = std::numbers::pi_v<float> * particle.rotation;
        const float s = std::sin(angle);
        const Quaternion turn{normal.x * s, normal.y * s, normal.z * s, std::cos(angle)};
        half_width = geometry::rotate(turn, half_width);
        half_height = geometry::rotate(turn, half_height);
    }
    out.corners[0] = position - half_height - half_width;
    out.corners[1] = position - half_height + half_width;
    out.corners[2] = position + half_height + half_width;
    out.corners[3] = position + half_height - half_width;
    out.color = replace_alpha(particle.color, alpha);
    out.phase = p.animation_duration != 0.0f ? particle.animation_time / p.animation_duration : 1.0f;
    return true;
}

}  // namespace zolt::renderer
