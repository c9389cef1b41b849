// The screen rectangles and view set-ups of a visibility context: pyramid
// and sphere rectangles hold the brute-force projection of what they bound
// (random views, boxes and pyramids, seeded), the specified corner cases,
// a spot light's view and orthographic views fitted around points.
#include "zolt/renderer/view/visibility_context.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "libs/geometry/culling.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;

constexpr float slack = 1e-4f;

// Where a world point lands in the view's 0..1 square; false when it lies
// behind the near plane or outside the view, where nothing of it is drawn.
bool project_normalised(const VisibilityContext& context, const Vector3& point, float& x, float& y) {
    const Vector3 view_point = geometry::transform_point(point, context.view);
    if (-view_point.z < context.near) {
        return false;
    }
    const geometry::Vector4 clip = geometry::transform_homogeneous(view_point, context.projection);
    x = clip.x / clip.w * 0.5f + 0.5f;
    y = clip.y / clip.w * 0.5f + 0.5f;
    return x >= 0 && x <= 1 && y >= 0 && y <= 1;
}

class ContextRectangles : public ::testing::Test {
protected:
    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random_); }
    Vector3 random_point(float extent) {
        return {uniform(-extent, extent), uniform(-extent, extent), uniform(-extent, extent)};
    }
    void set_random_view(VisibilityContext& context) {
        const geometry::Quaternion rotation =
            geometry::normalize(geometry::Quaternion{uniform(-1, 1), uniform(-1, 1), uniform(-1, 1), uniform(-1, 1)});
        context.set_perspective_view(nullptr, random_point(2), rotation, uniform(0.05f, 0.5f), 100,
                                     uniform(0.1f, 0.42f), uniform(0.1f, 0.42f), false);
    }
    // Counts the samples in view; fails for any that falls outside the
    // rectangle.
    template <typename Sample>
    uint32_t expect_samples_inside(const VisibilityContext& context, const NormalisedScreenRectangle& result,
                                   Sample sample) {
        uint32_t in_front = 0;
        for (int index = 0; index < 400; ++index) {
            float x = 0, y = 0;
            if (!project_normalised(context, sample(), x, y)) {
                continue;
            }
            ++in_front;
            const geometry::Rectangle& r = result.rectangle;
            EXPECT_TRUE(x >= r.x0 - slack && x <= r.x1 + slack && y >= r.y0 - slack && y <= r.y1 + slack)
                << "(" << x << ", " << y << ") outside (" << r.x0 << ", " << r.y0 << ", " << r.x1 << ", " << r.y1
                << ")";
        }
        return in_front;
    }

    std::mt19937 random_{2026};
};

TEST_F(ContextRectangles, ASphereRectangleHoldsRandomBoxesInsideAndItsOwnSurface) {
    uint32_t crossing = 0;
    for (int round = 0; round < 300; ++round) {
        VisibilityContext context;
        set_random_view(context);
        const Vector3 low = random_point(6);
        const Vector3 high = low + Vector3{uniform(0.1f, 4), uniform(0.1f, 4), uniform(0.1f, 4)};
        const Vector3 centre = (low + high) * 0.5f;
        const float radius = std::sqrt(geometry::length_squared(high - centre));
        const NormalisedScreenRectangle result = context.get_sphere_screen_rectangle(centre, radius);
        crossing += result.crosses_near ? 1 : 0;
        const uint32_t in_front = expect_samples_inside(context, result, [&] {
            if (uniform(0, 1) < 0.5f) {
                return centre + geometry::normalize(random_point(1)) * radius;
            }
            // Corners, edges and faces weigh more than the inside.
            Vector3 point{uniform(low.x, high.x), uniform(low.y, high.y), uniform(low.z, high.z)};
            const int snap = std::uniform_int_distribution<int>(0, 3)(random_);
            if (snap == 1) point.x = uniform(0, 1) < 0.5f ? low.x : high.x;
            if (snap == 2) point.y = uniform(0, 1) < 0.5f ? low.y : high.y;
            if (snap == 3) point.z = uniform(0, 1) < 0.5f ? low.z : high.z;
            return point;
        });
        if (in_front != 0) {
            EXPECT_FALSE(geometry::is_empty(result.rectangle)) << round;
        }
    }
    // The rounds cover spheres through the near plane too.
    EXPECT_GT(crossing, 10u);
}

