// Where a fake shadow falls and how dark it is: the orientation built from
// a direction, the lights' blend kept between straight down and 45 degrees,
// the strength from darkening and filling lights, and the turn and fade
// rates from frame to frame.
#include <gtest/gtest.h>

#include <cmath>

#include "libs/geometry/quaternion.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_direction.h"
#include "zolt/renderer/lights/light_render.h"

namespace zolt::renderer {
namespace {

constexpr float tolerance = 1e-5f;
const float half_root = std::sqrt(0.5f);

void expect_near(const geometry::Vector3& actual, const geometry::Vector3& expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
    EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
    EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

LightRender make_directional(const geometry::Vector3& direction, float intensity, float strength,
                             geometry::Vector4 colour = {1, 1, 1, 1}) {
    LightRender light;
    light.type = static_cast<uint8_t>(LightType::directional);
    light.on = 1;
    light.casts_fake_shadows = 1;
    light.direction = geometry::normalize(direction);
    light.intensity = intensity;
    light.fake_shadow_strength = strength;
    light.colour = colour;
    return light;
}

LightRender make_point(const geometry::Vector3& position, float range, float intensity, float strength) {
    LightRender light = make_directional({0, 0, -1}, intensity, strength);
    light.type = static_cast<uint8_t>(LightType::point);
    light.position = position;
    light.range = range;
    return light;
}

TEST(FakeShadowDirection, TheOrientationTakesPlusYOntoTheDirectionWithoutRoll) {
    const geometry::Vector3 directions[] = {
        {0, 0, -1}, {0, 1, 0}, {half_root, 0, -half_root}, {-0.6f, 0.48f, -0.64f}, {0.3f, -0.4f, -0.866025f}};
    for (const geometry::Vector3& direction : directions) {
        const geometry::Quaternion orientation = get_fake_shadow_orientation(direction);
        expect_near(geometry::rotate(orientation, {0, 1, 0}), geometry::normalize(direction), "+Y");
        EXPECT_NEAR(geometry::rotate(orientation, {1, 0, 0}).z, 0.0f, tolerance) << "the X axis stays level";
    }
}

TEST(FakeShadowDirection, LightsDecideTheDirectionBetweenStraightDownAnd45Degrees) {
    struct Row {
        const char* what;
        LightRender lights[2];
        uint32_t count;
        geometry::Vector3 expected;
    };
    const float blended_length =
        std::sqrt(0.5f * half_root * 0.5f * half_root + (0.5f + 0.5f * half_root) * (0.5f + 0.5f * half_root));
    const Row rows[] = {
        {"a horizontal light casts 45 degrees down, its heading kept",
         {make_directional({1, 0, 0}, 1, 0.5f)},
         1,
         {half_root, 0, -half_root}},
        {"a light from just above the horizon casts 45 degrees down",
         {make_directional({0, -1, -0.2f}, 1, 0.5f)},
         1,
         {0, -half_root, -half_root}},
        {"a steep light keeps its direction",
         {make_directional({0.3f, -0.4f, -0.866025f}, 1, 0.5f)},
         1,
         {0.3f, -0.4f, -0.866025f}},
        {"directional lights weigh by their intensity",
         {make_directional({1, 0, -1}, 3, 0.5f), make_directional({-1, 0, -1}, 1, 0.5f)},
         2,
         geometry::normalize(geometry::Vector3{2 * half_root, 0, -4 * half_root})},
        {"a local light of weight 0.5 pulls the directional result half way",
         {make_directional({0, 0, -1}, 1, 0.5f), make_point({-10, 0, 5}, 100, 0.5f, 0.5f)},
         2,
         {0.5f * half_root / blended_length, 0, -(0.5f + 0.5f * half_root) / blended_length}},
    };
    for (const Row& row : rows) {
        const LightRender* lights[2] = {&row.lights[0], &row.lights[1]};
        const FakeShadowTarget target = compute_fake_shadow_target(lights, row.count, {0, 0, 0});
        EXPECT_TRUE(target.found) << row.what;
        expect_near(target.direction, row.expected, row.what);
    }
}

TEST(FakeShadowDirection, DarkeningLightsSetTheDarknessAndOpposingOnesTheFill) {
    const LightRender sun = make_directional({1, 0, 0}, 1, 0.8f);
    const LightRender* one[] = {&sun};
    const FakeShadowTarget sunset = compute_fake_shadow_target(one, 1, {});
    EXPECT_NEAR(sunset.strength.w, 0.8f * half_root, tolerance);
    EXPECT_EQ(sunset.strength.x, 0.0f);

    // Down at full darkness; a faint light from below fills, 100 times its
    // share, at most 0.3 per channel.
    const LightRender top = make_directional({0, 0, -1}, 2, 1);
    const LightRender below = make_directional({0, 0, 1}, 0.01f, 1, {1, 0.002f, 0, 1});
    const LightRender* two[] = {&top, &below};
    const FakeShadowTarget lit = compute_fake_shadow_target(two, 2, {});
    ASSERT_TRUE(lit.found);
    EXPECT_NEAR(lit.strength.x, 0.3f, tolerance);
    EXPECT_NEAR(lit.strength.y, 0.002f, tolerance);
    EXPECT_NEAR(lit.strength.z, 0.0f, tolerance);
    EXPECT_NEAR(lit.strength.w, 1.0f, tolerance);
}

TEST(FakeShadowDirection, LightsThatCannotCastLeaveNoTarget) {
    LightRender off = make_directional({0, 0, -1}, 1, 0.5f);
    off.on = 0;
    LightRender not_casting = make_directional({0, 0, -1}, 1, 0.5f);
    not_casting.casts_fake_shadows = 0;
    const LightRender far_away = make_point({100, 0, 0}, 10, 1, 0.5f);
    const LightRender no_strength = make_directional({0, 0, -1}, 1, 0);
    const LightRender* const all[] = {&off, &not_casting, &far_away, &no_strength};
    for (const LightRender* light : all) {
        const FakeShadowTarget target = compute_fake_shadow_target(&light, 1, {});
        EXPECT_FALSE(target.found);
        expect_near(target.direction, {0, 0, -1}, "none");
        EXPECT_EQ(target.strength.w, 0.0f);
    }
}

TEST(FakeShadowDirection, TheFirstFrameJumpsAndLaterFramesTurnAndFadeAtTheirRates) {
    FakeShadow shadow;
    FakeShadowTarget down;
    down.found = true;
    down.direction = {0, 0, -1};
    down.strength = {0, 0, 0, 0.5f};
    move_fake_shadow(shadow, down, 0.01f);
    EXPECT_EQ(shadow.initialised, 1);
    EXPECT_EQ(shadow.strength.w, 0.5f);

    FakeShadowTarget slanted;
    slanted.direction = {half_root, 0, -half_root};
    slanted.strength = {0.3f, 0, 0, 1};
    uint32_t frames = 0;
    geometry::Vector3 before = shadow.direction;
    // Turn speed 10 over 0.01 s (a time step of 1000 ticks).
    while (geometry::length(shadow.direction - slanted.direction) > tolerance && frames < 100) {
        move_fake_shadow(shadow, slanted, 0.01f);
        // The step is cut to 0.1 before the normalisation, which lengthens it a little.
        EXPECT_LE(geometry::length(shadow.direction - before), 0.1005f) << frames;
        EXPECT_NEAR(geometry::length(shadow.direction), 1.0f, tolerance);
        before = shadow.direction;
        ++frames;
    }
    // The arc is 0.785 long: eight steps of at most 0.1, a ninth when the
    // normalisation shortens them.
    EXPECT_GE(frames, 8u);
    EXPECT_LE(frames, 9u);
    expect_near(geometry::rotate(shadow.orientation, {0, 1, 0}), slanted.direction, "orientation follows");
    // Darkness speed 1 and colour speed 1: 0.01 a frame.
    EXPECT_NEAR(shadow.strength.w, 0.5f + 0.01f * static_cast<float>(frames), tolerance);
    EXPECT_NEAR(shadow.strength.x, 0.01f * static_cast<float>(frames), tolerance);
}

TEST(FakeShadowDirection, TheBoxStartsAtTheFaceTowardsTheLightAndSpansTheVisual) {
    FakeShadow shadow;
    shadow.orientation = get_fake_shadow_orientation({0, 0, -1});
    geometry::Vector3 corners[8];
    for (uint32_t corner = 0; corner < 8; ++corner) {
        corners[corner] = {(corner & 1) != 0 ? 3.0f : 1.0f, (corner & 2) != 0 ? 6.0f : 2.0f,
                           (corner & 4) != 0 ? 1.5f : 0.5f};
    }
    fit_fake_shadow_projection(shadow, corners);
    expect_near(shadow.projection_origin, {2, 4, 1.5f}, "origin at the top face's centre");
    // Straight down, the width runs along X and the height along Y.
    expect_near(shadow.projection_extents, {2, 4, 1}, "extents");
}

}  // namespace
}  // namespace zolt::renderer
