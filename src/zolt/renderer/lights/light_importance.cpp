#include "zolt/renderer/lights/light_importance.h"

#include <algorithm>
#include <cmath>

#include "libs/utility/fatal_error.h"
#include "zolt/renderer/view/visibility_context.h"

namespace zolt::renderer {

namespace {

float get_fade(float distance, float start, float length) {
    return 1.0f - std::clamp((distance - start) / std::max(length, light_negligible), 0.0f, 1.0f);
}

bool is_directional(const LightRender& light) {
    return light.type == static_cast<uint8_t>(LightType::directional);
}

}  // namespace

LightFades get_distance_fades(const LightRender& light, const geometry::Vector3& point) {
    if (is_directional(light)) {
        return {};
    }
    const float distance = geometry::length(point - light.position);
    return {get_fade(distance, light.light_fade_start, light.light_fade_length),
            get_fade(distance, light.shadow_fade_start, light.shadow_fade_length)};
}

float get_luminance(const LightRender& light) {
    return std::fabs(0.3f * light.colour.x * light.intensity + 0.6f * light.colour.y * light.intensity +
                     0.1f * light.colour.z * light.intensity);
}

float get_sector_light_key(const LightRender& light) {
    const float luminance = get_luminance(light);
    // Written so that a luminance that is not a number counts as nothing.
    if (!(luminance >= light_negligible)) {
        return 0;
    }
    return static_cast<float>(light.priority) * light_priority_weight + std::min(luminance, light_luminance_limit);
}

float get_visual_importance(const LightRender& light, const geometry::Vector3& centre, float radius) {
    const float base = static_cast<float>(light.priority) * light_priority_weight;
    if (is_directional(light)) {
        return base + 1;
    }
    const float distance = geometry::length(centre - light.position);
    if (distance > light.range + radius) {
        return 0;
    }
    if (distance <= radius) {
        return base + 1;
    }
    // Here range > distance - radius > 0, so the division is safe.
    const float nearness = 1.0f - (distance - radius) / light.range;
    return nearness < light_negligible ? 0 : base + nearness;
}

float get_fake_shadow_weight(const LightRender& light, const geometry::Vector3& point) {
    if (is_directional(light)) {
        return light.intensity;
    }
    const float distance = geometry::length(point - light.position);
    if (distance > light.range) {
        return 0;
    }
    return std::clamp((light.range - distance) / 4, 0.0f, 1.0f) * light.intensity;
}

geometry::Vector3 get_direction_towards_point(const LightRender& light, const geometry::Vector3& point) {
    switch (static_cast<LightType>(light.type)) {
    case LightType::directional:
        return light.direction;
    case LightType::spot:
    case LightType::point: {
        const geometry::Vector3 towards = point - light.position;
        // A point on the light itself has no direction: the light's own.
        return geometry::length_squared(towards) > 0 ? geometry::normalize(towards) : light.direction;
    }
    default:
        ZOLT_PANIC("Unsupported light type %d.", static_cast<int>(light.type));
    }
}

LightPriorityList::LightPriorityList(uint32_t capacity) : capacity_(std::min(capacity, pool_size)) {
    release();
}

void LightPriorityList::release() {
    for (uint32_t index = 0; index < pool_size; ++index) {
        nodes_[index] = Node{};
        nodes_[index].higher = index + 1 < pool_size ? &nodes_[index + 1] : nullptr;
    }
    free_ = &nodes_[0];
    lowest_ = nullptr;
    count_ = 0;
}

const LightPriorityList::Node* LightPriorityList::insert(float key, const LightRender* value) {
    if (capacity_ == 0) {
        return nullptr;
    }
    Node* node = nullptr;
    if (count_ < capacity_) {
        node = free_;
        free_ = free_->higher;
        ++count_;
    } else {
        if (lowest_->key > key) {
            return nullptr;
        }
        node = lowest_;
        if (count_ == 1) {
            lowest_ = nullptr;
        } else {
            lowest_ = node->higher;
            node->lower->higher = node->higher;
            node->higher->lower = node->lower;
        }
    }
    node->value = value;
    node->key = key;
    if (lowest_ == nullptr) {
        node->higher = node->lower = node;
        lowest_ = node;
        return node;
    }
    // From the highest down to the first key not above the newcomer.
    Node* const highest = lowest_->lower;
    Node* below = highest;
    while (below->key > key && below != lowest_) {
        below = below->lower;
    }
    if (below->key > key) {
        // Lower than everything: the new lowest.
        node->higher = lowest_;
        node->lower = highest;
        highest->higher = node;
        lowest_->lower = node;
        lowest_ = node;
        return node;
    }
    node->lower = below;
    node->higher = below->higher;
    below->higher->lower = node;
    below->higher = node;
    return node;
}

uint64_t pack_light_indices(const uint8_t* indices, uint32_t count) {
    uint8_t sorted[8] = {};
    count = std::min(count, 8u);
    std::copy(indices, indices + count, sorted);
    std::sort(sorted, sorted + count, [](uint8_t a, uint8_t b) { return a > b; });
    uint64_t packed = 0;
    for (uint32_t index = 0; index < count; ++index) {
        packed = packed << 8 | sorted[index];
    }
    return packed;
}

PackedLights keep_visible_light_indices(uint32_t count, uint64_t packed, const VisibilityContext* view) {
    PackedLights kept;
    for (uint32_t index = 0; index < std::min(count, 8u); ++index) {
        const uint32_t light = static_cast<uint32_t>(packed >> (8 * index) & 0xFF);
        if (view == nullptr || view->is_light_visible(light)) {
            kept.packed |= static_cast<uint64_t>(light) << (8 * kept.count);
            ++kept.count;
        }
    }
    return kept;
}

uint32_t get_power_of_two_exponent(uint32_t value) {
    uint32_t exponent = 32;
    for (uint32_t step = 16; step != 0; step /= 2) {
        if (static_cast<uint64_t>(value) <= uint64_t{1} << (exponent - step)) {
            exponent -= step;
        }
    }
    return exponent;
}

uint32_t round_up_to_power_of_two(uint32_t value) {
    if (value <= 1) {
        return value;
    }
    const uint32_t exponent = get_power_of_two_exponent(value);
    // Past 2^31 nothing larger fits: the largest power stands in.
    return exponent >= 32 ? 0x80000000u : 1u << exponent;
}

}  // namespace zolt::renderer
