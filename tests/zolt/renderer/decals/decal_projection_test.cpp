// Projected decals: the part of each surface triangle inside the decal box
// becomes decal triangles whose area is exactly that of box and triangle
// intersected, computed here by clipping the triangle against the box's
// rectangle in the plane.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "zolt/renderer/decals/decal_test_support.h"
#include "zolt/renderer/decals/decal.h"
#include "zolt/renderer/decals/decal_projection.h"
#include "zolt/renderer/decals/decal_server.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;

struct Point {
    double x, y;
};

// The test's own oracle: a polygon in the plane cut by x >= x0 and friends.
std::vector<Point> cut(const std::vector<Point>& polygon, int axis, double bound, bool keep_below) {
    std::vector<Point> out;
    const auto value = [&](const Point& p) { return (axis == 0 ? p.x : p.y) - bound; };
    const auto inside = [&](const Point& p) { return keep_below ? value(p) <= 0 : value(p) >= 0; };
    for (size_t index = 0; index < polygon.size(); ++index) {
        const Point& a = polygon[index];
        const Point& b = polygon[(index + 1) % polygon.size()];
        if (inside(a)) {
            out.push_back(a);
        }
        if (inside(a) != inside(b)) {
            const double t = value(a) / (value(a) - value(b));
            out.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t});
        }
    }
    return out;
}

double area(const std::vector<Point>& polygon) {
    double twice = 0;
    for (size_t index = 0; index < polygon.size(); ++index) {
        const Point& a = polygon[index];
        const Point& b = polygon[(index + 1) % polygon.size()];
        twice += a.x * b.y - b.x * a.y;
    }
    return std::fabs(twice) / 2;
}

double intersection_area(const Vector3 (&triangle)[3], double half_width, double half_height) {
    std::vector<Point> polygon;
    for (const Vector3& corner : triangle) {
        polygon.push_back({corner.x, corner.y});
    }
    polygon = cut(polygon, 0, half_width, true);
    polygon = cut(polygon, 0, -half_width, false);
    polygon = cut(polygon, 1, half_height, true);
    polygon = cut(polygon, 1, -half_height, false);
    return polygon.size() < 3 ? 0.0 : area(polygon);
}

double triangle_area(const Vector3& a, const Vector3& b, const Vector3& c) {
    return geometry::length(geometry::cross(b - a, c - a)) / 2;
}

DecalFrame make_frame(float width, float height) {
    DecalFrame frame;
    frame.tangent = {1, 0, 0};
    frame.bitangent = {0, 1, 0};
    frame.normal = {0, 0, 1};
    frame.width = width;
    frame.height = height;
    return frame;
}

double clipped_area(const Vector3 (&triangle)[3], const DecalFrame& frame, float depth, uint32_t* vertex_count) {
    geometry::Plane box[decal_box_plane_count];
    build_decal_box(frame, depth, box);
    geometry::ConvexPolygon<9> polygon;
    clip_triangle_to_box(triangle, box, polygon);
    *vertex_count = polygon.count;
    double total = 0;
    for (uint32_t index = 2; index < polygon.count; ++index) {
        total += triangle_area(polygon.vertices[0], polygon.vertices[index - 1], polygon.vertices[index]);
    }
    return total;
}

TEST(DecalClipping, TheClippedAreaIsTheBoxAndTriangleIntersection) {
    const struct {
        const char* name;
        Vector3 triangle[3];
    } cases[] = {
        {"inside", {{-0.2f, -0.2f, 0}, {0.2f, -0.2f, 0}, {0, 0.3f, 0}}},
        {"covering the box", {{-5, -5, 0}, {5, -5, 0}, {0, 5, 0}}},
        {"over one corner", {{0, 0, 0}, {2, 0, 0}, {0, 2, 0}}},
        {"across two sides", {{-2, -0.1f, 0}, {2, -0.2f, 0}, {0, 0.2f, 0}}},
        {"disjoint", {{2, 2, 0}, {3, 2, 0}, {2, 3, 0}}},
        {"touching an edge from outside", {{0.5f, -1, 0}, {1.5f, -1, 0}, {0.5f, 1, 0}}},
    };
    const DecalFrame frame = make_frame(1, 1);
    for (const auto& c : cases) {
        uint32_t vertices = 0;
        EXPECT_NEAR(clipped_area(c.triangle, frame, 1, &vertices), intersection_area(c.triangle, 0.5, 0.5), 1e-5)
            << c.name;
        EXPECT_LE(vertices, 9u) << c.name;
    }
}

