#include "zolt/sound/sound_voice_slot.h"

#include <algorithm>
#include <vector>

#include "libs/utility/message_handler.h"
#include "zolt/sound/resources/wave_bank.h"
#include "zolt/sound/sound_entity.h"
#include "zolt/sound/sound_entity_server.h"
#include "zolt/sound/sound_manager.h"
#include "zolt/sound/xaudio/xaudio_voice.h"

namespace zolt::sound {
namespace {

// Waves whose Vorbis data the decoder refused, each reported once.
std::vector<uint32_t> refused_waves;

void report_refused_wave(uint32_t wave_bank, uint32_t wave_index) {
    const uint32_t key = wave_bank << 16 | (wave_index & 0xFFFF);
    if (std::find(refused_waves.begin(), refused_waves.end(), key) != refused_waves.end()) {
        return;
    }
    refused_waves.push_back(key);
    report_message(MessageKind::Warning, nullptr, nullptr, 0,
                   "wave bank 0x%08x: wave %u is not Ogg Vorbis data the decoder accepts; it plays as silence",
                   get_wave_bank_header_id(wave_bank), wave_index);
}

}  // namespace

bool SoundVoiceSlot::start(SoundEntity& entity) {
    WaveBank* const waves = entity.get_wave_bank();
    SoundBank* const bank = entity.get_sound_bank();
    if (!entity.is_playable() || waves == nullptr || bank == nullptr) {
        return false;
    }
    const WaveRecord wave = entity.get_wave();
    is_vorbis_ = wave.format == wave_format::vorbis;
    if (is_vorbis_ && !open_vorbis_stream(stream_, waves->get_wave_data(entity.get_wave_index()), wave.data_size)) {
        report_refused_wave(waves->get_number(), entity.get_wave_index());
        return false;
    }
    voice_ =
        allocate_voice(*bank, *waves, entity.get_cue_reference(), entity.get_sound_index(), entity.get_wave_index());
    if (voice_ < 0) {
        close_vorbis_stream(stream_);
        return false;
    }
    if (!is_vorbis_) {
        WaveBuffer buffer{};
        const bool skips_intro = (wave.flags & wave_flag::loops) != 0 && entity.get_state() != entity_state::playing;
        if (!waves->get_wave_buffer(entity.get_wave_index(), buffer) || !set_wave_buffer(voice_, buffer, skips_intro)) {
            free_voice(voice_);
            voice_ = -1;
            return false;
        }
    }
    owner_ = entity.get_handle();
    state_ = slot_state::started;
    loops_ = (wave.flags & wave_flag::loops) != 0;
    last_paused_ = true;
    fading_in_ = entity.get_sound().fade_in > 0.0f;
    released_ = false;
    stream_ended_ = false;
    release_position_ = 0.0f;
    queued_seconds_ = 0.0f;
    return true;
}

void SoundVoiceSlot::release() {
    if (voice_ >= 0) {
        free_voice(voice_);
    }
    voice_ = -1;
    owner_ = 0;
    close_vorbis_stream(stream_);
}

float SoundVoiceSlot::get_position() const {
    return voice_ >= 0 ? get_voice_position(voice_) : 0.0f;
}

void SoundVoiceSlot::refill(const SoundEntity& entity, float position) {
    const WaveRecord wave = entity.get_wave();
    const float bytes_per_second = static_cast<float>(get_wave_block_size(wave)) * wave.sample_rate;
    while (!stream_ended_ && queued_seconds_ < position + vorbis_lead_seconds) {
        uint32_t bytes = 0;
        bool at_end = false;
        const uint8_t* const block = decode_vorbis_stream(stream_, loops_, bytes, at_end);
        if (block != nullptr) {
            queued_seconds_ += static_cast<float>(bytes) / bytes_per_second;
            submit_voice_buffer(voice_, block, bytes, true, false);
        }
        if (at_end) {
            end_voice_stream(voice_);
            stream_ended_ = true;
        } else if (block == nullptr) {
            break;
        }
    }
}

void SoundVoiceSlot::update() {
    SoundEntity* const entity = sound_entity_server.get_typed_object(owner_);
    if (entity == nullptr || owner_ == 0 || voice_ < 0) {
        return;
    }
    const float position = get_position();
    const SoundBankSound sound = entity->get_sound();
    const uint8_t entity_state = entity->get_state();
    if (entity_state != entity_state::playing && entity_state != entity_state::interrupted_loop) {
        if (!released_) {
            released_ = true;
            release_position_ = position;
        }
        // A fade-out ends the sound by itself; the rest of the update runs.
        if (sound.fade_out == 0.0f && loops_) {
            if (!is_vorbis_) {
                exit_voice_loop(voice_);
            }
            loops_ = false;
        }
    }

    if (is_vorbis_) {
        refill(*entity, position);
    }
    if ((is_vorbis_ || state_ != slot_state::started) && !loops_ && is_voice_finished(voice_)) {
        state_ = slot_state::finished;
    }

    float volume = entity->get_variation_volume() * entity->get_fade_volume() * entity->get_volume();
    if (fading_in_) {
        if (position >= sound.fade_in) {
            fading_in_ = false;
        } else {
            volume *= position / sound.fade_in;
        }
    }
    if (released_ && sound.fade_out > 0.0f) {
        const float elapsed = position - release_position_;
        volume *= std::clamp(1.0f - elapsed / sound.fade_out, 0.0f, 1.0f);
        if (elapsed >= sound.fade_out) {
            state_ = slot_state::finished;
        }
    }
    const SoundCategory& category = get_sound_category(entity->get_category());
    volume *= category.volume;
    set_voice_parameters(voice_, entity->get_position(), entity->get_rotation(), volume, entity->get_pitch_ratio(),
                         entity->get_distance_scale());

    if (state_ == slot_state::started) {
        state_ = slot_state::running;
    }
    if (state_ == slot_state::finished) {
        return;
    }
    if (category.paused != last_paused_) {
        set_voice_pause_request(voice_, category.paused);
        last_paused_ = category.paused;
    }
}

}  // namespace zolt::sound
