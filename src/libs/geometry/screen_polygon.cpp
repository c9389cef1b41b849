#include "libs/geometry/screen_polygon.h"

#include <cmath>

namespace zolt::geometry {

namespace {

constexpr float same_point_squared_distance = 0.0625f;
constexpr float parallel_limit = 1.0f / 65536;

// Positive outside the clip edge from a to b.
float get_edge_side(const ScreenPoint& a, const ScreenPoint& b, const ScreenPoint& p) {
    const float normal_x = -(b.y - a.y);
    const float normal_y = b.x - a.x;
    return (p.x - a.x) * normal_x + (p.y - a.y) * normal_y;
}

bool is_inside_polygon(const ScreenPoint* polygon, uint32_t count, const ScreenPoint& p) {
    for (uint32_t edge = 0; edge < count; ++edge) {
        if (get_edge_side(polygon[edge], polygon[(edge + 1) % count], p) > 0) {
            return false;
        }
    }
    return true;
}

ScreenPoint interpolate(const ScreenPoint& p, const ScreenPoint& q, float t) {
    return {p.x + (q.x - p.x) * t, p.y + (q.y - p.y) * t};
}

// Appends unless it coincides with the last point; false when full.
bool append_merged(ScreenPoint* out, uint32_t& count, uint32_t capacity, const ScreenPoint& point) {
    if (count > 0 && are_same_screen_point(out[count - 1], point)) {
        return true;
    }
    if (count >= capacity) {
        return false;
    }
    out[count++] = point;
    return true;
}

void drop_closing_point(const ScreenPoint* points, uint32_t& count) {
    if (count > 1 && are_same_screen_point(points[count - 1], points[0])) {
        --count;
    }
}

}  // namespace

bool are_same_screen_point(const ScreenPoint& a, const ScreenPoint& b) {
    const float dx = a.x - b.x;
    const float dy = a.y - b.y;
    return dx * dx + dy * dy <= same_point_squared_distance;
}

bool build_screen_quad_polygon(const ScreenPoint (&quad)[4], ScreenPoint* out, uint32_t& out_count) {
    out_count = 0;
    for (const ScreenPoint& point : quad) {
        append_merged(out, out_count, 4, point);
    }
    drop_closing_point(out, out_count);
    if (out_count <= 2) {
        out_count = 0;
        return false;
    }
    return true;
}

bool clip_screen_polygon(const ScreenPoint* subject, uint32_t subject_count, const ScreenPoint* clip,
                         uint32_t clip_count, ScreenPoint* out, uint32_t& out_count) {
    out_count = 0;
    if (subject_count > screen_polygon_capacity) {
        return false;
    }
    if (subject_count == 0) {
        return true;
    }
    // Two lists of points alternate; made points come from a pool of 30 so
    // the lists can stay references, as the limits are counted that way.
    ScreenPoint made[screen_polygon_capacity];
    uint32_t made_count = 0;
    const ScreenPoint* lists[2][screen_polygon_capacity];
    uint32_t counts[2] = {subject_count, 0};
    for (uint32_t index = 0; index < subject_count; ++index) {
        lists[0][index] = &subject[index];
    }
    int current = 0;
    for (uint32_t edge = 0; edge < clip_count && counts[current] > 0; ++edge) {
        const ScreenPoint& a = clip[edge];
        const ScreenPoint& b = clip[(edge + 1) % clip_count];
        const int next = 1 - current;
        counts[next] = 0;
        for (uint32_t index = 0; index < counts[current]; ++index) {
            const ScreenPoint& p = *lists[current][index];
            const ScreenPoint& q = *lists[current][(index + 1) % counts[current]];
            const float side_p = get_edge_side(a, b, p);
            const float side_q = get_edge_side(a, b, q);
            const bool keep_p = side_p <= 0;
            const bool keep_q = side_q <= 0;
            if (keep_p) {
                if (counts[next] >= screen_polygon_capacity) {
                    return false;
                }
                lists[next][counts[next]++] = &p;
            }
            if (keep_p != keep_q && std::fabs(side_p - side_q) > parallel_limit) {
                if (made_count >= screen_polygon_capacity || counts[next] >= screen_polygon_capacity) {
                    return false;
                }
                made[made_count] = interpolate(p, q, side_p / (side_p - side_q));
                lists[next][counts[next]++] = &made[made_count++];
            }
        }
        current = next;
    }
    for (uint32_t index = 0; index < counts[current]; ++index) {
        append_merged(out, out_count, screen_polygon_capacity, *lists[current][index]);
    }
    drop_closing_point(out, out_count);
    if (out_count <= 2) {
        out_count = 0;
    }
    return true;
}

bool intersect_screen_polygons(const ScreenPoint* subject, uint32_t subject_count, const ScreenPoint* clip,
                               uint32_t clip_count, ScreenPoint* out, uint32_t& out_count) {
    out_count = 0;
    if (subject_count > screen_polygon_capacity) {
        return false;
    }
    for (uint32_t index = 0; index < subject_count; ++index) {
        out[index] = subject[index];
    }
    out_count = subject_count;
    if (subject_count == 0 || clip_count == 0) {
        return true;
    }
    bool inside[screen_polygon_capacity];
    uint32_t inside_count = 0;
    for (uint32_t index = 0; index < subject_count; ++index) {
        inside[index] = is_inside_polygon(clip, clip_count, subject[index]);
        inside_count += inside[index] ? 1 : 0;
    }
    if (inside_count == 0) {
        return true;
    }
    if (inside_count == subject_count) {
        out_count = 0;
        return true;
    }
    ScreenPoint result[occluded_polygon_capacity];
    uint32_t result_count = 0;
    for (uint32_t index = 0; index < subject_count; ++index) {
        const uint32_t following = (index + 1) % subject_count;
        if (!inside[index] && !append_merged(result, result_count, occluded_polygon_capacity, subject[index])) {
            return false;
        }
        if (inside[index] == inside[following]) {
            continue;
        }
        // The segment leaves a convex outline where it crosses the nearest
        // edge line on the way out from its inner end.
        const ScreenPoint& inner = inside[index] ? subject[index] : subject[following];
        const ScreenPoint& outer = inside[index] ? subject[following] : subject[index];
        float exit = 2.0f;
        for (uint32_t edge = 0; edge < clip_count; ++edge) {
            const ScreenPoint& a = clip[edge];
            const ScreenPoint& b = clip[(edge + 1) % clip_count];
            const float side_inner = get_edge_side(a, b, inner);
            const float side_outer = get_edge_side(a, b, outer);
            if (side_outer <= 0 || std::fabs(side_outer - side_inner) <= parallel_limit) {
                continue;
            }
            const float t = side_inner / (side_inner - side_outer);
            exit = t < exit ? t : exit;
        }
        if (exit <= 1.0f && !append_merged(result, result_count, occluded_polygon_capacity,
                                           interpolate(inner, outer, exit < 0 ? 0 : exit))) {
            return false;
        }
    }
    if (result_count > 1 && are_same_screen_point(result[result_count - 1], result[0])) {
        --result_count;
        if (result_count < 3) {
            result_count = 0;
        }
    }
    if (result_count <= 2) {
        result_count = 0;
    }
    for (uint32_t index = 0; index < result_count; ++index) {
        out[index] = result[index];
    }
    out_count = result_count;
    return true;
}

}  // namespace zolt::geometry
