#include "zolt/renderer/lights/light_mask.h"

#include <gtest/gtest.h>

#include <cmath>

#include "libs/geometry/quaternion.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {
namespace {

geometry::Vector3 vertex(const LightMaskGeometry& mask, uint32_t index) {
    return {mask.vertices[3 * index], mask.vertices[3 * index + 1], mask.vertices[3 * index + 2]};
}

VisibilityContext make_view(const geometry::Vector3& eye, float near) {
    VisibilityContext view;
    view.set_perspective_view(nullptr, eye, geometry::identity_quaternion(), near, 100, 0.25f, 0.25f, false);
    return view;
}

// Every face lies at the range from the centre and faces away from it, so
// the closed mesh holds the sphere and counts one crossing in and one out.
void expect_closed_and_around(const LightMaskGeometry& mask, const geometry::Vector3& centre, float face_distance) {
    for (uint32_t triangle = 0; triangle < mask.triangle_count; ++triangle) {
        const geometry::Vector3 a = vertex(mask, mask.indices[3 * triangle]);
        const geometry::Vector3 b = vertex(mask, mask.indices[3 * triangle + 1]);
        const geometry::Vector3 c = vertex(mask, mask.indices[3 * triangle + 2]);
        const geometry::Vector3 normal = geometry::normalize(geometry::cross(b - a, c - a));
        const float distance = geometry::dot(normal, a - centre);
        EXPECT_GT(distance, 0.0f) << "triangle " << triangle << " faces inwards";
        if (face_distance > 0) {
            EXPECT_NEAR(distance, face_distance, 1e-4f) << "triangle " << triangle;
        }
    }
}

TEST(LightMask, APointLightsIcosahedronHoldsItsSphereAndKnowsWhenTheEyeIsInside) {
    LightRender light;
    light.type = static_cast<uint8_t>(LightType::point);
    light.position = {1, 2, 3};
    light.range = 1;
    // 1.3 from the light with a near distance of 0.1: inside.
    VisibilityContext view = make_view({1, 0.7f, 3}, 0.1f);
    LightMaskGeometry mask;
    ASSERT_TRUE(get_light_mask_geometry(light, view, &mask));
    ASSERT_EQ(mask.vertex_count, 12u);
    ASSERT_EQ(mask.triangle_count, 20u);
    for (uint32_t index = 0; index < mask.vertex_count; ++index) {
        EXPECT_NEAR(geometry::length(vertex(mask, index) - light.position), 1.2584086f, 1e-5f);
    }
    expect_closed_and_around(mask, light.position, 1.0f);
    EXPECT_TRUE(mask.camera_inside);
    view = make_view({1, 0.5f, 3}, 0.1f);
    ASSERT_TRUE(get_light_mask_geometry(light, view, &mask));
    EXPECT_FALSE(mask.camera_inside);
    // Farther off it covers part of the view only.
    view = make_view({1, -3, 3}, 0.1f);
    ASSERT_TRUE(get_light_mask_geometry(light, view, &mask));
    EXPECT_GT(mask.rectangle[0], 0.0f);
    EXPECT_LT(mask.rectangle[2], 1.0f);
    EXPECT_LT(mask.rectangle[0], mask.rectangle[2]);
}

TEST(LightMask, ASpotLightsPyramidIsItsVolumeAndADirectionalLightHasNone) {
    LightRender light;
    light.type = static_cast<uint8_t>(LightType::spot);
    light.position = {0, 5, 0};
    light.rotation = geometry::identity_quaternion();  // along +Y, away from the eye
    light.range = 4;
    light.cone = 0.125f;
    VisibilityContext view = make_view({0, 0, 0}, 0.2f);
    LightMaskGeometry mask;
    ASSERT_TRUE(get_light_mask_geometry(light, view, &mask));
    ASSERT_EQ(mask.vertex_count, 5u);
    ASSERT_EQ(mask.triangle_count, 6u);
    EXPECT_EQ(vertex(mask, 0).y, 5.0f);
    // The base 4 ahead of the apex, a square of half-width 4 tan(pi/8).
    const float half = 4 * std::tan(3.14159265f / 8);
    for (uint32_t corner = 1; corner < 5; ++corner) {
        EXPECT_NEAR(vertex(mask, corner).y, 9.0f, 1e-4f);
        EXPECT_NEAR(std::fabs(vertex(mask, corner).x), half, 1e-4f);
        EXPECT_NEAR(std::fabs(vertex(mask, corner).z), half, 1e-4f);
    }
    expect_closed_and_around(mask, {0, 7, 0}, 0);
    EXPECT_FALSE(mask.camera_inside);
    // The eye just behind the apex, within twice the near distance of every
    // face's plane: counted inside.
    view = make_view({0, 4.9f, 0}, 0.2f);
    ASSERT_TRUE(get_light_mask_geometry(light, view, &mask));
    EXPECT_TRUE(mask.camera_inside);

    light.type = static_cast<uint8_t>(LightType::directional);
    EXPECT_FALSE(get_light_mask_geometry(light, view, &mask));
}

}  // namespace
}  // namespace zolt::renderer
