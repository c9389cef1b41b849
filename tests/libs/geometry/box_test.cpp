#include "libs/geometry/box.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace zolt::geometry {
namespace {

struct SlabAnswer {
    bool hit;
    double distance;
    // How far from an edge of the box the ray enters (or passes): answers
    // closer than float rounding can go either way.
    double clearance;
};

// The classic slab test in double precision.
SlabAnswer intersect_slabs(const Vector3& origin, const Vector3& direction, const Box& box) {
    const double start[3] = {origin.x, origin.y, origin.z};
    const double step[3] = {direction.x, direction.y, direction.z};
    const double low[3] = {box.minimum.x, box.minimum.y, box.minimum.z};
    const double high[3] = {box.maximum.x, box.maximum.y, box.maximum.z};
    double enter = 0, leave = std::numeric_limits<double>::infinity();
    for (int axis = 0; axis < 3; ++axis) {
        const double t0 = (low[axis] - start[axis]) / step[axis];
        const double t1 = (high[axis] - start[axis]) / step[axis];
        enter = std::max(enter, std::min(t0, t1));
        leave = std::min(leave, std::max(t0, t1));
    }
    const double length = std::sqrt(step[0] * step[0] + step[1] * step[1] + step[2] * step[2]);
    return {enter <= leave, enter, std::fabs(leave - enter) * length};
}

TEST(RayBox, AgreesWithADoublePrecisionSlabTest) {
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-10, 10);
    std::uniform_real_distribution<float> component(-1, 1);
    int hits = 0, checked = 0;
    for (int sample = 0; sample < 20000; ++sample) {
        const Vector3 corner_a{coordinate(random), coordinate(random), coordinate(random)};
        const Vector3 corner_b{coordinate(random), coordinate(random), coordinate(random)};
        const Box box{minimum(corner_a, corner_b), maximum(corner_a, corner_b)};
        const Vector3 origin{coordinate(random) * 2, coordinate(random) * 2, coordinate(random) * 2};
        Vector3 direction{component(random), component(random), component(random)};
        if (std::fabs(direction.x) < 1e-3f || std::fabs(direction.y) < 1e-3f || std::fabs(direction.z) < 1e-3f) {
            continue;
        }
        // Aim a share of the rays at the box so that hits are common.
        if (sample % 2 == 0) {
            const Vector3 target = lerp(box.minimum, box.maximum, 0.5f);
            direction = (target - origin) * (0.5f + component(random) * 0.4f);
        }
        const SlabAnswer expected = intersect_slabs(origin, direction, box);
        if (expected.clearance < 1e-3) {
            continue;
        }
        ++checked;
        float distance = -1;
        const bool hit = intersect_ray_box(origin, direction, box, distance);
        ASSERT_EQ(hit, expected.hit) << sample;
        if (hit) {
            ++hits;
            ASSERT_NEAR(distance, expected.distance, 1e-5 * std::max(1.0, expected.distance)) << sample;
        }
    }
    EXPECT_GT(checked, 15000);
    EXPECT_GT(hits, 5000);
}

TEST(RayBox, SpecialCases) {
    const Box box{{-1, -1, -1}, {1, 1, 1}};
    struct Case {
        const char* what;
        Vector3 origin;
        Vector3 direction;
        bool hit;
        float distance;
    };
    const Case cases[] = {
        {"origin inside, any direction", {0.5f, 0, 0}, {0, 0, 0}, true, 0},
        {"origin on a face counts as inside", {1, 0, 0}, {1, 0, 0}, true, 0},
        {"straight at the +x face", {5, 0.5f, 0}, {-2, 0, 0}, true, 2},
        {"pointing away although the line crosses", {5, 0, 0}, {1, 0, 0}, false, 0},
        {"direction too short", {5, 0, 0}, {-0.001f, 0, 0}, false, 0},
        {"beside the box", {5, 3, 0}, {-1, 0, 0}, false, 0},
        {"through the -y face on a slant", {0, -3, 0}, {0.25f, 1, 0}, true, 2},
        {"entering through an edge", {3, 3, 0}, {-1, -1, 0}, true, 2},
    };
    for (const Case& c : cases) {
        float distance = -1;
        EXPECT_EQ(intersect_ray_box(c.origin, c.direction, box, distance), c.hit) << c.what;
        if (c.hit) {
            EXPECT_FLOAT_EQ(distance, c.distance) << c.what;
        } else {
            EXPECT_EQ(distance, -1) << c.what;
        }
    }
}

}  // namespace
}  // namespace zolt::geometry
