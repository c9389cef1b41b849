#pragma once
// The curves of a motion resource (ids 0x60000000 + n) and their evaluation.
// The resource starts with a word motions do not read, then one word per
// curve: its offset from the resource's start, 0 for none. A curve is a
// header of six words (kind, the constant or the key count, start time, end
// time, the values before the start and after the end) and its keys: kind 0
// a constant, kind 1 polynomial keys (time, c0-c3: the value is a cubic of
// the time since the key), any other kind parametric keys (time, flags,
// a0-a3, d0-d3: the normalised time and the value are cubics of one
// parameter). All little-endian. Curves are checked before they are read in
// place. Any thread.
#include <cstdint>
#include <optional>

namespace zolt::core {

namespace motion_curve_kind {
constexpr uint32_t constant = 0, polynomial = 1;
}  // namespace motion_curve_kind

constexpr uint32_t motion_curve_header_size = 24;
constexpr uint32_t polynomial_key_size = 20;
constexpr uint32_t parametric_key_size = 40;
// Flag bit 0 of a parametric key: the parameter is the normalised time.
constexpr uint32_t parameter_is_time_flag = 1;
constexpr float motion_epsilon = 1.0f / 65536.0f;

// Where a channel's curve stands and the segment it found last.
struct MotionCurveCursor {
    uint32_t curve_offset = 0;
    uint32_t kind = 0;
    uint32_t key_count = 0;
    uint32_t key_size = 0;
    uint32_t key_index = 0;
    // 1 / the current segment's length; 0 below 2^-16.
    float segment_reciprocal = 0;
};

// The offset of curve index; false with the reason when the resource has no
// word for it.
bool find_motion_curve(const void* data, uint32_t size, uint32_t curve_index, uint32_t* curve_offset,
                       const char** error);
// False, with the reason, when the curve does not fit the resource, its
// times are not numbers, its keys are not in ascending time, or its keys do
// not cover its start and end times.
bool check_motion_curve(const void* data, uint32_t size, uint32_t curve_offset, const char** error);
// For a checked curve.
MotionCurveCursor make_motion_curve_cursor(const void* data, uint32_t curve_offset);
float get_motion_curve_end_time(const void* data, const MotionCurveCursor& cursor);
// The curve's value at time t; moves the cursor to t's segment.
float evaluate_motion_curve(const void* data, MotionCurveCursor& cursor, float t);

// One s in [0, 1] with b0 + b1 s + b2 s² + b3 s³ = 0, within a tolerance of
// 2^-16; none when there is no such root or the roots in range disagree.
std::optional<float> solve_cubic_in_unit_interval(float b0, float b1, float b2, float b3);

}  // namespace zolt::core