TEST_F(ContextRectangles, APyramidRectangleHoldsEveryPointOfRandomPyramids) {
    uint32_t crossing = 0;
    for (int round = 0; round < 300; ++round) {
        VisibilityContext context;
        set_random_view(context);
        // An apex over a flat convex base, its corners in turn: the eight
        // edges the rectangle examines are then the pyramid's own.
        const Vector3 base_centre = random_point(5);
        const Vector3 a = geometry::normalize(random_point(1));
        const Vector3 b = geometry::normalize(geometry::cross(a, random_point(1)));
        const float half_a = uniform(0.2f, 4), half_b = uniform(0.2f, 4);
        const Vector3 points[5] = {random_point(5), base_centre - a * half_a - b * half_b,
                             base_centre - a * half_a + b * half_b, base_centre + a * half_a + b * half_b,
                             base_centre + a * half_a - b * half_b};
        const NormalisedScreenRectangle result = context.get_pyramid_screen_rectangle(points);
        crossing += result.crosses_near ? 1 : 0;
        expect_samples_inside(context, result, [&] {
            // A random point of the hull, often on an edge between two corners.
            float weights[5];
            float total = 0;
            const bool on_edge = uniform(0, 1) < 0.5f;
            const int a = std::uniform_int_distribution<int>(0, 4)(random_);
            const int b = std::uniform_int_distribution<int>(0, 4)(random_);
            for (int index = 0; index < 5; ++index) {
                weights[index] = on_edge ? (index == a ? uniform(0, 1) : 0) + (index == b ? uniform(0, 1) : 0)
                                         : uniform(0, 1);
                total += weights[index];
            }
            Vector3 point;
            for (int index = 0; index < 5; ++index) {
                point = point + points[index] * (total > 0 ? weights[index] / total : 0.2f);
            }
            return point;
        });
    }
    EXPECT_GT(crossing, 10u);
}

// A context at the origin looking along +Y (view -Z), near 0.2, 90 degrees.
VisibilityContext make_forward_view() {
    VisibilityContext context;
    context.set_perspective_view(nullptr, {0, 0, 0}, geometry::identity_quaternion(), 0.2f, 100, 0.25f, 0.25f,
                                 false);
    return context;
}

TEST(ContextRectangleCases, TheSpecifiedCornersOfPyramidsAndSpheres) {
    const VisibilityContext context = make_forward_view();
    // Wholly behind the near plane: the empty rectangle, not crossing.
    const NormalisedScreenRectangle behind = context.get_sphere_screen_rectangle({0, -5, 0}, 1);
    EXPECT_EQ(behind.rectangle.x0, 1);
    EXPECT_EQ(behind.rectangle.y0, 1);
    EXPECT_EQ(behind.rectangle.x1, 0);
    EXPECT_EQ(behind.rectangle.y1, 0);
    EXPECT_FALSE(behind.crosses_near);

    // A sphere through the near plane (0.2) that widens faster than its
    // depth grows just beyond it: the circle where it meets the plane (2.14
    // tangents) would leave out its point at depth 0.3 (2.43 tangents).
    VisibilityContext wide;
    wide.set_perspective_view(nullptr, {0, 0, 0}, geometry::identity_quaternion(), 0.2f, 100, 0.4f, 0.4f, false);
    const NormalisedScreenRectangle near_sphere = wide.get_sphere_screen_rectangle({0, 2, 0}, 1.85f);
    EXPECT_TRUE(near_sphere.crosses_near);
    float x = 0, y = 0;
    ASSERT_TRUE(project_normalised(wide, {0.729f, 0.3f, 0}, x, y));
    EXPECT_LT(x, 1);
    EXPECT_GE(near_sphere.rectangle.x1, x);

    // Apex behind, base in front: bounded by where the sides meet the plane.
    const Vector3 pyramid[5] = {{0, -1, 0}, {-1, 3, -1}, {-1, 3, 1}, {1, 3, 1}, {1, 3, -1}};
    const NormalisedScreenRectangle cut = context.get_pyramid_screen_rectangle(pyramid);
    EXPECT_TRUE(cut.crosses_near);
    // The side from the apex to (1, 3, 1) meets y = 0.2 at x = z = 0.3, seen
    // at 0.3 / 0.2 = 1.5 tangents: past the view's edge, so clamped.
    EXPECT_EQ(cut.rectangle.x1, 1);
    EXPECT_EQ(cut.rectangle.x0, 0);
    const Vector3 all_in_front[5] = {{0, 1, 0}, {-0.1f, 3, -0.1f}, {-0.1f, 3, 0.1f}, {0.1f, 3, 0.1f},
                                     {0.1f, 3, -0.1f}};
    const NormalisedScreenRectangle small = context.get_pyramid_screen_rectangle(all_in_front);
    EXPECT_FALSE(small.crosses_near);
    EXPECT_NEAR(small.rectangle.x0, 0.5f - 0.1f / 3 * 0.5f, 1e-4f);
    EXPECT_NEAR(small.rectangle.x1, 0.5f + 0.1f / 3 * 0.5f, 1e-4f);
    // Thinner than 2^-16: empty.
    const Vector3 flat[5] = {{0, 1, 0}, {0, 3, 0}, {0, 3, 0}, {0, 3, 0}, {0, 3, 0}};
    EXPECT_TRUE(geometry::is_empty(context.get_pyramid_screen_rectangle(flat).rectangle));
}

