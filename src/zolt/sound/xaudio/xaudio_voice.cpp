#include "zolt/sound/xaudio/xaudio_voice.h"

#include <strings.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/audio/audio_3d.h"
#include "zolt/renderer/graphics_library/game_window.h"
#include "zolt/sound/resources/sound_bank.h"
#include "zolt/sound/resources/wave_bank.h"
#include "zolt/sound/sound_manager.h"

namespace zolt::sound {
namespace {

using platform::AudioVoice;
using platform::ReverbParameters;

constexpr uint32_t maximum_curve_points = 11;
constexpr uint32_t x3d_flags = platform::audio_3d_matrix | platform::audio_3d_reverb | platform::audio_3d_zero_center;
constexpr float two_pi = 6.28318530718f;

// A copy of a buffer whose source memory is reused, queued on a voice until
// the engine has played it; the bytes follow the record.
struct CopiedBuffer {
    CopiedBuffer* next;
    CopiedBuffer* previous;
    uint32_t slot;
};

struct Voice {
    AudioVoice* source = nullptr;
    SoundBankSound sound{};
    WaveRecord wave{};
    uint32_t flags = 0;
    std::mutex copy_lock;
    CopiedBuffer* copies = nullptr;
    bool is_positional = false;
    bool has_cone = false;
    platform::AudioCone cone{};
    platform::AudioCurvePoint curve[maximum_curve_points]{};
    uint32_t curve_point_count = 0;
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    float volume = 1.0f;
    float pitch = 1.0f;
    float distance_scale = 1.0f;
};

struct Output {
    platform::AudioEngine* engine = nullptr;
    AudioVoice* mastering = nullptr;
    AudioVoice* submix = nullptr;
    uint32_t channels = 0;
    uint32_t slot_count = 0;
    uint32_t free_count = 0;
    platform::Audio3D x3d{};
    platform::AudioListener3D listener{};
    ReverbParameters from{}, current{}, target{};
    uint32_t preset = environment_off;
    float blend = 0.0f;
    bool listener_moved = false, preset_changed = false, blend_changed = false, environment_changed = false,
         mute_changed = false, muted = false;
    bool last_environment_enabled = true;
    uint32_t operation_set = 1;
};

Output output;
Voice voices[xaudio_voice_slot_count];

bool query_window_active() {
    // Without a game window (a headless run) there is no focus to lose.
    return renderer::get_game_window() == nullptr || renderer::is_window_active();
}
WindowActiveQuery window_active_query = query_window_active;

// Engine axes are Z-up; the audio engine's are Y-up.
platform::AudioVector to_audio_axes(const geometry::Vector3& v) {
    return {v.x, v.z, v.y};
}

bool equal(const platform::AudioVector& a, const platform::AudioVector& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

bool is_valid_slot(int32_t slot) {
    return slot >= 0 && static_cast<uint32_t>(slot) < xaudio_voice_slot_count && voices[slot].source != nullptr;
}

// Unlinks and frees a copy, under its voice's lock.
void free_copy(CopiedBuffer* node) {
    Voice& voice = voices[node->slot];
    std::lock_guard<std::mutex> hold(voice.copy_lock);
    if (node->previous != nullptr) {
        node->previous->next = node->next;
    } else {
        voice.copies = node->next;
    }
    if (node->next != nullptr) {
        node->next->previous = node->previous;
    }
    std::free(node);
}

void on_buffer_end(void* context) {
    if (context != nullptr) {
        free_copy(static_cast<CopiedBuffer*>(context));
    }
}

void free_copies(Voice& voice) {
    std::lock_guard<std::mutex> hold(voice.copy_lock);
    while (CopiedBuffer* const node = voice.copies) {
        voice.copies = node->next;
        std::free(node);
    }
}

void destroy_slot_voice(Voice& voice) {
    platform::stop_audio_voice(voice.source, platform::audio_commit_now);
    platform::flush_audio_buffers(voice.source);
    platform::destroy_audio_voice(voice.source);
    voice.source = nullptr;
    free_copies(voice);
}

uint8_t clamp_byte(float value, float high) {
    return static_cast<uint8_t>(value < 0.0f ? 0.0f : (value > high ? high : value));
}

float clamp_float(float value, float low, float high) {
    return value < low ? low : (value > high ? high : value);
}

float lerp(float a, float b, float f) {
    return a * (1.0f - f) + b * f;
}

// Truncated toward zero, as the blend of integer fields is specified.
float lerp_integer(float a, float b, float f) {
    return std::trunc(lerp(a, b, f));
}

void set_up_emitter(Voice& voice) {
    const SoundBankSound& sound = voice.sound;
    const float maximum = sound.maximum_distance;
    voice.has_cone = sound.cone_outside_level != 0 && (sound.cone_inner < 1.0f || sound.cone_outer < 1.0f);
    if (voice.has_cone) {
        const float inner = clamp_float(sound.cone_inner * two_pi, 0.0f, two_pi);
        const float outer = std::max(inner, clamp_float(sound.cone_outer * two_pi, 0.0f, two_pi));
        voice.cone = {inner, outer, 1.0f, millibels_to_amplitude(sound.cone_outside_level), 1.0f, 1.0f, 1.0f, 1.0f};
    }
    uint32_t count = 0;
    voice.curve[count++] = {0.0f, 1.0f};
    const float inner = sound.inner_distance;
    const bool has_inner = inner > 0.0f && maximum > 0.0f;
    if (has_inner) {
        voice.curve[count++] = {inner / maximum, 1.0f};
    }
    const uint32_t n = sound.curve_point_count;
    const float base = has_inner ? inner : 0.0f;
    for (uint32_t i = 1; i + 1 < n && count + 1 < maximum_curve_points; ++i) {
        const float distance =
            maximum > 0.0f ? (base + static_cast<float>(i) / (n - 1) * (maximum - base)) / maximum : 0;
        voice.curve[count++] = {distance, sound.curve_levels[i - 1] / 255.0f};
    }
    voice.curve[count++] = {1.0f, 0.0f};
    voice.curve_point_count = count;
}

void apply_positional_matrix(Voice& voice) {
    const geometry::Vector3 front = geometry::rotate(voice.rotation, geometry::Vector3(0, 1, 0));
    const geometry::Vector3 top = geometry::rotate(voice.rotation, geometry::Vector3(0, 0, 1));
    // A scaler of 0 (distance scale 0) would divide by zero at the listener.
    const float scaler = std::max(voice.distance_scale * voice.sound.maximum_distance, 1.17549435e-38f);
    const platform::AudioEmitter3D emitter{voice.has_cone ? &voice.cone : nullptr,
                                           to_audio_axes(front),
                                           to_audio_axes(top),
                                           to_audio_axes(voice.position),
                                           voice.wave.channels,
                                           voice.curve,
                                           voice.curve_point_count,
                                           scaler,
                                           1.0f};
    float matrix[platform::audio_maximum_matrix_channels] = {};
    platform::AudioDspSettings settings{matrix, voice.wave.channels, output.channels, 0.0f};
    platform::calculate_audio_3d(output.x3d, output.listener, emitter, x3d_flags, settings);
    platform::set_audio_voice_output_matrix(voice.source, output.mastering, voice.wave.channels, output.channels,
                                            matrix, output.operation_set);
    if (output.submix != nullptr && voice.wave.channels == 1 && voice.sound.reverb_send > silent_millibels) {
        const float send = millibels_to_amplitude(voice.sound.reverb_send) * settings.reverb_level;
        platform::set_audio_voice_output_matrix(voice.source, output.submix, 1, 1, &send, output.operation_set);
    }
}

void update_voice(Voice& voice) {
    if ((voice.flags & voice_flag::volume_changed) != 0 || output.mute_changed) {
        platform::set_audio_voice_volume(voice.source, output.muted ? 0.0f : voice.volume, output.operation_set);
    }
    if ((voice.flags & voice_flag::pitch_changed) != 0) {
        platform::set_audio_voice_frequency_ratio(voice.source, voice.pitch, output.operation_set);
    }
    constexpr uint32_t placement_bits =
        voice_flag::position_changed | voice_flag::orientation_changed | voice_flag::distance_scale_changed;
    if (voice.is_positional && (output.listener_moved || (voice.flags & placement_bits) != 0)) {
        apply_positional_matrix(voice);
    }
    voice.flags &= ~voice_flag::change_bits;
    const bool requested = (voice.flags & voice_flag::pause_requested) != 0;
    const bool stopped = (voice.flags & voice_flag::stopped) != 0;
    if (requested != stopped) {
        if (requested) {
            platform::stop_audio_voice(voice.source, output.operation_set);
            voice.flags |= voice_flag::stopped;
        } else {
            platform::start_audio_voice(voice.source, output.operation_set);
            voice.flags &= ~voice_flag::stopped;
        }
    }
}

void apply_environment() {
    output.current = blend_reverb_parameters(output.from, output.target, output.blend);
    const ReverbParameters& applied =
        sound_environment_enabled ? output.current : get_environment_parameters(environment_off);
    platform::set_reverb_parameters(output.submix, applied);
    // The effect passes its input through where it is not wet; the sends
    // already reach the mastering voice dry, so that part is taken out, or
    // switching the environment off would make every sound louder.
    platform::set_audio_voice_volume(output.submix, applied.wet_dry_mix / 100.0f, platform::audio_commit_now);
}

}  // namespace

float millibels_to_amplitude(int32_t millibels) {
    return millibels <= silent_millibels ? 0.0f : std::pow(10.0f, static_cast<float>(millibels) / 2000.0f);
}

ReverbParameters get_environment_parameters(uint32_t preset) {
    ReverbParameters parameters = platform::get_reverb_preset(preset < platform::reverb_preset_count ? preset : 0);
    if (preset == environment_off) {
        parameters.wet_dry_mix = 0.0f;
    }
    return parameters;
}

ReverbParameters blend_reverb_parameters(const ReverbParameters& from, const ReverbParameters& target, float f) {
    ReverbParameters out;
    out.wet_dry_mix = clamp_float(lerp(from.wet_dry_mix, target.wet_dry_mix, f), 0.0f, 100.0f);
    const float delay =
        lerp_integer(static_cast<float>(from.reflections_delay), static_cast<float>(target.reflections_delay), f);
    out.reflections_delay = static_cast<uint32_t>(clamp_float(delay, 0.0f, 300.0f));
    auto blend_byte = [&](uint8_t a, uint8_t b, float high) { return clamp_byte(lerp_integer(a, b, f), high); };
    out.reverb_delay = blend_byte(from.reverb_delay, target.reverb_delay, 85);
    out.rear_delay = blend_byte(from.rear_delay, target.rear_delay, 5);
    out.position_left = blend_byte(from.position_left, target.position_left, 30);
    out.position_right = blend_byte(from.position_right, target.position_right, 30);
    out.position_matrix_left = blend_byte(from.position_matrix_left, target.position_matrix_left, 30);
    out.position_matrix_right = blend_byte(from.position_matrix_right, target.position_matrix_right, 30);
    out.early_diffusion = blend_byte(from.early_diffusion, target.early_diffusion, 15);
    out.late_diffusion = blend_byte(from.late_diffusion, target.late_diffusion, 15);
    out.low_eq_gain = blend_byte(from.low_eq_gain, target.low_eq_gain, 12);
    out.low_eq_cutoff = blend_byte(from.low_eq_cutoff, target.low_eq_cutoff, 9);
    out.high_eq_gain = blend_byte(from.high_eq_gain, target.high_eq_gain, 8);
    out.high_eq_cutoff = blend_byte(from.high_eq_cutoff, target.high_eq_cutoff, 14);
    out.room_filter_frequency =
        clamp_float(lerp(from.room_filter_frequency, target.room_filter_frequency, f), 20.0f, 20000.0f);
    out.room_filter_main = clamp_float(lerp(from.room_filter_main, target.room_filter_main, f), -100.0f, 0.0f);
    out.room_filter_hf = clamp_float(lerp(from.room_filter_hf, target.room_filter_hf, f), -100.0f, 0.0f);
    out.reflections_gain = clamp_float(lerp(from.reflections_gain, target.reflections_gain, f), -100.0f, 20.0f);
    out.reverb_gain = clamp_float(lerp(from.reverb_gain, target.reverb_gain, f), -100.0f, 20.0f);
    out.decay_time = clamp_float(lerp(from.decay_time, target.decay_time, f), 0.1f, 10000000.0f);
    out.density = clamp_float(lerp(from.density, target.density, f), 0.0f, 100.0f);
    out.room_size = clamp_float(lerp(from.room_size, target.room_size, f), 0.0f, 100.0f);
    return out;
}

int32_t choose_xaudio_device(const std::vector<platform::AudioDeviceDetails>& devices, const std::string& wanted) {
    const bool wants_id = !wanted.empty() && strcasecmp(wanted.c_str(), "default") != 0;
    int32_t first = -1, default_game = -1, match = -1;
    for (size_t index = 0; index < devices.size(); ++index) {
        const platform::AudioDeviceDetails& device = devices[index];
        if (device.channels > maximum_device_channels) {
            continue;
        }
        const auto at = static_cast<int32_t>(index);
        first = first < 0 ? at : first;
        if ((device.role & platform::audio_default_game_device_role) != 0) {
            default_game = at;
        }
        if (wants_id && device.id == wanted) {
            match = at;
        }
    }
    return match >= 0 ? match : (default_game >= 0 ? default_game : first);
}

void initialize_xaudio() {
    output.listener = {{0, 0, 1}, {0, 1, 0}, {0, 0, 0}};
    output.preset = environment_off;
    output.blend = 0.0f;
    output.listener_moved = output.preset_changed = output.blend_changed = output.environment_changed = true;
    output.from = output.current = output.target = get_environment_parameters(environment_off);
    output.last_environment_enabled = sound_environment_enabled;
    const char* const name = xaudio_device_name != nullptr ? xaudio_device_name : "";
    if (strcasecmp(name, "none") == 0) {
        return;
    }
    output.engine = platform::create_audio_engine();
    if (output.engine == nullptr) {
        output.engine = platform::create_audio_engine();
    }
    if (output.engine == nullptr) {
        return;
    }
    std::vector<platform::AudioDeviceDetails> devices(platform::get_audio_device_count(output.engine));
    for (uint32_t index = 0; index < devices.size(); ++index) {
        if (!platform::get_audio_device_details(output.engine, index, devices[index])) {
            // Never chosen: a device whose details cannot be read.
            devices[index].channels = maximum_device_channels + 1;
        }
    }
    const int32_t chosen = choose_xaudio_device(devices, name);
    if (chosen < 0) {
        shutdown_xaudio();
        return;
    }
    const platform::AudioDeviceDetails& device = devices[chosen];
    output.mastering = platform::create_mastering_voice(output.engine, device.channels, device.sample_rate,
                                                        static_cast<uint32_t>(chosen));
    uint32_t channel_mask = device.channel_mask;
    if (output.mastering == nullptr && !devices.empty()) {
        output.mastering =
            platform::create_mastering_voice(output.engine, devices[0].channels, devices[0].sample_rate, 0);
        channel_mask = devices[0].channel_mask;
    }
    if (output.mastering == nullptr) {
        shutdown_xaudio();
        return;
    }
    output.channels = platform::get_audio_voice_channels(output.mastering);
    output.submix = platform::create_reverb_submix_voice(
        output.engine, 1, platform::get_audio_voice_sample_rate(output.mastering), output.mastering);
    if (output.submix != nullptr) {
        platform::set_reverb_parameters(output.submix, output.current);
    }
    platform::initialize_audio_3d(output.x3d, channel_mask, speed_of_sound);
    output.slot_count = output.free_count = xaudio_voice_slot_count;
}

void shutdown_xaudio() {
    for (Voice& voice : voices) {
        if (voice.source != nullptr) {
            destroy_slot_voice(voice);
        }
    }
    output.slot_count = output.free_count = 0;
    platform::destroy_audio_voice(output.submix);
    output.submix = nullptr;
    platform::destroy_audio_voice(output.mastering);
    output.mastering = nullptr;
    output.channels = 0;
    platform::release_audio_engine(output.engine);
    output.engine = nullptr;
}

void set_listener(const geometry::Vector3& position, const geometry::Quaternion& rotation, uint32_t preset,
                  float blend_factor) {
    const platform::AudioVector front = to_audio_axes(geometry::rotate(rotation, geometry::Vector3(0, 1, 0)));
    const platform::AudioVector top = to_audio_axes(geometry::rotate(rotation, geometry::Vector3(0, 0, 1)));
    const platform::AudioVector at = to_audio_axes(position);
    if (!equal(front, output.listener.front) || !equal(top, output.listener.top) ||
        !equal(at, output.listener.position)) {
        output.listener = {front, top, at};
        output.listener_moved = true;
    }
    if (preset != output.preset) {
        output.preset = preset;
        output.preset_changed = true;
    }
    if (blend_factor != output.blend) {
        output.blend = blend_factor;
        output.blend_changed = true;
    }
}

void update_xaudio() {
    if (output.engine == nullptr) {
        return;
    }
    const bool muted = !window_active_query();
    if (muted != output.muted) {
        output.muted = muted;
        output.mute_changed = true;
    }
    if (sound_environment_enabled != output.last_environment_enabled) {
        output.last_environment_enabled = sound_environment_enabled;
        output.environment_changed = true;
    }
    if (output.preset_changed) {
        output.from = output.current;
        output.target = get_environment_parameters(output.preset);
    }
    if (output.submix != nullptr && (output.preset_changed || output.blend_changed || output.environment_changed)) {
        apply_environment();
    }
    for (Voice& voice : voices) {
        if (voice.source != nullptr) {
            update_voice(voice);
        }
    }
    platform::commit_audio_changes(output.engine, output.operation_set);
    ++output.operation_set;
    output.listener_moved = output.preset_changed = output.blend_changed = output.environment_changed =
        output.mute_changed = false;
}

AudioVoice* create_source_voice(uint32_t channels, uint32_t sample_rate, uint16_t format, int16_t reverb_send) {
    if (output.engine == nullptr || output.mastering == nullptr || format > wave_format::vorbis || channels == 0 ||
        sample_rate == 0) {
        return nullptr;
    }
    const platform::AudioWaveFormat wave{
        format == wave_format::pcm_8 ? platform::AudioSampleFormat::pcm_8 : platform::AudioSampleFormat::pcm_16,
        static_cast<uint16_t>(channels), sample_rate};
    AudioVoice* sends[2] = {output.mastering, output.submix};
    const uint32_t send_count = output.submix != nullptr && channels == 1 && reverb_send > silent_millibels ? 2 : 1;
    return platform::create_source_voice(output.engine, wave, maximum_frequency_ratio, on_buffer_end, sends,
                                         send_count);
}

int32_t allocate_voice(const SoundBank& sound_bank, const WaveBank& wave_bank, uint32_t, uint32_t sound_index,
                       uint32_t wave_index) {
    if (output.free_count == 0 || wave_index >= wave_bank.get_wave_count() ||
        sound_index >= sound_bank.get_sound_count()) {
        return -1;
    }
    int32_t slot = -1;
    for (uint32_t index = 0; index < output.slot_count; ++index) {
        if (voices[index].source == nullptr) {
            slot = static_cast<int32_t>(index);
            break;
        }
    }
    if (slot < 0) {
        return -1;
    }
    Voice& voice = voices[slot];
    voice.sound = sound_bank.get_sound(sound_index);
    voice.wave = wave_bank.get_wave(wave_index);
    voice.source =
        create_source_voice(voice.wave.channels, voice.wave.sample_rate, voice.wave.format, voice.sound.reverb_send);
    if (voice.source == nullptr) {
        return -1;
    }
    voice.flags = voice_flag::new_voice;
    voice.volume = voice.pitch = voice.distance_scale = 1.0f;
    voice.position = geometry::Vector3();
    voice.rotation = geometry::identity_quaternion();
    voice.is_positional = (voice.sound.flags & sound_flag_positional) != 0;
    if (voice.is_positional) {
        set_up_emitter(voice);
    } else if (output.submix != nullptr && voice.wave.channels == 1 && voice.sound.reverb_send > silent_millibels) {
        // The send level holds for non-positional sounds as well; the
        // engine's default send would ignore it.
        const float send = millibels_to_amplitude(voice.sound.reverb_send);
        platform::set_audio_voice_output_matrix(voice.source, output.submix, 1, 1, &send, platform::audio_commit_now);
    }
    --output.free_count;
    return slot;
}

void free_voice(int32_t slot) {
    if (!is_valid_slot(slot)) {
        return;
    }
    destroy_slot_voice(voices[slot]);
    voices[slot].flags = 0;
    ++output.free_count;
}

bool submit_voice_buffer(int32_t slot, const uint8_t* data, uint32_t byte_count, bool copy, bool end_of_stream) {
    if (!is_valid_slot(slot)) {
        return false;
    }
    Voice& voice = voices[slot];
    platform::AudioBuffer buffer{};
    buffer.flags = end_of_stream ? platform::audio_end_of_stream : 0;
    buffer.byte_count = byte_count;
    buffer.data = data;
    if (!copy) {
        return platform::submit_audio_buffer(voice.source, buffer);
    }
    auto* const node = static_cast<CopiedBuffer*>(std::malloc(sizeof(CopiedBuffer) + byte_count));
    if (node == nullptr) {
        return false;
    }
    node->slot = static_cast<uint32_t>(slot);
    node->previous = nullptr;
    std::memcpy(node + 1, data, byte_count);
    buffer.data = reinterpret_cast<const uint8_t*>(node + 1);
    buffer.context = node;
    // Linked before the engine can end the buffer, under the lock its
    // callback takes; the lock is not held while the engine is called, since
    // the engine may be ending another buffer of this voice meanwhile.
    {
        std::lock_guard<std::mutex> hold(voice.copy_lock);
        node->next = voice.copies;
        if (voice.copies != nullptr) {
            voice.copies->previous = node;
        }
        voice.copies = node;
    }
    if (!platform::submit_audio_buffer(voice.source, buffer)) {
        free_copy(node);
        return false;
    }
    return true;
}

bool set_wave_buffer(int32_t slot, const WaveBuffer& wave_buffer, bool play_from_loop_start) {
    if (!is_valid_slot(slot)) {
        return false;
    }
    const Voice& voice = voices[slot];
    platform::AudioBuffer buffer{};
    buffer.flags = platform::audio_end_of_stream;
    buffer.byte_count = wave_buffer.byte_count;
    buffer.data = wave_buffer.data;
    if ((voice.wave.flags & wave_flag::loops) != 0) {
        const uint32_t block = get_wave_block_size(voice.wave);
        buffer.loop_begin = voice.wave.loop_start / block;
        buffer.loop_length = voice.wave.loop_length / block;
        buffer.loop_count = platform::audio_loop_infinite;
        if (play_from_loop_start) {
            buffer.play_begin = voice.wave.loop_start / block;
            buffer.play_length = (wave_buffer.byte_count - voice.wave.loop_start) / block;
        }
    }
    return platform::submit_audio_buffer(voice.source, buffer);
}

void end_voice_stream(int32_t slot) {
    if (is_valid_slot(slot)) {
        platform::end_audio_stream(voices[slot].source);
    }
}

bool is_voice_finished(int32_t slot) {
    return !is_valid_slot(slot) || platform::get_audio_voice_state(voices[slot].source).buffers_queued == 0;
}

void exit_voice_loop(int32_t slot) {
    if (is_valid_slot(slot)) {
        platform::exit_audio_loop(voices[slot].source, output.operation_set);
    }
}

float get_voice_position(int32_t slot) {
    if (!is_valid_slot(slot)) {
        return 0.0f;
    }
    const uint64_t played = platform::get_audio_voice_state(voices[slot].source).samples_played;
    return static_cast<float>(static_cast<double>(played) / voices[slot].wave.sample_rate);
}

void set_voice_parameters(int32_t slot, const geometry::Vector3& position, const geometry::Quaternion& rotation,
                          float volume, float pitch_ratio, float distance_scale) {
    if (!is_valid_slot(slot)) {
        return;
    }
    Voice& voice = voices[slot];
    if (position.x != voice.position.x || position.y != voice.position.y || position.z != voice.position.z) {
        voice.position = position;
        voice.flags |= voice_flag::position_changed;
    }
    if (rotation.x != voice.rotation.x || rotation.y != voice.rotation.y || rotation.z != voice.rotation.z ||
        rotation.w != voice.rotation.w) {
        voice.rotation = rotation;
        voice.flags |= voice_flag::orientation_changed;
    }
    if (volume != voice.volume) {
        voice.volume = volume;
        voice.flags |= voice_flag::volume_changed;
    }
    const float pitch = pitch_ratio > maximum_frequency_ratio ? maximum_frequency_ratio : pitch_ratio;
    if (pitch != voice.pitch) {
        voice.pitch = pitch;
        voice.flags |= voice_flag::pitch_changed;
    }
    if (distance_scale != voice.distance_scale) {
        voice.distance_scale = distance_scale;
        voice.flags |= voice_flag::distance_scale_changed;
    }
}

void set_voice_pause_request(int32_t slot, bool paused) {
    if (!is_valid_slot(slot)) {
        return;
    }
    if (paused) {
        voices[slot].flags |= voice_flag::pause_requested;
    } else {
        voices[slot].flags &= ~voice_flag::pause_requested;
    }
}

uint32_t get_xaudio_slot_count() {
    return output.slot_count;
}

uint32_t get_free_voice_count() {
    return output.free_count;
}

uint32_t get_operation_set_counter() {
    return output.operation_set;
}

uint32_t get_voice_copy_count(int32_t slot) {
    if (slot < 0 || static_cast<uint32_t>(slot) >= xaudio_voice_slot_count) {
        return 0;
    }
    std::lock_guard<std::mutex> hold(voices[slot].copy_lock);
    uint32_t count = 0;
    for (const CopiedBuffer* node = voices[slot].copies; node != nullptr; node = node->next) {
        ++count;
    }
    return count;
}

bool has_xaudio_engine() {
    return output.engine != nullptr && output.slot_count != 0;
}

platform::AudioEngine* get_xaudio_engine() {
    return output.engine;
}

const ReverbParameters& get_current_reverb_parameters() {
    return output.current;
}

void set_window_active_query(WindowActiveQuery query) {
    window_active_query = query != nullptr ? query : query_window_active;
}

}  // namespace zolt::sound
