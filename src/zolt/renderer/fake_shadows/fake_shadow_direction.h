#pragma once
// Where a fake shadow falls and how dark it is: a blend of the directions
// of the lights around its visual, kept between straight down and 45
// degrees below the horizon, and moved towards each frame at the rates of
// its settings so shadows turn and fade rather than jump. Pure functions;
// any thread.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::renderer {

struct FakeShadow;
struct LightRender;

struct FakeShadowTarget {
    // False when no light darkens the visual: the shadow then fades away.
    bool found = false;
    geometry::Vector3 direction{0, 0, -1};
    geometry::Vector4 strength;
};

// Heading atan2(-x, y) and elevation asin(z), as Z-rotation after X-rotation.
geometry::Quaternion get_fake_shadow_orientation(const geometry::Vector3& direction);
// The normalised direction with its elevation clamped to [-0.25, -0.125]
// turns, heading kept; (0, 0, 1) stands in for a vanishing vector.
geometry::Vector3 clamp_fake_shadow_elevation(const geometry::Vector3& direction);

// Only lights that are on, cast fake shadows and weigh above 0 at the centre
// take part.
FakeShadowTarget compute_fake_shadow_target(const LightRender* const* lights, uint32_t count,
                                            const geometry::Vector3& centre);

// Step 3 and 4 of the frame: the first call jumps to the target, later
// ones move at the settings' rates over `seconds`. Leaves the box alone.
void move_fake_shadow(FakeShadow& shadow, const FakeShadowTarget& target, float seconds);

// The box around the eight world corners of the visual, seen along the
// shadow's orientation: origin at the centre of its face towards the light.
void fit_fake_shadow_projection(FakeShadow& shadow, const geometry::Vector3 (&corners)[8]);

}  // namespace zolt::renderer
