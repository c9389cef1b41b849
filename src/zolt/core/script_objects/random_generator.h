#pragma once
// The engine's random numbers: a xorshift-128 generator and the samplers that
// turn its draws into integers, floats, truth values and vectors. The global
// generator serves the main thread (scripts, particles, sound variations);
// any other thread that needs numbers keeps a generator of its own, so none
// is ever shared or locked. Samplers that reject give up after a fixed number
// of attempts, so no call runs unbounded.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::core {

class RandomGenerator {
public:
    static constexpr uint32_t default_x = 314159265, default_y = 271828182, default_z = 251615969,
                              default_w = 603195484;

    // A word the seed leaves at 0 takes its default word, so 0 gives the
    // default state and no seed gives a generator stuck at 0.
    void seed(uint32_t value);
    uint32_t next();
    // In [low, high]; when high is below low the range wraps through 0.
    uint32_t next_integer(uint32_t low, uint32_t high);
    // In [0, 1], both ends reachable.
    float next_float_inclusive();
    // In [0, 1 - 2^-23].
    float next_float();
    bool next_bool() { return next_float() < 0.5f; }
    // Each lane in [-1, 1], x drawn first.
    geometry::Vector3 next_vector3_in_cube();
    geometry::Vector3 next_vector2_in_square();

    uint32_t x = default_x;
    uint32_t y = default_y;
    uint32_t z = default_z;
    uint32_t w = default_w;
};

// Seeded at engine start, saved with every game. Main thread only.
extern RandomGenerator global_random_generator;

geometry::Vector3 random_unit_vector3(RandomGenerator& generator);
// z is 0.
geometry::Vector3 random_unit_vector2(RandomGenerator& generator);
// A point of the unit cube inside the ellipsoid's equation; it is not scaled
// by the radii.
geometry::Vector3 random_vector3_in_ellipsoid(const geometry::Vector3& radii, RandomGenerator& generator);
geometry::Vector3 random_vector2_in_ellipse(float radius_x, float radius_y, RandomGenerator& generator);
// A unit vector at most angle turns away from direction. Angle 0 gives the
// direction itself, unscaled, and draws nothing; a zero direction gives zero.
geometry::Vector3 random_direction_in_cone(float angle, RandomGenerator& generator, const geometry::Vector3& direction);

// The same draws from the global generator.
float random_float_inclusive();
float random_float();
uint32_t random_integer(uint32_t low, uint32_t high);
geometry::Vector3 random_vector3_in_ball();
geometry::Vector3 random_vector3_in_box(const geometry::Vector3& half_sizes);
geometry::Vector3 random_vector2_in_rectangle(float half_x, float half_y);

}  // namespace zolt::core
