#include "zolt/renderer/lights/global_light_builtins.h"

#include <cmath>

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {

namespace {

// Without the server every setter does nothing and every getter reads the
// defaults.
GlobalLightSettings* find_global_light() {
    return light_server.is_registered() ? &light_server.get_global_light() : nullptr;
}

const GlobalLightSettings& read_global_light() {
    static const GlobalLightSettings defaults;
    const GlobalLightSettings* const settings = find_global_light();
    return settings != nullptr ? *settings : defaults;
}

// Numbers that are not finite would reach every lit pixel: refused.
bool is_finite(const geometry::Vector3& value) {
    return std::isfinite(value.x) && std::isfinite(value.y) && std::isfinite(value.z);
}

bool is_finite(const geometry::Vector4& value) {
    return is_finite(geometry::Vector3{value.x, value.y, value.z}) && std::isfinite(value.w);
}

void set_global_light_direction(geometry::Vector3 direction) {
    GlobalLightSettings* const settings = find_global_light();
    if (settings != nullptr && is_finite(direction)) {
        settings->direction = {direction.x, direction.y, direction.z, settings->direction.w};
    }
}

void set_global_light_colour(geometry::Vector3 colour) {
    GlobalLightSettings* const settings = find_global_light();
    if (settings != nullptr && is_finite(colour)) {
        settings->colour = {colour.x, colour.y, colour.z, settings->colour.w};
        settings->recompute_on();
    }
}

void set_global_light_intensity(float intensity) {
    GlobalLightSettings* const settings = find_global_light();
    if (settings != nullptr && std::isfinite(intensity)) {
        settings->intensity = intensity;
        settings->recompute_on();
    }
}

void set_global_shadow_strength(float strength) {
    GlobalLightSettings* const settings = find_global_light();
    if (settings != nullptr && std::isfinite(strength)) {
        settings->shadow_strength = strength;
    }
}

void set_global_light_object(core::AnyHandle handle) {
    if (GlobalLightSettings* const settings = find_global_light()) {
        settings->object = core::resolve_handle(handle) != nullptr ? handle.value : 0;
    }
}

void set_global_light_vector_a(geometry::Vector4 value) {
    GlobalLightSettings* const settings = find_global_light();
    if (settings != nullptr && is_finite(value)) {
        settings->vector_a = value;
    }
}

void set_global_light_vector_b(geometry::Vector4 value) {
    GlobalLightSettings* const settings = find_global_light();
    if (settings != nullptr && is_finite(value)) {
        settings->vector_b = value;
    }
}

geometry::Vector3 get_global_light_direction() {
    const geometry::Vector4& direction = read_global_light().direction;
    return {direction.x, direction.y, direction.z};
}

geometry::Vector3 get_global_light_colour() {
    const geometry::Vector4& colour = read_global_light().colour;
    return {colour.x, colour.y, colour.z};
}

float get_global_light_intensity() {
    return read_global_light().intensity;
}

float get_global_shadow_strength() {
    return read_global_light().shadow_strength;
}

core::AnyHandle get_global_light_object() {
    const core::ObjectHandle object = read_global_light().object;
    return {core::resolve_handle(object) != nullptr ? object : 0};
}

geometry::Vector4 get_global_light_vector_a() {
    return read_global_light().vector_a;
}

geometry::Vector4 get_global_light_vector_b() {
    return read_global_light().vector_b;
}

void set_fake_shadow_time_step(uint32_t ticks) {
    if (GlobalLightSettings* const settings = find_global_light()) {
        settings->fake_shadow_time_step = ticks;
    }
}

}  // namespace

void bind_global_light_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::set_global_light_direction, &set_global_light_direction>(table);
    core::bind_builtin<BuiltinId::set_global_light_colour, &set_global_light_colour>(table);
    core::bind_builtin<BuiltinId::set_global_light_intensity, &set_global_light_intensity>(table);
    core::bind_builtin<BuiltinId::set_global_shadow_strength, &set_global_shadow_strength>(table);
    core::bind_builtin<BuiltinId::set_global_light_object, &set_global_light_object>(table);
    core::bind_builtin<BuiltinId::set_global_light_vector_a, &set_global_light_vector_a>(table);
    core::bind_builtin<BuiltinId::set_global_light_vector_b, &set_global_light_vector_b>(table);
    core::bind_builtin<BuiltinId::get_global_light_direction, &get_global_light_direction>(table);
    core::bind_builtin<BuiltinId::get_global_light_colour, &get_global_light_colour>(table);
    core::bind_builtin<BuiltinId::get_global_light_intensity, &get_global_light_intensity>(table);
    core::bind_builtin<BuiltinId::get_global_shadow_strength, &get_global_shadow_strength>(table);
    core::bind_builtin<BuiltinId::get_global_light_object, &get_global_light_object>(table);
    core::bind_builtin<BuiltinId::get_global_light_vector_a, &get_global_light_vector_a>(table);
    core::bind_builtin<BuiltinId::get_global_light_vector_b, &get_global_light_vector_b>(table);
    core::bind_builtin<BuiltinId::set_fake_shadow_time_step, &set_fake_shadow_time_step>(table);
}

}  // namespace zolt::renderer
