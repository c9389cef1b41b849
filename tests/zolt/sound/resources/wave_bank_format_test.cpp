#include "zolt/sound/resources/wave_bank_format.h"

#include <gtest/gtest.h>

#include <functional>

#include "libs/io/little_endian_fields.h"

namespace zolt::sound {
namespace {

std::vector<WaveDescription> make_pcm_waves() {
    WaveDescription tone;
    tone.format = wave_format::pcm_16;
    tone.channels = 1;
    tone.sample_rate = 44100;
    tone.data.assign(88200, 1);
    tone.duration = 1.0f;
    WaveDescription loop = tone;
    loop.loops = true;
    loop.loop_start = 200;
    loop.loop_length = 800;
    loop.data.assign(2000, 2);
    WaveDescription outside;
    outside.external_path = "waves/outside.raw";
    outside.external_offset = 44;
    outside.external_size = 4000;
    return {tone, loop, outside};
}

TEST(WaveBankFormat, ABuiltBankReadsBackWaveForWave) {
    std::vector<uint8_t> header, data;
    std::string error;
    ASSERT_TRUE(build_wave_bank(false, make_pcm_waves(), &header, &data, &error)) << error;
    const WaveBankHeader bank = read_wave_bank_header(header.data());
    EXPECT_EQ(bank.kind, 0);
    EXPECT_EQ(bank.flags, wave_bank_flag_external_files);
    ASSERT_EQ(bank.wave_count, 3u);
    const WaveRecord tone = read_wave_record(header.data(), 0);
    EXPECT_EQ(tone.data_offset, 0u);
    EXPECT_EQ(tone.data_size, 88200u);
    EXPECT_EQ(get_wave_block_size(tone), 2u);
    // A 16-bit mono wave of 88200 bytes at 44100 Hz lasts exactly 1.0 s.
    EXPECT_EQ(tone.data_size / get_wave_block_size(tone), tone.sample_rate);
    const WaveRecord loop = read_wave_record(header.data(), 1);
    EXPECT_EQ(loop.flags, wave_flag::loops);
    EXPECT_EQ(loop.data_offset, 88200u);
    EXPECT_EQ(loop.loop_start, 200u);
    const WaveRecord outside = read_wave_record(header.data(), 2);
    EXPECT_EQ(outside.flags, wave_flag::external_file);
    EXPECT_STREQ(reinterpret_cast<const char*>(header.data() + outside.path_offset), "waves/outside.raw");
    EXPECT_EQ(data.size(), 90200u);
}

TEST(WaveBankFormat, BrokenBanksAreRefusedWithTheBanksIdAndTheFault) {
    std::vector<uint8_t> good_header, data;
    std::string error;
    ASSERT_TRUE(build_wave_bank(false, make_pcm_waves(), &good_header, &data, &error)) << error;
    const uint32_t record1 = wave_bank_header_size + wave_record_size;
    const uint32_t record2 = wave_bank_header_size + 2 * wave_record_size;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
        const char* message;
    };
    const Case cases[] = {
        {"short header", [](std::vector<uint8_t>& h) { h.resize(8); }, "shorter than 12 bytes"},
        {"count past the header", [](std::vector<uint8_t>& h) { write_field<uint32_t>(h, 4, 4); }, "wave count"},
        {"huge count", [](std::vector<uint8_t>& h) { write_field<uint32_t>(h, 4, 0x7FFFFFFF); }, "wave count"},
        {"table offset wraps", [](std::vector<uint8_t>& h) { write_field<uint32_t>(h, 8, 0xFFFFFFF0); }, "wave count"},
        {"data past the resource", [&](std::vector<uint8_t>& h) { write_field<uint32_t>(h, record1 + 20, 4000); },
         "wave 1: the data runs past"},
        {"data offset wraps", [&](std::vector<uint8_t>& h) { write_field<uint32_t>(h, record1 + 16, 0xFFFFFF00); },
         "wave 1: the data"},
        {"odd 16-bit size", [&](std::vector<uint8_t>& h) { write_field<uint32_t>(h, record1 + 20, 1999); },
         "whole number"},
        {"loop past the data", [&](std::vector<uint8_t>& h) { write_field<uint32_t>(h, record1 + 28, 1802); },
         "loop region"},
        {"no channels", [&](std::vector<uint8_t>& h) { write_field<uint16_t>(h, record1 + 2, 0); }, "channels"},
        {"five channels", [&](std::vector<uint8_t>& h) { write_field<uint16_t>(h, record1 + 2, 5); }, "channels"},
        {"no sample rate", [&](std::vector<uint8_t>& h) { write_field<uint16_t>(h, record1 + 6, 0); }, "sample rate"},
        {"Vorbis wave in a PCM bank",
         [&](std::vector<uint8_t>& h) { write_field<uint16_t>(h, record1, wave_format::vorbis); }, "kind"},
        {"unknown format", [&](std::vector<uint8_t>& h) { write_field<uint16_t>(h, record1, 9); }, "unknown format"},
        {"unterminated path", [&](std::vector<uint8_t>& h) { h.back() = 'x'; }, "wave 2: the file path"},
        {"path outside the header", [&](std::vector<uint8_t>& h) { write_field<uint32_t>(h, record2 + 8, 0x10000); },
         "wave 2: the file path"},
        {"external wave without the bank flag", [](std::vector<uint8_t>& h) { write_field<uint8_t>(h, 2, 0); },
         "without external files"},
    };
    for (const Case& row : cases) {
        std::vector<uint8_t> header = good_header;
        row.damage(header);
        std::string message;
        EXPECT_FALSE(check_wave_bank(0x4F002007, header.data(), static_cast<uint32_t>(header.size()),
                                     static_cast<uint32_t>(data.size()), &message))
            << row.name;
        EXPECT_NE(message.find("wave bank 0x4f002007"), std::string::npos) << row.name << ": " << message;
        EXPECT_NE(message.find(row.message), std::string::npos) << row.name << ": " << message;
    }
}

TEST(WaveBankFormat, TheBuilderRefusesWavesTheFormatCannotHold) {
    std::vector<uint8_t> header, data;
    std::string error;
    std::vector<WaveDescription> waves = make_pcm_waves();
    waves[0].sample_rate = 96000;
    EXPECT_FALSE(build_wave_bank(false, waves, &header, &data, &error));
    EXPECT_NE(error.find("16 bits"), std::string::npos) << error;
    waves = make_pcm_waves();
    waves[1].loop_length = 4000;
    EXPECT_FALSE(build_wave_bank(false, waves, &header, &data, &error));
    EXPECT_NE(error.find("loop region"), std::string::npos) << error;
    EXPECT_FALSE(build_wave_bank(true, make_pcm_waves(), &header, &data, &error));
}

}  // namespace
}  // namespace zolt::sound
