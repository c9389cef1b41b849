#include "zolt/renderer/lights/light.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <initializer_list>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/extra_properties.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {

namespace {

core::Placement* find_placement(core::ObjectHandle handle) {
    return handle != 0 && core::placement_server.is_registered() ? core::placement_server.get_typed_object(handle)
                                                                 : nullptr;
}

}  // namespace

geometry::Quaternion get_rotation_towards(const geometry::Vector3& direction) {
    // Rz(heading) * Rx(elevation): +Y tilts up to the elevation, then turns.
    const float heading = std::atan2(-direction.x, direction.y);
    const float elevation = std::asin(std::clamp(direction.z, -1.0f, 1.0f));
    const float ch = std::cos(heading * 0.5f), sh = std::sin(heading * 0.5f);
    const float ce = std::cos(elevation * 0.5f), se = std::sin(elevation * 0.5f);
    return {ch * se, sh * se, sh * ce, ch * ce};
}

void Light::initialize(uint32_t) {
    dynamic = on = 0;
    type = static_cast<uint8_t>(LightType::point);
    light_mask = 0xFFFFFFFF;
    priority = 0;
    sector_list = no_sector_list;
    placement = 0;
    placement_dirty = 0;
    position = {};
    rotation = geometry::identity_quaternion();
    direction = geometry::rotate(rotation, {0, 1, 0});
    colour = {1, 1, 1, 1};
    intensity = 1.0f;
    range = 1000.0f;
    cone = 0.25f;
    light_fade_start = FLT_MAX;
    light_fade_length = 1.0f;
    shadow_fade_start = FLT_MAX;
    shadow_fade_length = 1.0f;
    casts_shadows = 1;
    shadow_mask = 0xFFFFFFFF;
    parameter_226 = 63.0f;
    shadow_map_resolution = 2048;
    casts_fake_shadows = 0;
    fake_shadow_strength = 0.5f;
    projected_object = 0;
    dictionary = 0;
    first_instance = nullptr;
    if (light_server.is_registered()) {
        reset_render(light_server.get_render(*this));
    }
    raise_parameters_changed();
    raise_geometry_changed();
}

void Light::finalize() {
    set_placement(0);
    if (light_server.light_instances_hook != nullptr) {
        light_server.light_instances_hook(*this, LightInstanceEvent::destroy);
    }
    core::destroy_extra_properties(dictionary);
}

void Light::reset_render(LightRender& render) const {
    render = LightRender{};
    render.rotation = geometry::identity_quaternion();
}

void Light::raise_parameters_changed() {
    parameters_changed = 1;
    light_server.link_changed(*this);
}

void Light::raise_geometry_changed() {
    geometry_changed = 1;
    light_server.link_changed(*this);
}

void Light::relight() {
    // Dynamic lights still tell their instances, whose records may have to
    // move to another list; only the relighting itself is skipped.
    if (light_server.light_instances_hook != nullptr) {
        light_server.light_instances_hook(*this, LightInstanceEvent::relight);
    }
}

void Light::placement_changed() {
    raise_geometry_changed();
    placement_dirty = 1;
    relight();
}

void Light::update_from_placement() {
    if (placement_dirty == 0) {
        return;
    }
    core::Placement* const followed = find_placement(placement);
    if (followed == nullptr) {
        return;
    }
    placement_dirty = 0;
    switch (static_cast<LightType>(type)) {
    case LightType::spot:
        position = followed->get_world_position();
        rotation = followed->get_world_rotation();
        direction = geometry::rotate(rotation, {0, 1, 0});
        break;
    case LightType::directional:
        rotation = followed->get_world_rotation();
        direction = geometry::rotate(rotation, {0, 1, 0});
        position = -direction;
        position.w = 0;
        break;
    case LightType::point:
        position = followed->get_world_position();
        break;
    default:
        ZOLT_PANIC("Invalid light type %d", static_cast<int>(type));
    }
}

bool Light::set_placement(core::ObjectHandle handle) {
    if (handle == placement) {
        return true;
    }
    if (core::Placement* const old = find_placement(placement)) {
        if (old->get_attached_object() == get_handle()) {
            old->set_attached_object(0);
        }
    }
    placement = handle;
    if (core::Placement* const followed = find_placement(placement)) {
        followed->set_attached_object(get_handle());
    }
    relight();
    raise_geometry_changed();
    placement_dirty = 1;
    return true;
}

