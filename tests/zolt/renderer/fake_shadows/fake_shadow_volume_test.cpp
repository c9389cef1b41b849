// The box a fake shadow darkens, the test that keeps it out of a view it
// cannot reach, the eye-inside test and the matrix into its map.
#include <gtest/gtest.h>

#include <cmath>

#include "libs/geometry/frustum.h"
#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/fake_shadows/fake_shadow_direction.h"
#include "zolt/renderer/fake_shadows/fake_shadow_volume.h"

namespace zolt::renderer {
namespace {

constexpr float tolerance = 1e-5f;

// A 2 by 4 visual one unit deep, its top face centred at (2, 4, 1.5),
// casting straight down one more unit.
FakeShadow make_downward_shadow() {
    FakeShadow shadow;
    shadow.orientation = get_fake_shadow_orientation({0, 0, -1});
    shadow.projection_origin = {2, 4, 1.5f};
    shadow.projection_extents = {2, 4, 1};
    shadow.settings.volume_extension = 1;
    return shadow;
}

TEST(FakeShadowVolume, TheCornersRunAroundTheNearFaceThenTheFarFace) {
    geometry::Vector3 corners[8];
    get_fake_shadow_volume_corners(make_downward_shadow(), corners);
    // b runs along +Y (the orientation's Z axis), a along +X.
    const geometry::Vector3 expected[8] = {{1, 6, 1.5f},  {3, 6, 1.5f},  {3, 2, 1.5f},  {1, 2, 1.5f},
                                           {1, 6, -0.5f}, {3, 6, -0.5f}, {3, 2, -0.5f}, {1, 2, -0.5f}};
    for (uint32_t corner = 0; corner < 8; ++corner) {
        EXPECT_NEAR(corners[corner].x, expected[corner].x, tolerance) << corner;
        EXPECT_NEAR(corners[corner].y, expected[corner].y, tolerance) << corner;
        EXPECT_NEAR(corners[corner].z, expected[corner].z, tolerance) << corner;
    }
    // The index table closes the box, each edge used once in each
    // direction, and winds counter-clockwise seen from outside, as the
    // stencil volume wants.
    const geometry::Vector3 centre{2, 4, 0.5f};
    int edges[8][8] = {};
    for (uint32_t triangle = 0; triangle < fake_shadow_box_triangle_count; ++triangle) {
        const geometry::Vector3& a = corners[fake_shadow_box_indices[3 * triangle]];
        const geometry::Vector3& b = corners[fake_shadow_box_indices[3 * triangle + 1]];
        const geometry::Vector3& c = corners[fake_shadow_box_indices[3 * triangle + 2]];
        EXPECT_GT(geometry::dot(geometry::cross(b - a, c - a), a - centre), 0.0f) << triangle;
        for (uint32_t side = 0; side < 3; ++side) {
            ++edges[fake_shadow_box_indices[3 * triangle + side]]
                   [fake_shadow_box_indices[3 * triangle + (side + 1) % 3]];
        }
    }
    for (uint32_t from = 0; from < 8; ++from) {
        for (uint32_t to = 0; to < 8; ++to) {
            EXPECT_EQ(edges[from][to], edges[to][from]) << from << "-" << to;
        }
    }
}

TEST(FakeShadowVolume, TheTextureMatrixMapsTheVisualsBoxOntoTheUnitCube) {
    const FakeShadow shadow = make_downward_shadow();
    const geometry::Matrix4 matrix = make_fake_shadow_texture_matrix(shadow);
    struct Row {
        geometry::Vector3 point, expected;
    };
    const Row rows[] = {
        {{2, 4, 1.5f}, {0.5f, 0.5f, 0}},
        {{1, 2, 1.5f}, {0, 0, 0}},
        {{3, 6, 0.5f}, {1, 1, 1}},
        {{2.5f, 5, 1}, {0.75f, 0.75f, 0.5f}},
    };
    // Depth runs over the box with a margin at both ends: the origin face
    // and the far face stay inside the map's range.
    const FakeShadowDepthSpan span = get_fake_shadow_depth_span(shadow);
    EXPECT_LT(span.start, 0.0f);
    EXPECT_GT(span.start + span.length, shadow.projection_extents.z);
    for (const Row& row : rows) {
        const geometry::Vector3 mapped = geometry::transform_point(row.point, matrix);
        EXPECT_NEAR(mapped.x, row.expected.x, tolerance);
        EXPECT_NEAR(mapped.y, row.expected.y, tolerance);
        EXPECT_NEAR(mapped.z, (row.expected.z * shadow.projection_extents.z - span.start) / span.length, tolerance);
    }
}

TEST(FakeShadowVolume, TheEyeIsInsideUnlessFartherOutThanTheMargin) {
    const FakeShadow shadow = make_downward_shadow();
    EXPECT_TRUE(is_eye_inside_fake_shadow_volume(shadow, {2, 4, 0}, 0.02f));
    EXPECT_TRUE(is_eye_inside_fake_shadow_volume(shadow, {3.01f, 4, 0}, 0.02f));
    EXPECT_FALSE(is_eye_inside_fake_shadow_volume(shadow, {3.05f, 4, 0}, 0.02f));
    EXPECT_FALSE(is_eye_inside_fake_shadow_volume(shadow, {2, 4, 1.6f}, 0.02f));
    EXPECT_FALSE(is_eye_inside_fake_shadow_volume(shadow, {2, 4, -0.6f}, 0.02f));
}

TEST(FakeShadowVolume, AVolumeMeetsAViewUnlessOnePlaneHasItAllOutside) {
    const FakeShadow shadow = make_downward_shadow();
    // A box view looking along +Y from the origin, 10 wide and high.
    const geometry::Frustum ahead = geometry::build_box_frustum(geometry::ViewAxes{}, {0, 0, 0}, 0.1f, 100, 10, 10);
    EXPECT_TRUE(does_fake_shadow_volume_meet(shadow, ahead));
    const geometry::Frustum behind = geometry::build_box_frustum(geometry::ViewAxes{}, {0, 10, 0}, 0.1f, 100, 10, 10);
    EXPECT_FALSE(does_fake_shadow_volume_meet(shadow, behind));
}

}  // namespace
}  // namespace zolt::renderer
