#pragma once
// A sound entity (server type 46): one playing instance of a cue, created by
// a script with a cue reference. It picks its sound and wave when created,
// follows a placement, carries the script's volumes, fade and distance
// scale, and runs the state machine that the sound manager advances. It
// never owns a voice: the manager lends it a playback slot while it wins the
// voice selection. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/sound/resources/sound_bank.h"
#include "zolt/sound/resources/wave_bank_format.h"

namespace zolt::sound {

class WaveBank;

namespace entity_state {
constexpr uint8_t idle = 0, playing = 1, interrupted_loop = 2, release = 3, stopped = 4;
}

namespace sound_entity_property {
constexpr uint32_t placement = 0x100000A, message_id_base = 0x300000F, message_target = 0x1000023,
                   position = 0x30000036, rotation = 0x41000038, duration = 0x50000A4, auto_release = 0x3000178,
                   volume = 0x5000179, distance_scale = 0x500017A, target_fade_volume = 0x500017B,
                   current_fade_volume = 0x500017C, fade_time = 0x500017D, effective_volume = 0x500017E,
                   loops = 0x300017F, is_vorbis = 0x3000180, is_playing = 0x3000181, is_category_paused = 0x3000182,
                   is_positional = 0x3000183, playback_time = 0x5000184;
}

constexpr uint32_t sound_finished_message = 0x1B0000;
constexpr uint32_t sound_fade_message = 0x1C0000;
constexpr uint32_t message_id_base_mask = 0xFC000000;

class SoundEntity final : public core::ServerObject {
public:
    // The argument is a cue reference.
    void initialize(uint32_t reference) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, core::Property& out) const override;
    bool set_property(uint32_t id, const core::Property& value) override;

    // True when the state changed.
    bool play();
    bool stop(bool immediately);
    // The event "voice lost"; may destroy an auto-release entity.
    void release_voice(bool post_message);
    void update_fade(float seconds);
    float get_playback_time() const;
    uint32_t get_priority() const;
    geometry::Vector3 get_position() const;
    geometry::Quaternion get_rotation() const;

    // False when the cue, its sound or its wave is not in the banks: the
    // entity then never sounds.
    bool is_playable() const { return is_playable_; }
    bool loops() const;
    bool is_paused() const;
    uint8_t get_state() const { return state_; }
    void set_state(uint8_t state) { state_ = state; }
    int32_t get_slot() const { return slot_; }
    void set_slot(int32_t slot) { slot_ = slot; }
    uint32_t get_category() const;
    SoundBankCue get_cue() const;
    SoundBankSound get_sound() const;
    WaveRecord get_wave() const;
    SoundBank* get_sound_bank() const;
    WaveBank* get_wave_bank() const;
    CueReference get_cue_reference() const { return cue_; }
    uint32_t get_sound_index() const { return sound_index_; }
    uint32_t get_wave_index() const { return wave_index_; }
    float get_variation_volume() const { return variation_volume_; }
    float get_pitch_ratio() const { return pitch_ratio_; }
    float get_volume() const { return volume_; }
    float get_distance_scale() const { return distance_scale_; }
    float get_fade_volume() const { return current_fade_; }
    bool is_auto_release() const { return auto_release_; }

private:
    void reset_fields();
    void open_banks();
    void check_playable();
    void record_start(float seconds);
    void post(uint32_t kind, bool with_fade_volume);

    CueReference cue_ = 0;
    uint32_t sound_index_ = 0;
    uint32_t wave_bank_number_ = 0;
    uint32_t wave_index_ = 0;
    float variation_volume_ = 1.0f;
    float pitch_ratio_ = 1.0f;
    core::ObjectHandle placement_ = 0;
    bool auto_release_ = false;
    float volume_ = 1.0f;
    float distance_scale_ = 1.0f;
    float target_fade_ = 1.0f;
    float current_fade_ = 1.0f;
    float fade_time_ = 0.0f;
    core::ObjectHandle message_target_ = 0;
    uint32_t message_id_base_ = 0;
    bool finished_posted_ = false;
    core::ObjectHandle sound_bank_ = 0;
    core::ObjectHandle wave_bank_ = 0;
    uint8_t state_ = entity_state::idle;
    int32_t slot_ = -1;
    uint32_t start_tick_ = 0;
    bool start_recorded_ = false;
    bool is_playable_ = false;
    // Copies of the bank records, read once: the manager asks for them for
    // every entity at every update.
    SoundBankCue cue_record_{};
    SoundBankSound sound_record_{};
    WaveRecord wave_record_{};
};

}  // namespace zolt::sound
