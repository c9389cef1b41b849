#include "zolt/core/script_objects/function_table_format.h"

#include <cmath>
#include <cstring>

namespace zolt::core {

FunctionTableHeader read_function_table_header(const void* bytes) {
    FunctionTableHeader header;
    static_assert(sizeof header == function_table_header_size);
    std::memcpy(&header, bytes, sizeof header);
    return header;
}

bool check_function_table_resource(const void* bytes, uint32_t size, const char** error) {
    if (bytes == nullptr || size < function_table_header_size) {
        *error = "shorter than its header";
        return false;
    }
    const FunctionTableHeader header = read_function_table_header(bytes);
    if (header.count == 0) {
        *error = "no samples";
        return false;
    }
    if (uint64_t{header.count} * 4 > size - function_table_header_size) {
        *error = "fewer samples than its count";
        return false;
    }
    if (!std::isfinite(header.x0)) {
        *error = "a first input that is not a number";
        return false;
    }
    const float length = header.step * static_cast<float>(header.count - 1);
    if (header.count > 1 && (!std::isfinite(header.step) || header.step <= 0.0f || !std::isfinite(length) ||
                             !std::isfinite(header.x0 + length))) {
        *error = "a step that is not a positive number";
        return false;
    }
    return true;
}

namespace {

struct SampledCurve {
    FunctionTableHeader header;
    const uint8_t* samples;
    float length;

    float get_sample(uint32_t index) const {
        float value;
        std::memcpy(&value, samples + 4 * size_t{index}, sizeof value);
        return value;
    }

    float look_up(float offset) const {
        const uint32_t last = header.count - 1;
        if (last == 0) {
            return get_sample(0);
        }
        const float position = offset / header.step;
        const float whole = std::floor(position);
        // Rounding may put an offset just inside the table on its last sample.
        const uint32_t index = whole <= 0.0f                       ? 0
                               : whole >= static_cast<float>(last) ? last
                                                                   : static_cast<uint32_t>(whole);
        if (header.interpolate == 0 || index == last) {
            return get_sample(index);
        }
        return get_sample(index) + (get_sample(index + 1) - get_sample(index)) * (position - whole);
    }

    float repeat(float offset, bool adds_rise) const {
        float turns = std::floor(offset / length);
        float remainder = offset - turns * length;
        if (remainder < 0.0f) {
            remainder = 0.0f;
        } else if (remainder >= length) {
            remainder = 0.0f;
            turns += 1.0f;
        }
        const float value = look_up(remainder);
        return adds_rise ? value + turns * (get_sample(header.count - 1) - get_sample(0)) : value;
    }
};

}  // namespace

float evaluate_function_table_resource(const void* bytes, float x) {
    SampledCurve curve{read_function_table_header(bytes),
                       static_cast<const uint8_t*>(bytes) + function_table_header_size, 0.0f};
    const FunctionTableHeader& header = curve.header;
    const uint32_t last_index = header.count - 1;
    curve.length = header.step * static_cast<float>(last_index);
    if (std::isnan(x)) {
        return 0.0f;
    }
    const float first = curve.get_sample(0);
    const float last = curve.get_sample(last_index);
    const float offset = x - header.x0;
    if (offset < 0.0f) {
        const float slope = last_index > 0 ? (curve.get_sample(1) - first) / header.step : 0.0f;
        switch (header.before_mode) {
        case function_table_mode::zero:
            return 0.0f;
        case function_table_mode::hold:
            return first;
        case function_table_mode::extend:
            return slope == 0.0f ? first : first + slope * offset;
        default:
            return last_index == 0 || std::isinf(offset)
                       ? first
                       : curve.repeat(offset, header.before_mode == function_table_mode::repeat_with_rise);
        }
    }
    if (offset > curve.length) {
        const float slope = last_index > 0 ? (last - curve.get_sample(last_index - 1)) / header.step : 0.0f;
        switch (header.after_mode) {
        case function_table_mode::zero:
            return 0.0f;
        case function_table_mode::hold:
            return last;
        case function_table_mode::extend:
            return slope == 0.0f ? last : last + slope * (offset - curve.length);
        default:
            return last_index == 0 || std::isinf(offset)
                       ? last
                       : curve.repeat(offset, header.after_mode == function_table_mode::repeat_with_rise);
        }
    }
    return curve.look_up(offset);
}

}  // namespace zolt::core
