#pragma once
// The confinement of one light's passes to its volume: scissor rectangle 1
// on the light's screen rectangle, the depth-bounds test on the volume's
// depths (where the driver has it) and, with stencil_light_ranges, a
// stencil volume that passes with a stencil byte of 0 must fall inside.
// Opened for a light by the lighting layers and closed before the next
// light or at the end of a pass, leaving the stencil zero again.
// Rendering thread only.
#include <cstdint>

#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/light_source.h"

namespace zolt::renderer {

struct LightRender;

extern bool stencil_clear_by_redraw;
extern bool stencil_light_ranges;

class LightRange {
public:
    // False when the light's volume covers no pixel of the view: the light
    // is skipped. A light without a volume is open and unconfined.
    bool begin(const LightRender& light);
    void end();
    bool is_open() const { return geometry_.triangle_count != 0; }
    const ScissorRectangle& get_rectangle() const { return rectangle_; }

private:
    LightMaskGeometry geometry_;
    ScissorRectangle rectangle_{1.0f, 1.0f, 0.0f, 0.0f};
};

}  // namespace zolt::renderer
