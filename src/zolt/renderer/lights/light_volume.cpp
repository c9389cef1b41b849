#include "zolt/renderer/lights/light_volume.h"

#include <algorithm>
#include <cmath>


namespace zolt::renderer {

namespace {

geometry::Frustum build_cube(const geometry::Vector3& centre, float half_size) {
    const geometry::Vector3 low = centre - geometry::Vector3{half_size, half_size, half_size};
    const geometry::Vector3 high = centre + geometry::Vector3{half_size, half_size, half_size};
    const geometry::Plane planes[geometry::frustum_plane_count] = {
        {-1, 0, 0, -low.x}, {1, 0, 0, high.x}, {0, -1, 0, -low.y},
        {0, 1, 0, high.y},  {0, 0, -1, -low.z}, {0, 0, 1, high.z},
    };
    geometry::Frustum cube = geometry::build_frustum_from_planes(planes);
    for (uint32_t corner = 0; corner < 8; ++corner) {
        cube.points[corner] = {(corner & 1) != 0 ? high.x : low.x, (corner & 2) != 0 ? high.y : low.y,
                               (corner & 4) != 0 ? high.z : low.z};
    }
    cube.point_count = 8;
    return cube;
}

// True when every point lies outside one of the volume's planes.
bool are_all_outside_one_plane(const geometry::Frustum& volume, const geometry::Vector3* points, uint32_t count) {
    for (const geometry::Plane& plane : volume.planes) {
        bool all_outside = true;
        for (uint32_t index = 0; index < count && all_outside; ++index) {
            all_outside = geometry::is_outside_plane(plane, points[index]);
        }
        if (all_outside) {
            return true;
        }
    }
    return false;
}

}  // namespace

const geometry::Frustum& get_light_clip_volume(LightRender& light) {
    if (light.clip_volume_valid != 0) {
        return light.clip_volume;
    }
    const float range = std::max(light.range, 0.0f);
    if (light.type == static_cast<uint8_t>(LightType::spot)) {
        const float cone = std::clamp(light.cone, 0.0f, light_volume_cone_limit);
        light.clip_volume = geometry::build_perspective_frustum(0, range, cone, cone, light.position,
                                                                geometry::get_view_axes(light.rotation));
    } else {
        light.clip_volume = build_cube(light.position, range);
    }
    light.clip_volume_valid = 1;
    return light.clip_volume;
}

bool intersects_clip_volume(const geometry::Frustum& clip_volume, LightRender& light) {
    switch (static_cast<LightType>(light.type)) {
    case LightType::directional:
        return true;
    case LightType::point: {
        const geometry::Frustum& cube = get_light_clip_volume(light);
        return !are_all_outside_one_plane(clip_volume, cube.points, 8);
    }
    case LightType::spot: {
        const geometry::Frustum& pyramid = get_light_clip_volume(light);
        if (are_all_outside_one_plane(clip_volume, pyramid.points, 5)) {
            return false;
        }
        if (clip_volume.point_count == 0) {
            return true;
        }
        return !are_all_outside_one_plane(pyramid, clip_volume.points,
                                          std::min(clip_volume.point_count, geometry::frustum_point_capacity));
    }
    default:
        return false;
    }
}

}  // namespace zolt::renderer
