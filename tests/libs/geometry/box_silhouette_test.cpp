#include "libs/geometry/box_silhouette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "zolt/navigation/area_builder.h"
#include "zolt/renderer/camera/view_matrices.h"

namespace zolt::geometry {
namespace {

std::vector<uint32_t> get_outline_corners(uint32_t entry) {
    std::vector<uint32_t> corners;
    for (uint32_t index = 0; index < (entry & 0xFF); ++index) {
        corners.push_back((entry >> (8 + 3 * index)) & 7);
    }
    return corners;
}

double get_signed_area(const ScreenPoint* points, uint32_t count) {
    double area = 0;
    for (uint32_t index = 0; index < count; ++index) {
        const ScreenPoint& a = points[index];
        const ScreenPoint& b = points[(index + 1) % count];
        area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return area / 2;
}

// Indices of the convex hull's points, by the monotone chain.
std::set<uint32_t> get_hull(const std::vector<ScreenPoint>& points) {
    std::vector<uint32_t> order(points.size());
    for (uint32_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        return points[a].x < points[b].x || (points[a].x == points[b].x && points[a].y < points[b].y);
    });
    const auto turn = [&](uint32_t o, uint32_t a, uint32_t b) {
        return (static_cast<double>(points[a].x) - points[o].x) * (static_cast<double>(points[b].y) - points[o].y) -
               (static_cast<double>(points[a].y) - points[o].y) * (static_cast<double>(points[b].x) - points[o].x);
    };
    std::vector<uint32_t> hull;
    for (int pass = 0; pass < 2; ++pass) {
        const size_t start = hull.size();
        for (const uint32_t index : order) {
            while (hull.size() >= start + 2 && turn(hull[hull.size() - 2], hull.back(), index) <= 1e-6) {
                hull.pop_back();
            }
            hull.push_back(index);
        }
        hull.pop_back();
        std::reverse(order.begin(), order.end());
    }
    return {hull.begin(), hull.end()};
}

TEST(BoxSilhouette, TableCountsOutlineCorners) {
    EXPECT_EQ(project_box_silhouette(0), 0u);
    for (uint32_t face = 0; face < 6; ++face) {
        EXPECT_EQ(project_box_silhouette(1u << face) & 0xFF, 4u) << face;
    }
    EXPECT_EQ(project_box_silhouette(0b000011) & 0xFF, 6u);  // faces 0 and 1 share an edge
    EXPECT_EQ(project_box_silhouette(0b010011) & 0xFF, 6u);  // 0, 1 and 4 meet at corner 1
    EXPECT_EQ(project_box_silhouette(0b110000), 0u);         // opposite faces
    EXPECT_EQ(project_box_silhouette(0b000101), 0u);
    EXPECT_EQ(get_box_silhouette_table()[1], project_box_silhouette(1));
}

// From a point in each of the 26 regions around a box, the outline the
// table gives is the convex hull of the eight projected corners, wound
// clockwise on the screen as clip polygons are.
TEST(BoxSilhouette, OutlinesFromEveryRegionAreTheHullOfTheCorners) {
    const OccluderBox box = servers::make_occluder_box({{-1, -2, -0.5f}, {2, 1, 1.5f}});
    const Vector3 centre = box.reference;
    int regions = 0;
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dz = -1; dz <= 1; ++dz) {
                if (dx == 0 && dy == 0 && dz == 0) {
                    continue;
                }
                const Vector3 eye = centre + Vector3{6.0f * dx + 0.3f, 7.0f * dy - 0.2f, 5.0f * dz + 0.1f};
                // Looking at the box centre along +Y of the camera.
                const Vector3 forward = normalize(centre - eye);
                const Vector3 axis = cross({0, 1, 0}, forward);
                const float angle = std::acos(std::clamp(forward.y, -1.0f, 1.0f));
                const float axis_length = length(axis);
                const Vector3 unit = axis_length > 1e-6f ? axis * (1.0f / axis_length) : Vector3{0, 0, 1};
                const Quaternion rotation{unit.x * std::sin(angle / 2), unit.y * std::sin(angle / 2),
                                          unit.z * std::sin(angle / 2), std::cos(angle / 2)};
                const Matrix4 matrix = multiply(renderer::build_view_matrices(eye, rotation).view,
                                                renderer::build_perspective_projection(0.3f, 0.3f, 0.1f, 100, false));
                ScreenPoint outline[8];
                uint32_t count = 0;
                ASSERT_TRUE(project_box_outline(matrix, outline, count, box, {0, 0, 0}, {800, 800, 0}, eye));
                std::vector<ScreenPoint> projected(8);
                for (int corner = 0; corner < 8; ++corner) {
                    const Vector4 clip = transform_homogeneous(box.corners[corner], matrix);
                    projected[corner] = {(clip.x / clip.w + 1) * 400, (clip.y / clip.w + 1) * 400};
                }
                const std::set<uint32_t> hull = get_hull(projected);
                const uint32_t mask_entry = [&] {
                    uint32_t mask = 0;
                    for (uint32_t face = 0; face < 6; ++face) {
                        const Vector4& f = box.faces[face];
                        mask |= f.x * eye.x + f.y * eye.y + f.z * eye.z + f.w >= 0 ? 1u << face : 0;
                    }
                    return project_box_silhouette(mask);
                }();
                const std::vector<uint32_t> corners = get_outline_corners(mask_entry);
                EXPECT_EQ(std::set<uint32_t>(corners.begin(), corners.end()), hull) << dx << dy << dz;
                EXPECT_EQ(count, corners.size());
                EXPECT_LT(get_signed_area(outline, count), 0) << "not clockwise from " << dx << dy << dz;
                ++regions;
            }
        }
    }
    EXPECT_EQ(regions, 26);
}

TEST(BoxSilhouette, OutlineFailsBehindTheEyeAndFromInside) {
    const OccluderBox box = servers::make_occluder_box({{-1, -1, -1}, {1, 1, 1}});
    const Matrix4 matrix = multiply(renderer::build_view_matrices({0, -5, 0}, {}).view,
                                    renderer::build_perspective_projection(0.25f, 0.25f, 0.1f, 100, false));
    ScreenPoint outline[8];
    uint32_t count = 0;
    EXPECT_TRUE(project_box_outline(matrix, outline, count, box, {0, 0, 0}, {100, 100, 0}, {0, -5, 0}));
    EXPECT_EQ(count, 4u);
    // Seen from inside no face faces the eye.
    EXPECT_FALSE(project_box_outline(matrix, outline, count, box, {0, 0, 0}, {100, 100, 0}, {0, 0, 0}));
    EXPECT_EQ(count, 0u);
    // The same box behind a camera that looks away.
    const Matrix4 away = multiply(renderer::build_view_matrices({0, 5, 0}, {}).view,
                                  renderer::build_perspective_projection(0.25f, 0.25f, 0.1f, 100, false));
    EXPECT_FALSE(project_box_outline(away, outline, count, box, {0, 0, 0}, {100, 100, 0}, {0, 5, 0}));
}

}  // namespace
}  // namespace zolt::geometry
