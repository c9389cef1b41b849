#include "zolt/renderer/particles/particle_emission.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "zolt/renderer/particles/particle_simulation.h"
#include "zolt/renderer/particles/particle_test_support.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;
using testing::for_each_particle;
using testing::make_emitting_state;
using testing::make_seeded_random;

std::vector<Vector3> positions_in_emission_order(const ParticleGeneratorState& state) {
    std::vector<Vector3> positions;
    for_each_particle(state, [&](const Particle& particle) { positions.insert(positions.begin(), particle.position); });
    return positions;
}

TEST(ParticleEmission, BurstsFollowTheIntervalAndTheLimit) {
    struct Case {
        const char* name;
        uint32_t interval;
        uint32_t limit;
        uint32_t pending;
        uint32_t expected_bursts;
    };
    const Case cases[] = {
        {"interval 0 bursts at every 1000-tick step", 0, 0, 5000, 5},
        {"the limit stops the bursts", 0, 3, 5000, 3},
        {"an interval of 3000 bursts at 0, 3000, 6000 and 9000", 3000, 0, 9000, 4},
        {"a short last step only counts down", 2500, 0, 5600, 3},
    };
    for (const Case& c : cases) {
        ParticlePool pool;
        core::RandomGenerator random = make_seeded_random();
        ParticleGeneratorState state = make_emitting_state();
        state.params.burst_interval = c.interval;
        state.params.burst_limit = c.limit;
        state.params.burst_size = 2;
        state.pending_ticks = c.pending;
        update_generator(state, pool, random);
        EXPECT_EQ(state.burst_count, c.expected_bursts) << c.name;
        EXPECT_EQ(state.particle_count, 2 * c.expected_bursts) << c.name;
        EXPECT_EQ(state.pending_ticks, 0u) << c.name;
        pool.give_particles(state.particles);
    }
}

TEST(ParticleEmission, StartDelayAndCycleLengthShapeTheCycle) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.burst_interval = 0;
    state.params.start_delay = 3000;
    state.pending_ticks = 2000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.burst_count, 0u);
    state.pending_ticks = 2000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.burst_count, 2u);

    // A new cycle starts once the elapsed time passes the cycle length.
    state.params.cycle_length = 4500;
    state.pending_ticks = 1000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.elapsed_ticks, 0u);
    EXPECT_EQ(state.burst_count, 0u);
    pool.give_particles(state.particles);
}

TEST(ParticleEmission, ALimitedGeneratorGoesIdleOnceItsParticlesAreGone) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.burst_interval = 0;
    state.params.burst_limit = 3;
    state.params.lifetime = 4000;
    state.pending_ticks = 3000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.particle_count, 3u);
    state.pending_ticks = 10000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.burst_count, 3u);
    EXPECT_EQ(state.particle_count, 0u);
    // Finished with nothing alive: further time is dropped untouched.
    const uint32_t elapsed = state.elapsed_ticks;
    state.pending_ticks = 5000;
    update_generator(state, pool, random);
    EXPECT_EQ(state.pending_ticks, 0u);
    EXPECT_EQ(state.elapsed_ticks, elapsed);
    EXPECT_EQ(pool.count_free_particles(), pool.get_capacity());
}

TEST(ParticleEmission, FadesLongerThanTheLifeShareItInProportion) {
    struct Case {
        uint32_t lifetime, fade_in, fade_out, expected_in, expected_out;
    };
    const Case cases[] = {
        {100, 80, 80, 50, 50},
        {100, 30, 10, 30, 10},
        {100, 300, 100, 75, 25},
        {0, 5, 5, 0, 0},
    };
    for (const Case& c : cases) {
        ParticlePool pool;
        core::RandomGenerator random = make_seeded_random();
        ParticleGeneratorState state = make_emitting_state();
        state.params.lifetime = c.lifetime;
        state.params.fade_in = c.fade_in;
        state.params.fade_out = c.fade_out;
        emit_burst(state, pool, 1, random);
        ASSERT_EQ(state.particle_count, 1u);
        EXPECT_EQ(state.particles->fade_in, c.expected_in) << c.lifetime << " " << c.fade_in << " " << c.fade_out;
        EXPECT_EQ(state.particles->fade_out, c.expected_out) << c.lifetime << " " << c.fade_in << " " << c.fade_out;
        pool.give_particles(state.particles);
    }
}

