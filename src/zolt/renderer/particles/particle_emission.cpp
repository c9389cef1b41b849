#include "zolt/renderer/particles/particle_emission.h"

#include <cmath>
#include <numbers>

#include "zolt/renderer/particles/particle_color.h"
#include "zolt/renderer/particles/particle_ranges.h"

namespace zolt::renderer {
namespace {

using geometry::Quaternion;
using geometry::Vector3;

constexpr float tiny = 1.0f / 65536.0f;
// The generator's ellipsoid draw answers a point of the unit cube, so large
// radii would be cut off by the cube: the unit ball is drawn and then
// stretched, which keeps the points uniform over the whole shape.
constexpr geometry::Vector3 unit_radii{1, 1, 1};

void set_lane(Vector3& v, uint32_t lane, float value) {
    (lane == 0 ? v.x : lane == 1 ? v.y : v.z) = value;
}

Quaternion turn_about(const Vector3& axis, float turns) {
    const float half = std::numbers::pi_v<float> * turns;
    const float s = std::sin(half);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(half)};
}

// Largest extent first; ties go to the earlier axis.
void choose_grid_axes(const Vector3& e, uint32_t& major, uint32_t& minor) {
    major = 0;
    minor = 1;
    if (e.y > e.x) {
        major = 1;
        minor = 0;
    }
    const float larger = e.x > e.y ? e.x : e.y;
    const float smaller = e.x > e.y ? e.y : e.x;
    if (e.z > larger) {
        minor = major;
        major = 2;
    } else if (e.z > smaller) {
        minor = 2;
    }
}

Vector3 sample_box_surface(const Vector3& e, core::RandomGenerator& random) {
    const float face_areas[6] = {e.y * e.z, e.y * e.z, e.x * e.z, e.x * e.z, e.x * e.y, e.x * e.y};
    float total = 0;
    for (const float area : face_areas) {
        total += area;
    }
    const float pick = random.next_float_inclusive() * total;
    uint32_t face = 5;
    float running = 0;
    for (uint32_t candidate = 0; candidate < 6; ++candidate) {
        running += face_areas[candidate];
        if (running > pick) {
            face = candidate;
            break;
        }
    }
    const Vector3 free = random.next_vector2_in_square();
    const uint32_t fixed_axis = face / 2;
    const float side = (face & 1) != 0 ? 1.0f : -1.0f;
    Vector3 point;
    uint32_t free_lane = 0;
    for (uint32_t axis = 0; axis < 3; ++axis) {
        if (axis == fixed_axis) {
            set_lane(point, axis, side);
        } else {
            set_lane(point, axis, free_lane++ == 0 ? free.x : free.y);
        }
    }
    return multiply(point, e);
}

float sample_cylinder_height(float half_height, core::RandomGenerator& random) {
    return (2.0f * random.next_float_inclusive() - 1.0f) * half_height;
}

Vector3 sample_shape_point(SamplerKind kind, const Vector3& e, core::RandomGenerator& random) {
    switch (kind) {
    case SamplerKind::BoxVolume:
        return multiply(random.next_vector3_in_cube(), e);
    case SamplerKind::BoxSurface:
        return sample_box_surface(e, random);
    case SamplerKind::EllipsoidVolume:
        return multiply(core::random_vector3_in_ellipsoid(unit_radii, random), e);
    case SamplerKind::EllipsoidSurface:
        return multiply(core::random_unit_vector3(random), e);
    case SamplerKind::HalfEllipsoidVolume: {
        Vector3 p = multiply(core::random_vector3_in_ellipsoid(unit_radii, random), e);
        p.z = std::fabs(p.z);
        return p;
    }
    case SamplerKind::HalfEllipsoidSurface: {
        Vector3 p = multiply(core::random_unit_vector3(random), e);
        p.z = std::fabs(p.z);
        return p;
    }
    case SamplerKind::CylinderVolume: {
        Vector3 p = multiply(core::random_vector2_in_ellipse(1.0f, 1.0f, random), e);
        p.z = sample_cylinder_height(e.z, random);
        return p;
    }
    case SamplerKind::CylinderSurface: {
        Vector3 p = multiply(core::random_unit_vector2(random), e);
        p.z = sample_cylinder_height(e.z, random);
        return p;
    }
    default:
        return {};
    }
}

SamplerKind get_table_sampler(const ParticleDescription& params) {
    const bool surface = params.emit_from_surface != 0;
    switch (static_cast<EmissionShape>(params.emission_shape)) {
    case EmissionShape::Box:
        return surface ? SamplerKind::BoxSurface : SamplerKind::BoxVolume;
    case EmissionShape::Ellipsoid:
        return surface ? SamplerKind::EllipsoidSurface : SamplerKind::EllipsoidVolume;
    case EmissionShape::HalfEllipsoid:
        return surface ? SamplerKind::HalfEllipsoidSurface : SamplerKind::HalfEllipsoidVolume;
    case EmissionShape::Cylinder:
        return surface ? SamplerKind::CylinderSurface : SamplerKind::CylinderVolume;
    default:
        return SamplerKind::Origin;
    }
}

// A single row has no spread to divide: it lies on the middle line.
float get_row_coordinate(uint32_t row, uint32_t grid_count) {
    if (grid_count < 2) {
        return 0.0f;
    }
    return static_cast<float>(row) / static_cast<float>(grid_count - 1) * 2.0f - 1.0f;
}

Vector3 sample_grid_point(const PointSampler& sampler, uint32_t burst_total) {
    const float place = sampler.accumulator / static_cast<float>(burst_total);
    const float across = get_row_coordinate(sampler.row, sampler.grid_count);
    const Vector3& e = sampler.extents;
    Vector3 point;
    if (sampler.kind == SamplerKind::BoxGrid) {
        set_lane(point, sampler.major_axis, (place * 2.0f - 1.0f) * geometry::get_lane(e, sampler.major_axis));
        set_lane(point, sampler.minor_axis, across * geometry::get_lane(e, sampler.minor_axis));
        return point;
    }
    const float angle = 2.0f * std::numbers::pi_v<float> * place;
    return {e.x * std::cos(angle), e.y * std::sin(angle), across * e.z};
}

}  // namespace

