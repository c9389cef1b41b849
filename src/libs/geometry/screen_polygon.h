#pragma once
// Polygons on the screen, in pixels with y up, as the portal walk narrows
// what is seen through each opening. A clip polygon winds clockwise: a point
// is inside an edge (a, b) when dot(p - a, (-(b.y - a.y), b.x - a.x)) <= 0.
// Points closer than a quarter pixel count as one. Any thread; nothing
// allocates.
#include <cstdint>

namespace zolt::geometry {

constexpr uint32_t screen_polygon_capacity = 30;
// What may be left after an occluder is taken out of a polygon.
constexpr uint32_t occluded_polygon_capacity = 28;

struct ScreenPoint {
    float x = 0, y = 0;
};

// Squared distance of at most 1/16 pixel.
bool are_same_screen_point(const ScreenPoint& a, const ScreenPoint& b);

// Copies the four points with coinciding neighbours merged; true with the
// count when more than 2 remain, else false with count 0.
bool build_screen_quad_polygon(const ScreenPoint (&quad)[4], ScreenPoint* out, uint32_t& out_count);

// The part of the subject inside the clip polygon, written to out (room for
// screen_polygon_capacity points); an empty part gives count 0. False when
// the subject has more than 30 points or the clipping would need more.
bool clip_screen_polygon(const ScreenPoint* subject, uint32_t subject_count, const ScreenPoint* clip,
                         uint32_t clip_count, ScreenPoint* out, uint32_t& out_count);

// Takes the clip polygon (an occluder's outline) out of the subject: the
// subject unchanged when none of its points lies inside the outline, empty
// when all do, otherwise its points outside the outline with the crossing
// points. out has room for screen_polygon_capacity points. False when the
// subject has more than 30 points or the result more than 28.
bool intersect_screen_polygons(const ScreenPoint* subject, uint32_t subject_count, const ScreenPoint* clip,
                               uint32_t clip_count, ScreenPoint* out, uint32_t& out_count);

}  // namespace zolt::geometry
