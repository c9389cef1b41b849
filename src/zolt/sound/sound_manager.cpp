#include "zolt/sound/sound_manager.h"

#include "libs/system/time_base.h"
#include "libs/utility/config_variable_row.h"

namespace zolt::sound {

const char* xaudio_device_name = "";
const ConfigVariableRow<const char*> xaudio_device_name_row(56, "xaudio_device_name", &xaudio_device_name, "",
                                                            config_written_when_changed);

namespace {
void step_sound_timer(core::Thread* thread);

struct CategoryRecord {
    float volume = 1.0f;
    float target_volume = 1.0f;
};

struct SoundManager {
    bool output_open = false;
    bool dirty = false;
    uint32_t voice_slot_count = 0;
    CategoryRecord categories[4];
    float listener_reverb_blend = 1.0f;
    uint32_t start_time = 0;
    uint32_t last_update_time = 0;
    uint32_t update_count = 0;
};

SoundManager manager;
core::Thread sound_timer_thread(step_sound_timer);

void step_sound_timer(core::Thread* thread) {
    manager.dirty = true;
    core::schedule_thread(thread, get_time() + sound_timer_period);
}
}  // namespace

void initialize_xaudio() {
    // No output layer is available yet, so the game runs silent whatever the
    // device name says; that is the specified outcome of any output failure.
    manager.output_open = false;
}

void initialize_sound_manager() {
    const uint32_t available_voice_count = manager.output_open ? maximum_voice_count : 0;
    manager.voice_slot_count =
        available_voice_count < maximum_voice_count ? available_voice_count : maximum_voice_count;
    for (CategoryRecord& category : manager.categories) {
        category = CategoryRecord{};
    }
    manager.listener_reverb_blend = 1.0f;
    manager.start_time = get_time();
    manager.last_update_time = manager.start_time;
    manager.update_count = 0;
}

void update_sound_manager() {
    const uint32_t now = get_time();
    if (!manager.dirty && now - manager.last_update_time < sound_update_period) {
        return;
    }
    manager.dirty = false;
    manager.last_update_time = now;
    ++manager.update_count;
    if (!sound_timer_thread.is_linked()) {
        core::schedule_thread(&sound_timer_thread, now + sound_timer_period);
    }
}

void shutdown_xaudio() {
    manager.output_open = false;
    manager.voice_slot_count = 0;
}

bool is_sound_output_open() {
    return manager.output_open;
}

uint32_t get_voice_slot_count() {
    return manager.voice_slot_count;
}

uint32_t get_sound_update_count() {
    return manager.update_count;
}

core::Thread& get_sound_timer_thread() {
    return sound_timer_thread;
}

}  // namespace zolt::sound
