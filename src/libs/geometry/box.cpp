#include "libs/geometry/box.h"

#include <cmath>

namespace zolt::geometry {

namespace {
constexpr float smallest_direction = 1.0f / 65536;
}  // namespace

void get_box_corners(const Box& box, const Matrix4& matrix, Vector3 (&corners)[8]) {
    for (int corner = 0; corner < 8; ++corner) {
        const Vector3 local{(corner & 4) != 0 ? box.maximum.x : box.minimum.x,
                            (corner & 2) != 0 ? box.maximum.y : box.minimum.y,
                            (corner & 1) != 0 ? box.maximum.z : box.minimum.z};
        corners[corner] = transform_point(local, matrix);
    }
}

bool intersect_ray_box(const Vector3& origin, const Vector3& direction, const Box& box, float& distance) {
    const float start[3] = {origin.x, origin.y, origin.z};
    const float step[3] = {direction.x, direction.y, direction.z};
    const float low[3] = {box.minimum.x, box.minimum.y, box.minimum.z};
    const float high[3] = {box.maximum.x, box.maximum.y, box.maximum.z};
    bool outside[3];
    float candidate[3];
    for (int axis = 0; axis < 3; ++axis) {
        const bool below = start[axis] < low[axis];
        const bool above = start[axis] > high[axis];
        outside[axis] = below || above;
        const float face = above ? high[axis] : low[axis];
        candidate[axis] = step[axis] != 0 ? (face - start[axis]) / step[axis] : 0.0f;
    }
    if (!outside[0] && !outside[1] && !outside[2]) {
        distance = 0;
        return true;
    }
    if (length_squared(direction) <= smallest_direction) {
        return false;
    }
    // Only the face the ray enters through has its crossing point inside the
    // box on the other two axes, so the first axis that passes decides.
    for (int axis = 0; axis < 3; ++axis) {
        if (!outside[axis] || std::fabs(step[axis]) <= smallest_direction) {
            continue;
        }
        const float t = candidate[axis];
        bool inside = true;
        for (int other = 0; other < 3; ++other) {
            if (other != axis) {
                const float position = start[other] + t * step[other];
                inside = inside && position >= low[other] && position <= high[other];
            }
        }
        if (inside) {
            if (t < 0) {
                return false;
            }
            distance = t;
            return true;
        }
    }
    return false;
}

}  // namespace zolt::geometry