TEST(ParticleEmission, ABoxGridLaysRowsAlongTheTwoLargestExtents) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.emission_shape = static_cast<uint32_t>(EmissionShape::Box);
    state.params.grid_count = 2;
    state.params.shape_extents = {2, 1, 0};
    emit_burst(state, pool, 4, random);
    const std::vector<Vector3> expected = {{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}};
    const std::vector<Vector3> positions = positions_in_emission_order(state);
    ASSERT_EQ(positions.size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        EXPECT_FLOAT_EQ(positions[index].x, expected[index].x) << index;
        EXPECT_FLOAT_EQ(positions[index].y, expected[index].y) << index;
        EXPECT_FLOAT_EQ(positions[index].z, expected[index].z) << index;
    }
    pool.give_particles(state.particles);
}

TEST(ParticleEmission, GridAxesFollowTheExtentOrderWithTiesToTheEarlierAxis) {
    struct Case {
        Vector3 extents;
        uint32_t major, minor;
    };
    const Case cases[] = {
        {{2, 1, 0}, 0, 1}, {{1, 2, 0}, 1, 0}, {{1, 1, 1}, 0, 1}, {{1, 0, 3}, 2, 0},
        {{0, 1, 3}, 2, 1}, {{3, 1, 2}, 0, 2}, {{1, 3, 2}, 1, 2}, {{2, 2, 2}, 0, 1},
    };
    for (const Case& c : cases) {
        ParticleDescription params;
        params.grid_count = 3;
        params.shape_extents = c.extents;
        core::RandomGenerator random = make_seeded_random();
        const PointSampler sampler = choose_sampler(params, 6, random);
        EXPECT_EQ(sampler.kind, SamplerKind::BoxGrid);
        EXPECT_EQ(sampler.major_axis, c.major) << c.extents.x << "," << c.extents.y << "," << c.extents.z;
        EXPECT_EQ(sampler.minor_axis, c.minor) << c.extents.x << "," << c.extents.y << "," << c.extents.z;
    }
}

TEST(ParticleEmission, ACylinderGridRingsTheRimRowByRow) {
    ParticleDescription params;
    params.emission_shape = static_cast<uint32_t>(EmissionShape::Cylinder);
    params.grid_count = 2;
    params.shape_extents = {2, 1, 3};
    core::RandomGenerator random = make_seeded_random();
    PointSampler sampler = choose_sampler(params, 4, random);
    Vector3 points[4];
    sample_points(sampler, 4, points, 4, random);
    // The accumulator starts at half a row: a = 1, 3, 1, 3 of N = 4.
    const float angles[4] = {0.25f, 0.75f, 0.25f, 0.75f};
    const float heights[4] = {-3, -3, 3, 3};
    for (int index = 0; index < 4; ++index) {
        const float angle = 2.0f * static_cast<float>(M_PI) * angles[index];
        EXPECT_NEAR(points[index].x, 2 * std::cos(angle), 1e-5f) << index;
        EXPECT_NEAR(points[index].y, std::sin(angle), 1e-5f) << index;
        EXPECT_FLOAT_EQ(points[index].z, heights[index]) << index;
    }
}

TEST(ParticleEmission, ASingleRowGridLiesOnTheMiddleLine) {
    ParticleDescription params;
    params.grid_count = 1;
    params.shape_extents = {2, 1, 0};
    core::RandomGenerator random = make_seeded_random();
    PointSampler sampler = choose_sampler(params, 3, random);
    Vector3 points[3];
    sample_points(sampler, 3, points, 3, random);
    for (const Vector3& point : points) {
        EXPECT_TRUE(std::isfinite(point.x));
        EXPECT_EQ(point.y, 0.0f);
    }
}

