#include "zolt/sound/sound_entity_server.h"

#include <cstring>
#include <vector>

#include "zolt/core/object_server/stream_words.h"
#include "zolt/sound/sound_manager.h"

namespace zolt::sound {

SoundEntityServer sound_entity_server;

namespace {

// The live entities in creation order, gathered first because a step may
// destroy the one it visits.
std::vector<SoundEntity*> gather(const core::ObjectList& live) {
    std::vector<SoundEntity*> entities;
    core::ServerObject* const head = live.get_head();
    for (core::ServerObject* object = head; object != nullptr;) {
        entities.push_back(static_cast<SoundEntity*>(object));
        object = core::ObjectList::get_next(object);
        if (object == head) {
            break;
        }
    }
    return entities;
}

}  // namespace

void SoundEntityServer::unregister_server() {
    if (is_registered()) {
        for (SoundEntity* const entity : gather(get_live_list())) {
            if (entity->get_state() != entity_state::stopped) {
                entity->set_state(entity_state::stopped);
                mark_sound_manager_changed();
            }
            if (get_typed_object(entity->get_handle()) == entity) {
                entity->release_voice(false);
            }
        }
        run_voice_pass();
    }
    PooledServer::unregister_server();
}

void SoundEntityServer::destroy_auto_release_entities() {
    for (SoundEntity* const entity : gather(get_live_list())) {
        if (!entity->is_auto_release()) {
            continue;
        }
        const uint8_t state = entity->get_state();
        const bool sounding = state >= entity_state::playing && state <= entity_state::release;
        if (sounding && entity->loops()) {
            continue;
        }
        destroy_object_internal(entity);
    }
    run_voice_pass();
}

void SoundEntityServer::save(storage::SaveStream& stream) {
    for (uint32_t index = 0; index < sound_category_total; ++index) {
        const SoundCategory& category = get_sound_category(index);
        uint32_t volume;
        std::memcpy(&volume, &category.volume, sizeof volume);
        core::write_u32(stream, volume);
        core::write_u8(stream, category.paused ? 1 : 0);
        core::write_u32(stream, category.clock);
    }
    PooledServer::save(stream);
}

bool SoundEntityServer::load(storage::LoadStream& stream) {
    for (uint32_t index = 0; index < sound_category_total; ++index) {
        SoundCategory& category = get_sound_category(index);
        uint32_t volume = 0;
        uint8_t paused = 0;
        if (!core::read_u32(stream, volume) || !core::read_u8(stream, paused) ||
            !core::read_u32(stream, category.clock)) {
            return false;
        }
        std::memcpy(&category.volume, &volume, sizeof volume);
        category.paused = paused != 0;
    }
    if (!PooledServer::load(stream)) {
        return false;
    }
    mark_sound_manager_changed();
    return true;
}

void play_sound(core::ObjectHandle handle) {
    SoundEntity* const entity = sound_entity_server.get_typed_object(handle);
    if (entity != nullptr && handle != 0 && entity->play()) {
        mark_sound_manager_changed();
    }
}

void stop_sound(core::ObjectHandle handle, bool immediately) {
    SoundEntity* const entity = sound_entity_server.get_typed_object(handle);
    if (entity != nullptr && handle != 0 && entity->stop(immediately)) {
        mark_sound_manager_changed();
    }
}

}  // namespace zolt::sound
