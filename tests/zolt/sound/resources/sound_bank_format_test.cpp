#include "zolt/sound/resources/sound_bank_format.h"

#include <gtest/gtest.h>

#include <functional>

#include "libs/io/little_endian_fields.h"

namespace zolt::sound {
namespace {

// Two cues over two sounds, each sound with two waves.
std::vector<uint8_t> make_bank() {
    SoundDescription sound;
    sound.sound.curve_point_count = 3;
    sound.sound.maximum_distance = 10.0f;
    sound.waves = {{1, 0, 1}, {2, 3, 2}};
    std::vector<uint8_t> bank;
    std::string error;
    EXPECT_TRUE(build_sound_bank({1, 2}, {{5, 1, 9, 0, {{0, 0, 1}, {0, 1, 3}}}, {6, 3, 0, 2, {{0, 1, 1}}}},
                                 {sound, sound}, &bank, &error))
        << error;
    return bank;
}

TEST(SoundBankFormat, ABuiltBankReadsBackRecordForRecord) {
    const std::vector<uint8_t> bank = make_bank();
    const SoundBankHeader header = read_sound_bank_header(bank.data());
    EXPECT_EQ(header.cue_count, 2u);
    EXPECT_EQ(header.sound_count, 2u);
    EXPECT_EQ(header.wave_bank_count, 2u);
    EXPECT_EQ(read_sound_bank_wave_bank(bank.data(), 1), 2u);
    // The variation counts sit in the header words the engine does not read.
    EXPECT_EQ(read_field<uint32_t>(bank.data(), 16), 3u);
    EXPECT_EQ(read_field<uint32_t>(bank.data(), 24), 4u);
    const SoundBankCue cue = read_sound_bank_cue(bank.data(), 0);
    EXPECT_EQ(cue.cue_id, 5);
    EXPECT_EQ(cue.category, 1);
    EXPECT_EQ(cue.priority, 9);
    EXPECT_EQ(cue.total_weight, 4);
    EXPECT_EQ(read_sound_variation(bank.data(), cue.first_variation + 1).weight, 3);
    const SoundBankSound sound = read_sound_bank_sound(bank.data(), 1);
    EXPECT_EQ(sound.first_variation, 2);
    EXPECT_EQ(read_wave_variation(bank.data(), 3).wave_bank, 2u);
    EXPECT_EQ(read_wave_variation(bank.data(), 3).index, 3);
}

TEST(SoundBankFormat, BrokenBanksAreRefusedWithTheBanksIdAndTheFault) {
    const std::vector<uint8_t> good = make_bank();
    const SoundBankHeader header = read_sound_bank_header(good.data());
    const uint32_t cue0 = header.cue_table_offset;
    const uint32_t sound0 = header.sound_table_offset;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"short", [](std::vector<uint8_t>& b) { b.resize(20); }, "shorter than 36 bytes"},
        {"five wave banks", [](std::vector<uint8_t>& b) { write_field<uint32_t>(b, 32, 5); }, "more than 4"},
        {"wave bank 0", [](std::vector<uint8_t>& b) { write_field<uint32_t>(b, 36, 0); }, "wave bank number 0"},
        {"cue count", [](std::vector<uint8_t>& b) { write_field<uint32_t>(b, 0, 1000); }, "cue table runs past"},
        {"sound table wraps", [](std::vector<uint8_t>& b) { write_field<uint32_t>(b, 12, 0xFFFFFFF0); },
         "sound table runs past"},
        {"category", [&](std::vector<uint8_t>& b) { write_field<uint8_t>(b, cue0, 4); }, "cue 0: category"},
        {"playlist type", [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, cue0 + 4, 3); },
         "cue 0: playlist type"},
        {"empty playlist", [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, cue0 + 8, 0); },
         "cue 0: playlist length"},
        {"playlist past the end", [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, cue0 + 6, 0xFFF0); },
         "cue 0: playlist runs past"},
        {"sound index",
         [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, header.sound_variation_table_offset, 7); },
         "cue 0: sound index out of range"},
        {"total weight", [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, cue0 + 10, 9); },
         "cue 0: total weight differs"},
        {"curve points", [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, sound0 + 22, 11); },
         "sound 0: curve point count"},
        {"volume range", [&](std::vector<uint8_t>& b) { write_field<int16_t>(b, sound0, 100); },
         "sound 0: a range whose minimum exceeds"},
        {"wave weights", [&](std::vector<uint8_t>& b) { write_field<uint16_t>(b, sound0 + 54, 2); },
         "sound 0: total weight differs"},
    };
    for (const Case& row : cases) {
        std::vector<uint8_t> bank = good;
        row.damage(bank);
        std::string error;
        EXPECT_FALSE(check_sound_bank(0x4F001009, bank.data(), static_cast<uint32_t>(bank.size()), &error)) << row.name;
        EXPECT_EQ(error.find("sound bank 0x4f001009: "), 0u) << row.name << ": " << error;
        EXPECT_NE(error.find(row.message), std::string::npos) << row.name << ": " << error;
    }
    // An empty cue slot is not checked: its playlist may be anything.
    std::vector<uint8_t> bank = good;
    write_field<uint16_t>(bank, cue0 + 2, 0);
    write_field<uint16_t>(bank, cue0 + 4, 77);
    std::string error;
    EXPECT_TRUE(check_sound_bank(0x4F001009, bank.data(), static_cast<uint32_t>(bank.size()), &error)) << error;
}

}  // namespace
}  // namespace zolt::sound