bool Light::set_position(const geometry::Vector3& value) {
    if (find_placement(placement) != nullptr || !std::isfinite(value.x) || !std::isfinite(value.y) ||
        !std::isfinite(value.z)) {
        return false;
    }
    position = {value.x, value.y, value.z};
    if (type == static_cast<uint8_t>(LightType::directional)) {
        if (geometry::length_squared(position) >= 1.0f / 65536) {
            position = geometry::normalize(position);
        }
        direction = -position;
        rotation = get_rotation_towards(direction);
    }
    raise_geometry_changed();
    relight();
    return true;
}

bool Light::set_direction(const geometry::Vector3& value) {
    const geometry::Vector3 wanted{value.x, value.y, value.z};
    // Written so that a NaN is refused as well.
    if (find_placement(placement) != nullptr || type == static_cast<uint8_t>(LightType::point) ||
        !(std::fabs(geometry::length_squared(wanted) - 1.0f) < 1.0f / 65536)) {
        return false;
    }
    direction = wanted;
    rotation = get_rotation_towards(direction);
    if (type == static_cast<uint8_t>(LightType::directional)) {
        position = -direction;
    }
    raise_geometry_changed();
    relight();
    return true;
}

void Light::set_on(uint8_t value) {
    if (value == on) {
        return;
    }
    on = value;
    if (light_server.light_instances_hook != nullptr) {
        light_server.light_instances_hook(*this, on != 0 ? LightInstanceEvent::attach : LightInstanceEvent::detach);
    }
    raise_parameters_changed();
}

void Light::set_dynamic(uint8_t value) {
    if (value == dynamic) {
        return;
    }
    const bool attached = on != 0 && light_server.light_instances_hook != nullptr;
    if (attached) {
        light_server.light_instances_hook(*this, LightInstanceEvent::detach);
    }
    dynamic = value;
    if (attached) {
        light_server.light_instances_hook(*this, LightInstanceEvent::attach);
    }
    raise_parameters_changed();
}

bool Light::get_property(uint32_t id, core::Property& out) const {
    namespace p = light_property;
    auto* const self = const_cast<Light*>(this);
    const uint32_t key = id & 0xFFFFFFu;
    const auto other = [&] {
        return ServerObject::get_property(id, out) || core::get_extra_property(dictionary, id, out);
    };
    // Plain numbers answer the bare key as well as the typed id.
    const auto word = [&](uint32_t typed, uint32_t value) {
        if (id != key && id != typed) {
            return other();
        }
        out.set_u32(typed, value);
        return true;
    };
    const auto real = [&](uint32_t typed, float value) {
        if (id != key && id != typed) {
            return other();
        }
        out.set_float(typed, value);
        return true;
    };
    // The vector properties answer their typed ids only.
    switch (id) {
    case p::position:
        self->update_from_placement();
        out.set_floats(p::position, &position.x, 3);
        return true;
    case p::direction:
        if (type == static_cast<uint8_t>(LightType::point)) {
            return false;
        }
        self->update_from_placement();
        out.set_floats(p::direction, &direction.x, 3);
        return true;
    case p::colour:
        out.set_floats(p::colour, &colour.x, 4);
        return true;
    default:
        break;
    }
    switch (key) {
    case p::placement & 0xFFFFFF:
        return word(p::placement, placement);
    case p::light_mask & 0xFFFFFF:
        return word(p::light_mask, light_mask);
    case p::shadow_mask & 0xFFFFFF:
        return word(p::shadow_mask, shadow_mask);
    case p::fake_shadow_strength & 0xFFFFFF:
        return real(p::fake_shadow_strength, fake_shadow_strength);
    case p::type & 0xFFFFFF:
        return word(p::type, type);
    case p::on & 0xFFFFFF:
        return word(p::on, on);
    case p::priority & 0xFFFFFF:
        return word(p::priority, priority);
    case p::casts_fake_shadows & 0xFFFFFF:
        return word(p::casts_fake_shadows, casts_fake_shadows);
    case p::intensity & 0xFFFFFF:
        return real(p::intensity, intensity);
    case p::range & 0xFFFFFF:
        return real(p::range, range);
    case p::light_fade_start & 0xFFFFFF:
        return real(p::light_fade_start, light_fade_start);
    case p::light_fade_length & 0xFFFFFF:
        return real(p::light_fade_length, light_fade_length);
    case p::shadow_fade_start & 0xFFFFFF:
        return real(p::shadow_fade_start, shadow_fade_start);
    case p::shadow_fade_length & 0xFFFFFF:
        return real(p::shadow_fade_length, shadow_fade_length);
    case p::cone & 0xFFFFFF:
        return real(p::cone, cone);
    case p::sector_list & 0xFFFFFF:
        return word(p::sector_list, sector_list);
    case p::parameter_226 & 0xFFFFFF:
        return real(p::parameter_226, parameter_226);
    case p::projected_object & 0xFFFFFF:
        return word(p::projected_object, projected_object);
    case p::shadow_map_resolution & 0xFFFFFF:
        return word(p::shadow_map_resolution, shadow_map_resolution);
    case p::casts_shadows & 0xFFFFFF:
        return word(p::casts_shadows, casts_shadows);
    case p::dynamic & 0xFFFFFF:
        return word(p::dynamic, dynamic);
    default:
        return other();
    }
}

