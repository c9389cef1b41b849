#pragma once
// Sound output and the sound manager as the engine's start, stop and frame
// loop see them. Without an output device the game runs silent; no failure of
// sound output is fatal.
#include <cstdint>

#include "zolt/core/main_thread/scheduler.h"

namespace zolt::sound {

// Configuration: the output device by name; "none" means no sound.
extern const char* xaudio_device_name;

constexpr uint32_t maximum_voice_count = 128;
constexpr uint32_t sound_update_period = 3000;
constexpr uint32_t sound_timer_period = 5000;

void initialize_xaudio();
void initialize_sound_manager();
// Does its work only when 30 ms have passed or the manager is marked dirty.
void update_sound_manager();
void shutdown_xaudio();

bool is_sound_output_open();
uint32_t get_voice_slot_count();
uint32_t get_sound_update_count();
core::Thread& get_sound_timer_thread();

}  // namespace zolt::sound
