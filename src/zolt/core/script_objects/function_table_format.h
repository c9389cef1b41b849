#pragma once
// The function-table resource: a sampled curve of equally spaced samples.
// Header of six little-endian words (x0, step, count, interpolate, before
// mode, after mode), then count f32 samples. Read in place, after
// check_function_table_resource has found it sound. Any thread.
#include <cstdint>

namespace zolt::core {

constexpr uint32_t function_table_header_size = 24;

namespace function_table_mode {
constexpr uint32_t zero = 0, hold = 1, repeat = 2, repeat_with_rise = 3, extend = 4;
}  // namespace function_table_mode

struct FunctionTableHeader {
    float x0;
    float step;
    uint32_t count;
    uint32_t interpolate;
    uint32_t before_mode;
    uint32_t after_mode;
};

// False, with the reason, when the bytes are too short for their count, the
// count is 0, or x0, the step or the table's length is not a finite number
// (the step must also be above 0 for more than one sample).
bool check_function_table_resource(const void* bytes, uint32_t size, const char** error);
FunctionTableHeader read_function_table_header(const void* bytes);

// The curve at x of a checked resource. Inside the table the sample at or
// below x, or the line between it and the next; outside by the side's mode:
// 0, the end sample, the end step's slope continued, or the table repeated
// (mode 3 adding the rise of the table for each length passed). An input
// that is not a number answers 0; an infinite one answers what its side's
// mode gives without reading between samples.
float evaluate_function_table_resource(const void* bytes, float x);

}  // namespace zolt::core