TEST(ContextViews, ASpotLightSeesAsFarAsItsRangeRaisedToAPowerOfTwo) {
    struct Row {
        float range;
        float far;
    };
    const float nan = std::nanf("");
    const Row rows[] = {{300.2f, 512}, {1, 1}, {0, 0}, {0.3f, 1}, {512, 512}, {-4, 0}, {nan, 0}};
    for (const Row& row : rows) {
        VisibilityContext context;
        context.set_light_view({{1, 2, 3}, geometry::identity_quaternion(), row.range, 0.2f});
        EXPECT_EQ(context.far, row.far) << row.range;
        EXPECT_EQ(context.near, 0.01f);
        EXPECT_EQ(context.fov_x, 0.2f);
        EXPECT_EQ(context.fov_y, 0.2f);
        EXPECT_EQ(context.start_sector, nullptr);
    }
    // Linear depth: the projection's z row is the linear form.
    VisibilityContext context;
    context.set_light_view({{0, 0, 0}, geometry::identity_quaternion(), 300.2f, 0.2f});
    EXPECT_NEAR(context.projection.rows[2].z, -2.0f / (512 - 0.01f), 1e-7f);
}

TEST(ContextViews, AFittedAndExtendedOrthographicViewHoldsItsPoints) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> coordinate(-20, 20);
    for (int round = 0; round < 50; ++round) {
        Vector3 points[8];
        for (Vector3& point : points) {
            point = {coordinate(random), coordinate(random), coordinate(random)};
        }
        const geometry::Quaternion rotation = geometry::normalize(
            geometry::Quaternion{coordinate(random), coordinate(random), coordinate(random), coordinate(random)});
        VisibilityContext context;
        context.fit_orthographic_view(points, rotation);
        EXPECT_EQ(context.far, 1);
        EXPECT_EQ(context.near, 0);
        // Deepened by the points' depth along the view, all of them fit.
        float low = geometry::dot(points[0], context.axes.forward), high = low;
        for (const Vector3& point : points) {
            low = std::min(low, geometry::dot(point, context.axes.forward));
            high = std::max(high, geometry::dot(point, context.axes.forward));
        }
        context.extend_orthographic_view(high - low, 0);
        for (const Vector3& point : points) {
            for (const geometry::Plane& plane : context.frustum.planes) {
                EXPECT_LE(geometry::get_plane_distance(plane, point), 1e-3f * 40) << round;
            }
            const geometry::Vector4 clip = geometry::transform_homogeneous(point, context.view_projection);
            EXPECT_LE(std::fabs(clip.x), 1.001f);
            EXPECT_LE(std::fabs(clip.y), 1.001f);
        }
    }
    // The margin takes depth back, never below one unit.
    VisibilityContext context;
    const Vector3 cube[8] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {0, 0, 1}, {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    context.fit_orthographic_view(cube, geometry::identity_quaternion());
    context.extend_orthographic_view(5, 2);
    EXPECT_EQ(context.far, 4);
    EXPECT_NEAR(context.eye.y, 1 - 1 - 5, 1e-5f);
    context.extend_orthographic_view(0, 10);
    EXPECT_EQ(context.far, 1);
}

TEST(ContextViews, TheCurrentViewMeasuresDistanceDepthAndExtent) {
    EXPECT_EQ(get_eye_distance({3, 4, 0}), 0);
    EXPECT_EQ(get_view_extent(), 0);
    VisibilityContext context;
    // At (1, 1, 1) looking along +Y, 90 degrees each way, far 10.
    context.set_perspective_view(nullptr, {1, 1, 1}, geometry::identity_quaternion(), 0.5f, 10, 0.25f, 0.25f, false);
    set_current_visibility_context(&context);
    EXPECT_NEAR(get_eye_distance({4, 5, 1}), 5, 1e-5f);
    EXPECT_NEAR(get_view_depth({7, 4, -2}), 3, 1e-5f);
    EXPECT_NEAR(get_view_depth({0, -1, 0}), -2, 1e-5f);
    // A far corner: 10 along the view and 10 to each side.
    EXPECT_NEAR(get_view_extent(), 10 * std::sqrt(3.0f), 1e-3f);
    set_current_visibility_context(nullptr);
}

}  // namespace
}  // namespace zolt::renderer
