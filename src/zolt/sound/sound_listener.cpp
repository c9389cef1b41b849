#include "zolt/sound/sound_listener.h"

#include <cstring>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"

namespace zolt::sound {

SoundListenerServer sound_listener_server;

namespace {

constexpr uint32_t environment_count = 25;

bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

}  // namespace

void SoundListener::initialize(uint32_t) {
    placement_ = 0;
    environment_ = 0;
    environment_fade_time_ = 0.0f;
}

void SoundListener::finalize() {
    if (sound_listener_server.get_active_handle() == get_handle()) {
        sound_listener_server.set_active_handle(0);
    }
}

geometry::Vector3 SoundListener::get_position() const {
    core::Placement* const placement = core::placement_server.get_typed_object(placement_);
    return placement != nullptr && placement_ != 0 ? placement->get_world_position() : geometry::Vector3();
}

geometry::Quaternion SoundListener::get_rotation() const {
    core::Placement* const placement = core::placement_server.get_typed_object(placement_);
    return placement != nullptr && placement_ != 0 ? placement->get_world_rotation() : geometry::identity_quaternion();
}

bool SoundListener::get_property(uint32_t id, core::Property& out) const {
    namespace p = sound_listener_property;
    if (names(id, p::placement)) {
        out.set_u32(0x1000000, placement_);
    } else if (names(id, p::position)) {
        const geometry::Vector3 at = get_position();
        const float values[3] = {at.x, at.y, at.z};
        out.set_floats(0x30000000, values, 3);
    } else if (names(id, p::rotation)) {
        const geometry::Quaternion q = get_rotation();
        const float values[4] = {q.x, q.y, q.z, q.w};
        out.set_floats(0x41000000, values, 4);
    } else if (id == p::active) {
        out.set_u32(0x3000000, sound_listener_server.get_active_handle() == get_handle() ? 1 : 0);
    } else if (names(id, p::environment)) {
        out.set_u32(0x3000000, environment_);
    } else if (names(id, p::environment_fade_time)) {
        out.set_float(0x5000000, environment_fade_time_);
    } else {
        return ServerObject::get_property(id, out);
    }
    return true;
}

bool SoundListener::set_property(uint32_t id, const core::Property& value) {
    namespace p = sound_listener_property;
    switch (id) {
    case p::placement:
        placement_ = value.get_u32();
        return true;
    case p::active:
        if (value.get_u32() != 0) {
            sound_listener_server.set_active_handle(get_handle());
        } else if (sound_listener_server.get_active_handle() == get_handle()) {
            sound_listener_server.set_active_handle(0);
        }
        return true;
    case p::environment:
        environment_ = value.get_u32() < environment_count ? value.get_u32() : 0;
        return true;
    case p::environment_fade_time:
        environment_fade_time_ = value.get_float();
        return true;
    default:
        return ServerObject::set_property(id, value);
    }
}

void SoundListener::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    uint32_t fade;
    std::memcpy(&fade, &environment_fade_time_, sizeof fade);
    core::write_u32(stream, placement_);
    core::write_u32(stream, environment_);
    core::write_u32(stream, fade);
}

bool SoundListener::load(storage::LoadStream& stream) {
    uint32_t fade = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, placement_) || !core::read_u32(stream, environment_) ||
        !core::read_u32(stream, fade) || environment_ >= environment_count) {
        return false;
    }
    std::memcpy(&environment_fade_time_, &fade, sizeof fade);
    return true;
}

SoundListener* SoundListenerServer::get_active_listener() {
    return active_ != 0 ? get_typed_object(active_) : nullptr;
}

void SoundListenerServer::unregister_server() {
    PooledServer::unregister_server();
    active_ = 0;
}

void SoundListenerServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    core::write_u32(stream, active_);
}

bool SoundListenerServer::load(storage::LoadStream& stream) {
    return PooledServer::load(stream) && core::read_u32(stream, active_);
}

}  // namespace zolt::sound
