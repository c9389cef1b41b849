#include "zolt/sound/resources/sound_bank_format.h"

#include <cinttypes>
#include <cstdio>

#include "libs/io/little_endian_fields.h"

namespace zolt::sound {
namespace {

bool fail_with(std::string* error, uint32_t id, const std::string& what) {
    if (error != nullptr) {
        char text[64];
        std::snprintf(text, sizeof text, "sound bank 0x%08" PRIx32 ": ", id);
        *error = text + what;
    }
    return false;
}

bool fail(std::string* error, uint32_t id, const char* what) {
    return fail_with(error, id, what);
}

bool fail(std::string* error, uint32_t id, const char* what, uint32_t index) {
    if (error != nullptr) {
        char text[32];
        std::snprintf(text, sizeof text, "%" PRIu32, index);
        std::string message = what;
        const size_t mark = message.find('#');
        message.replace(mark, 1, text);
        return fail_with(error, id, message);
    }
    return false;
}

// A playlist of count entries from first: inside its table, each target
// below target_count, a known type and a total weight that the weights add
// up to. Type 1 also needs weight outside any one entry, or the draw that
// excludes the previous choice would have nothing to draw from.
bool check_playlist(uint32_t id, const uint8_t* bank, uint32_t size, uint32_t table_offset, uint32_t entry_size,
                    bool is_wave, uint16_t type, uint32_t first, uint32_t count, uint32_t total_weight,
                    uint32_t target_count, const char* owner, uint32_t owner_index, std::string* error) {
    char where[64];
    std::snprintf(where, sizeof where, "%s %" PRIu32, owner, owner_index);
    std::string context = where;
    if (type > maximum_playlist_type) {
        return fail_with(error, id, context + ": playlist type out of range");
    }
    if (count == 0 || count > maximum_playlist_length) {
        return fail_with(error, id, context + ": playlist length out of range");
    }
    if (!fits_within(table_offset, uint64_t{first} + count, entry_size, size)) {
        return fail_with(error, id, context + ": playlist runs past the resource");
    }
    uint32_t sum = 0;
    uint32_t largest = 0;
    for (uint32_t i = first; i < first + count; ++i) {
        const PlaylistEntry entry = is_wave ? read_wave_variation(bank, i) : read_sound_variation(bank, i);
        if (!is_wave && entry.index >= target_count) {
            return fail_with(error, id, context + ": sound index out of range");
        }
        sum += entry.weight;
        largest = entry.weight > largest ? entry.weight : largest;
    }
    if (count > 1 && sum != total_weight) {
        return fail_with(error, id, context + ": total weight differs from the sum of the weights");
    }
    if (count > 1 && (sum == 0 || (type == 1 && sum == largest))) {
        return fail_with(error, id, context + ": no weight to draw from");
    }
    return true;
}

}  // namespace

SoundBankHeader read_sound_bank_header(const uint8_t* bank) {
    return {read_field<uint32_t>(bank, 0),  read_field<uint32_t>(bank, 4),  read_field<uint32_t>(bank, 8),
            read_field<uint32_t>(bank, 12), read_field<uint32_t>(bank, 20), read_field<uint32_t>(bank, 28),
            read_field<uint32_t>(bank, 32)};
}

uint32_t read_sound_bank_wave_bank(const uint8_t* bank, uint32_t slot) {
    return read_field<uint32_t>(bank, sound_bank_header_size + 4 * slot);
}

SoundBankCue read_sound_bank_cue(const uint8_t* bank, uint32_t index) {
    const uint8_t* const cue = bank + read_field<uint32_t>(bank, 4) + size_t{index} * sound_bank_cue_size;
    return {read_field<uint8_t>(cue, 0),  read_field<uint8_t>(cue, 1),  read_field<uint16_t>(cue, 2),
            read_field<uint16_t>(cue, 4), read_field<uint16_t>(cue, 6), read_field<uint16_t>(cue, 8),
            read_field<uint16_t>(cue, 10)};
}

SoundBankSound read_sound_bank_sound(const uint8_t* bank, uint32_t index) {
    const uint8_t* const record = bank + read_field<uint32_t>(bank, 12) + size_t{index} * sound_bank_sound_size;
    SoundBankSound sound;
    sound.minimum_volume = read_field<int16_t>(record, 0);
    sound.maximum_volume = read_field<int16_t>(record, 2);
    sound.minimum_pitch = read_field<int16_t>(record, 4);
    sound.maximum_pitch = read_field<int16_t>(record, 6);
    sound.reverb_send = read_field<int16_t>(record, 8);
    sound.flags = read_field<uint8_t>(record, 10);
    sound.cone_inner = read_field<float>(record, 12);
    sound.cone_outer = read_field<float>(record, 16);
    sound.cone_outside_level = read_field<int16_t>(record, 20);
    sound.curve_point_count = read_field<uint16_t>(record, 22);
    std::memcpy(sound.curve_levels, record + 24, curve_level_count);
    sound.inner_distance = read_field<float>(record, 32);
    sound.maximum_distance = read_field<float>(record, 36);
    sound.fade_in = read_field<float>(record, 40);
    sound.fade_out = read_field<float>(record, 44);
    sound.playlist_type = read_field<uint16_t>(record, 48);
    sound.first_variation = read_field<uint16_t>(record, 50);
    sound.variation_count = read_field<uint16_t>(record, 52);
    sound.total_weight = read_field<uint16_t>(record, 54);
    return sound;
}

PlaylistEntry read_sound_variation(const uint8_t* bank, uint32_t index) {
    const uint8_t* const entry = bank + read_field<uint32_t>(bank, 20) + size_t{index} * sound_variation_size;
    return {0, read_field<uint16_t>(entry, 0), read_field<uint16_t>(entry, 2)};
}

PlaylistEntry read_wave_variation(const uint8_t* bank, uint32_t index) {
    const uint8_t* const entry = bank + read_field<uint32_t>(bank, 28) + size_t{index} * wave_variation_size;
    return {read_field<uint32_t>(entry, 0), read_field<uint16_t>(entry, 4), read_field<uint16_t>(entry, 6)};
}

bool check_sound_bank(uint32_t id, const uint8_t* bank, uint32_t size, std::string* error) {
    if (size < sound_bank_header_size) {
        return fail(error, id, "the header is shorter than 36 bytes");
    }
    const SoundBankHeader header = read_sound_bank_header(bank);
    if (header.wave_bank_count > maximum_bank_wave_banks) {
        return fail(error, id, "more than 4 wave banks");
    }
    if (!fits_within(sound_bank_header_size, header.wave_bank_count, 4, size)) {
        return fail(error, id, "the wave bank numbers run past the resource");
    }
    for (uint32_t slot = 0; slot < header.wave_bank_count; ++slot) {
        const uint32_t number = read_sound_bank_wave_bank(bank, slot);
        if (number == 0 || number > sound_bank_number_mask) {
            return fail(error, id, "wave bank number # out of range", number);
        }
    }
    if (!fits_within(header.cue_table_offset, header.cue_count, sound_bank_cue_size, size)) {
        return fail(error, id, "the cue table runs past the resource");
    }
    if (!fits_within(header.sound_table_offset, header.sound_count, sound_bank_sound_size, size)) {
        return fail(error, id, "the sound table runs past the resource");
    }
    // Cue indices are 16 bits wide in a resolved reference.
    if (header.cue_count > 0x10000) {
        return fail(error, id, "more than 65536 cues");
    }
    for (uint32_t index = 0; index < header.cue_count; ++index) {
        const SoundBankCue cue = read_sound_bank_cue(bank, index);
        if (cue.cue_id == 0) {
            continue;
        }
        if (cue.category >= sound_category_count) {
            return fail(error, id, "cue #: category out of range", index);
        }
        if (!check_playlist(id, bank, size, header.sound_variation_table_offset, sound_variation_size, false,
                            cue.playlist_type, cue.first_variation, cue.variation_count, cue.total_weight,
                            header.sound_count, "cue", index, error)) {
            return false;
        }
    }
    for (uint32_t index = 0; index < header.sound_count; ++index) {
        const SoundBankSound sound = read_sound_bank_sound(bank, index);
        if (sound.curve_point_count < minimum_curve_points || sound.curve_point_count > maximum_curve_points) {
            return fail(error, id, "sound #: curve point count out of range", index);
        }
        if (sound.minimum_volume > sound.maximum_volume || sound.minimum_pitch > sound.maximum_pitch) {
            return fail(error, id, "sound #: a range whose minimum exceeds its maximum", index);
        }
        if (!check_playlist(id, bank, size, header.wave_variation_table_offset, wave_variation_size, true,
                            sound.playlist_type, sound.first_variation, sound.variation_count, sound.total_weight, 0,
                            "sound", index, error)) {
            return false;
        }
    }
    return true;
}

bool build_sound_bank(const std::vector<uint32_t>& wave_banks, const std::vector<CueDescription>& cues,
                      const std::vector<SoundDescription>& sounds, std::vector<uint8_t>* bank, std::string* error) {
    if (wave_banks.size() > maximum_bank_wave_banks) {
        return fail(error, 0, "more than 4 wave banks");
    }
    uint32_t sound_variation_count = 0;
    uint32_t wave_variation_count = 0;
    for (const CueDescription& cue : cues) {
        sound_variation_count += static_cast<uint32_t>(cue.sounds.size());
    }
    for (const SoundDescription& sound : sounds) {
        wave_variation_count += static_cast<uint32_t>(sound.waves.size());
    }
    if (sound_variation_count > 0xFFFF || wave_variation_count > 0xFFFF) {
        return fail(error, 0, "more than 65535 variations");
    }
    const uint32_t cue_table = sound_bank_header_size + 4 * static_cast<uint32_t>(wave_banks.size());
    const uint32_t sound_table = cue_table + sound_bank_cue_size * static_cast<uint32_t>(cues.size());
    const uint32_t sound_variations = sound_table + sound_bank_sound_size * static_cast<uint32_t>(sounds.size());
    const uint32_t wave_variations = sound_variations + sound_variation_size * sound_variation_count;
    bank->assign(wave_variations + wave_variation_size * wave_variation_count, 0);
    write_field<uint32_t>(*bank, 0, static_cast<uint32_t>(cues.size()));
    write_field<uint32_t>(*bank, 4, cue_table);
    write_field<uint32_t>(*bank, 8, static_cast<uint32_t>(sounds.size()));
    write_field<uint32_t>(*bank, 12, sound_table);
    write_field<uint32_t>(*bank, 16, sound_variation_count);
    write_field<uint32_t>(*bank, 20, sound_variations);
    write_field<uint32_t>(*bank, 24, wave_variation_count);
    write_field<uint32_t>(*bank, 28, wave_variations);
    write_field<uint32_t>(*bank, 32, static_cast<uint32_t>(wave_banks.size()));
    for (uint32_t slot = 0; slot < wave_banks.size(); ++slot) {
        write_field<uint32_t>(*bank, sound_bank_header_size + 4 * slot, wave_banks[slot]);
    }
    uint32_t next = 0;
    for (uint32_t index = 0; index < cues.size(); ++index) {
        const CueDescription& cue = cues[index];
        const uint32_t at = cue_table + index * sound_bank_cue_size;
        uint32_t total = 0;
        for (const PlaylistEntry& entry : cue.sounds) {
            write_field<uint16_t>(*bank, sound_variations + next * sound_variation_size, entry.index);
            write_field<uint16_t>(*bank, sound_variations + next * sound_variation_size + 2, entry.weight);
            total += entry.weight;
            ++next;
        }
        write_field<uint8_t>(*bank, at, cue.category);
        write_field<uint8_t>(*bank, at + 1, cue.priority);
        write_field<uint16_t>(*bank, at + 2, cue.cue_id);
        write_field<uint16_t>(*bank, at + 4, cue.playlist_type);
        write_field<uint16_t>(*bank, at + 6, static_cast<uint16_t>(next - cue.sounds.size()));
        write_field<uint16_t>(*bank, at + 8, static_cast<uint16_t>(cue.sounds.size()));
        write_field<uint16_t>(*bank, at + 10, static_cast<uint16_t>(total > 0xFFFF ? 0xFFFF : total));
    }
    next = 0;
    for (uint32_t index = 0; index < sounds.size(); ++index) {
        const SoundBankSound& sound = sounds[index].sound;
        const uint32_t at = sound_table + index * sound_bank_sound_size;
        uint32_t total = 0;
        for (const PlaylistEntry& entry : sounds[index].waves) {
            const uint32_t entry_at = wave_variations + next * wave_variation_size;
            write_field<uint32_t>(*bank, entry_at, entry.wave_bank);
            write_field<uint16_t>(*bank, entry_at + 4, entry.index);
            write_field<uint16_t>(*bank, entry_at + 6, entry.weight);
            total += entry.weight;
            ++next;
        }
        write_field<int16_t>(*bank, at + 0, sound.minimum_volume);
        write_field<int16_t>(*bank, at + 2, sound.maximum_volume);
        write_field<int16_t>(*bank, at + 4, sound.minimum_pitch);
        write_field<int16_t>(*bank, at + 6, sound.maximum_pitch);
        write_field<int16_t>(*bank, at + 8, sound.reverb_send);
        write_field<uint8_t>(*bank, at + 10, sound.flags);
        write_field<float>(*bank, at + 12, sound.cone_inner);
        write_field<float>(*bank, at + 16, sound.cone_outer);
        write_field<int16_t>(*bank, at + 20, sound.cone_outside_level);
        write_field<uint16_t>(*bank, at + 22, sound.curve_point_count);
        std::memcpy(bank->data() + at + 24, sound.curve_levels, curve_level_count);
        write_field<float>(*bank, at + 32, sound.inner_distance);
        write_field<float>(*bank, at + 36, sound.maximum_distance);
        write_field<float>(*bank, at + 40, sound.fade_in);
        write_field<float>(*bank, at + 44, sound.fade_out);
        write_field<uint16_t>(*bank, at + 48, sound.playlist_type);
        write_field<uint16_t>(*bank, at + 50, static_cast<uint16_t>(next - sounds[index].waves.size()));
        write_field<uint16_t>(*bank, at + 52, static_cast<uint16_t>(sounds[index].waves.size()));
        write_field<uint16_t>(*bank, at + 54, static_cast<uint16_t>(total > 0xFFFF ? 0xFFFF : total));
    }
    return check_sound_bank(0, bank->data(), static_cast<uint32_t>(bank->size()), error);
}

}  // namespace zolt::sound