bool Light::set_property(uint32_t id, const core::Property& value) {
    namespace p = light_property;
    const uint32_t word = value.get_u32();
    const float real = value.get_float();
    const geometry::Vector3 vector{value.get_float(0), value.get_float(1), value.get_float(2)};
    // Fades and the cone are written so that a NaN fails the test.
    const auto set_non_negative = [&](float& field) {
        if (!(real >= 0)) {
            return false;
        }
        field = real;
        raise_parameters_changed();
        return true;
    };
    const auto set_word = [&](uint32_t& field) {
        field = word;
        raise_parameters_changed();
        return true;
    };
    const auto set_truth = [&](uint8_t& field) {
        field = word != 0 ? 1 : 0;
        raise_parameters_changed();
        return true;
    };
    switch (id) {
    case p::placement:
        return set_placement(word);
    case p::position:
        return set_position(vector);
    case p::direction:
        return set_direction(vector);
    case p::light_mask:
        if (word != light_mask) {
            light_mask = word;
            raise_parameters_changed();
            relight();
        }
        return true;
    case p::shadow_mask:
        return set_word(shadow_mask);
    case p::fake_shadow_strength:
        if (!std::isfinite(real)) {
            return false;
        }
        fake_shadow_strength = real;
        raise_parameters_changed();
        return true;
    case p::type:
        if (word > static_cast<uint32_t>(LightType::point)) {
            return false;
        }
        if (word != type) {
            type = static_cast<uint8_t>(word);
            raise_parameters_changed();
            raise_geometry_changed();
            placement_dirty = 1;
            relight();
        }
        return true;
    case p::on:
        set_on(word != 0 ? 1 : 0);
        return true;
    case p::priority:
        priority = word;
        raise_parameters_changed();
        relight();
        return true;
    case p::casts_fake_shadows:
        return set_truth(casts_fake_shadows);
    case p::colour: {
        const geometry::Vector4 wanted = {value.get_float(0), value.get_float(1), value.get_float(2),
                                          value.get_float(3)};
        // A colour that is not a number would reach the pixels.
        if (!std::isfinite(wanted.x) || !std::isfinite(wanted.y) || !std::isfinite(wanted.z) ||
            !std::isfinite(wanted.w)) {
            return false;
        }
        colour = wanted;
        raise_parameters_changed();
        return true;
    }
    case p::intensity:
        if (!std::isfinite(real)) {
            return false;
        }
        intensity = real;
        raise_parameters_changed();
        return true;
    case p::range:
        // A negative range would turn the light's volume inside out.
        if (!(real >= 0) || !std::isfinite(real)) {
            return false;
        }
        range = real;
        raise_parameters_changed();
        relight();
        return true;
    case p::light_fade_start:
        return set_non_negative(light_fade_start);
    case p::light_fade_length:
        return set_non_negative(light_fade_length);
    case p::shadow_fade_start:
        return set_non_negative(shadow_fade_start);
    case p::shadow_fade_length:
        return set_non_negative(shadow_fade_length);
    case p::cone:
        if (!(real >= 0 && real <= light_cone_limit)) {
            return false;
        }
        cone = real;
        raise_parameters_changed();
        relight();
        return true;
    case p::sector_list:
        return set_word(sector_list);
    case p::parameter_226:
        parameter_226 = real;
        raise_parameters_changed();
        return true;
    case p::projected_object:
        projected_object = word;
        raise_parameters_changed();
        return true;
    case p::shadow_map_resolution:
        return set_word(shadow_map_resolution);
    case p::casts_shadows:
        return set_truth(casts_shadows);
    case p::dynamic:
        set_dynamic(word != 0 ? 1 : 0);
        return true;
    default:
        return ServerObject::set_property(id, value) || core::set_extra_property(dictionary, id, value);
    }
}