EmissionFrame build_emission_frame(const ParticleGeneratorState& state) {
    EmissionFrame frame{geometry::identity_quaternion(), {}};
    if (state.emitter_present != 0) {
        frame = {state.emitter_rotation, state.emitter_position};
    }
    if (state.space_present != 0) {
        const Quaternion inverse = geometry::conjugate(state.space_rotation);
        frame = {inverse * frame.rotation, geometry::rotate(inverse, frame.origin - state.space_position)};
    }
    return frame;
}

PointSampler choose_sampler(const ParticleDescription& params, uint32_t burst_total, core::RandomGenerator& random) {
    PointSampler sampler;
    sampler.extents = params.shape_extents;
    const auto shape = static_cast<EmissionShape>(params.emission_shape);
    if (params.one_point_per_burst != 0) {
        sampler.kind = SamplerKind::FixedPoint;
        sampler.fixed_point = sample_shape_point(get_table_sampler(params), sampler.extents, random);
        return sampler;
    }
    if (params.grid_count != 0 && (shape == EmissionShape::Box || shape == EmissionShape::Cylinder) &&
        burst_total != 0) {
        sampler.kind = shape == EmissionShape::Box ? SamplerKind::BoxGrid : SamplerKind::CylinderGrid;
        sampler.grid_count = params.grid_count;
        sampler.accumulator = static_cast<float>(params.grid_count) * 0.5f;
        choose_grid_axes(sampler.extents, sampler.major_axis, sampler.minor_axis);
        return sampler;
    }
    sampler.kind = get_table_sampler(params);
    return sampler;
}

void sample_points(PointSampler& sampler, uint32_t burst_total, Vector3* points, uint32_t count,
                   core::RandomGenerator& random) {
    for (uint32_t index = 0; index < count; ++index) {
        switch (sampler.kind) {
        case SamplerKind::FixedPoint:
            points[index] = sampler.fixed_point;
            break;
        case SamplerKind::BoxGrid:
        case SamplerKind::CylinderGrid: {
            points[index] = sample_grid_point(sampler, burst_total);
            const auto total = static_cast<float>(burst_total);
            sampler.accumulator += static_cast<float>(sampler.grid_count);
            while (sampler.accumulator >= total) {
                sampler.accumulator -= total;
                ++sampler.row;
            }
            break;
        }
        default:
            points[index] = sample_shape_point(sampler.kind, sampler.extents, random);
            break;
        }
    }
}

