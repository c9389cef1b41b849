#include "zolt/renderer/lights/light_mask.h"

#include "libs/geometry/plane.h"
#include "libs/utility/fatal_error.h"
#include "zolt/renderer/lights/light_volume.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

// Apex 0, base corners 1 to 4.
constexpr uint16_t spot_triangles[] = {0, 4, 3, 0, 3, 2, 0, 2, 1, 0, 1, 4, 1, 2, 3, 1, 3, 4};
constexpr uint16_t point_triangles[] = {0, 8, 4,  0, 5,  10, 2, 4,  9, 2, 11, 5,  1, 6,  8,  1, 10, 7,  3, 9,
                                        6, 3, 7,  11, 0, 10, 8, 1, 8, 10, 2, 9,  11, 3, 11, 9, 4, 2,  0, 5,
                                        0, 2, 6,  1,  3, 7,  3, 1, 8, 6,  4, 9,  4,  6, 10, 5, 7, 11, 7, 5};
static_assert(sizeof(point_triangles) / sizeof(point_triangles[0]) == 60);

constexpr float a = 0.5257311f;
constexpr float b = 0.8506508f;
constexpr geometry::Vector3 icosahedron[light_mask_vertex_capacity] = {
    {b, a, 0}, {-b, a, 0}, {b, -a, 0}, {-b, -a, 0}, {a, 0, b}, {a, 0, -b},
    {-a, 0, b}, {-a, 0, -b}, {0, b, a}, {0, -b, a}, {0, b, -a}, {0, -b, -a},
};

void store_vertex(LightMaskGeometry* geometry, uint32_t index, const geometry::Vector3& point) {
    geometry->vertices[3 * index] = point.x;
    geometry->vertices[3 * index + 1] = point.y;
    geometry->vertices[3 * index + 2] = point.z;
}

void store_rectangle(LightMaskGeometry* geometry, const geometry::Rectangle& rectangle) {
    geometry->rectangle[0] = rectangle.x0;
    geometry->rectangle[1] = rectangle.y0;
    geometry->rectangle[2] = rectangle.x1;
    geometry->rectangle[3] = rectangle.y1;
}

}  // namespace

bool get_light_mask_geometry(LightRender& light, const VisibilityContext& view, LightMaskGeometry* geometry) {
    switch (static_cast<LightType>(light.type)) {
    case LightType::directional:
        return false;
    case LightType::spot: {
        const geometry::Frustum& pyramid = get_light_clip_volume(light);
        geometry::Vector3 points[5];
        for (uint32_t index = 0; index < 5; ++index) {
            points[index] = pyramid.points[index];
            store_vertex(geometry, index, points[index]);
        }
        geometry->vertex_count = 5;
        geometry->indices = spot_triangles;
        geometry->triangle_count = 6;
        // Inside unless the eye stands clear of one of the faces: near
        // enough, the near plane may cut the faces in front of it.
        geometry->camera_inside = true;
        for (const geometry::Plane& plane : pyramid.planes) {
            if (geometry::get_plane_distance(plane, view.eye) > 2 * view.near) {
                geometry->camera_inside = false;
                break;
            }
        }
        store_rectangle(geometry, view.get_pyramid_screen_rectangle(points).rectangle);
        return true;
    }
    case LightType::point: {
        const float scale = light.range * icosahedron_face_scale;
        for (uint32_t index = 0; index < light_mask_vertex_capacity; ++index) {
            store_vertex(geometry, index, light.position + icosahedron[index] * scale);
        }
        geometry->vertex_count = light_mask_vertex_capacity;
        geometry->indices = point_triangles;
        geometry->triangle_count = 20;
        geometry->camera_inside = geometry::length(view.eye - light.position) < scale + 2 * view.near;
        store_rectangle(geometry, view.get_sphere_screen_rectangle(light.position, light.range).rectangle);
        return true;
    }
    default:
        ZOLT_PANIC("Incorrect light type %u", static_cast<uint32_t>(light.type));
    }
}

}  // namespace zolt::renderer
