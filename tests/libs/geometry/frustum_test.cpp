#include "libs/geometry/frustum.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "libs/geometry/culling.h"
#include "zolt/renderer/camera/view_matrices.h"

namespace zolt::geometry {
namespace {

bool is_inside_planes(const Frustum& frustum, const Vector3& p, float margin = 0) {
    for (const Plane& plane : frustum.planes) {
        if (get_plane_distance(plane, p) > margin) {
            return false;
        }
    }
    return true;
}

Quaternion make_random_rotation(std::mt19937& random) {
    std::normal_distribution<float> component;
    return normalize(Quaternion{component(random), component(random), component(random), component(random)});
}

// A point lies in the view volume exactly when its clip coordinates do; the
// frustum planes and the camera's matrices are built apart, so each checks
// the other.
TEST(Frustum, PerspectivePlanesBoundWhatTheProjectionKeeps) {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> coordinate(-60, 60);
    std::uniform_real_distribution<float> field(0.05f, 0.4f);
    int inside_count = 0, checked = 0;
    for (int view = 0; view < 40; ++view) {
        const Vector3 eye{coordinate(random), coordinate(random), coordinate(random)};
        const Quaternion rotation = make_random_rotation(random);
        const float fov_x = field(random), fov_y = field(random), near = 0.5f, far = 80.0f;
        const Frustum frustum = build_perspective_frustum(near, far, fov_x, fov_y, eye, get_view_axes(rotation));
        const renderer::ViewMatrices matrices = renderer::build_view_matrices(eye, rotation);
        const Matrix4 view_projection =
            multiply(matrices.view, renderer::build_perspective_projection(fov_x, fov_y, near, far, false));
        for (int sample = 0; sample < 500; ++sample) {
            const Vector3 p = eye + Vector3{coordinate(random), coordinate(random), coordinate(random)};
            const Vector4 clip = transform_homogeneous(p, view_projection);
            const float reach = std::max({std::fabs(clip.x), std::fabs(clip.y), std::fabs(clip.z)}) - clip.w;
            // Too close to a face for float rounding to decide.
            if (clip.w <= 0 || std::fabs(reach) < 1e-3f * clip.w) {
                continue;
            }
            ++checked;
            const bool projected_inside = reach < 0;
            inside_count += projected_inside ? 1 : 0;
            EXPECT_EQ(is_inside_planes(frustum, p), projected_inside) << "view " << view << " sample " << sample;
        }
        // The eye, then the far corners: a pyramid around the whole volume.
        ASSERT_EQ(frustum.point_count, 5u);
        EXPECT_TRUE(equal_xyz(frustum.points[0], eye));
        for (uint32_t index = 1; index < frustum.point_count; ++index) {
            EXPECT_TRUE(is_inside_planes(frustum, frustum.points[index], 1e-2f));
            EXPECT_NEAR(get_plane_distance(frustum.planes[1], frustum.points[index]), 0, 1e-2f);
        }
    }
    EXPECT_GT(inside_count, 200);
    EXPECT_GT(checked, 8000);
}

TEST(Frustum, CornersLieOnTheirPlanesAndExtentsSpanTheBox) {
    const Quaternion rotation = normalize(Quaternion{0.2f, -0.1f, 0.4f, 0.9f});
    const ViewAxes axes = get_view_axes(rotation);
    const Vector3 eye{3, -2, 5};
    Vector3 corners[8];
    build_frustum_corners(1, 20, 0.2f, 0.15f, rotation, eye, corners);
    const Frustum frustum = build_perspective_frustum(1, 20, 0.2f, 0.15f, eye, axes);
    for (int corner = 0; corner < 8; ++corner) {
        const Plane& depth_plane = frustum.planes[corner < 4 ? 0 : 1];
        EXPECT_NEAR(get_plane_distance(depth_plane, corners[corner]), 0, 1e-4f) << corner;
        EXPECT_TRUE(is_inside_planes(frustum, corners[corner], 1e-3f)) << corner;
    }
    // Corner order (-x, -y), (-x, +y), (+x, +y), (+x, -y).
    EXPECT_LT(dot(corners[0] - eye, axes.right), 0);
    EXPECT_GT(dot(corners[1] - eye, axes.up), 0);
    EXPECT_GT(dot(corners[2] - eye, axes.right), 0);
    EXPECT_LT(dot(corners[3] - eye, axes.up), 0);

    const Frustum box = build_box_frustum(axes, eye, 2, 12, 6, 4);
    Vector3 box_points[8];
    for (int index = 0; index < 8; ++index) {
        box_points[index] = box.points[index];
        EXPECT_TRUE(is_inside_planes(box, box_points[index], 1e-4f));
    }
    const OrientedExtents extents = oriented_point_extents(box_points, rotation);
    EXPECT_NEAR(extents.extents.x, 6, 1e-4f);
    EXPECT_NEAR(extents.extents.y, 4, 1e-4f);
    EXPECT_NEAR(extents.extents.z, 10, 1e-4f);
    const Vector3 expected_reference = eye + axes.forward * 2;
    EXPECT_NEAR(length(extents.reference - expected_reference), 0, 1e-4f);
}

TEST(Frustum, SectorClipVolumeOfTheWholeViewIsTheViewFrustum) {
    const Quaternion rotation = normalize(Quaternion{0.1f, 0.3f, -0.2f, 0.9f});
    const ViewAxes axes = get_view_axes(rotation);
    const Vector3 eye{-4, 7, 1};
    const renderer::ViewMatrices matrices = renderer::build_view_matrices(eye, rotation);
    // Less the 2 pixels it is widened by, on a view of 800 x 600 at (100, 50).
    const Rectangle rectangle{102, 52, 898, 648};
    const Frustum clip = build_sector_clip_volume(0.25f, 0.2f, 0.5f, 90, eye, axes, matrices.inverse_view, rectangle,
                                                  {100, 50, 0}, {800, 600, 0});
    const Frustum view = build_perspective_frustum(0.5f, 90, 0.25f, 0.2f, eye, axes);
    for (int plane = 0; plane < 6; ++plane) {
        EXPECT_NEAR(clip.planes[plane].x, view.planes[plane].x, 1e-4f) << plane;
        EXPECT_NEAR(clip.planes[plane].y, view.planes[plane].y, 1e-4f) << plane;
        EXPECT_NEAR(clip.planes[plane].z, view.planes[plane].z, 1e-4f) << plane;
        EXPECT_NEAR(clip.planes[plane].d, view.planes[plane].d, 1e-3f) << plane;
    }
    // A smaller rectangle gives a volume inside the view's.
    const Frustum corner = build_sector_clip_volume(0.25f, 0.2f, 0.5f, 90, eye, axes, matrices.inverse_view,
                                                    {500, 350, 600, 400}, {100, 50, 0}, {800, 600, 0});
    for (uint32_t index = 1; index < corner.point_count; ++index) {
        EXPECT_TRUE(is_inside_planes(view, corner.points[index], 1e-2f));
    }
    EXPECT_FALSE(is_inside_planes(corner, eye + axes.forward * 10 - axes.right * 3));
}

const Plane up_plane{0, 0, 1, 2};  // outside above z = 2

TEST(Culling, PlaneBoxAndPointTests) {
    struct Row {
        const char* name;
        Box box;
        bool outside;
        float reach;
    } const rows[] = {
        {"below", {{0, 0, 0}, {1, 1, 1}}, false, -1},
        {"lowest corner exactly on the plane", {{0, 0, 2}, {1, 1, 3}}, false, 1},
        {"above", {{0, 0, 2.5f}, {1, 1, 3}}, true, 1},
        {"straddling", {{-1, -1, 1}, {1, 1, 4}}, false, 2},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(box_outside_plane(up_plane, row.box), row.outside) << row.name;
        EXPECT_FLOAT_EQ(box_plane_reach(up_plane, row.box), row.reach) << row.name;
    }
    const Vector3 points[2] = {{0, 0, 3}, {5, 5, 2}};
    EXPECT_TRUE(points_outside_plane(up_plane, points, 1));
    EXPECT_FALSE(points_outside_plane(up_plane, points, 2));
    EXPECT_TRUE(points_outside_plane(up_plane, points, 0));
    const Frustum frustum = build_box_frustum({}, {0, 0, 0}, 0, 10, 4, 4);
    EXPECT_FALSE(points_in_frustum(0, points, frustum.planes));
    EXPECT_TRUE(points_in_frustum(1, &frustum.points[3], frustum.planes));
    EXPECT_TRUE(box_in_frustum({{1.9f, 5, 1.9f}, {3, 6, 3}}, frustum.planes));
    EXPECT_FALSE(box_in_frustum({{2.1f, 5, -1}, {3, 6, 1}}, frustum.planes));
    Matrix4 shift;
    shift.rows[3] = {-1, 0, 0, 1};
    EXPECT_TRUE(transformed_box_in_frustum({{2.1f, 5, -1}, {3, 6, 1}}, shift, frustum.planes));
}

TEST(Culling, SpheresAreClassifiedByTheirLargestPlaneDistance) {
    // A box volume from y = 0 to 10 with sides at +-2.
    const Frustum frustum = build_box_frustum({}, {0, 0, 0}, 0, 10, 4, 4);
    struct Row {
        Vector3 centre;
        float radius;
        SphereClass expected;
    } const rows[] = {
        {{0, 5, 0}, 1, SphereClass::inside},
        {{0, 5, 0}, 2, SphereClass::intersecting},  // touches the sides from inside
        {{3, 5, 0}, 1, SphereClass::intersecting},  // just reaches x = 2
        {{3.5f, 5, 0}, 1, SphereClass::outside},
        {{0, -1.5f, 0}, 1, SphereClass::outside},  // behind the near plane
        {{0, 10.5f, 0}, 1, SphereClass::intersecting},
    };
    for (const Row& row : rows) {
        Vector3 centre = row.centre;
        centre.w = row.radius;
        EXPECT_EQ(classify_sphere(centre, frustum.planes), row.expected) << centre.x << " " << centre.y;
        EXPECT_EQ(sphere_in_frustum(centre, frustum.planes), row.expected != SphereClass::outside);
        EXPECT_EQ(sphere_radius_in_frustum(row.centre, row.radius, frustum.planes),
                  row.expected != SphereClass::outside);
    }
}

TEST(Culling, DepthRangeAndPlaneCrossing) {
    const Frustum frustum = build_box_frustum({}, {0, 0, 0}, 1, 10, 4, 4);
    DepthRange range;
    EXPECT_TRUE(box_depth_range({{-1, 3, -1}, {1, 5, 1}}, frustum, range));
    EXPECT_FLOAT_EQ(range.near, 0);  // wholly in front of the near plane at y = 1
    EXPECT_FLOAT_EQ(range.far, 5);   // stops 5 short of the far plane
    EXPECT_TRUE(box_depth_range({{-1, -3, -1}, {1, 12, 1}}, frustum, range));
    EXPECT_FLOAT_EQ(range.near, 4);  // reaches 4 behind the near plane
    EXPECT_FLOAT_EQ(range.far, 0);
    EXPECT_FALSE(box_depth_range({{-1, 11, -1}, {1, 12, 1}}, frustum, range));
    EXPECT_FLOAT_EQ(range.near, 0);
    // The near plane does not reject: the caller clamps that side.
    EXPECT_TRUE(box_depth_range({{-1, -3, -1}, {1, 0, 1}}, frustum, range));

    EXPECT_TRUE(plane_crosses_points({0, 1, 0, 5}, frustum));
    EXPECT_FALSE(plane_crosses_points({0, 1, 0, 11}, frustum));
    EXPECT_TRUE(plane_crosses_points({0, 1, 0, 10}, frustum));  // far corners on it
    EXPECT_TRUE(plane_crosses_points({0, 1, 0, 50}, build_frustum_from_planes(frustum.planes)));
}

// A region near a corner of the near plane is in the view, though a plane
// can cut the near-plane centre and the far corners off from it.
TEST(Culling, OverlapSeesTheCornersOfTheNearPlane) {
    const Frustum view = build_perspective_frustum(1, 100, 0.25f, 0.25f, {0, 0, 0}, {});
    Plane planes[6] = {{-1, 3, -1, 1.4f}, {1, 0, 0, 1000},  {-1, 0, 0, 1000},
                       {0, 1, 0, 1000},   {0, -1, 0, 1000}, {0, 0, 1, 1000}};
    const Frustum cut = build_frustum_from_planes(planes);
    const Vector3 in_both{0.9f, 1.05f, 0.9f};
    ASSERT_TRUE(is_inside_planes(view, in_both));
    ASSERT_TRUE(is_inside_planes(cut, in_both));
    EXPECT_TRUE(frustums_overlap(view, cut));
    EXPECT_TRUE(frustums_overlap(cut, view));
    planes[0] = {0, 1, 0, -1};  // everything of the view lies outside
    EXPECT_FALSE(frustums_overlap(view, build_frustum_from_planes(planes)));
    const Frustum beside = build_box_frustum({}, {300, 0, 0}, 0, 10, 4, 4);
    EXPECT_FALSE(frustums_overlap(view, beside));
    EXPECT_TRUE(frustums_overlap(view, build_box_frustum({}, {0, 0, 0}, 0, 10, 4, 4)));
}

}  // namespace
}  // namespace zolt::geometry
