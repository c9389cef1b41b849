#pragma once
// A loaded sound bank: its resource (one use), the wave banks it lists,
// kept open while it lives, and one state byte per cue and per sound that
// remembers the playlist's previous choice, shared by every entity playing
// it. The bank is checked when it opens; a broken one is refused with its
// id. Main thread only.
#include <cstdint>
#include <vector>

#include "zolt/core/object_server/server_object.h"
#include "zolt/sound/resources/sound_bank_format.h"

namespace zolt::sound {

class WaveBank;

// Bits 0-15 a cue id (bank 0) or a cue index (bank set); bits 16-27 the bank
// number, 0 for the default banks.
using CueReference = uint32_t;
constexpr uint32_t cue_bank_shift = 16;
constexpr uint32_t cue_low_mask = 0xFFFF;
constexpr uint32_t first_default_b_cue = 1000;
constexpr uint8_t no_previous_choice = 255;

inline uint32_t get_cue_bank_number(CueReference reference) {
    return (reference >> cue_bank_shift) & sound_bank_number_mask;
}

class SoundBank final : public core::ServerObject {
public:
    // The argument is the bank number.
    void initialize(uint32_t number) override;
    void finalize() override;
    bool load(storage::LoadStream& stream) override;
    bool set_property(uint32_t id, const core::Property& value) override { return false; }

    uint32_t get_number() const { return number_; }
    uint32_t get_cue_count() const;
    uint32_t get_sound_count() const;
    // Resolves a reference of bank 0 into (bank << 16) | cue index; false,
    // with the reference naming the first empty cue slot (or the cue count
    // when there is none), when the id is not in the bank.
    bool find_cue(CueReference& reference) const;
    SoundBankCue get_cue(uint32_t index) const;
    SoundBankSound get_sound(uint32_t index) const;
    // One playlist draw each.
    uint32_t choose_sound(uint32_t cue_index);
    uint32_t choose_wave(uint32_t sound_index, uint32_t& wave_bank_number);

    uint32_t use_count = 0;

private:
    const uint8_t* get_data() const;

    uint32_t number_ = 0;
    core::ObjectHandle resource_ = 0;
    WaveBank* wave_banks_[maximum_bank_wave_banks] = {};
    std::vector<uint8_t> cue_states_;
    std::vector<uint8_t> sound_states_;
};

// The playlist rule shared by cues and sounds: type 0 weighted random, 1
// weighted random without the previous choice, 2 in sequence. entries are
// the playlist's weights; state is its previous choice.
uint32_t choose_variation(uint16_t type, const uint16_t* weights, uint32_t count, uint32_t total_weight,
                          uint8_t& state);
uint32_t choose_random_variation(uint32_t total_weight, const uint16_t* weights, uint32_t count, uint8_t excluded);

}  // namespace zolt::sound
