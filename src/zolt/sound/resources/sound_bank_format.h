#pragma once
// The sound bank resource: cues (what scripts ask for), sounds (how one
// variant plays) and the playlists between them, read in place. The engine
// checks a bank with check_sound_bank before it trusts an index; the content
// builder writes banks with build_sound_bank, which also stores the two
// variation-table counts in the header words the engine does not read.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::sound {

constexpr uint32_t sound_bank_resource_base = 0x4F001000;
constexpr uint32_t sound_bank_number_mask = 0xFFF;
constexpr uint32_t sound_bank_header_size = 36;
constexpr uint32_t sound_bank_cue_size = 12;
constexpr uint32_t sound_bank_sound_size = 56;
constexpr uint32_t sound_variation_size = 4;
constexpr uint32_t wave_variation_size = 8;
constexpr uint32_t maximum_bank_wave_banks = 4;
constexpr uint32_t sound_category_count = 4;
constexpr uint16_t maximum_playlist_type = 2;
constexpr uint16_t minimum_curve_points = 2;
constexpr uint16_t maximum_curve_points = 10;
constexpr uint32_t curve_level_count = 8;
constexpr uint8_t sound_flag_positional = 0x1;
// A playlist's state byte holds its previous choice, 255 meaning none.
constexpr uint32_t maximum_playlist_length = 255;

inline uint32_t get_sound_bank_id(uint32_t number) {
    return sound_bank_resource_base | (number & sound_bank_number_mask);
}

struct SoundBankHeader {
    uint32_t cue_count;
    uint32_t cue_table_offset;
    uint32_t sound_count;
    uint32_t sound_table_offset;
    uint32_t sound_variation_table_offset;
    uint32_t wave_variation_table_offset;
    uint32_t wave_bank_count;
};

struct SoundBankCue {
    uint8_t category;
    uint8_t priority;
    uint16_t cue_id;
    uint16_t playlist_type;
    uint16_t first_variation;
    uint16_t variation_count;
    uint16_t total_weight;
};

struct SoundBankSound {
    int16_t minimum_volume;
    int16_t maximum_volume;
    int16_t minimum_pitch;
    int16_t maximum_pitch;
    int16_t reverb_send;
    uint8_t flags;
    float cone_inner;
    float cone_outer;
    int16_t cone_outside_level;
    uint16_t curve_point_count;
    uint8_t curve_levels[curve_level_count];
    float inner_distance;
    float maximum_distance;
    float fade_in;
    float fade_out;
    uint16_t playlist_type;
    uint16_t first_variation;
    uint16_t variation_count;
    uint16_t total_weight;
};

// A playlist entry: the sound or wave index and its weight; wave entries
// also name their wave bank.
struct PlaylistEntry {
    uint32_t wave_bank;
    uint16_t index;
    uint16_t weight;
};

SoundBankHeader read_sound_bank_header(const uint8_t* bank);
uint32_t read_sound_bank_wave_bank(const uint8_t* bank, uint32_t slot);
SoundBankCue read_sound_bank_cue(const uint8_t* bank, uint32_t index);
SoundBankSound read_sound_bank_sound(const uint8_t* bank, uint32_t index);
PlaylistEntry read_sound_variation(const uint8_t* bank, uint32_t index);
PlaylistEntry read_wave_variation(const uint8_t* bank, uint32_t index);

// False, with a message naming the bank's resource and what does not fit,
// when tables run past the resource, an index leaves its table, a playlist
// type, category or curve is out of range, or a playlist's total weight
// differs from the sum of its weights.
bool check_sound_bank(uint32_t id, const uint8_t* bank, uint32_t size, std::string* error);

struct CueDescription {
    uint16_t cue_id = 0;
    uint8_t category = 0;
    uint8_t priority = 0;
    uint16_t playlist_type = 0;
    std::vector<PlaylistEntry> sounds;  // wave_bank unused
};

struct SoundDescription {
    SoundBankSound sound{};  // the playlist fields are filled by the builder
    std::vector<PlaylistEntry> waves;
};

bool build_sound_bank(const std::vector<uint32_t>& wave_banks, const std::vector<CueDescription>& cues,
                      const std::vector<SoundDescription>& sounds, std::vector<uint8_t>* bank, std::string* error);

}  // namespace zolt::sound
