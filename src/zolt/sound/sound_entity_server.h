#pragma once
// The server of sound entities (type 46, 1000 of them). It also saves the
// four sound categories, before its own data. Unregistering it stops every
// entity and lets the manager take their voices before they go. Main thread
// only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/sound/sound_entity.h"

namespace zolt::sound {

constexpr uint32_t sound_entity_server_type = 46;
constexpr uint32_t sound_entity_capacity = 1000;

class SoundEntityServer final : public core::PooledServer<SoundEntity, sound_entity_capacity> {
public:
    SoundEntityServer() : PooledServer(sound_entity_server_type) {}

    const char* get_name() const override { return "SoundEntityServer"; }
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;

    // Destroys every auto-release entity except looping ones still playing,
    // then runs the voice pass.
    void destroy_auto_release_entities();
};

extern SoundEntityServer sound_entity_server;

// Builtins 674 and 675: a handle that names no sound entity does nothing.
void play_sound(core::ObjectHandle entity);
void stop_sound(core::ObjectHandle entity, bool immediately);

}  // namespace zolt::sound
