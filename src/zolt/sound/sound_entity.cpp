#include "zolt/sound/sound_entity.h"

#include <cmath>
#include <cstring>

#include "zolt/core/events/message.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/resources/wave_bank_server.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_manager.h"
#include "zolt/sound/sound_voice_slot.h"

namespace zolt::sound {
namespace {

constexpr uint32_t scalar_type = 0x3000000, float_type = 0x5000000, handle_type = 0x1000000, vector_type = 0x30000000,
                   rotation_type = 0x41000000;

int32_t draw_between(int16_t low, int16_t high) {
    if (high <= low) {
        return low;
    }
    return low + static_cast<int32_t>(core::random_integer(0, static_cast<uint32_t>(high - low)));
}

float clamp_unit(float value) {
    // A value that is not a number counts as 0.
    return value > 0.0f ? (value < 1.0f ? value : 1.0f) : 0.0f;
}

uint32_t float_bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float bits_float(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool read_float(storage::LoadStream& stream, float& value) {
    uint32_t bits = 0;
    if (!core::read_u32(stream, bits)) {
        return false;
    }
    value = bits_float(bits);
    return true;
}

bool read_flag(storage::LoadStream& stream, bool& value) {
    uint8_t byte = 0;
    if (!core::read_u8(stream, byte)) {
        return false;
    }
    value = byte != 0;
    return true;
}

// A getter's key matches the bare number or the typed id.
bool names(uint32_t id, uint32_t typed) {
    return id == typed || id == (typed & 0xFFFFFFu);
}

}  // namespace

void SoundEntity::initialize(uint32_t reference) {
    reset_fields();
    cue_ = reference;
    open_banks();
    SoundBank* const bank = get_sound_bank();
    bank->find_cue(cue_);
    const uint32_t cue_index = cue_ & cue_low_mask;
    if (cue_index < bank->get_cue_count() && bank->get_cue(cue_index).cue_id != 0) {
        sound_index_ = bank->choose_sound(cue_index);
        const SoundBankSound sound = bank->get_sound(sound_index_);
        wave_index_ = bank->choose_wave(sound_index_, wave_bank_number_);
        variation_volume_ = std::pow(10.0f, draw_between(sound.minimum_volume, sound.maximum_volume) / 2000.0f);
        pitch_ratio_ = std::pow(2.0f, draw_between(sound.minimum_pitch, sound.maximum_pitch) / 1200.0f);
        if (wave_bank_number_ != 0 && wave_bank_number_ <= wave_bank_number_mask) {
            wave_bank_ = wave_bank_server.open(wave_bank_number_)->get_handle();
        }
    }
    check_playable();
    mark_sound_manager_changed();
}

void SoundEntity::reset_fields() {
    cue_ = 0;
    sound_index_ = wave_bank_number_ = wave_index_ = 0;
    variation_volume_ = pitch_ratio_ = 1.0f;
    placement_ = 0;
    auto_release_ = false;
    volume_ = distance_scale_ = target_fade_ = current_fade_ = 1.0f;
    fade_time_ = 0.0f;
    message_target_ = message_id_base_ = 0;
    finished_posted_ = false;
    sound_bank_ = wave_bank_ = 0;
    state_ = entity_state::idle;
    slot_ = -1;
    start_tick_ = 0;
    start_recorded_ = false;
    is_playable_ = false;
    cue_record_ = {};
    sound_record_ = {};
    wave_record_ = {};
}

void SoundEntity::open_banks() {
    sound_bank_ = sound_bank_server.open(sound_bank_server.get_bank_number(cue_))->get_handle();
}

void SoundEntity::check_playable() {
    is_playable_ = false;
    cue_record_ = {};
    sound_record_ = {};
    wave_record_ = {};
    SoundBank* const bank = get_sound_bank();
    WaveBank* const waves = get_wave_bank();
    if (bank == nullptr || waves == nullptr) {
        return;
    }
    const uint32_t cue_index = cue_ & cue_low_mask;
    if (cue_index >= bank->get_cue_count() || sound_index_ >= bank->get_sound_count() ||
        wave_index_ >= waves->get_wave_count()) {
        return;
    }
    is_playable_ = waves->get_wave(wave_index_).format != wave_format::xma;
    if (is_playable_) {
        cue_record_ = bank->get_cue(cue_index);
        sound_record_ = bank->get_sound(sound_index_);
        wave_record_ = waves->get_wave(wave_index_);
    }
}

void SoundEntity::finalize() {
    if (slot_ >= 0) {
        get_voice_slot(slot_).release();
        slot_ = -1;
    }
    if (SoundBank* const bank = get_sound_bank()) {
        sound_bank_server.release(bank);
    }
    if (WaveBank* const waves = get_wave_bank()) {
        wave_bank_server.release(waves);
    }
    sound_bank_ = wave_bank_ = 0;
}

SoundBank* SoundEntity::get_sound_bank() const {
    return sound_bank_ != 0 ? sound_bank_server.get_typed_object(sound_bank_) : nullptr;
}

WaveBank* SoundEntity::get_wave_bank() const {
    return wave_bank_ != 0 ? wave_bank_server.get_typed_object(wave_bank_) : nullptr;
}

SoundBankCue SoundEntity::get_cue() const {
    return cue_record_;
}

SoundBankSound SoundEntity::get_sound() const {
    return sound_record_;
}

WaveRecord SoundEntity::get_wave() const {
    return wave_record_;
}

bool SoundEntity::loops() const {
    return is_playable_ && (get_wave().flags & wave_flag::loops) != 0;
}

uint32_t SoundEntity::get_category() const {
    return get_cue().category % sound_category_total;
}

bool SoundEntity::is_paused() const {
    return get_sound_category(get_category()).paused;
}

bool SoundEntity::play() {
    if (state_ != entity_state::idle) {
        return false;
    }
    state_ = entity_state::playing;
    return true;
}

bool SoundEntity::stop(bool immediately) {
    // A stopped entity has finished for good: stopping it again must not
    // make it play once more.
    if (state_ == entity_state::stopped) {
        return false;
    }
    if (immediately) {
        state_ = entity_state::stopped;
        return true;
    }
    if (state_ == entity_state::release) {
        return false;
    }
    state_ = entity_state::release;
    return true;
}

void SoundEntity::record_start(float seconds) {
    start_tick_ = get_sound_category(get_category()).clock - static_cast<uint32_t>(seconds * 100000.0f);
    start_recorded_ = true;
}

float SoundEntity::get_playback_time() const {
    if (start_recorded_) {
        return static_cast<float>(get_sound_category(get_category()).clock - start_tick_) * ticks_to_seconds;
    }
    if (slot_ >= 0) {
        return get_voice_slot(slot_).get_position();
    }
    return 0.0f;
}

uint32_t SoundEntity::get_priority() const {
    uint32_t priority = uint32_t{get_cue().priority} * 8;
    switch (state_) {
    case entity_state::playing:
        priority += 6;
        break;
    case entity_state::interrupted_loop:
        priority += 4;
        break;
    case entity_state::release:
        priority += 2;
        break;
    default:
        break;
    }
    return priority + (slot_ >= 0 ? 1 : 0);
}

geometry::Vector3 SoundEntity::get_position() const {
    core::Placement* const placement = core::placement_server.get_typed_object(placement_);
    return placement != nullptr && placement_ != 0 ? placement->get_world_position() : geometry::Vector3();
}

geometry::Quaternion SoundEntity::get_rotation() const {
    core::Placement* const placement = core::placement_server.get_typed_object(placement_);
    return placement != nullptr && placement_ != 0 ? placement->get_world_rotation() : geometry::identity_quaternion();
}

void SoundEntity::post(uint32_t kind, bool with_fade_volume) {
    if (message_target_ == 0 && message_id_base_ == 0) {
        return;
    }
    core::Message* const message = core::post_message(message_id_base_ | kind, get_handle(), message_target_, 0);
    if (message != nullptr && with_fade_volume) {
        core::Property fade;
        fade.set_float(sound_entity_property::current_fade_volume, current_fade_);
        message->set_property(sound_entity_property::current_fade_volume, fade);
    }
}

void SoundEntity::release_voice(bool post_message) {
    if (!start_recorded_) {
        record_start(get_playback_time());
    }
    if (slot_ >= 0) {
        get_voice_slot(slot_).release();
        slot_ = -1;
    }
    if (loops()) {
        if (state_ == entity_state::playing) {
            state_ = entity_state::interrupted_loop;
        } else if (state_ == entity_state::release) {
            state_ = entity_state::stopped;
        }
    } else {
        state_ = entity_state::stopped;
    }
    if (state_ == entity_state::interrupted_loop) {
        return;
    }
    if (auto_release_) {
        if (state_ == entity_state::release || state_ == entity_state::stopped) {
            sound_entity_server.destroy_object_internal(this);
        }
        return;
    }
    if (post_message && !finished_posted_) {
        finished_posted_ = true;
        post(sound_finished_message, false);
    }
}

void SoundEntity::update_fade(float seconds) {
    if (current_fade_ == target_fade_) {
        return;
    }
    float next = target_fade_;
    if (fade_time_ > 0.0f) {
        const float step = seconds / fade_time_;
        next = current_fade_ < target_fade_ ? std::min(current_fade_ + step, target_fade_)
                                            : std::max(current_fade_ - step, target_fade_);
    }
    current_fade_ = clamp_unit(next);
    if (current_fade_ == target_fade_) {
        post(sound_fade_message, true);
    }
}

bool SoundEntity::get_property(uint32_t id, core::Property& out) const {
    namespace p = sound_entity_property;
    if (names(id, p::placement)) {
        out.set_u32(handle_type, placement_);
    } else if (names(id, p::message_id_base)) {
        out.set_u32(scalar_type, message_id_base_);
    } else if (names(id, p::message_target)) {
        out.set_u32(handle_type, message_target_);
    } else if (names(id, p::position)) {
        const geometry::Vector3 at = get_position();
        const float values[3] = {at.x, at.y, at.z};
        out.set_floats(vector_type, values, 3);
    } else if (names(id, p::rotation)) {
        const geometry::Quaternion q = get_rotation();
        const float values[4] = {q.x, q.y, q.z, q.w};
        out.set_floats(rotation_type, values, 4);
    } else if (names(id, p::duration)) {
        out.set_float(float_type, get_wave().duration);
    } else if (names(id, p::auto_release)) {
        out.set_u32(scalar_type, auto_release_ ? 1 : 0);
    } else if (names(id, p::volume)) {
        out.set_float(float_type, volume_);
    } else if (names(id, p::distance_scale)) {
        out.set_float(float_type, distance_scale_);
    } else if (names(id, p::target_fade_volume)) {
        out.set_float(float_type, target_fade_);
    } else if (names(id, p::current_fade_volume)) {
        out.set_float(float_type, current_fade_);
    } else if (names(id, p::fade_time)) {
        out.set_float(float_type, fade_time_);
    } else if (names(id, p::effective_volume)) {
        out.set_float(float_type, variation_volume_ * current_fade_ * volume_);
    } else if (names(id, p::loops)) {
        out.set_u32(scalar_type, loops() ? 1 : 0);
    } else if (names(id, p::is_vorbis)) {
        const WaveBank* const waves = get_wave_bank();
        out.set_u32(scalar_type, waves != nullptr && waves->is_vorbis_bank() ? 1 : 0);
    } else if (names(id, p::is_playing)) {
        out.set_u32(scalar_type, state_ >= entity_state::playing && state_ <= entity_state::release ? 1 : 0);
    } else if (names(id, p::is_category_paused)) {
        out.set_u32(scalar_type, is_paused() ? 1 : 0);
    } else if (names(id, p::is_positional)) {
        out.set_u32(scalar_type, (get_sound().flags & sound_flag_positional) != 0 ? 1 : 0);
    } else if (names(id, p::playback_time)) {
        out.set_float(float_type, get_playback_time());
    } else {
        return ServerObject::get_property(id, out);
    }
    return true;
}

bool SoundEntity::set_property(uint32_t id, const core::Property& value) {
    namespace p = sound_entity_property;
    switch (id) {
    case p::placement:
        placement_ = value.get_u32();
        return true;
    case p::message_id_base:
        message_id_base_ = value.get_u32() & message_id_base_mask;
        return true;
    case p::message_target:
        message_target_ = value.get_u32();
        return true;
    case p::auto_release:
        auto_release_ = value.get_u32() != 0;
        return true;
    case p::volume:
        volume_ = clamp_unit(value.get_float());
        return true;
    case p::distance_scale: {
        const float scale = value.get_float();
        distance_scale_ = scale > 0.0f ? scale : 0.0f;
        return true;
    }
    case p::target_fade_volume:
        target_fade_ = clamp_unit(value.get_float());
        return true;
    case p::current_fade_volume:
        current_fade_ = clamp_unit(value.get_float());
        return true;
    case p::fade_time:
        fade_time_ = value.get_float();
        return true;
    default:
        return ServerObject::set_property(id, value);
    }
}

void SoundEntity::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    for (const uint32_t word : {cue_, sound_index_, wave_bank_number_, wave_index_, float_bits(variation_volume_),
                                float_bits(pitch_ratio_), placement_}) {
        core::write_u32(stream, word);
    }
    core::write_u8(stream, auto_release_ ? 1 : 0);
    for (const uint32_t word : {float_bits(volume_), float_bits(distance_scale_), float_bits(target_fade_),
                                float_bits(current_fade_), float_bits(fade_time_), message_target_, message_id_base_}) {
        core::write_u32(stream, word);
    }
    core::write_u8(stream, finished_posted_ ? 1 : 0);
    core::write_u32(stream, float_bits(get_playback_time()));
    uint8_t saved = state_;
    if (state_ == entity_state::playing || state_ == entity_state::interrupted_loop) {
        saved = loops() ? entity_state::interrupted_loop : entity_state::stopped;
    } else if (state_ == entity_state::release) {
        saved = entity_state::stopped;
    }
    core::write_u8(stream, saved);
}

bool SoundEntity::load(storage::LoadStream& stream) {
    float playback_time = 0.0f;
    uint8_t state = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, cue_) || !core::read_u32(stream, sound_index_) ||
        !core::read_u32(stream, wave_bank_number_) || !core::read_u32(stream, wave_index_) ||
        !read_float(stream, variation_volume_) || !read_float(stream, pitch_ratio_) ||
        !core::read_u32(stream, placement_) || !read_flag(stream, auto_release_) || !read_float(stream, volume_) ||
        !read_float(stream, distance_scale_) || !read_float(stream, target_fade_) ||
        !read_float(stream, current_fade_) || !read_float(stream, fade_time_) ||
        !core::read_u32(stream, message_target_) || !core::read_u32(stream, message_id_base_) ||
        !read_flag(stream, finished_posted_) || !read_float(stream, playback_time) || !core::read_u8(stream, state) ||
        state > entity_state::stopped) {
        return false;
    }
    state_ = state;
    slot_ = -1;
    start_recorded_ = false;
    sound_bank_ = wave_bank_ = 0;
    open_banks();
    if (wave_bank_number_ != 0 && wave_bank_number_ <= wave_bank_number_mask) {
        wave_bank_ = wave_bank_server.open(wave_bank_number_)->get_handle();
    }
    check_playable();
    record_start(playback_time);
    return true;
}

}  // namespace zolt::sound
