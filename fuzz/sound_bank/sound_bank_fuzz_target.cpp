// A sound bank resource as the engine checks it when the bank opens: in an
// accepted bank every cue, sound and playlist entry the engine can reach lies
// inside the resource, every sound index names a sound, and every playlist
// can be drawn from without the fatal weight error.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/sound/resources/sound_bank_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::sound;

void check_playlist(const uint8_t* bank, bool is_wave, uint32_t first, uint32_t count, uint32_t total,
                    uint32_t sound_count) {
    fuzz::expect(count >= 1 && count <= maximum_playlist_length, "an accepted playlist has no entries");
    uint32_t sum = 0;
    for (uint32_t i = first; i < first + count; ++i) {
        const PlaylistEntry entry = is_wave ? read_wave_variation(bank, i) : read_sound_variation(bank, i);
        fuzz::expect(is_wave || entry.index < sound_count, "an accepted playlist names a missing sound");
        sum += entry.weight;
    }
    fuzz::expect(count == 1 || (sum == total && sum > 0), "an accepted playlist's weights do not add up");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16384) {
        return 0;
    }
    // An exactly sized copy, so the sanitizer sees any read past the bank.
    uint8_t* const bank = new uint8_t[size + 1];
    std::memcpy(bank, data, size);
    std::string error;
    if (check_sound_bank(0x4F001001, bank, static_cast<uint32_t>(size), &error)) {
        const SoundBankHeader header = read_sound_bank_header(bank);
        fuzz::expect(header.wave_bank_count <= maximum_bank_wave_banks, "an accepted bank lists too many wave banks");
        for (uint32_t index = 0; index < header.cue_count; ++index) {
            const SoundBankCue cue = read_sound_bank_cue(bank, index);
            if (cue.cue_id != 0) {
                fuzz::expect(cue.category < sound_category_count && cue.playlist_type <= maximum_playlist_type,
                             "an accepted cue is out of range");
                check_playlist(bank, false, cue.first_variation, cue.variation_count, cue.total_weight,
                               header.sound_count);
            }
        }
        for (uint32_t index = 0; index < header.sound_count; ++index) {
            const SoundBankSound sound = read_sound_bank_sound(bank, index);
            fuzz::expect(
                sound.curve_point_count >= minimum_curve_points && sound.curve_point_count <= maximum_curve_points,
                "an accepted sound has a curve out of range");
            check_playlist(bank, true, sound.first_variation, sound.variation_count, sound.total_weight, 0);
        }
    } else {
        fuzz::expect(error.find("sound bank 0x4f001001") == 0, "a refusal does not name the bank");
    }
    delete[] bank;
    return 0;
}
