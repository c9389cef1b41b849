#include "zolt/renderer/particles/particle_generator_properties.h"

#include <cmath>
#include <cstddef>
#include <cstring>

namespace zolt::renderer {
namespace {

using core::Property;

enum class FieldKind : uint8_t { flag, word, real, vector, tint, small_integer };

enum class SetRule : uint8_t {
    stored,
    non_negative,
    clamp_unit,
    clamp_spread,
    non_negative_components,
    direction,
    minimum_speed,
    maximum_speed,
    immortal,
    zero_or_one,
};

struct DescriptionRow {
    uint16_t key;
    uint16_t offset;
    FieldKind kind;
    SetRule rule;
};

#define ZOLT_FIELD(name) static_cast<uint16_t>(offsetof(ParticleDescription, name))

constexpr DescriptionRow rows[] = {
    {409, ZOLT_FIELD(orientation_mode), FieldKind::word, SetRule::stored},
    {413, ZOLT_FIELD(animation_duration), FieldKind::real, SetRule::non_negative},
    {414, ZOLT_FIELD(animation_loops), FieldKind::flag, SetRule::stored},
    {415, ZOLT_FIELD(animation_random_start), FieldKind::flag, SetRule::stored},
    {91, ZOLT_FIELD(enabled), FieldKind::flag, SetRule::stored},
    {416, ZOLT_FIELD(immortal_particles), FieldKind::flag, SetRule::immortal},
    {376, ZOLT_FIELD(destroy_when_idle), FieldKind::flag, SetRule::stored},
    {417, ZOLT_FIELD(stopped), FieldKind::flag, SetRule::stored},
    {20, ZOLT_FIELD(no_sector), FieldKind::flag, SetRule::stored},
    {418, ZOLT_FIELD(unclipped), FieldKind::flag, SetRule::stored},
    {419, ZOLT_FIELD(bounce_enabled), FieldKind::flag, SetRule::stored},
    {420, ZOLT_FIELD(bounce_height), FieldKind::real, SetRule::stored},
    {421, ZOLT_FIELD(restitution), FieldKind::real, SetRule::non_negative},
    {422, ZOLT_FIELD(restitution_range), FieldKind::real, SetRule::non_negative},
    {423, ZOLT_FIELD(bounce_rest_threshold), FieldKind::real, SetRule::stored},
    {424, ZOLT_FIELD(burst_limit), FieldKind::word, SetRule::stored},
    {425, ZOLT_FIELD(emission_shape), FieldKind::word, SetRule::stored},
    {426, ZOLT_FIELD(shape_extents), FieldKind::vector, SetRule::non_negative_components},
    {427, ZOLT_FIELD(emit_from_surface), FieldKind::flag, SetRule::stored},
    {428, ZOLT_FIELD(one_point_per_burst), FieldKind::flag, SetRule::stored},
    {429, ZOLT_FIELD(grid_count), FieldKind::word, SetRule::stored},
    {307, ZOLT_FIELD(acceleration), FieldKind::vector, SetRule::stored},
    {485, ZOLT_FIELD(emitter_velocity_factor), FieldKind::vector, SetRule::stored},
    {430, ZOLT_FIELD(jitter_speed), FieldKind::real, SetRule::non_negative},
    {431, ZOLT_FIELD(jitter_extents), FieldKind::vector, SetRule::non_negative_components},
    {432, ZOLT_FIELD(radial_acceleration), FieldKind::real, SetRule::stored},
    {433, ZOLT_FIELD(start_delay), FieldKind::word, SetRule::stored},
    {434, ZOLT_FIELD(cycle_length), FieldKind::word, SetRule::stored},
    {435, ZOLT_FIELD(burst_interval), FieldKind::word, SetRule::stored},
    {436, ZOLT_FIELD(burst_interval_range), FieldKind::word, SetRule::stored},
    {437, ZOLT_FIELD(burst_size), FieldKind::word, SetRule::stored},
    {438, ZOLT_FIELD(burst_size_range), FieldKind::word, SetRule::stored},
    {439, ZOLT_FIELD(lifetime), FieldKind::word, SetRule::stored},
    {440, ZOLT_FIELD(lifetime_range), FieldKind::word, SetRule::stored},
    {441, ZOLT_FIELD(direction), FieldKind::vector, SetRule::direction},
    {442, ZOLT_FIELD(spread), FieldKind::real, SetRule::clamp_spread},
    {443, ZOLT_FIELD(direction_mode), FieldKind::word, SetRule::stored},
    {444, ZOLT_FIELD(speed), FieldKind::real, SetRule::stored},
    {445, ZOLT_FIELD(speed_range), FieldKind::real, SetRule::stored},
    {446, ZOLT_FIELD(minimum_speed), FieldKind::real, SetRule::minimum_speed},
    {447, ZOLT_FIELD(maximum_speed), FieldKind::real, SetRule::maximum_speed},
    {483, ZOLT_FIELD(tangential_acceleration), FieldKind::real, SetRule::stored},
    {484, ZOLT_FIELD(tangential_delay), FieldKind::word, SetRule::stored},
    {448, ZOLT_FIELD(rotation), FieldKind::real, SetRule::stored},
    {449, ZOLT_FIELD(rotation_range), FieldKind::real, SetRule::stored},
    {450, ZOLT_FIELD(spin), FieldKind::real, SetRule::stored},
    {451, ZOLT_FIELD(spin_range), FieldKind::real, SetRule::stored},
    {452, ZOLT_FIELD(random_spin_direction), FieldKind::flag, SetRule::stored},
    {453, ZOLT_FIELD(start_color), FieldKind::word, SetRule::stored},
    {454, ZOLT_FIELD(start_color_2), FieldKind::word, SetRule::stored},
    {455, ZOLT_FIELD(end_color), FieldKind::word, SetRule::stored},
    {456, ZOLT_FIELD(end_color_2), FieldKind::word, SetRule::stored},
    {457, ZOLT_FIELD(uniform_color_blend), FieldKind::flag, SetRule::stored},
    {458, ZOLT_FIELD(color_blend_start), FieldKind::real, SetRule::clamp_unit},
    {459, ZOLT_FIELD(color_blend_end), FieldKind::real, SetRule::clamp_unit},
    {460, ZOLT_FIELD(fade_in), FieldKind::word, SetRule::stored},
    {461, ZOLT_FIELD(fade_in_range), FieldKind::word, SetRule::stored},
    {462, ZOLT_FIELD(fade_out), FieldKind::word, SetRule::stored},
    {463, ZOLT_FIELD(fade_out_range), FieldKind::word, SetRule::stored},
    {464, ZOLT_FIELD(near_cut_distance), FieldKind::real, SetRule::stored},
    {465, ZOLT_FIELD(near_fade_distance), FieldKind::real, SetRule::stored},
    {466, ZOLT_FIELD(far_fade_distance), FieldKind::real, SetRule::stored},
    {467, ZOLT_FIELD(far_cut_distance), FieldKind::real, SetRule::stored},
    {480, ZOLT_FIELD(update_margin), FieldKind::real, SetRule::stored},
    {479, ZOLT_FIELD(bounding_radius), FieldKind::real, SetRule::non_negative},
    {468, ZOLT_FIELD(size), FieldKind::real, SetRule::non_negative},
    {469, ZOLT_FIELD(size_range), FieldKind::real, SetRule::non_negative},
    {470, ZOLT_FIELD(growth), FieldKind::real, SetRule::non_negative},
    {471, ZOLT_FIELD(growth_range), FieldKind::real, SetRule::non_negative},
    {472, ZOLT_FIELD(size_rate), FieldKind::real, SetRule::stored},
    {473, ZOLT_FIELD(size_rate_range), FieldKind::real, SetRule::non_negative},
    {474, ZOLT_FIELD(width_factor), FieldKind::real, SetRule::stored},
    {475, ZOLT_FIELD(width_per_speed), FieldKind::real, SetRule::stored},
    {476, ZOLT_FIELD(height_factor), FieldKind::real, SetRule::stored},
    {477, ZOLT_FIELD(height_per_speed), FieldKind::real, SetRule::stored},
    {478, ZOLT_FIELD(near_shrink_radius), FieldKind::real, SetRule::non_negative},
    {481, ZOLT_FIELD(tint), FieldKind::tint, SetRule::stored},
    {118, ZOLT_FIELD(request_word), FieldKind::word, SetRule::stored},
    {482, ZOLT_FIELD(depth_bias), FieldKind::real, SetRule::stored},
    {27, ZOLT_FIELD(layer_word), FieldKind::small_integer, SetRule::zero_or_one},
    {606, ZOLT_FIELD(material_option), FieldKind::flag, SetRule::stored},
};

#undef ZOLT_FIELD

constexpr float smallest_direction_squared = 1.0f / 65536.0f;

uint32_t get_type_byte(FieldKind kind) {
    switch (kind) {
    case FieldKind::real:
        return core::property_type::floating;
    case FieldKind::vector:
        return core::property_type::vector3;
    case FieldKind::tint:
        return core::property_type::vector4;
    case FieldKind::small_integer:
        return core::property_type::signed_integer;
    default:
        return core::property_type::unsigned_integer;
    }
}

const DescriptionRow* find_row(uint32_t key) {
    for (const DescriptionRow& row : rows) {
        if (row.key == key) {
            return &row;
        }
    }
    return nullptr;
}

float* get_floats(ParticleDescription& description, const DescriptionRow& row) {
    return reinterpret_cast<float*>(reinterpret_cast<uint8_t*>(&description) + row.offset);
}

const uint8_t* get_bytes(const ParticleDescription& description, const DescriptionRow& row) {
    return reinterpret_cast<const uint8_t*>(&description) + row.offset;
}

uint32_t get_lane_count(FieldKind kind) {
    return kind == FieldKind::vector || kind == FieldKind::tint ? 4 : 1;
}

float non_negative(float value) {
    return value < 0.0f ? 0.0f : value;
}

float clamp(float value, float low, float high) {
    return value < low ? low : value > high ? high : value;
}

void store_floats(ParticleDescription& description, const DescriptionRow& row, const float* lanes) {
    float* const field = get_floats(description, row);
    const uint32_t lane_count = get_lane_count(row.kind);
    for (uint32_t lane = 0; lane < lane_count; ++lane) {
        field[lane] = lanes[lane];
    }
    switch (row.rule) {
    case SetRule::non_negative:
        field[0] = non_negative(field[0]);
        break;
    case SetRule::clamp_unit:
        field[0] = clamp(field[0], 0.0f, 1.0f);
        break;
    case SetRule::clamp_spread:
        field[0] = clamp(field[0], 0.0f, 0.5f);
        break;
    case SetRule::non_negative_components:
        for (uint32_t lane = 0; lane < 3; ++lane) {
            field[lane] = non_negative(field[lane]);
        }
        break;
    case SetRule::direction: {
        const geometry::Vector3 written{field[0], field[1], field[2]};
        const float squared = geometry::length_squared(written);
        const geometry::Vector3 unit =
            squared < smallest_direction_squared ? geometry::Vector3{0, 1, 0} : written * (1.0f / std::sqrt(squared));
        field[0] = unit.x;
        field[1] = unit.y;
        field[2] = unit.z;
        break;
    }
    case SetRule::minimum_speed:
        field[0] = non_negative(field[0]);
        if (description.maximum_speed < field[0]) {
            description.maximum_speed = field[0];
        }
        break;
    case SetRule::maximum_speed:
        field[0] = non_negative(field[0]);
        if (field[0] != 0.0f && description.minimum_speed > field[0]) {
            description.minimum_speed = field[0];
        }
        break;
    default:
        break;
    }
}

}  // namespace

bool get_description_property(const ParticleDescription& description, uint32_t id, Property& out) {
    const DescriptionRow* const row = find_row(id & 0xFFFFFFu);
    if (row == nullptr) {
        return false;
    }
    const uint32_t type_word = get_type_byte(row->kind) << 24 | row->key;
    if (!core::is_bare_property_key(id) && id != type_word) {
        return false;
    }
    const uint8_t* const bytes = get_bytes(description, *row);
    if (row->kind == FieldKind::flag) {
        out.set_u32(type_word, *bytes != 0 ? 1 : 0);
        return true;
    }
    const uint32_t lane_count = get_lane_count(row->kind);
    out.set_u32(type_word, 0);
    std::memcpy(out.value, bytes, lane_count * sizeof(uint32_t));
    return true;
}

DescriptionWrite set_description_property(ParticleDescription& description, uint32_t id, const Property& value) {
    if (core::is_bare_property_key(id)) {
        return DescriptionWrite::unknown;
    }
    const DescriptionRow* const row = find_row(id & 0xFFFFFFu);
    if (row == nullptr || id != (get_type_byte(row->kind) << 24 | row->key)) {
        return DescriptionWrite::unknown;
    }
    switch (row->kind) {
    case FieldKind::flag: {
        uint8_t flag = value.get_u32() != 0 ? 1 : 0;
        if (row->rule == SetRule::immortal && description.destroy_when_idle != 0) {
            flag = 0;
        }
        *const_cast<uint8_t*>(get_bytes(description, *row)) = flag;
        return DescriptionWrite::stored;
    }
    case FieldKind::word:
    case FieldKind::small_integer: {
        const uint32_t word = value.get_u32();
        if (row->rule == SetRule::zero_or_one && word > 1) {
            return DescriptionWrite::refused;
        }
        std::memcpy(get_floats(description, *row), &word, sizeof word);
        return DescriptionWrite::stored;
    }
    default: {
        const uint32_t lane_count = get_lane_count(row->kind);
        float lanes[4];
        for (uint32_t lane = 0; lane < lane_count; ++lane) {
            lanes[lane] = value.get_float(static_cast<int>(lane));
            if (!std::isfinite(lanes[lane])) {
                return DescriptionWrite::refused;
            }
        }
        store_floats(description, *row, lanes);
        return DescriptionWrite::stored;
    }
    }
}

}  // namespace zolt::renderer
