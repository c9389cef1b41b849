#pragma once
// The parameter block of a particle generator. Its byte layout, padding
// included, is written raw into saved games, so every offset is pinned below.
// Plain value; the main thread writes it, the updating thread reads a copy.
#include <cstddef>
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

enum class ParticleOrientation : uint32_t {
    ViewFacing = 0,
    AxisFacing = 1,
    SpaceFixed = 2,
    WorldFixed = 3,
    VelocityFacing = 4,
};

// Any other value emits at the emitter's origin.
enum class EmissionShape : uint32_t {
    Box = 0,
    Ellipsoid = 1,
    HalfEllipsoid = 2,
    Cylinder = 3,
};

// Any other value gives every particle a zero direction.
enum class DirectionMode : uint32_t {
    InsideCone = 0,
    ConeSurfaceRandom = 1,
    ConeSurfaceEven = 2,
};

struct alignas(16) ParticleDescription {
    uint32_t orientation_mode = 0;
    float animation_duration = 0;
    uint8_t animation_loops = 0;
    uint8_t animation_random_start = 0;
    uint8_t enabled = 0;
    uint8_t immortal_particles = 0;
    uint8_t destroy_when_idle = 1;
    uint8_t stopped = 0;
    uint8_t no_sector = 0;
    uint8_t unclipped = 0;
    uint8_t bounce_enabled = 0;
    uint8_t padding_17[3] = {};
    float bounce_height = 0;
    float restitution = 0;
    float restitution_range = 0;
    float bounce_rest_threshold = 0;
    uint32_t burst_limit = 0;
    uint32_t emission_shape = 0;
    uint8_t padding_44[4] = {};
    geometry::Vector3 shape_extents;
    uint8_t emit_from_surface = 0;
    uint8_t one_point_per_burst = 0;
    uint8_t padding_66[2] = {};
    uint32_t grid_count = 0;
    uint8_t padding_72[8] = {};
    geometry::Vector3 acceleration;
    geometry::Vector3 emitter_velocity_factor;
    float jitter_speed = 0;
    uint8_t padding_116[12] = {};
    geometry::Vector3 jitter_extents;
    float radial_acceleration = 0;
    uint32_t start_delay = 0;
    uint32_t cycle_length = 0;
    uint32_t burst_interval = 0;
    uint32_t burst_interval_range = 0;
    uint32_t burst_size = 0;
    uint32_t burst_size_range = 0;
    uint32_t lifetime = 0;
    uint32_t lifetime_range = 0;
    uint8_t padding_180[12] = {};
    geometry::Vector3 direction{0, 1, 0};
    float spread = 0;
    uint32_t direction_mode = 0;
    float speed = 0;
    float speed_range = 0;
    float minimum_speed = 0;
    float maximum_speed = 0;
    float tangential_acceleration = 0;
    uint32_t tangential_delay = 0;
    float rotation = 0;
    float rotation_range = 0;
    float spin = 0;
    float spin_range = 0;
    uint8_t random_spin_direction = 0;
    uint8_t padding_257[3] = {};
    uint32_t start_color = 0xFFFFFFFF;
    uint32_t start_color_2 = 0xFFFFFFFF;
    uint32_t end_color = 0xFFFFFFFF;
    uint32_t end_color_2 = 0xFFFFFFFF;
    uint8_t uniform_color_blend = 0;
    uint8_t padding_277[3] = {};
    float color_blend_start = 0;
    float color_blend_end = 1;
    uint32_t fade_in = 0;
    uint32_t fade_in_range = 0;
    uint32_t fade_out = 0;
    uint32_t fade_out_range = 0;
    float near_cut_distance = 0;
    float near_fade_distance = 0;
    float far_fade_distance = 0;
    float far_cut_distance = 0;
    float update_margin = 0;
    float bounding_radius = 0;
    float size = 0;
    float size_range = 0;
    float growth = 1;
    float growth_range = 0;
    float size_rate = 0;
    float size_rate_range = 0;
    float width_factor = 1;
    float width_per_speed = 0;
    float height_factor = 1;
    float height_per_speed = 0;
    float near_shrink_radius = 0;
    uint8_t padding_372[12] = {};
    geometry::Vector4 tint{1, 1, 1, 1};
    uint32_t request_word = 0;
    float depth_bias = 0;
    uint32_t layer_word = 0;
    uint8_t material_option = 0;
    uint8_t padding_413[3] = {};
};

static_assert(sizeof(ParticleDescription) == 416);
static_assert(offsetof(ParticleDescription, animation_duration) == 4);
static_assert(offsetof(ParticleDescription, enabled) == 10);
static_assert(offsetof(ParticleDescription, bounce_enabled) == 16);
static_assert(offsetof(ParticleDescription, bounce_height) == 20);
static_assert(offsetof(ParticleDescription, burst_limit) == 36);
static_assert(offsetof(ParticleDescription, emission_shape) == 40);
static_assert(offsetof(ParticleDescription, shape_extents) == 48);
static_assert(offsetof(ParticleDescription, emit_from_surface) == 64);
static_assert(offsetof(ParticleDescription, grid_count) == 68);
static_assert(offsetof(ParticleDescription, acceleration) == 80);
static_assert(offsetof(ParticleDescription, emitter_velocity_factor) == 96);
static_assert(offsetof(ParticleDescription, jitter_speed) == 112);
static_assert(offsetof(ParticleDescription, jitter_extents) == 128);
static_assert(offsetof(ParticleDescription, radial_acceleration) == 144);
static_assert(offsetof(ParticleDescription, lifetime_range) == 176);
static_assert(offsetof(ParticleDescription, direction) == 192);
static_assert(offsetof(ParticleDescription, spread) == 208);
static_assert(offsetof(ParticleDescription, tangential_delay) == 236);
static_assert(offsetof(ParticleDescription, random_spin_direction) == 256);
static_assert(offsetof(ParticleDescription, start_color) == 260);
static_assert(offsetof(ParticleDescription, uniform_color_blend) == 276);
static_assert(offsetof(ParticleDescription, color_blend_start) == 280);
static_assert(offsetof(ParticleDescription, fade_in) == 288);
static_assert(offsetof(ParticleDescription, near_cut_distance) == 304);
static_assert(offsetof(ParticleDescription, update_margin) == 320);
static_assert(offsetof(ParticleDescription, size) == 328);
static_assert(offsetof(ParticleDescription, near_shrink_radius) == 368);
static_assert(offsetof(ParticleDescription, tint) == 384);
static_assert(offsetof(ParticleDescription, request_word) == 400);
static_assert(offsetof(ParticleDescription, layer_word) == 408);
static_assert(offsetof(ParticleDescription, material_option) == 412);

}  // namespace zolt::renderer
