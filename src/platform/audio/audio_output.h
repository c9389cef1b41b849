#pragma once
// The audio engine as the sound layer sees it: devices, a mastering voice, a
// submix carrying the reverb, and source voices that play queued buffers with
// loop regions, volumes, frequency ratios and output matrices. Changes made
// with an operation set other than audio_commit_now wait for
// commit_audio_changes. The mixing runs on the engine's own processing thread,
// which is also where buffer-end callbacks arrive; every other call belongs to
// the main thread. The engine and voices are owned by the caller and released
// through the functions below.
#include <cstdint>
#include <string>

namespace zolt::platform {

struct AudioEngine;
struct AudioVoice;

constexpr uint32_t audio_commit_now = 0;
constexpr uint32_t audio_end_of_stream = 0x40;
constexpr uint32_t audio_loop_infinite = 255;
constexpr uint32_t audio_default_game_device_role = 8;
constexpr uint32_t audio_maximum_matrix_channels = 32;

enum class AudioSampleFormat : uint16_t {
    pcm_8,
    pcm_16,
};

struct AudioWaveFormat {
    AudioSampleFormat sample_format;
    uint16_t channels;
    uint32_t sample_rate;
};

struct AudioDeviceDetails {
    // UTF-8; compared exactly against the configured device name.
    std::string id;
    uint32_t role;
    uint32_t channels;
    uint32_t sample_rate;
    uint32_t channel_mask;
};

// Regions are in sample frames; a length of 0 runs to the end.
struct AudioBuffer {
    uint32_t flags;
    uint32_t byte_count;
    const uint8_t* data;
    uint32_t play_begin;
    uint32_t play_length;
    uint32_t loop_begin;
    uint32_t loop_length;
    uint32_t loop_count;
    void* context;
};

struct AudioVoiceState {
    uint32_t buffers_queued;
    // Source frames consumed since the voice was created.
    uint64_t samples_played;
};

// Called on the processing thread with the context of a finished buffer.
using AudioBufferEndFunction = void (*)(void* context);

AudioEngine* create_audio_engine();
void release_audio_engine(AudioEngine* engine);
uint32_t get_audio_device_count(AudioEngine* engine);
bool get_audio_device_details(AudioEngine* engine, uint32_t index, AudioDeviceDetails& out);

AudioVoice* create_mastering_voice(AudioEngine* engine, uint32_t channels, uint32_t sample_rate, uint32_t device_index);
// A submix of the given channels whose only effect is the reverb, enabled.
AudioVoice* create_reverb_submix_voice(AudioEngine* engine, uint32_t channels, uint32_t sample_rate,
                                       AudioVoice* output);
// Sends lists the voices fed; each send starts with the engine's default
// matrix.
AudioVoice* create_source_voice(AudioEngine* engine, const AudioWaveFormat& format, float maximum_frequency_ratio,
                                AudioBufferEndFunction on_buffer_end, AudioVoice* const* sends, uint32_t send_count);
// Synchronous: no callback for the voice arrives after it returns.
void destroy_audio_voice(AudioVoice* voice);

bool start_audio_voice(AudioVoice* voice, uint32_t operation_set);
bool stop_audio_voice(AudioVoice* voice, uint32_t operation_set);
bool set_audio_voice_volume(AudioVoice* voice, float volume, uint32_t operation_set);
float get_audio_voice_volume(AudioVoice* voice);
bool set_audio_voice_frequency_ratio(AudioVoice* voice, float ratio, uint32_t operation_set);
// levels: destination_channels rows of source_channels coefficients.
bool set_audio_voice_output_matrix(AudioVoice* voice, AudioVoice* destination, uint32_t source_channels,
                                   uint32_t destination_channels, const float* levels, uint32_t operation_set);
bool submit_audio_buffer(AudioVoice* voice, const AudioBuffer& buffer);
bool flush_audio_buffers(AudioVoice* voice);
bool end_audio_stream(AudioVoice* voice);
bool exit_audio_loop(AudioVoice* voice, uint32_t operation_set);
AudioVoiceState get_audio_voice_state(AudioVoice* voice);
uint32_t get_audio_voice_sample_rate(AudioVoice* voice);
uint32_t get_audio_voice_channels(AudioVoice* voice);
bool commit_audio_changes(AudioEngine* engine, uint32_t operation_set);

}  // namespace zolt::platform
