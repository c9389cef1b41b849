#include "libs/geometry/screen_polygon.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace zolt::geometry {
namespace {

double get_area(const ScreenPoint* points, uint32_t count) {
    double area = 0;
    for (uint32_t index = 0; index < count; ++index) {
        const ScreenPoint& a = points[index];
        const ScreenPoint& b = points[(index + 1) % count];
        area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    return std::fabs(area) / 2;
}

// Clockwise with y up.
std::vector<ScreenPoint> make_rectangle(float x0, float y0, float x1, float y1) {
    return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}};
}

std::vector<ScreenPoint> make_regular_polygon(uint32_t count, float radius) {
    std::vector<ScreenPoint> points;
    for (uint32_t index = 0; index < count; ++index) {
        const double angle = -2 * 3.14159265358979 * index / count;  // clockwise
        points.push_back({static_cast<float>(radius * std::cos(angle)), static_cast<float>(radius * std::sin(angle))});
    }
    return points;
}

TEST(ScreenPolygon, ClippingKeepsTheOverlap) {
    struct Row {
        const char* name;
        std::vector<ScreenPoint> subject;
        std::vector<ScreenPoint> clip;
        double area;
    } const rows[] = {
        {"overlapping squares", make_rectangle(0, 0, 10, 10), make_rectangle(5, 5, 20, 20), 25},
        {"inside", make_rectangle(2, 2, 4, 4), make_rectangle(0, 0, 10, 10), 4},
        {"outside", make_rectangle(20, 20, 30, 30), make_rectangle(0, 0, 10, 10), 0},
        {"square cut by a triangle", make_rectangle(0, 0, 10, 10), {{0, 0}, {0, 10}, {10, 0}}, 50},
        {"edge through a vertex", make_rectangle(0, 0, 10, 10), make_rectangle(10, 0, 20, 10), 0},
    };
    for (const Row& row : rows) {
        ScreenPoint out[screen_polygon_capacity];
        uint32_t count = 99;
        ASSERT_TRUE(clip_screen_polygon(row.subject.data(), static_cast<uint32_t>(row.subject.size()), row.clip.data(),
                                        static_cast<uint32_t>(row.clip.size()), out, count))
            << row.name;
        EXPECT_NEAR(get_area(out, count), row.area, 1e-3) << row.name;
        EXPECT_TRUE(count == 0 || count >= 3) << row.name;
        for (uint32_t index = 0; index < count; ++index) {
            EXPECT_FALSE(are_same_screen_point(out[index], out[(index + 1) % count])) << row.name;
        }
    }
}

TEST(ScreenPolygon, ClippingStopsAtThirtyPoints) {
    ScreenPoint out[screen_polygon_capacity];
    uint32_t count = 0;
    const std::vector<ScreenPoint> thirty = make_regular_polygon(30, 100);
    // Cutting one vertex off makes two points of one: 31.
    const std::vector<ScreenPoint> cut = make_rectangle(-200, -200, 99, 200);
    EXPECT_FALSE(clip_screen_polygon(thirty.data(), 30, cut.data(), 4, out, count));
    const std::vector<ScreenPoint> twenty_nine = make_regular_polygon(29, 100);
    EXPECT_TRUE(clip_screen_polygon(twenty_nine.data(), 29, cut.data(), 4, out, count));
    EXPECT_EQ(count, 30u);
    const std::vector<ScreenPoint> thirty_one = make_regular_polygon(31, 100);
    const std::vector<ScreenPoint> all = make_rectangle(-200, -200, 200, 200);
    EXPECT_FALSE(clip_screen_polygon(thirty_one.data(), 31, all.data(), 4, out, count));
    EXPECT_TRUE(clip_screen_polygon(thirty_one.data(), 0, all.data(), 4, out, count));
    EXPECT_EQ(count, 0u);
}

TEST(ScreenPolygon, AnOccluderIsTakenOutOfThePolygon) {
    const std::vector<ScreenPoint> subject = make_rectangle(0, 0, 10, 10);
    ScreenPoint out[screen_polygon_capacity];
    uint32_t count = 0;
    // Covers the right half: the left half remains.
    const std::vector<ScreenPoint> right = make_rectangle(5, -5, 15, 15);
    ASSERT_TRUE(intersect_screen_polygons(subject.data(), 4, right.data(), 4, out, count));
    EXPECT_EQ(count, 4u);
    EXPECT_NEAR(get_area(out, count), 50, 1e-3);
    for (uint32_t index = 0; index < count; ++index) {
        EXPECT_LE(out[index].x, 5.0f);
    }
    // Covers all: nothing is seen.
    const std::vector<ScreenPoint> all = make_rectangle(-1, -1, 11, 11);
    ASSERT_TRUE(intersect_screen_polygons(subject.data(), 4, all.data(), 4, out, count));
    EXPECT_EQ(count, 0u);
    // Holds no point of the subject: unchanged, even where it crosses it.
    const std::vector<ScreenPoint> bar = make_rectangle(4, -5, 6, 15);
    ASSERT_TRUE(intersect_screen_polygons(subject.data(), 4, bar.data(), 4, out, count));
    EXPECT_EQ(count, 4u);
    EXPECT_NEAR(get_area(out, count), 100, 1e-3);
    const std::vector<ScreenPoint> thirty_one = make_regular_polygon(31, 100);
    EXPECT_FALSE(intersect_screen_polygons(thirty_one.data(), 31, all.data(), 4, out, count));
}

TEST(ScreenPolygon, QuadsMergeCoincidingCorners) {
    struct Row {
        ScreenPoint quad[4];
        bool kept;
        uint32_t count;
    } const rows[] = {
        {{{0, 0}, {0, 10}, {10, 10}, {10, 0}}, true, 4},
        {{{0, 0}, {0, 10}, {0.1f, 10.1f}, {10, 0}}, true, 3},
        {{{0, 0}, {0, 10}, {10, 10}, {0.2f, 0.1f}}, true, 3},
        {{{0, 0}, {0.1f, 0}, {5, 5}, {5.1f, 5}}, false, 0},
    };
    for (const Row& row : rows) {
        ScreenPoint out[4];
        uint32_t count = 99;
        EXPECT_EQ(build_screen_quad_polygon(row.quad, out, count), row.kept);
        EXPECT_EQ(count, row.count);
    }
}

}  // namespace
}  // namespace zolt::geometry