bool Light::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary, id);
}

void Light::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u8(stream, dynamic);
    core::write_u8(stream, on);
    core::write_u8(stream, type);
    core::write_u32(stream, light_mask);
    core::write_u32(stream, placement);
    for (const float value : {position.x, position.y, position.z, rotation.x, rotation.y, rotation.z, rotation.w,
                              direction.x, direction.y, direction.z, colour.x, colour.y, colour.z, intensity, range,
                              cone, light_fade_start, light_fade_length, shadow_fade_start, shadow_fade_length}) {
        core::write_f32(stream, value);
    }
    core::write_u8(stream, casts_shadows);
    core::write_u32(stream, shadow_mask);
    core::write_f32(stream, parameter_226);
    core::write_u32(stream, shadow_map_resolution);
    core::write_u8(stream, casts_fake_shadows);
    core::write_f32(stream, fake_shadow_strength);
    core::write_u32(stream, priority);
    core::write_u32(stream, sector_list);
    core::write_u32(stream, projected_object);
    core::write_u32(stream, dictionary);
}

bool Light::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream) || !core::read_u8(stream, dynamic) || !core::read_u8(stream, on) ||
        !core::read_u8(stream, type) || !core::read_u32(stream, light_mask) || !core::read_u32(stream, placement)) {
        return false;
    }
    float* const floats[] = {&position.x,   &position.y,         &position.z,        &rotation.x,
                             &rotation.y,   &rotation.z,         &rotation.w,        &direction.x,
                             &direction.y,  &direction.z,        &colour.x,          &colour.y,
                             &colour.z,     &intensity,          &range,             &cone,
                             &light_fade_start, &light_fade_length, &shadow_fade_start, &shadow_fade_length};
    for (float* const value : floats) {
        if (!core::read_f32(stream, *value)) {
            return false;
        }
    }
    if (!core::read_u8(stream, casts_shadows) || !core::read_u32(stream, shadow_mask) ||
        !core::read_f32(stream, parameter_226) || !core::read_u32(stream, shadow_map_resolution) ||
        !core::read_u8(stream, casts_fake_shadows) || !core::read_f32(stream, fake_shadow_strength) ||
        !core::read_u32(stream, priority) || !core::read_u32(stream, sector_list) ||
        !core::read_u32(stream, projected_object) || !core::read_u32(stream, dictionary)) {
        return false;
    }
    // A corrupt type would end the program at the next placement move.
    if (type > static_cast<uint8_t>(LightType::point)) {
        return false;
    }
    colour.w = 1.0f;
    position.w = direction.w = 0;
    next_changed = previous_changed = this;
    first_instance = nullptr;
    placement_dirty = placement != 0 ? 1 : 0;
    if (light_server.is_registered()) {
        reset_render(light_server.get_render(*this));
    }
    raise_parameters_changed();
    raise_geometry_changed();
    return true;
}

void Light::sync_render(LightRender& render) {
    if (parameters_changed != 0) {
        render.dynamic = dynamic;
        render.on = on;
        render.type = type;
        render.light_mask = light_mask;
        render.priority = priority;
        render.sector_list = sector_list;
        render.colour = colour;
        render.intensity = intensity;
        render.range = range;
        render.cone = cone;
        render.light_fade_start = light_fade_start;
        render.light_fade_length = light_fade_length;
        render.shadow_fade_start = shadow_fade_start;
        render.shadow_fade_length = shadow_fade_length;
        render.casts_shadows = casts_shadows;
        render.shadow_mask = shadow_mask;
        render.parameter_226 = parameter_226;
        render.shadow_map_resolution = shadow_map_resolution;
        render.casts_fake_shadows = casts_fake_shadows;
        render.fake_shadow_strength = fake_shadow_strength;
        render.projected_object = core::resolve_handle(projected_object);
        // The type and the range shape the volume as much as the position.
        render.clip_volume_valid = 0;
        parameters_changed = 0;
    }
    if (geometry_changed != 0) {
        update_from_placement();
        render.position = position;
        render.rotation = rotation;
        render.direction = direction;
        render.clip_volume_valid = 0;
        geometry_changed = 0;
    }
}

}  // namespace zolt::renderer
