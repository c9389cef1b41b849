#include "platform/audio/audio_output.h"

#include <FAudio.h>

#include <cstring>

#include "platform/audio/audio_engine_state.h"

namespace zolt::platform {
namespace {

constexpr uint32_t wave_format_pcm = 1;
constexpr uint32_t default_processor = FAUDIO_DEFAULT_PROCESSOR;

std::string to_utf8(const int16_t* text) {
    std::string out;
    for (uint32_t i = 0; i < 256 && text[i] != 0; ++i) {
        const uint32_t code = static_cast<uint16_t>(text[i]);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xC0 | (code >> 6));
            out += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (code >> 12));
            out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return out;
}

void FAUDIOCALL forward_buffer_end(FAudioVoiceCallback* callback, void* context) {
    auto* const voice = reinterpret_cast<AudioVoice*>(callback);
    if (voice->on_buffer_end != nullptr) {
        voice->on_buffer_end(context);
    }
}

void FAUDIOCALL ignore_pass(FAudioVoiceCallback*, uint32_t) {}
void FAUDIOCALL ignore_context(FAudioVoiceCallback*, void*) {}
void FAUDIOCALL ignore_stream_end(FAudioVoiceCallback*) {}
void FAUDIOCALL ignore_voice_pass_end(FAudioVoiceCallback*) {}
void FAUDIOCALL ignore_error(FAudioVoiceCallback*, void*, uint32_t) {}

void FAUDIOCALL run_engine_pass(FAudioEngineCallEXT engine_call, FAudio* audio, float* output, void* user) {
    auto* const engine = static_cast<AudioEngine*>(user);
    if (!engine->manual_rendering) {
        engine_call(audio, output);
        return;
    }
    engine->engine_call.store(engine_call, std::memory_order_release);
    uint32_t frames = 0;
    uint32_t rate = 0;
    FAudio_GetProcessingQuantum(audio, &frames, &rate);
    std::memset(output, 0, sizeof(float) * frames * engine->output_channels);
}

AudioVoice* wrap_voice(AudioEngine* engine, FAudioVoice* voice, uint32_t channels, uint32_t sample_rate) {
    auto* const wrapped = new AudioVoice;
    wrapped->voice = voice;
    wrapped->engine = engine;
    wrapped->channels = channels;
    wrapped->sample_rate = sample_rate;
    return wrapped;
}

}  // namespace

AudioEngine* create_audio_engine() {
    FAudio* audio = nullptr;
    if (FAudioCreate(&audio, 0, default_processor) != 0 || audio == nullptr) {
        return nullptr;
    }
    auto* const engine = new AudioEngine;
    engine->audio = audio;
    engine->manual_rendering = is_audio_rendering_manual();
    FAudio_SetEngineProcedureEXT(audio, run_engine_pass, engine);
    return engine;
}

void release_audio_engine(AudioEngine* engine) {
    if (engine == nullptr) {
        return;
    }
    FAudio_Release(engine->audio);
    delete engine;
}

uint32_t get_audio_device_count(AudioEngine* engine) {
    uint32_t count = 0;
    if (FAudio_GetDeviceCount(engine->audio, &count) != 0) {
        return 0;
    }
    return count;
}

bool get_audio_device_details(AudioEngine* engine, uint32_t index, AudioDeviceDetails& out) {
    FAudioDeviceDetails details{};
    if (FAudio_GetDeviceDetails(engine->audio, index, &details) != 0) {
        return false;
    }
    out.id = to_utf8(details.DeviceID);
    out.role = static_cast<uint32_t>(details.Role);
    out.channels = details.OutputFormat.Format.nChannels;
    out.sample_rate = details.OutputFormat.Format.nSamplesPerSec;
    out.channel_mask = details.OutputFormat.dwChannelMask;
    return true;
}

AudioVoice* create_mastering_voice(AudioEngine* engine, uint32_t channels, uint32_t sample_rate,
                                   uint32_t device_index) {
    FAudioMasteringVoice* voice = nullptr;
    if (FAudio_CreateMasteringVoice(engine->audio, &voice, channels, sample_rate, 0, device_index, nullptr) != 0 ||
        voice == nullptr) {
        return nullptr;
    }
    FAudioVoiceDetails details{};
    FAudioVoice_GetVoiceDetails(voice, &details);
    engine->mastering = voice;
    engine->output_channels = details.InputChannels;
    AudioVoice* const wrapped = wrap_voice(engine, voice, details.InputChannels, details.InputSampleRate);
    wrapped->is_mastering = true;
    return wrapped;
}