Vector3 sample_direction(const ParticleDescription& params, float fraction, core::RandomGenerator& random) {
    const Vector3& d = params.direction;
    const float spread = params.spread;
    const auto mode = static_cast<DirectionMode>(params.direction_mode);
    if (mode == DirectionMode::InsideCone) {
        if (spread >= 0.5f) {
            return core::random_unit_vector3(random);
        }
        return core::random_direction_in_cone(spread, random, d);
    }
    if (mode != DirectionMode::ConeSurfaceRandom && mode != DirectionMode::ConeSurfaceEven) {
        return {};
    }
    const float ax = std::fabs(d.x), ay = std::fabs(d.y), az = std::fabs(d.z);
    Vector3 perpendicular;
    if (ax <= ay && ax < az) {
        perpendicular = {0, d.z, -d.y};
    } else if (ay < ax && ay < az) {
        perpendicular = {-d.z, 0, d.x};
    } else {
        perpendicular = {-d.y, d.x, 0};
    }
    perpendicular = geometry::normalize(perpendicular);
    const Vector3 tilted = geometry::rotate(turn_about(perpendicular, spread), d);
    const float around = mode == DirectionMode::ConeSurfaceRandom ? random.next_float() : fraction;
    return geometry::rotate(turn_about(d, around), tilted);
}

uint32_t create_particles(ParticleGeneratorState& state, ParticlePool& pool, const EmissionFrame& frame,
                          const Vector3* points, uint32_t first_index, uint32_t burst_total, uint32_t count,
                          core::RandomGenerator& random) {
    const ParticleDescription& p = state.params;
    for (uint32_t index = 0; index < count; ++index) {
        Particle* const particle = pool.take_particle();
        if (particle == nullptr) {
            return index;
        }
        particle->next = state.particles;
        state.particles = particle;
        ++state.particle_count;

        const uint32_t lifetime = draw_in_range(p.lifetime, p.lifetime_range, random);
        const uint32_t start_color =
            pick_color_between(p.start_color, p.start_color_2, p.uniform_color_blend != 0, random);
        const uint32_t end_color = pick_color_between(p.end_color, p.end_color_2, p.uniform_color_blend != 0, random);
        uint32_t fade_in = draw_in_range(p.fade_in, p.fade_in_range, random);
        uint32_t fade_out = draw_in_range(p.fade_out, p.fade_out_range, random);
        const float fraction = static_cast<float>(first_index + index) / static_cast<float>(burst_total);
        const Vector3 direction = sample_direction(p, fraction, random);
        const float speed = draw_in_range(p.speed, p.speed_range, random);
        const float size = draw_in_range(p.size, p.size_range, random);
        float growth = draw_in_range(p.growth, p.growth_range, random);
        const float size_rate = draw_in_range(p.size_rate, p.size_rate_range, random);
        const float rotation = draw_in_range(p.rotation, p.rotation_range, random);
        float spin = draw_in_range(p.spin, p.spin_range, random);
        if (p.random_spin_direction != 0 && random.next_bool()) {
            spin = -spin;
        }
        const float restitution = draw_in_range(p.restitution, p.restitution_range, random);
        const float animation_time =
            p.animation_random_start != 0 ? random.next_float_inclusive() * p.animation_duration : 0.0f;

        // Fades longer than the life share it in their own proportion.
        const uint64_t fades = static_cast<uint64_t>(fade_in) + fade_out;
        if (lifetime < fades) {
            fade_in = static_cast<uint32_t>(
                std::floor(static_cast<double>(fade_in) / static_cast<double>(fades) * lifetime + 0.5));
            fade_out = lifetime - fade_in;
        }
        if (growth < tiny) {
            growth = tiny;
        }
        particle->lifetime = lifetime;
        particle->age = 0;
        particle->start_color = start_color;
        particle->end_color = end_color;
        particle->color = start_color;
        particle->fade_in = fade_in;
        particle->fade_out = fade_out;
        particle->position = geometry::rotate(frame.rotation, points[index]) + frame.origin;
        particle->velocity = geometry::rotate(frame.rotation, direction * speed);
        particle->size = size;
        particle->growth = growth;
        particle->log_growth = std::log(growth);
        particle->size_rate = size_rate;
        particle->rotation = rotation;
        particle->spin = spin;
        particle->restitution = restitution;
        particle->animation_time = animation_time;
        particle->immortal = p.immortal_particles;
    }
    return count;
}

void emit_burst(ParticleGeneratorState& state, ParticlePool& pool, uint32_t count, core::RandomGenerator& random) {
    const ParticleDescription& p = state.params;
    if (p.burst_limit != 0 && state.burst_count >= p.burst_limit) {
        return;
    }
    ++state.burst_count;
    const EmissionFrame frame = build_emission_frame(state);
    PointSampler sampler = choose_sampler(p, count, random);
    Vector3 points[particle_emission_batch];
    for (uint32_t first = 0; first < count; first += particle_emission_batch) {
        const uint32_t batch = count - first < particle_emission_batch ? count - first : particle_emission_batch;
        sample_points(sampler, count, points, batch, random);
        if (create_particles(state, pool, frame, points, first, count, batch, random) < batch) {
            return;
        }
    }
}

}  // namespace zolt::renderer