TEST(ParticleEmission, SampledPointsLieInTheirShape) {
    struct Case {
        const char* name;
        EmissionShape shape;
        bool surface;
        // Returns the point's "radius" in the shape's own norm: at most 1
        // inside, exactly 1 on the surface.
        float (*measure)(const Vector3& p, const Vector3& e);
        bool half;
    };
    const auto box = [](const Vector3& p, const Vector3& e) {
        return std::fmax(std::fabs(p.x / e.x), std::fmax(std::fabs(p.y / e.y), std::fabs(p.z / e.z)));
    };
    const auto ellipsoid = [](const Vector3& p, const Vector3& e) {
        return std::sqrt(p.x * p.x / (e.x * e.x) + p.y * p.y / (e.y * e.y) + p.z * p.z / (e.z * e.z));
    };
    const auto rim = [](const Vector3& p, const Vector3& e) {
        const float radial = std::sqrt(p.x * p.x / (e.x * e.x) + p.y * p.y / (e.y * e.y));
        return std::fabs(p.z) <= e.z * 1.0001f ? radial : 2.0f;
    };
    const Case cases[] = {
        {"box volume", EmissionShape::Box, false, box, false},
        {"box surface", EmissionShape::Box, true, box, false},
        {"ellipsoid volume", EmissionShape::Ellipsoid, false, ellipsoid, false},
        {"ellipsoid surface", EmissionShape::Ellipsoid, true, ellipsoid, false},
        {"half ellipsoid volume", EmissionShape::HalfEllipsoid, false, ellipsoid, true},
        {"half ellipsoid surface", EmissionShape::HalfEllipsoid, true, ellipsoid, true},
        {"cylinder volume", EmissionShape::Cylinder, false, rim, false},
        {"cylinder surface", EmissionShape::Cylinder, true, rim, false},
    };
    const Vector3 extents{3, 2, 1};
    for (const Case& c : cases) {
        ParticleDescription params;
        params.emission_shape = static_cast<uint32_t>(c.shape);
        params.emit_from_surface = c.surface ? 1 : 0;
        params.shape_extents = extents;
        core::RandomGenerator random = make_seeded_random();
        PointSampler sampler = choose_sampler(params, 2000, random);
        std::vector<Vector3> points(2000);
        sample_points(sampler, 2000, points.data(), 2000, random);
        float lowest_z = 1;
        for (const Vector3& point : points) {
            const float measure = c.measure(point, extents);
            EXPECT_LE(measure, 1.0001f) << c.name;
            if (c.surface) {
                EXPECT_NEAR(measure, 1.0f, 1e-4f) << c.name;
            }
            lowest_z = std::fmin(lowest_z, point.z);
        }
        if (c.half) {
            EXPECT_GE(lowest_z, 0.0f) << c.name;
        } else {
            EXPECT_LT(lowest_z, 0.0f) << c.name;
        }
    }
}

TEST(ParticleEmission, BoxSurfaceFacesAreChosenByArea) {
    ParticleDescription params;
    params.emit_from_surface = 1;
    params.shape_extents = {4, 2, 1};
    core::RandomGenerator random = make_seeded_random();
    PointSampler sampler = choose_sampler(params, 1, random);
    constexpr int draws = 30000;
    int on_face[3] = {};
    for (int draw = 0; draw < draws; ++draw) {
        Vector3 point;
        sample_points(sampler, 1, &point, 1, random);
        on_face[std::fabs(point.x) == 4 ? 0 : std::fabs(point.y) == 2 ? 1 : 2] += 1;
    }
    // Face pair areas y*z = 2, x*z = 4, x*y = 8 of 14.
    EXPECT_NEAR(on_face[0] / double{draws}, 2.0 / 14, 0.01);
    EXPECT_NEAR(on_face[1] / double{draws}, 4.0 / 14, 0.01);
    EXPECT_NEAR(on_face[2] / double{draws}, 8.0 / 14, 0.01);
}

TEST(ParticleEmission, VolumeSamplesHaveTheUniformMoments) {
    ParticleDescription params;
    params.shape_extents = {2, 2, 2};
    core::RandomGenerator random = make_seeded_random();
    PointSampler cube = choose_sampler(params, 1, random);
    params.emission_shape = static_cast<uint32_t>(EmissionShape::Ellipsoid);
    params.shape_extents = {1, 1, 1};
    PointSampler ball = choose_sampler(params, 1, random);
    constexpr int draws = 40000;
    double cube_x2 = 0, ball_r2 = 0;
    for (int draw = 0; draw < draws; ++draw) {
        Vector3 point;
        sample_points(cube, 1, &point, 1, random);
        cube_x2 += point.x * point.x;
        sample_points(ball, 1, &point, 1, random);
        ball_r2 += geometry::length_squared(point);
    }
    EXPECT_NEAR(cube_x2 / draws, 4.0 / 3, 0.03);
    EXPECT_NEAR(ball_r2 / draws, 3.0 / 5, 0.01);
}

