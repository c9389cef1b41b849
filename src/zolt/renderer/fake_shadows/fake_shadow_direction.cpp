#include "zolt/renderer/fake_shadows/fake_shadow_direction.h"

#include <algorithm>
#include <cmath>

#include "zolt/renderer/fake_shadows/fake_shadow.h"
#include "zolt/renderer/lights/light_importance.h"
#include "zolt/renderer/lights/light_render.h"

namespace zolt::renderer {

namespace {

constexpr float vanishing_length = 1.0f / 65536;
constexpr float straight_down = -1.5707963f;
constexpr float half_down = -0.78539816f;
constexpr float fill_scale = 100.0f;
constexpr float fill_limit = 0.3f;

float move_towards(float current, float target, float limit) {
    return current + std::clamp(target - current, -limit, limit);
}

}  // namespace

geometry::Quaternion get_fake_shadow_orientation(const geometry::Vector3& direction) {
    const float heading = std::atan2(-direction.x, direction.y);
    const float elevation = std::asin(std::clamp(direction.z, -1.0f, 1.0f));
    const float ch = std::cos(heading / 2), sh = std::sin(heading / 2);
    const float ce = std::cos(elevation / 2), se = std::sin(elevation / 2);
    return {ch * se, sh * se, sh * ce, ch * ce};
}

geometry::Vector3 clamp_fake_shadow_elevation(const geometry::Vector3& direction) {
    const float length = geometry::length(direction);
    const geometry::Vector3 unit = length > vanishing_length ? direction * (1.0f / length) : geometry::Vector3{0, 0, 1};
    const float heading = std::atan2(-unit.x, unit.y);
    const float elevation = std::clamp(std::asin(std::clamp(unit.z, -1.0f, 1.0f)), straight_down, half_down);
    return {-std::sin(heading) * std::cos(elevation), std::cos(heading) * std::cos(elevation), std::sin(elevation)};
}

FakeShadowTarget compute_fake_shadow_target(const LightRender* const* lights, uint32_t count,
                                            const geometry::Vector3& centre) {
    geometry::Vector3 directional_sum, local_sum;
    float local_weight = 0;
    bool has_directional = false, has_local = false;
    for (uint32_t index = 0; index < count; ++index) {
        const LightRender& light = *lights[index];
        const float weight = light.on != 0 && light.casts_fake_shadows != 0 ? get_fake_shadow_weight(light, centre) : 0;
        if (!(weight > 0)) {
            continue;
        }
        const geometry::Vector3 towards = get_direction_towards_point(light, centre) * weight;
        if (light.type == static_cast<uint8_t>(LightType::directional)) {
            directional_sum = directional_sum + towards;
            has_directional = true;
        } else {
            local_sum = local_sum + towards;
            local_weight += weight;
            has_local = true;
        }
    }
    FakeShadowTarget target;
    if (!has_directional && !has_local) {
        return target;
    }
    geometry::Vector3 direction;
    if (has_directional && has_local) {
        const geometry::Vector3 blended =
            geometry::lerp(clamp_fake_shadow_elevation(directional_sum), clamp_fake_shadow_elevation(local_sum),
                           std::min(local_weight, 1.0f));
        const float length = geometry::length(blended);
        direction = length > vanishing_length ? blended * (1.0f / length) : clamp_fake_shadow_elevation(local_sum);
    } else {
        direction = clamp_fake_shadow_elevation(has_directional ? directional_sum : local_sum);
    }

    float darkness = 0;
    geometry::Vector3 fill;
    for (uint32_t index = 0; index < count; ++index) {
        const LightRender& light = *lights[index];
        const float weight = light.on != 0 && light.casts_fake_shadows != 0 ? get_fake_shadow_weight(light, centre) : 0;
        if (!(weight > 0)) {
            continue;
        }
        const geometry::Vector3 own = geometry::normalize(get_direction_towards_point(light, centre));
        const float cosine = geometry::dot(own, direction);
        if (cosine >= 0) {
            darkness += weight * light.fake_shadow_strength * cosine;
        } else {
            const geometry::Vector3 colour{light.colour.x, light.colour.y, light.colour.z};
            fill = fill + colour * (-cosine * weight);
        }
    }
    if (!(darkness > 0)) {
        return target;
    }
    target.found = true;
    target.direction = direction;
    target.strength = {std::min(fill_scale * fill.x, fill_limit), std::min(fill_scale * fill.y, fill_limit),
                       std::min(fill_scale * fill.z, fill_limit), std::min(darkness, 1.0f)};
    return target;
}

void move_fake_shadow(FakeShadow& shadow, const FakeShadowTarget& target, float seconds) {
    shadow.target_direction = target.direction;
    shadow.target_strength = target.strength;
    if (shadow.initialised == 0) {
        shadow.initialised = 1;
        shadow.direction = target.direction;
        shadow.strength = target.strength;
        shadow.orientation = get_fake_shadow_orientation(shadow.direction);
        return;
    }
    geometry::Vector3 step = target.direction - shadow.direction;
    const float step_length = geometry::length(step);
    const float turn_limit = seconds * shadow.settings.turn_speed;
    if (step_length > vanishing_length && step_length > turn_limit) {
        step = step * (turn_limit / step_length);
    }
    const geometry::Vector3 moved = shadow.direction + step;
    const float moved_length = geometry::length(moved);
    shadow.direction = moved_length > vanishing_length ? moved * (1.0f / moved_length) : geometry::Vector3{0, 0, -1};
    shadow.orientation = get_fake_shadow_orientation(shadow.direction);

    const float colour_limit = seconds * shadow.settings.colour_speed;
    geometry::Vector4& strength = shadow.strength;
    strength.x = move_towards(strength.x, target.strength.x, colour_limit);
    strength.y = move_towards(strength.y, target.strength.y, colour_limit);
    strength.z = move_towards(strength.z, target.strength.z, colour_limit);
    strength.w = move_towards(strength.w, target.strength.w, seconds * shadow.settings.darkness_speed);
}

void fit_fake_shadow_projection(FakeShadow& shadow, const geometry::Vector3 (&corners)[8]) {
    const geometry::Vector3 across = geometry::rotate(shadow.orientation, {1, 0, 0});
    const geometry::Vector3 along = geometry::rotate(shadow.orientation, {0, 1, 0});
    const geometry::Vector3 up = geometry::rotate(shadow.orientation, {0, 0, 1});
    geometry::Vector3 low{INFINITY, INFINITY, INFINITY}, high{-INFINITY, -INFINITY, -INFINITY};
    for (const geometry::Vector3& corner : corners) {
        const geometry::Vector3 local{geometry::dot(corner, across), geometry::dot(corner, up),
                                      geometry::dot(corner, along)};
        low = geometry::minimum(low, local);
        high = geometry::maximum(high, local);
    }
    const float middle_x = (low.x + high.x) / 2, middle_y = (low.y + high.y) / 2;
    shadow.projection_origin = across * middle_x + up * middle_y + along * low.z;
    shadow.projection_extents = {high.x - low.x, high.y - low.y, high.z - low.z};
}

}  // namespace zolt::renderer
