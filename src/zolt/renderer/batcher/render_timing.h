#pragma once
// Where a frame's drawing time goes: called around all the viewports of a
// frame and around each render layer's pass, so a benchmark can finish the
// GL work and read a clock at each edge. Unset, nothing is called. Main
// thread only.
#include <cstdint>

namespace zolt::renderer {

struct RenderTimingObserver {
    void (*viewports)(bool finished) = nullptr;
    void (*layer)(uint32_t index, bool finished) = nullptr;
};

extern RenderTimingObserver render_timing_observer;

}  // namespace zolt::renderer
