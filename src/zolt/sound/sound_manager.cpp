#include "zolt/sound/sound_manager.h"

#include <cmath>

#include "libs/system/time_base.h"
#include "libs/utility/config_variable_row.h"
#include "zolt/sound/sound_entity.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_listener.h"
#include "zolt/sound/sound_voice_slot.h"
#include "zolt/sound/xaudio/xaudio_voice.h"

namespace zolt::sound {

const char* xaudio_device_name = "";
const ConfigVariableRow<const char*> xaudio_device_name_row(56, "xaudio_device_name", &xaudio_device_name, "",
                                                            config_written_when_changed);
bool sound_environment_enabled = true;
const ConfigVariableRow<bool> sound_environment_enabled_row(55, "sound_environment_enabled", &sound_environment_enabled,
                                                            true, false, true, config_written_when_changed);

namespace {
void step_sound_timer(core::Thread* thread);

struct SoundManager {
    SoundCategory categories[sound_category_total];
    uint32_t voice_count = 0;
    SoundVoiceSlot slots[maximum_voice_count];
    // The entities selected in the current update, by handle.
    core::ObjectHandle candidates[maximum_voice_count] = {};
    // Each candidate's priority, which holds while the selection runs.
    uint32_t candidate_priorities[maximum_voice_count] = {};
    uint32_t candidate_count = 0;
    uint32_t last_update_time = 0;
    bool pending_change = false;
    uint32_t environment = 0;
    float blend_factor = 1.0f;
    uint32_t update_count = 0;
};

SoundManager manager;
core::Thread sound_timer_thread(step_sound_timer);

void step_sound_timer(core::Thread*) {
    run_voice_pass();
}

void run_listener_step(float seconds, geometry::Vector3& position) {
    geometry::Quaternion rotation = geometry::identity_quaternion();
    uint32_t environment = 0;
    float fade_time = 1.0f;
    position = geometry::Vector3();
    if (SoundListener* const listener = sound_listener_server.get_active_listener()) {
        position = listener->get_position();
        rotation = listener->get_rotation();
        environment = listener->get_environment();
        fade_time = listener->get_environment_fade_time();
    }
    bool advance = manager.blend_factor < 1.0f;
    if (environment != manager.environment) {
        manager.environment = environment;
        manager.blend_factor = 0.0f;
        advance = true;
    }
    if (advance) {
        manager.blend_factor = fade_time == 0.0f ? 1.0f : std::min(manager.blend_factor + seconds / fade_time, 1.0f);
    }
    set_listener(position, rotation, manager.environment, manager.blend_factor);
}

SoundEntity* get_candidate_entity(uint32_t index) {
    return sound_entity_server.get_typed_object(manager.candidates[index]);
}

void run_entity_step(SoundEntity& entity, const geometry::Vector3& listener, float seconds) {
    if (!entity.is_paused()) {
        entity.update_fade(seconds);
    }
    if (entity.get_slot() >= 0 && manager.slots[entity.get_slot()].get_state() == slot_state::finished) {
        entity.set_state(entity_state::stopped);
        entity.release_voice(true);
        return;
    }
    const uint8_t state = entity.get_state();
    if (state == entity_state::idle) {
        return;
    }
    // A cue the banks do not hold is silent: it ends as if it had played.
    if (state == entity_state::stopped || !entity.is_playable()) {
        entity.release_voice(true);
        return;
    }
    const SoundBankSound sound = entity.get_sound();
    if ((sound.flags & sound_flag_positional) != 0) {
        const float radius =
            sound.maximum_distance * entity.get_distance_scale() * (entity.get_slot() >= 0 ? 1.1f : 1.0f);
        const geometry::Vector3 offset = entity.get_position() - listener;
        const float distance = std::sqrt(offset.x * offset.x + offset.y * offset.y + offset.z * offset.z);
        if (!(distance <= radius)) {
            entity.release_voice(true);
            return;
        }
    }
    const uint32_t priority = entity.get_priority();
    if (manager.candidate_count < manager.voice_count) {
        manager.candidate_priorities[manager.candidate_count] = priority;
        manager.candidates[manager.candidate_count++] = entity.get_handle();
        return;
    }
    // Without voices the list holds nothing to compare with: the entity
    // loses its voice at once.
    if (manager.voice_count == 0) {
        entity.release_voice(true);
        return;
    }
    uint32_t weakest = 0;
    uint32_t weakest_priority = UINT32_MAX;
    for (uint32_t index = 0; index < manager.candidate_count; ++index) {
        if (manager.candidate_priorities[index] < weakest_priority) {
            weakest_priority = manager.candidate_priorities[index];
            weakest = index;
        }
    }
    if (priority <= weakest_priority) {
        entity.release_voice(true);
        return;
    }
    SoundEntity* const loser = get_candidate_entity(weakest);
    manager.candidates[weakest] = entity.get_handle();
    manager.candidate_priorities[weakest] = priority;
    if (loser != nullptr) {
        loser->release_voice(true);
    }
}

void run_voice_selection(const geometry::Vector3& listener, float seconds) {
    manager.candidate_count = 0;
    // Gathered first: a step may destroy the entity it visits.
    static core::ObjectHandle live[1000];
    uint32_t live_count = 0;
    core::ServerObject* const head = sound_entity_server.get_live_list().get_head();
    for (core::ServerObject* object = head; object != nullptr && live_count < 1000;) {
        live[live_count++] = object->get_handle();
        object = core::ObjectList::get_next(object);
        if (object == head) {
            break;
        }
    }
    for (uint32_t index = 0; index < live_count; ++index) {
        if (SoundEntity* const entity = sound_entity_server.get_typed_object(live[index])) {
            run_entity_step(*entity, listener, seconds);
        }
    }
    for (uint32_t index = 0; index < manager.candidate_count; ++index) {
        SoundEntity* const entity = get_candidate_entity(index);
        if (entity == nullptr) {
            continue;
        }
        if (entity->get_slot() >= 0) {
            manager.slots[entity->get_slot()].update();
            continue;
        }
        int32_t free_slot = -1;
        for (uint32_t slot = 0; slot < manager.voice_count; ++slot) {
            if (manager.slots[slot].is_free()) {
                free_slot = static_cast<int32_t>(slot);
                break;
            }
        }
        if (free_slot >= 0 && manager.slots[free_slot].start(*entity)) {
            entity->set_slot(free_slot);
        } else {
            entity->release_voice(true);
        }
    }
}

}  // namespace

void initialize_sound_manager() {
    manager.voice_count = std::min(get_xaudio_slot_count(), maximum_voice_count);
    for (SoundCategory& category : manager.categories) {
        category = SoundCategory{};
    }
    manager.candidate_count = 0;
    manager.environment = 0;
    manager.blend_factor = 1.0f;
    manager.last_update_time = get_time();
    manager.pending_change = false;
    manager.update_count = 0;
}

void update_sound_manager() {
    const uint32_t now = get_time();
    const uint32_t elapsed = now - manager.last_update_time;
    if (elapsed < sound_update_period && !manager.pending_change) {
        return;
    }
    manager.pending_change = false;
    for (SoundCategory& category : manager.categories) {
        if (!category.paused) {
            category.clock += elapsed;
        }
    }
    manager.last_update_time = now;
    ++manager.update_count;
    const float seconds = static_cast<float>(elapsed) * ticks_to_seconds;
    geometry::Vector3 listener;
    run_listener_step(seconds, listener);
    run_voice_selection(listener, seconds);
    run_voice_pass();
}

void run_voice_pass() {
    for (uint32_t slot = 0; slot < manager.voice_count; ++slot) {
        if (manager.slots[slot].get_owner() != 0) {
            manager.slots[slot].update();
        }
    }
    update_xaudio();
    core::unlink_thread(&sound_timer_thread);
    core::schedule_thread(&sound_timer_thread, get_time() + sound_timer_period);
}

void mark_sound_manager_changed() {
    manager.pending_change = true;
}

SoundCategory& get_sound_category(uint32_t category) {
    return manager.categories[category % sound_category_total];
}

SoundVoiceSlot& get_voice_slot(int32_t slot) {
    return manager.slots[static_cast<uint32_t>(slot) % maximum_voice_count];
}

uint32_t get_voice_count() {
    return manager.voice_count;
}

uint32_t get_candidate_count() {
    return manager.candidate_count;
}

SoundEntity* get_candidate(uint32_t index) {
    return index < manager.candidate_count ? get_candidate_entity(index) : nullptr;
}

uint32_t get_listener_environment() {
    return manager.environment;
}

float get_listener_blend_factor() {
    return manager.blend_factor;
}

bool is_sound_output_open() {
    return has_xaudio_engine();
}

uint32_t get_voice_slot_count() {
    return manager.voice_count;
}

uint32_t get_sound_update_count() {
    return manager.update_count;
}

core::Thread& get_sound_timer_thread() {
    return sound_timer_thread;
}

}  // namespace zolt::sound
