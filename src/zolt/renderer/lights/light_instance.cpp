#include "zolt/renderer/lights/light_instance.h"

#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/navigation/sector.h"
#include "zolt/renderer/lights/light_server.h"

namespace zolt::renderer {

namespace {

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

bool is_sector(core::ObjectHandle handle) {
    return handle != 0 && servers::sector_server.is_registered() &&
           servers::sector_server.get_typed_object(handle) != nullptr;
}

}  // namespace

void LightInstance::initialize(uint32_t light_handle) {
    light = nullptr;
    sector = 0;
    instance_mask = 0xFFFFFFFF;
    active = 0;
    next_of_light = previous_of_light = this;
    if (Light* const owner = light_server.find_light(light_handle)) {
        active = owner->on;
        attach_to_light(*owner);
    }
    light_instance_server.get_render(*this) = LightInstanceRender{};
    light_instance_server.link_changed(*this);
}

void LightInstance::attach_to_light(Light& owner) {
    light = &owner;
    if (owner.first_instance == nullptr) {
        owner.first_instance = this;
        next_of_light = previous_of_light = this;
        return;
    }
    LightInstance* const first = owner.first_instance;
    previous_of_light = first->previous_of_light;
    next_of_light = first;
    first->previous_of_light->next_of_light = this;
    first->previous_of_light = this;
}

void LightInstance::detach_from_light() {
    if (light == nullptr) {
        return;
    }
    if (light->first_instance == this) {
        light->first_instance = next_of_light != this ? next_of_light : nullptr;
    }
    previous_of_light->next_of_light = next_of_light;
    next_of_light->previous_of_light = previous_of_light;
    next_of_light = previous_of_light = this;
    light = nullptr;
}

void LightInstance::finalize() {
    if (active != 0 && sector != 0) {
        relight();
    }
    sector = 0;
    light_instance_server.link_changed(*this);
    detach_from_light();
}

void LightInstance::relight() {
    if (light != nullptr && light->dynamic == 0 && sector != 0 && light_instance_server.relight_hook != nullptr) {
        light_instance_server.relight_hook(sector, *light);
    }
}

void LightInstance::set_active(uint8_t value) {
    if (value == active) {
        return;
    }
    // Leaving or arriving, a static light changes how its sector is lit.
    if (active != 0) {
        relight();
    }
    active = value;
    if (active != 0) {
        relight();
    }
    light_instance_server.link_changed(*this);
}

bool LightInstance::set_sector(core::ObjectHandle sector_handle) {
    if (sector_handle != 0 && !is_sector(sector_handle)) {
        return false;
    }
    if (sector_handle != sector) {
        if (active != 0) {
            relight();
        }
        sector = sector_handle;
        if (active != 0) {
            relight();
        }
    }
    light_instance_server.link_changed(*this);
    return true;
}

bool LightInstance::get_property(uint32_t id, core::Property& out) const {
    namespace p = light_instance_property;
    if (names(id, p::instance_mask)) {
        out.set_u32(p::instance_mask, instance_mask);
        return true;
    }
    if (names(id, p::light)) {
        out.set_u32(p::light, light != nullptr ? light->get_handle() : 0);
        return true;
    }
    if (names(id, p::sector)) {
        out.set_u32(p::sector, is_sector(sector) ? sector : 0);
        return true;
    }
    return ServerObject::get_property(id, out);
}

bool LightInstance::set_property(uint32_t id, const core::Property& value) {
    namespace p = light_instance_property;
    switch (id) {
    case p::instance_mask:
        instance_mask = value.get_u32();
        light_instance_server.link_changed(*this);
        relight();
        return true;
    case p::light:
        return false;
    case p::sector:
        return set_sector(value.get_u32());
    default:
        return ServerObject::set_property(id, value);
    }
}

void LightInstance::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u8(stream, active);
    core::write_u32(stream, light != nullptr ? light->get_handle() : 0);
    core::write_u32(stream, is_sector(sector) ? sector : 0);
    core::write_u32(stream, instance_mask);
}

bool LightInstance::load(storage::LoadStream& stream) {
    uint32_t light_handle = 0;
    uint32_t sector_handle = 0;
    if (!ServerObject::load(stream) || !core::read_u8(stream, active) || !core::read_u32(stream, light_handle) ||
        !core::read_u32(stream, sector_handle) || !core::read_u32(stream, instance_mask)) {
        return false;
    }
    light = nullptr;
    next_of_light = previous_of_light = this;
    next_changed = previous_changed = this;
    if (Light* const owner = light_server.find_light(light_handle)) {
        attach_to_light(*owner);
        // The light's on flag rules; a save cannot make them disagree.
        active = owner->on;
    } else {
        active = 0;
    }
    sector = is_sector(sector_handle) ? sector_handle : 0;
    light_instance_server.get_render(*this) = LightInstanceRender{};
    light_instance_server.link_changed(*this);
    return true;
}

}  // namespace zolt::renderer