TEST(ParticleEmission, OnePointPerBurstStartsEveryParticleAtOnePoint) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.one_point_per_burst = 1;
    state.params.grid_count = 4;
    state.params.shape_extents = {5, 5, 5};
    emit_burst(state, pool, 100, random);
    const Vector3 first = state.particles->position;
    EXPECT_GT(geometry::length(first), 0.0f);
    for_each_particle(state,
                      [&](const Particle& particle) { EXPECT_TRUE(geometry::equal_xyz(particle.position, first)); });
    pool.give_particles(state.particles);
}

TEST(ParticleEmission, EvenConeSurfaceDirectionsAreAQuarterTurnApart) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.direction_mode = static_cast<uint32_t>(DirectionMode::ConeSurfaceEven);
    state.params.direction = {0, 0, 1};
    state.params.spread = 0.25f;
    state.params.speed = 1;
    emit_burst(state, pool, 4, random);
    std::vector<Vector3> directions;
    for_each_particle(state,
                      [&](const Particle& particle) { directions.insert(directions.begin(), particle.velocity); });
    ASSERT_EQ(directions.size(), 4u);
    for (size_t index = 0; index < 4; ++index) {
        const Vector3& d = directions[index];
        EXPECT_NEAR(geometry::length(d), 1.0f, 1e-5f);
        EXPECT_NEAR(d.z, 0.0f, 1e-5f) << index;
        const Vector3& following = directions[(index + 1) % 4];
        EXPECT_NEAR(geometry::dot(d, following), 0.0f, 1e-5f) << index;
        // Turning by a quarter about the axis: the cross product is the axis.
        EXPECT_NEAR(geometry::cross(d, following).z, 1.0f, 1e-5f) << index;
    }
    pool.give_particles(state.particles);
}

TEST(ParticleEmission, DirectionsStayInsideTheirCone) {
    struct Case {
        DirectionMode mode;
        float spread;
        float lowest_cosine, highest_cosine;
    };
    const Case cases[] = {
        {DirectionMode::InsideCone, 0.0f, 1.0f, 1.0f},
        {DirectionMode::InsideCone, 0.125f, 0.7071f, 1.0f},
        {DirectionMode::InsideCone, 0.5f, -1.0f, 1.0f},
        {DirectionMode::ConeSurfaceRandom, 0.125f, 0.7071f, 0.7071f},
        {DirectionMode::ConeSurfaceRandom, 0.5f, -1.0f, -1.0f},
    };
    for (const Case& c : cases) {
        ParticleDescription params;
        params.direction_mode = static_cast<uint32_t>(c.mode);
        params.direction = geometry::normalize(Vector3{1, 2, -2});
        params.spread = c.spread;
        core::RandomGenerator random = make_seeded_random();
        for (int draw = 0; draw < 500; ++draw) {
            const Vector3 d = sample_direction(params, 0.0f, random);
            EXPECT_NEAR(geometry::length(d), 1.0f, 1e-4f);
            const float cosine = geometry::dot(d, params.direction);
            EXPECT_GE(cosine, c.lowest_cosine - 1e-4f) << c.spread;
            EXPECT_LE(cosine, c.highest_cosine + 1e-4f) << c.spread;
        }
    }
    ParticleDescription unknown;
    unknown.direction_mode = 9;
    core::RandomGenerator random = make_seeded_random();
    EXPECT_TRUE(geometry::equal_xyz(sample_direction(unknown, 0.0f, random), Vector3{}));
}

