#include "zolt/sound/resources/sound_bank.h"

#include <string>

#include "libs/utility/fatal_error.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/sound/resources/sound_bank_server.h"
#include "zolt/sound/resources/wave_bank_server.h"

namespace zolt::sound {
namespace {

core::ResourceObject* get_resource(core::ObjectHandle handle) {
    return static_cast<core::ResourceObject*>(core::resource_server.get_typed_object(handle));
}

}  // namespace

uint32_t choose_random_variation(uint32_t total_weight, const uint16_t* weights, uint32_t count, uint8_t excluded) {
    if (excluded != no_previous_choice && excluded < count) {
        total_weight -= weights[excluded];
    }
    if (total_weight == 0) {
        ZOLT_PANIC("Playlist total weight is greater than sum of variation weights.");
    }
    const uint32_t draw = core::random_integer(0, total_weight - 1);
    uint32_t sum = 0;
    for (uint32_t index = 0; index < count; ++index) {
        if (index == excluded) {
            continue;
        }
        sum += weights[index];
        if (sum > draw) {
            return index;
        }
    }
    ZOLT_PANIC("Playlist total weight is greater than sum of variation weights.");
}

uint32_t choose_variation(uint16_t type, const uint16_t* weights, uint32_t count, uint32_t total_weight,
                          uint8_t& state) {
    if (count == 1) {
        state = 0;
        return 0;
    }
    uint32_t choice = 0;
    switch (type) {
    case 0:
        choice = choose_random_variation(total_weight, weights, count, no_previous_choice);
        break;
    case 1:
        choice = choose_random_variation(total_weight, weights, count, state);
        break;
    case 2:
        choice = state == no_previous_choice || state + 1u >= count ? 0 : state + 1u;
        break;
    default:
        ZOLT_PANIC("Unexpected playlist type.");
    }
    state = static_cast<uint8_t>(choice);
    return choice;
}

void SoundBank::initialize(uint32_t number) {
    number_ = number & sound_bank_number_mask;
    use_count = 0;
    const uint32_t id = get_sound_bank_id(number_);
    core::ResourceObject* const resource = core::resource_server.open_resource(id);
    resource_ = resource->get_handle();
    std::string error;
    const uint32_t size = resource->get_info() != nullptr ? resource->get_info()->unpacked_size : 0;
    if (!check_sound_bank(id, get_data(), size, &error)) {
        ZOLT_ERROR("%s", error.c_str());
    }
    const SoundBankHeader header = read_sound_bank_header(get_data());
    for (uint32_t slot = 0; slot < header.wave_bank_count; ++slot) {
        wave_banks_[slot] = wave_bank_server.open(read_sound_bank_wave_bank(get_data(), slot));
    }
    cue_states_.assign(header.cue_count, no_previous_choice);
    sound_states_.assign(header.sound_count, no_previous_choice);
}

void SoundBank::finalize() {
    cue_states_ = {};
    sound_states_ = {};
    for (WaveBank*& wave_bank : wave_banks_) {
        if (wave_bank != nullptr) {
            wave_bank_server.release(wave_bank);
            wave_bank = nullptr;
        }
    }
    if (core::ResourceObject* const resource = get_resource(resource_)) {
        core::resource_server.destroy_object_internal(resource);
    }
    resource_ = 0;
    number_ = 0;
    use_count = 0;
}

bool SoundBank::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream)) {
        return false;
    }
    resource_ = 0;
    for (WaveBank*& wave_bank : wave_banks_) {
        wave_bank = nullptr;
    }
    sound_bank_server.PooledServer::destroy_object_internal(this);
    return true;
}

const uint8_t* SoundBank::get_data() const {
    core::ResourceObject* const resource = get_resource(resource_);
    return resource != nullptr ? static_cast<const uint8_t*>(resource->get_data()) : nullptr;
}

uint32_t SoundBank::get_cue_count() const {
    return read_sound_bank_header(get_data()).cue_count;
}

uint32_t SoundBank::get_sound_count() const {
    return read_sound_bank_header(get_data()).sound_count;
}

bool SoundBank::find_cue(CueReference& reference) const {
    if (get_cue_bank_number(reference) != 0) {
        return true;
    }
    const uint32_t wanted = reference & cue_low_mask;
    const uint32_t count = get_cue_count();
    uint32_t empty = count;
    for (uint32_t index = 0; index < count; ++index) {
        const uint16_t id = read_sound_bank_cue(get_data(), index).cue_id;
        if (id == wanted && id != 0) {
            reference = (number_ << cue_bank_shift) | index;
            return true;
        }
        if (id == 0 && empty == count) {
            empty = index;
        }
    }
    reference = (number_ << cue_bank_shift) | (empty & cue_low_mask);
    return false;
}

SoundBankCue SoundBank::get_cue(uint32_t index) const {
    return read_sound_bank_cue(get_data(), index);
}

SoundBankSound SoundBank::get_sound(uint32_t index) const {
    return read_sound_bank_sound(get_data(), index);
}

uint32_t SoundBank::choose_sound(uint32_t cue_index) {
    const SoundBankCue cue = get_cue(cue_index);
    uint16_t weights[maximum_playlist_length];
    const uint32_t count = cue.variation_count;
    for (uint32_t i = 0; i < count; ++i) {
        weights[i] = read_sound_variation(get_data(), cue.first_variation + i).weight;
    }
    const uint32_t choice =
        choose_variation(cue.playlist_type, weights, count, cue.total_weight, cue_states_[cue_index]);
    return read_sound_variation(get_data(), cue.first_variation + choice).index;
}

uint32_t SoundBank::choose_wave(uint32_t sound_index, uint32_t& wave_bank_number) {
    const SoundBankSound sound = get_sound(sound_index);
    uint16_t weights[maximum_playlist_length];
    const uint32_t count = sound.variation_count;
    for (uint32_t i = 0; i < count; ++i) {
        weights[i] = read_wave_variation(get_data(), sound.first_variation + i).weight;
    }
    const uint32_t choice =
        choose_variation(sound.playlist_type, weights, count, sound.total_weight, sound_states_[sound_index]);
    const PlaylistEntry entry = read_wave_variation(get_data(), sound.first_variation + choice);
    wave_bank_number = entry.wave_bank;
    return entry.index;
}

}  // namespace zolt::sound
