#pragma once
// The sound manager: every 30 ms, or sooner after a change, it advances the
// four sound categories, follows the active listener and its reverb
// environment, ranks the audible sound entities by priority, lends the best
// of them (at most one per voice) a playback slot, feeds the slots and
// commits the output's changes. A cooperative timer thread repeats the
// feeding every 50 ms when no update ran. Without an output device the game
// runs silent; no failure of sound output is fatal. Main thread only.
#include <cstdint>

#include "zolt/core/main_thread/scheduler.h"

namespace zolt::sound {

class SoundEntity;
class SoundVoiceSlot;

// Configuration: the output device by name; "none" means no sound.
extern const char* xaudio_device_name;
// Configuration: the reverb environment is heard.
extern bool sound_environment_enabled;

constexpr uint32_t maximum_voice_count = 128;
constexpr uint32_t sound_update_period = 3000;
constexpr uint32_t sound_timer_period = 5000;
constexpr uint32_t sound_category_total = 4;
constexpr float ticks_to_seconds = 0.00001f;

// A volume group: its volume multiplies every voice of the group; while
// paused its voices stop and its clock (10-microsecond ticks) stands still.
struct SoundCategory {
    float volume = 1.0f;
    bool paused = false;
    uint32_t clock = 0;
};

void initialize_xaudio();
void initialize_sound_manager();
// Does its work only when 30 ms have passed or a change is pending.
void update_sound_manager();
// Feeds the occupied slots and commits the output's changes.
void run_voice_pass();
void shutdown_xaudio();

// Makes the next update run without waiting.
void mark_sound_manager_changed();
SoundCategory& get_sound_category(uint32_t category);
SoundVoiceSlot& get_voice_slot(int32_t slot);
// The voice slot count of this run: the output's, at most 128.
uint32_t get_voice_count();
// Entities selected by the last update, in list order.
uint32_t get_candidate_count();
SoundEntity* get_candidate(uint32_t index);
uint32_t get_listener_environment();
float get_listener_blend_factor();

bool is_sound_output_open();
uint32_t get_voice_slot_count();
uint32_t get_sound_update_count();
core::Thread& get_sound_timer_thread();

}  // namespace zolt::sound