TEST(DecalClipping, SeededTrianglesMatchTheOracle) {
    std::mt19937 random(33);
    std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
    const DecalFrame frame = make_frame(1.5f, 0.75f);
    for (int round = 0; round < 500; ++round) {
        const Vector3 triangle[3] = {{coordinate(random), coordinate(random), 0},
                                     {coordinate(random), coordinate(random), 0},
                                     {coordinate(random), coordinate(random), 0}};
        uint32_t vertices = 0;
        ASSERT_NEAR(clipped_area(triangle, frame, 1, &vertices), intersection_area(triangle, 0.75, 0.375), 1e-4)
            << "round " << round;
    }
}

TEST(DecalClipping, DepthIsClampedIntoItsRange) {
    const DecalFrame frame = make_frame(1, 1);
    const auto reaches = [&](float depth, float z) {
        const Vector3 triangle[3] = {{-0.2f, -0.2f, z}, {0.2f, -0.2f, z}, {0, 0.2f, z}};
        uint32_t vertices = 0;
        return clipped_area(triangle, frame, depth, &vertices) > 0;
    };
    EXPECT_TRUE(reaches(0, -0.09f));
    EXPECT_FALSE(reaches(0, -0.11f));
    EXPECT_TRUE(reaches(100, -31.9f));
    EXPECT_FALSE(reaches(100, -32.1f));
    // In front of the surface the decal was placed on: not projected.
    EXPECT_FALSE(reaches(1, 0.01f));
}

class DecalSets : public ::testing::Test {
protected:
    void SetUp() override { decal_server.register_server(); }
    void TearDown() override { decal_server.unregister_server(); }

    Decal& make_set(const DecalDescription& description) {
        auto* const set = static_cast<Decal*>(decal_server.create_object_internal(0));
        set->initialize_from(description, 0, 0);
        return *set;
    }
    static DecalDescription projected(float size) {
        DecalDescription description;
        description.spawn_type = static_cast<uint32_t>(DecalSpawnType::projected);
        description.width = description.height = size;
        description.depth = 1;
        return description;
    }
    static void spawn_down(Decal& set, const testing::TriangleList& surface, uint32_t group_mask = 1,
                           Vector3 position = {}) {
        set.spawn(position, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, group_mask, &surface);
    }
    static double ring_area(const Decal& set) {
        double total = 0;
        for (uint32_t index = 0; index < set.triangle_count; ++index) {
            const DecalTriangle& t = set.get_triangle(index);
            const auto corner = [&](int n) {
                return Vector3{t.corners[n].position[0], t.corners[n].position[1], t.corners[n].position[2]};
            };
            total += triangle_area(corner(0), corner(1), corner(2));
        }
        return total;
    }
};

TEST_F(DecalSets, AProjectedDecalCoversTheBoxOnAGrid) {
    testing::TriangleList grid;
    grid.add_grid(-2, -2, 1, 4);
    Decal& set = make_set(projected(1.5f));
    spawn_down(set, grid, 1, {0.25f, -0.1f, 0});

    double expected = 0;
    uint32_t expected_triangles = 0;
    for (const DecalSourceTriangle& source : grid.triangles) {
        const Vector3 moved[3] = {source.positions[0] - Vector3{0.25f, -0.1f, 0},
                                  source.positions[1] - Vector3{0.25f, -0.1f, 0},
                                  source.positions[2] - Vector3{0.25f, -0.1f, 0}};
        const double piece = intersection_area(moved, 0.75, 0.75);
        expected += piece;
        uint32_t vertices = 0;
        clipped_area(moved, make_frame(1.5f, 1.5f), 1, &vertices);
        expected_triangles += vertices >= 3 ? vertices - 2 : 0;
    }
    ASSERT_EQ(set.spawn_count, 1u);
    EXPECT_EQ(set.triangle_count, expected_triangles);
    EXPECT_NEAR(ring_area(set), expected, 1e-4);
    EXPECT_NEAR(expected, 1.5 * 1.5, 1e-4);
    // Lifted off the surface, and the box's corners get the quad's coordinates.
    for (uint32_t index = 0; index < set.triangle_count; ++index) {
        for (const DecalVertex& vertex : set.get_triangle(index).corners) {
            EXPECT_NEAR(vertex.position[2], decal_surface_offset, 1e-6);
            EXPECT_NEAR(vertex.texture_coordinate[0], (vertex.position[0] - 0.25f) / 1.5f + 0.5f, 1e-5);
            EXPECT_NEAR(vertex.texture_coordinate[1], (vertex.position[1] + 0.1f) / 1.5f + 0.5f, 1e-5);
        }
    }
}

