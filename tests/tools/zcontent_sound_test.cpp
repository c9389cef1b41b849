#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "libs/io/temporary_folder.h"
#include "support/audio_capture.h"
#include "support/vorbis_encoder.h"
#include "zcontent/lib/sound_description.h"
#include "zcontent/lib/wav_reader.h"
#include "zolt/sound/resources/sound_bank_format.h"
#include "zolt/sound/resources/wave_bank_format.h"

namespace zolt::tools {
namespace {

class SoundDescriptionTest : public ::testing::Test {
protected:
    void SetUp() override {
        tone_ = test::make_sine(4410, 44100, 441.0, 0.5);
        write("tone.wav", make_wav(tone_, 1, 44100));
        write("stereo.wav", make_wav(test::make_sine(2000, 22050, 441.0, 0.5, 2), 2, 22050));
        write("rain.ogg", test::encode_vorbis(test::make_sine(8820, 44100, 300.0, 0.3), 1, 44100));
        write("broken.wav", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
    }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream(folder_.get_path(name), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    bool compile(const std::string& text, std::vector<SoundResource>* out, std::string* error) {
        return compile_sound_description(text, folder_.get_path("sounds.json"), out, error);
    }
    static const std::vector<uint8_t>& find(const std::vector<SoundResource>& banks, uint32_t id) {
        for (const SoundResource& bank : banks) {
            if (bank.id == id) {
                return bank.data;
            }
        }
        static const std::vector<uint8_t> none;
        return none;
    }

    test::TemporaryFolder folder_;
    std::vector<int16_t> tone_;
};

const char* const sample_description = R"({
  "wave_banks": [
    {"number": 1, "waves": [
      {"name": "tone", "source": "tone.wav", "loop": true, "loop_start": 441, "loop_length": 2205},
      {"name": "stereo", "source": "stereo.wav"}]},
    {"number": 2, "waves": [{"name": "rain", "source": "rain.ogg", "loop": true}]}
  ],
  "sound_banks": [
    {"number": 3,
     "sounds": [
       {"name": "hum", "waves": [{"wave": "tone"}], "volume": [-300, 0], "pitch": [-100, 100],
        "positional": true, "curve": [200, 100], "inner_distance": 2, "maximum_distance": 20,
        "cone": {"inner": 0.25, "outer": 0.5, "outside_level": -1200}, "reverb_send": -1000},
       {"name": "weather", "waves": [{"wave": "rain", "weight": 2}, {"wave": "stereo", "weight": 1}],
        "playlist": "random_no_repeat", "fade_in": 0.5, "fade_out": 1.5}],
     "cues": [
       {"id": 10, "category": 2, "priority": 7, "sounds": [{"sound": "hum"}]},
       {"id": 1000, "playlist": "sequence", "sounds": [{"sound": "weather"}, {"sound": "hum"}]}]}
  ]
})";

TEST_F(SoundDescriptionTest, BuildsWaveBanksFromWavAndOggAndASoundBankThatNamesThem) {
    std::vector<SoundResource> banks;
    std::string error;
    ASSERT_TRUE(compile(sample_description, &banks, &error)) << error;
    ASSERT_EQ(banks.size(), 5u);

    const std::vector<uint8_t>& header = find(banks, 0x4F002001);
    const std::vector<uint8_t>& data = find(banks, 0x4F003001);
    ASSERT_TRUE(sound::check_wave_bank(0x4F002001, header.data(), static_cast<uint32_t>(header.size()),
                                       static_cast<uint32_t>(data.size()), &error))
        << error;
    const sound::WaveRecord tone = sound::read_wave_record(header.data(), 0);
    EXPECT_EQ(tone.format, sound::wave_format::pcm_16);
    EXPECT_EQ(tone.sample_rate, 44100u);
    EXPECT_EQ(tone.loop_start, 882u);
    EXPECT_EQ(tone.loop_length, 4410u);
    EXPECT_NEAR(tone.duration, 0.1f, 1e-6f);
    EXPECT_EQ(std::memcmp(data.data() + tone.data_offset, tone_.data(), tone.data_size), 0);
    EXPECT_EQ(sound::read_wave_record(header.data(), 1).channels, 2);

    const std::vector<uint8_t>& vorbis_header = find(banks, 0x4F002002);
    const sound::WaveRecord rain = sound::read_wave_record(vorbis_header.data(), 0);
    EXPECT_EQ(sound::read_wave_bank_header(vorbis_header.data()).kind, 1);
    EXPECT_EQ(rain.format, sound::wave_format::vorbis);
    EXPECT_NEAR(rain.duration, 0.2f, 1e-3f);
    EXPECT_EQ(rain.flags & sound::wave_flag::loops, sound::wave_flag::loops);

    const std::vector<uint8_t>& bank = find(banks, 0x4F001003);
    ASSERT_TRUE(sound::check_sound_bank(0x4F001003, bank.data(), static_cast<uint32_t>(bank.size()), &error)) << error;
    const sound::SoundBankHeader sound_header = sound::read_sound_bank_header(bank.data());
    EXPECT_EQ(sound_header.wave_bank_count, 2u);
    const sound::SoundBankCue cue = sound::read_sound_bank_cue(bank.data(), 1);
    EXPECT_EQ(cue.cue_id, 1000);
    EXPECT_EQ(cue.playlist_type, 2);
    EXPECT_EQ(cue.variation_count, 2);
    const sound::SoundBankSound hum = sound::read_sound_bank_sound(bank.data(), 0);
    EXPECT_EQ(hum.flags, sound::sound_flag_positional);
    EXPECT_EQ(hum.curve_point_count, 4);
    EXPECT_EQ(hum.curve_levels[1], 100);
    EXPECT_EQ(hum.cone_outside_level, -1200);
    const sound::SoundBankSound weather = sound::read_sound_bank_sound(bank.data(), 1);
    EXPECT_EQ(weather.total_weight, 3);
    const sound::PlaylistEntry second = sound::read_wave_variation(bank.data(), weather.first_variation + 1);
    EXPECT_EQ(second.wave_bank, 1u);
    EXPECT_EQ(second.index, 1);
}

TEST_F(SoundDescriptionTest, MistakesAreRefusedWithTheFileTheBankTheEntryAndTheKey) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "missing.wav"}]}]})",
         "wave bank 1: wave \"a\": \"source\": "},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "broken.wav"}]}]})",
         "broken.wav: the format or data chunk is missing"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"},
            {"name": "b", "source": "rain.ogg"}]}]})",
         "a bank holds either WAV or Ogg Vorbis waves, not both"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"},
            {"name": "a", "source": "tone.wav"}]}]})",
         "the name is given to two waves"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav", "loop": true,
            "loop_start": 5000}]}]})",
         "\"loop_start\": expected a whole number from 0 to 4410"},
        {R"({"wave_banks": [{"number": 5000, "waves": []}]})", "\"number\": expected a whole number from 1 to 4095"},
        {R"({"sound_banks": [{"number": 1, "sounds": [{"name": "s", "waves": [{"wave": "nothing"}]}], "cues": []}]})",
         "sound bank 1: sound \"s\": \"waves\": \"nothing\" names no wave of the description"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"}]}],
            "sound_banks": [{"number": 1, "sounds": [{"name": "s", "waves": [{"wave": "a"}]}],
            "cues": [{"id": 4, "sounds": [{"sound": "t"}]}]}]})",
         "sound bank 1: cue 0: \"sounds\": \"t\" names no sound of the bank"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"}]}],
            "sound_banks": [{"number": 1, "sounds": [{"name": "s", "waves": [{"wave": "a"}], "volume": [0, -5]}],
            "cues": []}]})",
         "\"volume\": expected [lowest, highest]"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"}]}],
            "sound_banks": [{"number": 1, "sounds": [{"name": "s", "waves": [{"wave": "a"}]}],
            "cues": [{"id": 4, "category": 4, "sounds": [{"sound": "s"}]}]}]})",
         "\"category\": expected a whole number from 0 to 3"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"}]}],
            "sound_banks": [{"number": 1, "sounds": [{"name": "s", "playlist": "shuffle", "waves": [{"wave": "a"}]}],
            "cues": []}]})",
         "\"playlist\": expected random, random_no_repeat or sequence"},
        {R"({"wave_banks": [{"number": 1, "waves": [{"name": "a", "source": "tone.wav"}]}],
            "sound_banks": [{"number": 1, "sounds": [{"name": "s", "playlist": "random_no_repeat",
            "waves": [{"wave": "a", "weight": 3}, {"wave": "a", "weight": 0}]}], "cues": []}]})",
         "sound 0: no weight to draw from"},
        {R"({"sound_banks": [{"number": 1, "sound": []}]})", "sound bank 0: \"sound\": unknown key"},
        {R"([1, 2])", "description: expected an object"},
    };
    for (const Case& row : cases) {
        std::vector<SoundResource> banks;
        std::string error;
        EXPECT_FALSE(compile(row.text, &banks, &error)) << row.text;
        EXPECT_EQ(error.find(folder_.get_path("sounds.json") + ": "), 0u) << error;
        EXPECT_NE(error.find(row.message), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace zolt::tools
