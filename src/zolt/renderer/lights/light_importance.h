#pragma once
// How much a light matters where: the distance fades of a light and of its
// shadow, its luminance, the importance keys with which sectors and visuals
// rank their lights, and the bounded priority list that keeps the best
// candidates. Pure functions of the render record; rendering thread.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/renderer/lights/light_render.h"

namespace zolt::renderer {

struct VisibilityContext;

// Below this a luminance or an importance counts as nothing.
constexpr float light_negligible = 1.0f / 65536;
// Each priority step outweighs any luminance or distance term.
constexpr float light_priority_weight = 200.0f;
constexpr float light_luminance_limit = 100.0f;

// 1 near the light down to 0 past start + length; (1, 1) for a directional
// light. A light whose light fade is not above 0 is not drawn.
LightFades get_distance_fades(const LightRender& light, const geometry::Vector3& point);
float get_luminance(const LightRender& light);
// The key with which a sector ranks a light for its objects; 0 when the
// light is too dim to count.
float get_sector_light_key(const LightRender& light);
// 0 when the light does not reach the sphere.
float get_visual_importance(const LightRender& light, const geometry::Vector3& centre, float radius);
float get_fake_shadow_weight(const LightRender& light, const geometry::Vector3& point);
// Fatal for a type that is none of the three.
geometry::Vector3 get_direction_towards_point(const LightRender& light, const geometry::Vector3& point);

// The best `capacity` values by key, in a fixed pool: inserting past the
// capacity evicts the lowest key, or is refused when the newcomer is lower.
// Among equal keys a later insertion ranks above the earlier ones.
class LightPriorityList {
public:
    static constexpr uint32_t pool_size = 32;

    struct Node {
        const LightRender* value = nullptr;
        float key = 0;
        Node* higher = nullptr;
        Node* lower = nullptr;
    };

    explicit LightPriorityList(uint32_t capacity);
    // The node holding the value, or null when it ranks below all kept ones.
    const Node* insert(float key, const LightRender* value);
    void release();

    uint32_t get_count() const { return count_; }
    uint32_t get_capacity() const { return capacity_; }
    // Highest first.
    const Node* get_highest() const { return lowest_ != nullptr ? lowest_->lower : nullptr; }
    const Node* get_lowest() const { return lowest_; }

private:
    Node nodes_[pool_size];
    Node* free_ = nullptr;
    // A ring: lowest->lower is the highest.
    Node* lowest_ = nullptr;
    uint32_t capacity_ = 0;
    uint32_t count_ = 0;
};

// The light indices sorted descending, one byte each, so that the lowest
// byte holds the smallest index. At most eight.
uint64_t pack_light_indices(const uint8_t* indices, uint32_t count);

struct PackedLights {
    uint64_t packed = 0;
    uint32_t count = 0;
};
// Keeps the packed indices whose lights the view sees (all without a view),
// in the same order from the lowest byte.
PackedLights keep_visible_light_indices(uint32_t count, uint64_t packed, const VisibilityContext* view);

// The smallest e >= 1 with value <= 2^e.
uint32_t get_power_of_two_exponent(uint32_t value);
// 0 -> 0, 1 -> 1, else 2^exponent.
uint32_t round_up_to_power_of_two(uint32_t value);

}  // namespace zolt::renderer
