#include "zolt/renderer/lights/light_volume.h"

#include <gtest/gtest.h>

#include <cmath>

#include "zolt/renderer/lights/light.h"

namespace zolt::renderer {
namespace {

LightRender make_light(LightType type, geometry::Vector3 position, float range,
                       geometry::Vector3 direction = {0, 1, 0}, float cone = 0.25f) {
    LightRender light;
    light.type = static_cast<uint8_t>(type);
    light.position = position;
    light.direction = direction;
    light.rotation = get_rotation_towards(direction);
    light.range = range;
    light.cone = cone;
    return light;
}

// A box 10 wide on every side around the origin, seen as a clip volume.
geometry::Frustum make_view_box(geometry::Vector3 centre) {
    geometry::ViewAxes axes;
    return geometry::build_box_frustum(axes, centre - geometry::Vector3{0, 5, 0}, 0, 10, 10, 10);
}

TEST(LightVolume, ASpotsPyramidReachesItsRangeAndSpreadsByTheCone) {
    LightRender spot = make_light(LightType::spot, {1, 2, 3}, 10);
    const geometry::Frustum& volume = get_light_clip_volume(spot);
    ASSERT_EQ(volume.point_count, 5u);
    EXPECT_EQ(volume.points[0].x, 1);
    for (uint32_t corner = 1; corner < 5; ++corner) {
        const geometry::Vector3 offset = volume.points[corner] - spot.position;
        EXPECT_NEAR(offset.y, 10, 1e-4f);
        EXPECT_NEAR(std::fabs(offset.x), 10, 1e-4f);
        EXPECT_NEAR(std::fabs(offset.z), 10, 1e-4f);
    }
    // Inside the cone and beyond its range or its side.
    EXPECT_FALSE(geometry::is_outside_plane(volume.planes[2], {1, 7, 3}));
    bool beyond = false;
    for (const geometry::Plane& plane : volume.planes) {
        beyond = beyond || geometry::is_outside_plane(plane, {1, 13, 3});
    }
    EXPECT_TRUE(beyond);

    // The widest cone is clamped to a finite pyramid; a zero cone is a ray.
    for (const float cone : {0.5f, 0.0f}) {
        LightRender edge = make_light(LightType::spot, {0, 0, 0}, 5, {0, 0, 1}, cone);
        const geometry::Frustum& clamped = get_light_clip_volume(edge);
        for (uint32_t corner = 0; corner < 5; ++corner) {
            EXPECT_TRUE(std::isfinite(clamped.points[corner].x) && std::isfinite(clamped.points[corner].z)) << cone;
        }
        EXPECT_NEAR(clamped.points[1].z, 5, 1e-4f);
    }
}

TEST(LightVolume, TheVolumeIsCachedUntilTheRecordIsInvalidated) {
    LightRender point = make_light(LightType::point, {0, 0, 0}, 2);
    EXPECT_EQ(get_light_clip_volume(point).planes[1].d, 2);
    point.range = 4;
    EXPECT_EQ(get_light_clip_volume(point).planes[1].d, 2);
    point.clip_volume_valid = 0;
    EXPECT_EQ(get_light_clip_volume(point).planes[1].d, 4);
}

TEST(LightVolume, IntersectionWithSectorClipVolumes) {
    const geometry::Frustum view = make_view_box({0, 0, 0});
    struct Row {
        const char* name;
        LightRender light;
        bool meets;
    } rows[] = {
        {"point inside", make_light(LightType::point, {0, 0, 0}, 1), true},
        {"point reaching in", make_light(LightType::point, {7, 0, 0}, 2.5f), true},
        {"point short of it", make_light(LightType::point, {7, 0, 0}, 1.5f), false},
        {"point of zero range outside", make_light(LightType::point, {6, 0, 0}, 0), false},
        {"directional far away", make_light(LightType::directional, {900, 0, 0}, 1), true},
        {"spot aimed at it", make_light(LightType::spot, {-20, 0, 0}, 30, {1, 0, 0}), true},
        {"spot aimed away", make_light(LightType::spot, {-20, 0, 0}, 30, {-1, 0, 0}), false},
        {"spot too short", make_light(LightType::spot, {-20, 0, 0}, 10, {1, 0, 0}), false},
        // A narrow cone past the box's corner: no plane of the box has all of
        // the pyramid outside, but one side of the pyramid has all the box.
        {"spot passing beside",
         make_light(LightType::spot, {-12, 0, 0}, 40, geometry::normalize(geometry::Vector3{1, 1, 0}), 0.02f),
         false},
    };
    for (Row& row : rows) {
        EXPECT_EQ(intersects_clip_volume(view, row.light), row.meets) << row.name;
    }
}

}  // namespace
}  // namespace zolt::renderer