AudioVoice* create_source_voice(AudioEngine* engine, const AudioWaveFormat& format, float maximum_frequency_ratio,
                                AudioBufferEndFunction on_buffer_end, AudioVoice* const* sends, uint32_t send_count) {
    const uint16_t bytes_per_sample = format.sample_format == AudioSampleFormat::pcm_8 ? 1 : 2;
    FAudioWaveFormatEx wave{};
    wave.wFormatTag = wave_format_pcm;
    wave.nChannels = format.channels;
    wave.nSamplesPerSec = format.sample_rate;
    wave.nBlockAlign = static_cast<uint16_t>(format.channels * bytes_per_sample);
    wave.nAvgBytesPerSec = format.sample_rate * wave.nBlockAlign;
    wave.wBitsPerSample = static_cast<uint16_t>(8 * bytes_per_sample);

    FAudioSendDescriptor descriptors[4]{};
    const uint32_t count = send_count < 4 ? send_count : 4;
    for (uint32_t i = 0; i < count; ++i) {
        descriptors[i].pOutputVoice = sends[i]->voice;
    }
    FAudioVoiceSends send_list{count, descriptors};

    AudioVoice* const wrapped = wrap_voice(engine, nullptr, format.channels, format.sample_rate);
    wrapped->on_buffer_end = on_buffer_end;
    wrapped->callback.OnBufferEnd = forward_buffer_end;
    wrapped->callback.OnBufferStart = ignore_context;
    wrapped->callback.OnLoopEnd = ignore_context;
    wrapped->callback.OnStreamEnd = ignore_stream_end;
    wrapped->callback.OnVoiceError = ignore_error;
    wrapped->callback.OnVoiceProcessingPassEnd = ignore_voice_pass_end;
    wrapped->callback.OnVoiceProcessingPassStart = ignore_pass;
    FAudioSourceVoice* voice = nullptr;
    if (FAudio_CreateSourceVoice(engine->audio, &voice, &wave, 0, maximum_frequency_ratio, &wrapped->callback,
                                 count != 0 ? &send_list : nullptr, nullptr) != 0 ||
        voice == nullptr) {
        delete wrapped;
        return nullptr;
    }
    wrapped->voice = voice;
    return wrapped;
}

void destroy_audio_voice(AudioVoice* voice) {
    if (voice == nullptr) {
        return;
    }
    FAudioVoice_DestroyVoice(voice->voice);
    if (voice->is_mastering) {
        voice->engine->mastering = nullptr;
    }
    delete voice;
}

bool start_audio_voice(AudioVoice* voice, uint32_t operation_set) {
    return FAudioSourceVoice_Start(voice->voice, 0, operation_set) == 0;
}

bool stop_audio_voice(AudioVoice* voice, uint32_t operation_set) {
    return FAudioSourceVoice_Stop(voice->voice, 0, operation_set) == 0;
}

bool set_audio_voice_volume(AudioVoice* voice, float volume, uint32_t operation_set) {
    return FAudioVoice_SetVolume(voice->voice, volume, operation_set) == 0;
}

float get_audio_voice_volume(AudioVoice* voice) {
    float volume = 0.0f;
    FAudioVoice_GetVolume(voice->voice, &volume);
    return volume;
}

bool set_audio_voice_frequency_ratio(AudioVoice* voice, float ratio, uint32_t operation_set) {
    return FAudioSourceVoice_SetFrequencyRatio(voice->voice, ratio, operation_set) == 0;
}

bool set_audio_voice_output_matrix(AudioVoice* voice, AudioVoice* destination, uint32_t source_channels,
                                   uint32_t destination_channels, const float* levels, uint32_t operation_set) {
    return FAudioVoice_SetOutputMatrix(voice->voice, destination != nullptr ? destination->voice : nullptr,
                                       source_channels, destination_channels, levels, operation_set) == 0;
}

bool submit_audio_buffer(AudioVoice* voice, const AudioBuffer& buffer) {
    FAudioBuffer submitted{};
    submitted.Flags = buffer.flags;
    submitted.AudioBytes = buffer.byte_count;
    submitted.pAudioData = buffer.data;
    submitted.PlayBegin = buffer.play_begin;
    submitted.PlayLength = buffer.play_length;
    submitted.LoopBegin = buffer.loop_begin;
    submitted.LoopLength = buffer.loop_length;
    submitted.LoopCount = buffer.loop_count;
    submitted.pContext = buffer.context;
    return FAudioSourceVoice_SubmitSourceBuffer(voice->voice, &submitted, nullptr) == 0;
}

bool flush_audio_buffers(AudioVoice* voice) {
    return FAudioSourceVoice_FlushSourceBuffers(voice->voice) == 0;
}

bool end_audio_stream(AudioVoice* voice) {
    return FAudioSourceVoice_Discontinuity(voice->voice) == 0;
}

bool exit_audio_loop(AudioVoice* voice, uint32_t operation_set) {
    return FAudioSourceVoice_ExitLoop(voice->voice, operation_set) == 0;
}

AudioVoiceState get_audio_voice_state(AudioVoice* voice) {
    FAudioVoiceState state{};
    FAudioSourceVoice_GetState(voice->voice, &state, 0);
    return {state.BuffersQueued, state.SamplesPlayed};
}

uint32_t get_audio_voice_sample_rate(AudioVoice* voice) {
    return voice->sample_rate;
}

uint32_t get_audio_voice_channels(AudioVoice* voice) {
    return voice->channels;
}

bool commit_audio_changes(AudioEngine* engine, uint32_t operation_set) {
    return FAudio_CommitOperationSet(engine->audio, operation_set) == 0;
}

}  // namespace zolt::platform
