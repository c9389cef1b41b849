#pragma once
// The sound output: the audio engine on the configured device, a mastering
// voice, a one-channel reverb submix whose environment cross-fades between
// presets, and 128 voice slots, each owning one source voice while a sound
// plays. Volume, pitch, pause and 3D changes of one update are deferred into
// one operation set and committed together by update_xaudio.
//
// Main thread only, except the buffer-end callback on the engine's
// processing thread, which frees copied buffers under the voice's lock.
// Without an engine (device "none", no usable device) there are no slots and
// every allocation answers -1; nothing here is fatal.
#include <cstdint>
#include <string>
#include <vector>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "platform/audio/audio_output.h"
#include "platform/audio/audio_reverb.h"
#include "zolt/sound/resources/sound_bank_format.h"
#include "zolt/sound/resources/wave_bank_format.h"

namespace zolt::sound {

struct WaveBuffer;
class SoundBank;
class WaveBank;

constexpr uint32_t xaudio_voice_slot_count = 128;
constexpr uint32_t environment_preset_count = 25;
constexpr uint32_t environment_off = 24;
constexpr float speed_of_sound = 343.5f;
constexpr float maximum_frequency_ratio = 2.0f;
constexpr uint32_t maximum_device_channels = 16;
constexpr int16_t silent_millibels = -6400;

namespace voice_flag {
constexpr uint32_t pause_requested = 0x1, stopped = 0x2, position_changed = 0x10, orientation_changed = 0x20,
                   volume_changed = 0x40, pitch_changed = 0x80, distance_scale_changed = 0x100;
// Paused and stopped, every change pending.
constexpr uint32_t new_voice = 0x1F3;
constexpr uint32_t change_bits = 0x1F0;
}  // namespace voice_flag

// The device chosen from the list: the id match, else the last default game
// device, else the first; devices with more than 16 channels never. -1 for
// none. An empty wanted id or "default" (any case) asks for no id match.
int32_t choose_xaudio_device(const std::vector<platform::AudioDeviceDetails>& devices, const std::string& wanted);
// Amplitude of a level in millibels; -6400 and below is silence.
float millibels_to_amplitude(int32_t millibels);
// The reverb parameters of an environment; 24 is DEFAULT with no wet part.
platform::ReverbParameters get_environment_parameters(uint32_t preset);
// from x (1 - f) + target x f field by field, integers truncated, then
// clamped to the ranges the reverb accepts.
platform::ReverbParameters blend_reverb_parameters(const platform::ReverbParameters& from,
                                                   const platform::ReverbParameters& target, float factor);

void initialize_xaudio();
void shutdown_xaudio();
void update_xaudio();
void set_listener(const geometry::Vector3& position, const geometry::Quaternion& rotation, uint32_t preset,
                  float blend_factor);

// -1 when no voice is free or the sound cannot play.
int32_t allocate_voice(const SoundBank& sound_bank, const WaveBank& wave_bank, uint32_t cue, uint32_t sound_index,
                       uint32_t wave_index);
void free_voice(int32_t slot);
// Submits a whole in-memory wave; a looping wave loops for ever, from its
// loop start already when play_from_loop_start is set.
bool set_wave_buffer(int32_t slot, const WaveBuffer& buffer, bool play_from_loop_start);
// With copy set the bytes are copied and freed when played; otherwise they
// must stay valid until then.
bool submit_voice_buffer(int32_t slot, const uint8_t* data, uint32_t byte_count, bool copy, bool end_of_stream);
void end_voice_stream(int32_t slot);
// True when nothing is queued or the slot has no voice.
bool is_voice_finished(int32_t slot);
void exit_voice_loop(int32_t slot);
// Seconds played since the voice was created.
float get_voice_position(int32_t slot);
void set_voice_parameters(int32_t slot, const geometry::Vector3& position, const geometry::Quaternion& rotation,
                          float volume, float pitch_ratio, float distance_scale);
void set_voice_pause_request(int32_t slot, bool paused);
// A source voice for a wave of format 0, 1 or 2 (16-bit for Vorbis), with a
// send to the reverb when it is mono and the level above -6400; null for XMA
// or without an engine.
platform::AudioVoice* create_source_voice(uint32_t channels, uint32_t sample_rate, uint16_t format,
                                          int16_t reverb_send);

uint32_t get_xaudio_slot_count();
uint32_t get_free_voice_count();
uint32_t get_operation_set_counter();
// Copied buffers still queued on a slot's voice.
uint32_t get_voice_copy_count(int32_t slot);
bool has_xaudio_engine();
platform::AudioEngine* get_xaudio_engine();
const platform::ReverbParameters& get_current_reverb_parameters();

// Whether the game window is active; while it is not, every voice is
// silent. Tests replace the query.
using WindowActiveQuery = bool (*)();
void set_window_active_query(WindowActiveQuery query);

}  // namespace zolt::sound