TEST_F(DecalSets, FiltersKeepOnlyTheTrianglesAllowed) {
    const Vector3 a{-0.2f, -0.2f, 0}, b{0.2f, -0.2f, 0}, c{0, 0.2f, 0};
    const float tilt = std::sin(0.2f * 2 * 3.14159265f);
    const struct {
        const char* name;
        uint16_t flags;
        Vector3 normal;
        uint32_t group_mask;
        uint32_t shader;
        bool projected;
    } cases[] = {
        {"group in the mask", 3, {0, 0, 1}, 1u << 3, 0, true},
        {"group outside the mask", 3, {0, 0, 1}, 1u << 4, 0, false},
        {"group 35 tests bit 3", 35, {0, 0, 1}, 1u << 3, 0, true},
        {"normal past the angle limit", 0, {tilt, 0, std::sqrt(1 - tilt * tilt)}, 1, 0, false},
        {"unflagged under shader 25", 0, {0, 0, 1}, 1, flagged_triangles_shader, false},
        {"flagged under shader 25", decal_triangle_flag, {0, 0, 1}, 1, flagged_triangles_shader, true},
    };
    for (const auto& c_ : cases) {
        testing::TriangleList surface;
        surface.add(a, b, c, c_.flags, c_.normal);
        DecalDescription description = projected(1);
        description.shader_index = c_.shader;
        Decal& set = make_set(description);
        spawn_down(set, surface, c_.group_mask);
        EXPECT_EQ(set.triangle_count != 0, c_.projected) << c_.name;
        core::destroy_object(&set);
        decal_server.free_all_dead_objects();
    }
}

TEST_F(DecalSets, ProjectingOntoNothingMakesNoDecal) {
    testing::TriangleList far_away;
    far_away.add({10, 10, 0}, {11, 10, 0}, {10, 11, 0});
    Decal& set = make_set(projected(1));
    spawn_down(set, far_away);
    set.spawn({}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1, nullptr);
    EXPECT_EQ(set.spawn_count, 0u);
    EXPECT_EQ(set.triangle_count, 0u);
}

TEST_F(DecalSets, TheGeometryResourceGivesTheSameTrianglesInBothEncodings) {
    testing::TriangleList grid;
    grid.add_grid(-1, -1, 0.5f, 4, 0, 5);
    for (uint32_t number = 0; number < grid.get_triangle_count(); ++number) {
        grid.triangles[number].flags = static_cast<uint16_t>(number * 3);
    }
    const std::vector<uint8_t> bytes = testing::write_geometry_resource(grid, 13);
    DecalGeometry geometry;
    ASSERT_TRUE(geometry.open(bytes.data(), static_cast<uint32_t>(bytes.size())));
    ASSERT_EQ(geometry.get_triangle_count(), grid.get_triangle_count());
    for (uint32_t number = 0; number < grid.get_triangle_count(); ++number) {
        DecalSourceTriangle read;
        ASSERT_TRUE(geometry.get_triangle(number, read)) << number;
        for (uint32_t corner = 0; corner < 3; ++corner) {
            EXPECT_EQ(read.positions[corner].x, grid.triangles[number].positions[corner].x) << number;
            EXPECT_EQ(read.positions[corner].y, grid.triangles[number].positions[corner].y) << number;
            EXPECT_EQ(read.normals[corner].z, 1.0f);
        }
        uint16_t flags = 0;
        EXPECT_TRUE(geometry.get_flags(number, &flags));
        EXPECT_EQ(flags, number * 3) << number;
    }
    uint16_t flags = 0;
    EXPECT_FALSE(geometry.get_flags(grid.get_triangle_count(), &flags));
}

TEST_F(DecalSets, ABrokenGeometryResourceGivesNoTriangles) {
    testing::TriangleList grid;
    grid.add_grid(0, 0, 1, 1);
    const std::vector<uint8_t> bytes = testing::write_geometry_resource(grid, 1);
    DecalGeometry geometry;
    // Cut short inside the triangle table, then inside the vertex tables.
    EXPECT_FALSE(geometry.open(bytes.data(), decal_geometry_header_size + 10));
    ASSERT_TRUE(geometry.open(bytes.data(), static_cast<uint32_t>(bytes.size()) - 4));
    DecalSourceTriangle read;
    EXPECT_TRUE(geometry.get_triangle(0, read));
    EXPECT_FALSE(geometry.get_triangle(1, read));
    EXPECT_FALSE(geometry.open(bytes.data(), 12));
}

}  // namespace
}  // namespace zolt::renderer
