#pragma once
// A screen rectangle as (minimum x, minimum y, maximum x, maximum y); the
// empty rectangle is (1, 1, 0, 0), so growing it by a first point works
// without a special case. Any thread.

namespace zolt::geometry {

struct Rectangle {
    float x0 = 1, y0 = 1, x1 = 0, y1 = 0;
};

constexpr bool is_empty(const Rectangle& rectangle) {
    return rectangle.x1 < rectangle.x0 || rectangle.y1 < rectangle.y0;
}

constexpr void grow_rectangle(Rectangle& rectangle, float x, float y) {
    if (is_empty(rectangle)) {
        rectangle = {x, y, x, y};
        return;
    }
    rectangle.x0 = x < rectangle.x0 ? x : rectangle.x0;
    rectangle.y0 = y < rectangle.y0 ? y : rectangle.y0;
    rectangle.x1 = x > rectangle.x1 ? x : rectangle.x1;
    rectangle.y1 = y > rectangle.y1 ? y : rectangle.y1;
}

}  // namespace zolt::geometry
