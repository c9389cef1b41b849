#pragma once
// Emission: bursts of new particles sampled from the generator's shape,
// sent along its direction cone and placed through the emission frame.
// Runs on the thread that updates the generator, with that thread's random
// generator; the pool is the only shared structure it touches.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/renderer/particles/particle_generator_state.h"
#include "zolt/renderer/particles/particle_pool.h"

namespace zolt::renderer {

// Particles come from the sampler in batches this large at most.
constexpr uint32_t particle_emission_batch = 64;

// Shape space to particle space: rotate, then add the origin.
struct EmissionFrame {
    geometry::Quaternion rotation;
    geometry::Vector3 origin;
};

// The emitter's transform, seen from the space placement when there is one.
EmissionFrame build_emission_frame(const ParticleGeneratorState& state);

enum class SamplerKind : uint32_t {
    Origin,
    FixedPoint,
    BoxVolume,
    BoxSurface,
    EllipsoidVolume,
    EllipsoidSurface,
    HalfEllipsoidVolume,
    HalfEllipsoidSurface,
    CylinderVolume,
    CylinderSurface,
    BoxGrid,
    CylinderGrid,
};

// Chosen once per burst; the grid layouts keep their accumulator and row here.
struct PointSampler {
    SamplerKind kind = SamplerKind::Origin;
    geometry::Vector3 extents;
    geometry::Vector3 fixed_point;
    uint32_t grid_count = 0;
    float accumulator = 0;
    uint32_t row = 0;
    uint32_t major_axis = 0;
    uint32_t minor_axis = 1;
};

PointSampler choose_sampler(const ParticleDescription& params, uint32_t burst_total, core::RandomGenerator& random);
// Fills count points, in shape space, for a burst of burst_total particles.
void sample_points(PointSampler& sampler, uint32_t burst_total, geometry::Vector3* points, uint32_t count,
                   core::RandomGenerator& random);

// A unit direction (or zero for an unknown mode); fraction is the particle's
// place in its burst, which spaces the even cone surface.
geometry::Vector3 sample_direction(const ParticleDescription& params, float fraction, core::RandomGenerator& random);

// One particle per point, pushed on the front of the generator's list.
// Returns how many were made: fewer than count when the pool ran dry.
uint32_t create_particles(ParticleGeneratorState& state, ParticlePool& pool, const EmissionFrame& frame,
                          const geometry::Vector3* points, uint32_t first_index, uint32_t burst_total, uint32_t count,
                          core::RandomGenerator& random);

// A burst of count particles, unless the burst limit is reached.
void emit_burst(ParticleGeneratorState& state, ParticlePool& pool, uint32_t count, core::RandomGenerator& random);

}  // namespace zolt::renderer
