#pragma once
// A convex polygon with room for N vertices, filled in place. Going past the
// capacity is a broken invariant of the caller's clipping, never a script
// fault, so it ends the program. Any thread.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "libs/utility/fatal_error.h"

namespace zolt::geometry {

template <uint32_t N>
struct ConvexPolygon {
    Vector3 vertices[N];
    uint32_t count = 0;

    void add_vertex(const Vector3& vertex) {
        if (count >= N) {
            ZOLT_PANIC("Buffer overrun.");
        }
        vertices[count++] = vertex;
    }

    template <uint32_t M>
    void copy_polygon(const ConvexPolygon<M>& source) {
        if (source.count > N) {
            ZOLT_PANIC("Buffer overrun.");
        }
        for (uint32_t index = 0; index < source.count; ++index) {
            vertices[index] = source.vertices[index];
        }
        count = source.count;
    }

    // part_count vertices from first on, wrapping around the source.
    template <uint32_t M>
    void copy_polygon_part(const ConvexPolygon<M>& source, uint32_t first, uint32_t part_count) {
        if (part_count > N) {
            ZOLT_PANIC("Buffer overrun.");
        }
        count = 0;
        if (source.count == 0) {
            return;
        }
        for (uint32_t index = 0; index < part_count; ++index) {
            vertices[index] = source.vertices[(first + index) % source.count];
        }
        count = part_count;
    }
};

}  // namespace zolt::geometry
