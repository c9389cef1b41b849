#pragma once
// Clearing the frame buffer, and the GL viewport, depth range and scissor
// rectangle kept consistent with the target being drawn (the whole window or
// a render target). The scissor follows two caller-owned rectangles (slot 0
// and slot 1), combined, grown by 2 pixels and kept inside the viewport; the
// state is cached so that repeating a rectangle makes no GL call.
// Rendering thread only.
#include <cstdint>

namespace zolt::renderer {

// Minimum x, minimum y, maximum x, maximum y, in pixels.
struct ScissorRectangle {
    float minimum_x = 0.0f;
    float minimum_y = 0.0f;
    float maximum_x = 0.0f;
    float maximum_y = 0.0f;
};

struct FrameBufferState {
    int32_t target_width = 0;
    int32_t target_height = 0;
    int32_t viewport_x = 0;
    int32_t viewport_y = 0;
    int32_t viewport_width = 0;
    int32_t viewport_height = 0;
    bool viewport_covers_target = true;
    bool depth_range_collapsed = false;
    const ScissorRectangle* scissor_slots[2] = {nullptr, nullptr};
    bool scissor_not_empty = true;
    // The box last given to glScissor.
    int32_t scissor_box[4] = {0, 0, 0, 0};
};

const FrameBufferState& get_frame_buffer_state();
// Everything to 0, the viewport covering the target, the scissor not empty;
// also at static initialisation.
void reset_frame_buffer_state();

// The surface drawn next: the display mode's size or a render target's.
void set_target_size(int32_t width, int32_t height);
// Set by the occlusion-query pass: every viewport change then uses the depth
// range 0..0.
void set_depth_range_collapsed(bool collapsed);

// color is a PackedColor: alpha in the top byte, then red, green and blue.
// Clears colour, depth and stencil (clear_color_buffer: colour only) within
// the viewport.
void clear_frame_buffer(uint32_t color);
void clear_color_buffer(uint32_t color);

void set_viewport(int32_t x, int32_t y, int32_t width, int32_t height);
// Corners rounded to the nearest pixel.
void set_viewport_from_rectangle(float origin_x, float origin_y, float size_x, float size_y);

// False when the combined area is empty: nothing should be drawn. The slot
// keeps the rectangle's address; a rectangle changed in place must be set
// again after the slot was emptied.
bool set_scissor_rectangle(uint32_t slot, const ScissorRectangle* rectangle);
void reset_scissor();
// An exact box in pixels with the test on, in place of the slots (which are
// forgotten); the 2D overlay clips this way.
void set_scissor_box(int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace zolt::renderer