TEST(ParticleEmission, TheFramePlacesParticlesFromTheEmitterIntoTheSpacePlacement) {
    const geometry::Quaternion quarter_about_z{0, 0, std::sqrt(0.5f), std::sqrt(0.5f)};
    struct Case {
        const char* name;
        bool emitter, space;
        Vector3 expected_position, expected_velocity;
    };
    // Shape point (1, 0, 0), direction (0, 1, 0) at speed 1. The emitter sits
    // at (10, 0, 0) turned a quarter about z; the space at (0, 5, 0), also
    // turned a quarter.
    const Case cases[] = {
        {"neither", false, false, {1, 0, 0}, {0, 1, 0}},
        {"emitter", true, false, {10, 1, 0}, {-1, 0, 0}},
        {"space", false, true, {-5, -1, 0}, {1, 0, 0}},
        {"both", true, true, {-4, -10, 0}, {0, 1, 0}},
    };
    for (const Case& c : cases) {
        ParticlePool pool;
        core::RandomGenerator random = make_seeded_random();
        ParticleGeneratorState state = make_emitting_state();
        state.params.emission_shape = 9;  // no shape: the emitter's origin
        state.params.speed = 1;
        state.emitter_present = c.emitter;
        state.emitter_position = {10, 0, 0};
        state.emitter_rotation = quarter_about_z;
        state.space_present = c.space;
        state.space_position = {0, 5, 0};
        state.space_rotation = quarter_about_z;
        const EmissionFrame frame = build_emission_frame(state);
        const Vector3 p = geometry::rotate(frame.rotation, Vector3{1, 0, 0}) + frame.origin;
        EXPECT_NEAR(p.x, c.expected_position.x, 1e-5f) << c.name;
        EXPECT_NEAR(p.y, c.expected_position.y, 1e-5f) << c.name;
        EXPECT_NEAR(p.z, c.expected_position.z, 1e-5f) << c.name;

        emit_burst(state, pool, 1, random);
        const Particle& particle = *state.particles;
        EXPECT_NEAR(particle.position.x, frame.origin.x, 1e-5f) << c.name;
        EXPECT_NEAR(particle.position.y, frame.origin.y, 1e-5f) << c.name;
        EXPECT_NEAR(particle.velocity.x, c.expected_velocity.x, 1e-5f) << c.name;
        EXPECT_NEAR(particle.velocity.y, c.expected_velocity.y, 1e-5f) << c.name;
        EXPECT_NEAR(particle.velocity.z, c.expected_velocity.z, 1e-5f) << c.name;
        pool.give_particles(state.particles);
    }
}

TEST(ParticleEmission, ABurstLargerThanThePoolTakesWhatIsLeft) {
    ParticlePool pool(10);
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState first = make_emitting_state();
    ParticleGeneratorState second = make_emitting_state();
    emit_burst(first, pool, 7, random);
    emit_burst(second, pool, 200, random);
    EXPECT_EQ(first.particle_count, 7u);
    EXPECT_EQ(second.particle_count, 3u);
    EXPECT_EQ(second.burst_count, 1u);
    EXPECT_EQ(pool.count_free_particles(), 0u);
    int listed = 0;
    for_each_particle(second, [&](const Particle&) { ++listed; });
    EXPECT_EQ(listed, 3);
    // The next burst tries again once records are back.
    pool.give_particles(first.particles);
    emit_burst(second, pool, 200, random);
    EXPECT_EQ(second.particle_count, 10u);
    pool.give_particles(second.particles);
    EXPECT_EQ(pool.count_free_particles(), 10u);
}

TEST(ParticleEmission, ColourRangesPickBetweenTheirEnds) {
    ParticlePool pool;
    core::RandomGenerator random = make_seeded_random();
    ParticleGeneratorState state = make_emitting_state();
    state.params.start_color = 0x10204080;
    state.params.start_color_2 = 0x20104070;
    emit_burst(state, pool, 300, random);
    for_each_particle(state, [&](const Particle& particle) {
        const uint32_t c = particle.start_color;
        EXPECT_GE(c >> 24, 0x10u);
        EXPECT_LE(c >> 24, 0x20u);
        EXPECT_GE((c >> 16) & 0xFF, 0x10u);
        EXPECT_LE((c >> 16) & 0xFF, 0x20u);
        EXPECT_EQ((c >> 8) & 0xFF, 0x40u);
        EXPECT_GE(c & 0xFF, 0x70u);
        EXPECT_LE(c & 0xFF, 0x80u);
        EXPECT_EQ(particle.color, c);
        EXPECT_EQ(particle.end_color, 0xFFFFFFFFu);
    });
    pool.give_particles(state.particles);
}

}  // namespace
}  // namespace zolt::renderer
