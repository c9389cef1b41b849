#include "zolt/renderer/backend/frame_buffer.h"

#include <algorithm>
#include <cmath>
#include <iterator>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/opengl/stencil_operations.h"

namespace zolt::renderer {

namespace {

using opengl::gl;

FrameBufferState frame_buffer_state;

void set_gl_scissor(int32_t x, int32_t y, int32_t width, int32_t height) {
    frame_buffer_state.scissor_box[0] = x;
    frame_buffer_state.scissor_box[1] = y;
    frame_buffer_state.scissor_box[2] = width;
    frame_buffer_state.scissor_box[3] = height;
    gl.glScissor(x, y, width, height);
}

void scissor_to_viewport() {
    const FrameBufferState& state = frame_buffer_state;
    if (state.viewport_covers_target) {
        gl.glDisable(GL_SCISSOR_TEST);
        return;
    }
    set_gl_scissor(state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height);
    gl.glEnable(GL_SCISSOR_TEST);
}

void clear(uint32_t color, GLbitfield buffers) {
    FrameBufferState& state = frame_buffer_state;
    // A clear for one view covers that view only, never other views drawn
    // before it; the scissor area of the slots comes back afterwards.
    int32_t saved_box[4];
    std::copy(std::begin(state.scissor_box), std::end(state.scissor_box), saved_box);
    if (state.viewport_covers_target) {
        gl.glDisable(GL_SCISSOR_TEST);
    } else {
        gl.glScissor(state.viewport_x, state.viewport_y, state.viewport_width, state.viewport_height);
        gl.glEnable(GL_SCISSOR_TEST);
    }
    const auto channel = [color](uint32_t shift) { return static_cast<float>((color >> shift) & 0xFF) / 255.0f; };
    gl.glClearColor(channel(16), channel(8), channel(0), channel(24));
    opengl::reset_stencil_state();
    gl.glClear(buffers);
    opengl::reset_stencil_clear_tag();
    if (!state.viewport_covers_target) {
        gl.glScissor(saved_box[0], saved_box[1], saved_box[2], saved_box[3]);
        gl.glEnable(GL_SCISSOR_TEST);
    }
}

}  // namespace

const FrameBufferState& get_frame_buffer_state() {
    return frame_buffer_state;
}

void reset_frame_buffer_state() {
    frame_buffer_state = FrameBufferState{};
}

void set_target_size(int32_t width, int32_t height) {
    frame_buffer_state.target_width = width;
    frame_buffer_state.target_height = height;
}

void set_depth_range_collapsed(bool collapsed) {
    frame_buffer_state.depth_range_collapsed = collapsed;
}

void clear_frame_buffer(uint32_t color) {
    clear(color, GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
}

void clear_color_buffer(uint32_t color) {
    clear(color, GL_COLOR_BUFFER_BIT);
}

void set_viewport(int32_t x, int32_t y, int32_t width, int32_t height) {
    FrameBufferState& state = frame_buffer_state;
    state.scissor_slots[0] = nullptr;
    state.scissor_slots[1] = nullptr;
    state.scissor_not_empty = true;
    state.viewport_x = x;
    state.viewport_y = y;
    state.viewport_width = width;
    state.viewport_height = height;
    state.viewport_covers_target = x == 0 && y == 0 && width == state.target_width && height == state.target_height;
    gl.glViewport(x, y, width, height);
    gl.glDepthRange(0.0, state.depth_range_collapsed ? 0.0 : 1.0);
    scissor_to_viewport();
}

void set_viewport_from_rectangle(float origin_x, float origin_y, float size_x, float size_y) {
    const auto round = [](float value) { return static_cast<int32_t>(std::floor(value + 0.5f)); };
    const int32_t x0 = round(origin_x);
    const int32_t y0 = round(origin_y);
    const int32_t x1 = round(origin_x + size_x);
    const int32_t y1 = round(origin_y + size_y);
    set_viewport(x0, y0, x1 - x0, y1 - y0);
}

bool set_scissor_rectangle(uint32_t slot, const ScissorRectangle* rectangle) {
    FrameBufferState& state = frame_buffer_state;
    slot &= 1;
    if (state.scissor_slots[slot] == rectangle) {
        return state.scissor_not_empty;
    }
    state.scissor_slots[slot] = rectangle;
    const ScissorRectangle* first = state.scissor_slots[0];
    const ScissorRectangle* second = state.scissor_slots[1];
    if (first == nullptr && second == nullptr) {
        reset_scissor();
        return true;
    }
    ScissorRectangle area = first != nullptr ? *first : *second;
    if (first != nullptr && second != nullptr) {
        area.minimum_x = std::max(first->minimum_x, second->minimum_x);
        area.minimum_y = std::max(first->minimum_y, second->minimum_y);
        area.maximum_x = std::min(first->maximum_x, second->maximum_x);
        area.maximum_y = std::min(first->maximum_y, second->maximum_y);
    }
    // Negated so that a NaN corner counts as empty too.
    if (!(area.maximum_x >= area.minimum_x) || !(area.maximum_y >= area.minimum_y)) {
        state.scissor_not_empty = false;
        return false;
    }
    state.scissor_not_empty = true;
    const auto clamp = [](float value, int32_t low, int32_t high) {
        // Compared as floats first so a huge or NaN corner never overflows.
        if (!(value > static_cast<float>(low))) {
            return low;
        }
        if (value >= static_cast<float>(high)) {
            return high;
        }
        return static_cast<int32_t>(value);
    };
    const int32_t right = state.viewport_x + state.viewport_width;
    const int32_t top = state.viewport_y + state.viewport_height;
    const int32_t x0 = clamp(std::floor(area.minimum_x - 2.0f), state.viewport_x, right);
    const int32_t y0 = clamp(std::floor(area.minimum_y - 2.0f), state.viewport_y, top);
    const int32_t x1 = clamp(std::ceil(area.maximum_x + 2.0f), state.viewport_x, right);
    const int32_t y1 = clamp(std::ceil(area.maximum_y + 2.0f), state.viewport_y, top);
    set_gl_scissor(x0, y0, x1 - x0, y1 - y0);
    gl.glEnable(GL_SCISSOR_TEST);
    return true;
}

void reset_scissor() {
    FrameBufferState& state = frame_buffer_state;
    state.scissor_slots[0] = nullptr;
    state.scissor_slots[1] = nullptr;
    state.scissor_not_empty = true;
    scissor_to_viewport();
}

void set_scissor_box(int32_t x, int32_t y, int32_t width, int32_t height) {
    FrameBufferState& state = frame_buffer_state;
    state.scissor_slots[0] = nullptr;
    state.scissor_slots[1] = nullptr;
    state.scissor_not_empty = width > 0 && height > 0;
    set_gl_scissor(x, y, width, height);
    gl.glEnable(GL_SCISSOR_TEST);
}

}  // namespace zolt::renderer
