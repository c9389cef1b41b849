#pragma once
// A sound listener (server type 45, 16 of them): the placement that 3D sound
// is heard from, the reverb environment heard there and how long a change of
// environment takes to cross-fade. One listener at a time is the active one,
// which the sound manager follows. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/pooled_server.h"

namespace zolt::sound {

namespace sound_listener_property {
constexpr uint32_t placement = 0x100000A, position = 0x30000036, rotation = 0x41000038, active = 0x3000185,
                   environment = 0x3000186, environment_fade_time = 0x5000187;
}

constexpr uint32_t sound_listener_server_type = 45;
constexpr uint32_t sound_listener_capacity = 16;

class SoundListener final : public core::ServerObject {
public:
    void initialize(uint32_t) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    geometry::Vector3 get_position() const;
    geometry::Quaternion get_rotation() const;
    uint32_t get_environment() const { return environment_; }
    float get_environment_fade_time() const { return environment_fade_time_; }

private:
    core::ObjectHandle placement_ = 0;
    uint32_t environment_ = 0;
    float environment_fade_time_ = 0.0f;
};

class SoundListenerServer final : public core::PooledServer<SoundListener, sound_listener_capacity> {
public:
    SoundListenerServer() : PooledServer(sound_listener_server_type) {}

    const char* get_name() const override { return "SoundListenerServer"; }
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;

    // Null when none is active.
    SoundListener* get_active_listener();
    core::ObjectHandle get_active_handle() const { return active_; }
    void set_active_handle(core::ObjectHandle handle) { active_ = handle; }

private:
    core::ObjectHandle active_ = 0;
};

extern SoundListenerServer sound_listener_server;

}  // namespace zolt::sound
