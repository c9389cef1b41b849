#include "zolt/core/script_objects/motion_curve.h"

#include <cmath>
#include <cstring>

#include "libs/geometry/script_trigonometry.h"

namespace zolt::core {
namespace {

namespace trig = geometry::script_trig;

constexpr uint32_t first_curve_word = 4;

template <class T>
T read(const void* data, uint64_t offset) {
    T value;
    std::memcpy(&value, static_cast<const uint8_t*>(data) + offset, sizeof value);
    return value;
}

float get_key_time(const void* data, const MotionCurveCursor& cursor, uint32_t key) {
    return read<float>(data,
                       uint64_t{cursor.curve_offset} + motion_curve_header_size + uint64_t{key} * cursor.key_size);
}

float get_segment_reciprocal(const void* data, const MotionCurveCursor& cursor, uint32_t key) {
    if (key + 1 >= cursor.key_count) {
        return 0.0f;
    }
    const float length = get_key_time(data, cursor, key + 1) - get_key_time(data, cursor, key);
    return length < motion_epsilon ? 0.0f : 1.0f / length;
}

// The index of the first key in [low, high] whose time is above t.
uint32_t find_first_key_after(const void* data, const MotionCurveCursor& cursor, uint32_t low, uint32_t high, float t) {
    while (low <= high) {
        const float low_time = get_key_time(data, cursor, low);
        if (t < low_time) {
            return low;
        }
        if (t == low_time) {
            return low + 1;
        }
        if (t >= get_key_time(data, cursor, high)) {
            return high + 1;
        }
        const uint32_t middle = low + (high - low) / 2;
        if (t < get_key_time(data, cursor, middle)) {
            high = middle - 1;
        } else {
            low = middle + 1;
        }
    }
    return low;
}

void locate_segment(const void* data, MotionCurveCursor& cursor, float t) {
    const uint32_t current = cursor.key_index;
    uint32_t next_key;
    if (t < get_key_time(data, cursor, current)) {
        if (current == 0) {
            return;
        }
        next_key = find_first_key_after(data, cursor, 0, current - 1, t);
    } else if (current + 1 < cursor.key_count && t >= get_key_time(data, cursor, current + 1)) {
        if (current + 2 > cursor.key_count - 1) {
            next_key = cursor.key_count;
        } else {
            next_key = find_first_key_after(data, cursor, current + 2, cursor.key_count - 1, t);
        }
    } else {
        return;
    }
    const uint32_t segment = next_key == 0 ? 0 : next_key - 1;
    cursor.key_index = segment < cursor.key_count ? segment : cursor.key_count - 1;
    cursor.segment_reciprocal = get_segment_reciprocal(data, cursor, cursor.key_index);
}

float clamp_unit(float s) {
    return s < 0.0f ? 0.0f : s > 1.0f ? 1.0f : s;
}

bool is_in_range(float s) {
    return s >= -motion_epsilon && s <= 1.0f + motion_epsilon;
}

float sign_of(float value) {
    return value > 0.0f ? 1.0f : value < 0.0f ? -1.0f : 0.0f;
}

std::optional<float> choose_quadratic_root(float first, float second) {
    const bool first_in_range = is_in_range(first);
    const bool second_in_range = is_in_range(second);
    if (first_in_range && second_in_range) {
        if (std::fabs(first - second) > motion_epsilon) {
            return std::nullopt;
        }
        return clamp_unit(first);
    }
    if (first_in_range) {
        return clamp_unit(first);
    }
    if (second_in_range) {
        return clamp_unit(second);
    }
    return std::nullopt;
}

}  // namespace

bool find_motion_curve(const void* data, uint32_t size, uint32_t curve_index, uint32_t* curve_offset,
                       const char** error) {
    const uint64_t word = first_curve_word + uint64_t{curve_index} * 4;
    if (data == nullptr || word + 4 > size) {
        *error = "no offset for the curve";
        return false;
    }
    *curve_offset = read<uint32_t>(data, word);
    return true;
}

bool check_motion_curve(const void* data, uint32_t size, uint32_t curve_offset, const char** error) {
    if (uint64_t{curve_offset} + motion_curve_header_size > size) {
        *error = "a curve outside the resource";
        return false;
    }
    const uint32_t kind = read<uint32_t>(data, curve_offset);
    if (kind == motion_curve_kind::constant) {
        return true;
    }
    const float start = read<float>(data, uint64_t{curve_offset} + 8);
    const float end = read<float>(data, uint64_t{curve_offset} + 12);
    if (!std::isfinite(start) || !std::isfinite(end) || end < start) {
        *error = "start and end times that are not an interval";
        return false;
    }
    const uint32_t count = read<uint32_t>(data, uint64_t{curve_offset} + 4);
    const uint32_t key_size = kind == motion_curve_kind::polynomial ? polynomial_key_size : parametric_key_size;
    if (count == 0 || uint64_t{count} * key_size > size - (uint64_t{curve_offset} + motion_curve_header_size)) {
        *error = "a key count that does not fit the resource";
        return false;
    }
    const uint64_t keys = uint64_t{curve_offset} + motion_curve_header_size;
    float previous = read<float>(data, keys);
    if (!std::isfinite(previous) || previous > start) {
        *error = "a first key after the start time";
        return false;
    }
    for (uint32_t key = 1; key < count; ++key) {
        const float time = read<float>(data, keys + uint64_t{key} * key_size);
        if (!std::isfinite(time) || time < previous) {
            *error = "keys out of time order";
            return false;
        }
        previous = time;
    }
    if (previous < end) {
        *error = "a last key before the end time";
        return false;
    }
    return true;
}

MotionCurveCursor make_motion_curve_cursor(const void* data, uint32_t curve_offset) {
    MotionCurveCursor cursor;
    cursor.curve_offset = curve_offset;
    cursor.kind = read<uint32_t>(data, curve_offset);
    if (cursor.kind == motion_curve_kind::constant) {
        cursor.segment_reciprocal = 1.0f;
        return cursor;
    }
    cursor.key_count = read<uint32_t>(data, uint64_t{curve_offset} + 4);
    cursor.key_size = cursor.kind == motion_curve_kind::polynomial ? polynomial_key_size : parametric_key_size;
    cursor.segment_reciprocal = get_segment_reciprocal(data, cursor, 0);
    return cursor;
}

float get_motion_curve_end_time(const void* data, const MotionCurveCursor& cursor) {
    return cursor.kind == motion_curve_kind::constant ? 0.0f : read<float>(data, uint64_t{cursor.curve_offset} + 12);
}

float evaluate_motion_curve(const void* data, MotionCurveCursor& cursor, float t) {
    const uint64_t curve = cursor.curve_offset;
    if (cursor.kind == motion_curve_kind::constant) {
        return read<float>(data, curve + 4);
    }
    if (t <= read<float>(data, curve + 8)) {
        return read<float>(data, curve + 16);
    }
    if (t >= read<float>(data, curve + 12)) {
        return read<float>(data, curve + 20);
    }
    locate_segment(data, cursor, t);
    const uint64_t key = curve + motion_curve_header_size + uint64_t{cursor.key_index} * cursor.key_size;
    const float key_time = read<float>(data, key);
    if (cursor.kind == motion_curve_kind::polynomial) {
        const float u = t - key_time;
        return ((read<float>(data, key + 16) * u + read<float>(data, key + 12)) * u + read<float>(data, key + 8)) * u +
               read<float>(data, key + 4);
    }
    const float x = (t - key_time) * cursor.segment_reciprocal;
    float s = x;
    if ((read<uint32_t>(data, key + 4) & parameter_is_time_flag) == 0) {
        s = solve_cubic_in_unit_interval(read<float>(data, key + 8) - x, read<float>(data, key + 12),
                                         read<float>(data, key + 16), read<float>(data, key + 20))
                .value_or(0.0f);
    }
    return ((read<float>(data, key + 36) * s + read<float>(data, key + 32)) * s + read<float>(data, key + 28)) * s +
           read<float>(data, key + 24);
}

std::optional<float> solve_cubic_in_unit_interval(float b0, float b1, float b2, float b3) {
    if (std::fabs(b3) < motion_epsilon) {
        if (std::fabs(b2) < motion_epsilon) {
            if (std::fabs(b1) < motion_epsilon) {
                return std::nullopt;
            }
            const float s = -b0 / b1;
            return s >= 0.0f && s <= 1.0f ? std::optional<float>(s) : std::nullopt;
        }
        if (std::fabs(b1) <= 1.0f / 16384.0f) {
            if (b0 >= motion_epsilon) {
                return std::nullopt;
            }
            if (b0 >= -motion_epsilon) {
                return 0.0f;
            }
            const float root = std::sqrt(-b0 / b2);
            return choose_quadratic_root(root, -root);
        }
        const float discriminant = b1 * b1 - 4.0f * b0 * b2;
        if (discriminant < 0.0f) {
            return std::nullopt;
        }
        const float q = -0.5f * (b1 + sign_of(b1) * std::sqrt(discriminant));
        return choose_quadratic_root(q / b2, b0 / q);
    }
    const float a2 = b2 / b3;
    const float a1 = b1 / b3;
    const float a0 = b0 / b3;
    const float q = (a2 * a2 - 3.0f * a1) * 0.11111111f;
    const float r = (2.0f * a2 * a2 * a2 - 9.0f * a1 * a2 + 27.0f * a0) * 0.018518519f;
    const float q_cubed = q * q * q;
    const float h = r * r - q_cubed;
    if (h > 0.0f) {
        const float g = -sign_of(r) * std::pow(std::fabs(r) + std::sqrt(h), 0.33333334f);
        const float root = std::fabs(g) < motion_epsilon ? g - a2 / 3.0f : g + q / g - a2 / 3.0f;
        return is_in_range(root) ? std::optional<float>(clamp_unit(root)) : std::nullopt;
    }
    const float root_q_cubed = std::sqrt(q_cubed);
    if (!(root_q_cubed >= motion_epsilon)) {
        // A root of multiplicity three.
        const float root = -a2 / 3.0f;
        return is_in_range(root) ? std::optional<float>(clamp_unit(root)) : std::nullopt;
    }
    const float theta = trig::arccosine(r / root_q_cubed);
    const float scale = -2.0f * std::sqrt(q);
    std::optional<float> taken;
    for (const float shift : {0.0f, 1.0f / 3.0f, -1.0f / 3.0f}) {
        const float candidate = scale * trig::cosine(theta / 3.0f + shift) - a2 / 3.0f;
        if (!is_in_range(candidate)) {
            continue;
        }
        const float clamped = clamp_unit(candidate);
        if (taken && std::fabs(clamped - *taken) > motion_epsilon) {
            return std::nullopt;
        }
        taken = clamped;
    }
    return taken;
}

}  // namespace zolt::core
