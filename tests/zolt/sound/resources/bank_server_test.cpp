#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/child_process.h"
#include "zolt/sound/sound_test_world.h"

namespace zolt::sound {
namespace {

using test::Bytes;

std::vector<int16_t> ramp(uint32_t count) {
    std::vector<int16_t> samples(count);
    for (uint32_t i = 0; i < count; ++i) {
        samples[i] = static_cast<int16_t>(i);
    }
    return samples;
}

TEST(WaveBankServer, OpensABankWithItsWavesAndKeepsItWhileHeld) {
    test::SoundPacks packs;
    WaveDescription second = test::make_pcm_wave(ramp(44100), 44100);
    WaveDescription missing;
    missing.external_path = "waves\\missing.raw";
    missing.external_size = 600;
    WaveDescription outside;
    outside.external_path = "outside.raw";
    outside.external_offset = 4;
    outside.external_size = 1000;
    packs.add_wave_bank(1, false, {second, missing, outside});
    packs.start();
    // Six bytes after the offset: the rest of the wave is silence.
    std::ofstream(packs.get_folder() / "outside.raw", std::ios::binary) << "headABCDEF";
    test::FolderScope inside(packs.get_folder());

    WaveBank* const bank = wave_bank_server.open(1);
    EXPECT_EQ(wave_bank_server.open(1), bank);
    EXPECT_FALSE(bank->is_vorbis_bank());
    WaveBuffer buffer{};
    ASSERT_TRUE(bank->get_wave_buffer(0, buffer));
    // 88200 bytes of 16-bit mono at 44100 Hz: exactly one second.
    EXPECT_EQ(buffer.byte_count, 88200u);
    EXPECT_FLOAT_EQ(buffer.seconds, 1.0f);
    EXPECT_EQ(std::memcmp(buffer.data, second.data.data(), 88200), 0);
    const uint8_t* const silent = bank->get_wave_data(1);
    EXPECT_EQ(std::count(silent, silent + 600, 0), 600);
    const uint8_t* const read = bank->get_wave_data(2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(read), 6), "ABCDEF");
    EXPECT_EQ(std::count(read + 6, read + 1000, 0), 994);
    EXPECT_EQ(bank->get_wave_data(3), nullptr);
    EXPECT_FALSE(bank->get_wave_buffer(3, buffer));

    wave_bank_server.release(bank);
    EXPECT_EQ(wave_bank_server.get_live_count(), 1u);
    wave_bank_server.release(bank);
    EXPECT_EQ(wave_bank_server.get_live_count(), 0u);
}

TEST(BankServers, ABrokenBankIsRefusedWhenItOpensWithItsId) {
    struct Case {
        const char* name;
        void (*add)(test::SoundPacks&);
        void (*open)();
        const char* report;
    };
    const Case cases[] = {
        {"wave data past the resource",
         [](test::SoundPacks& packs) {
             Bytes header, data;
             std::string error;
             build_wave_bank(false, {test::make_pcm_wave(ramp(100), 22050)}, &header, &data, &error);
             data.resize(150);
             packs.add_wave_bank_bytes(2, header, data);
         },
         [] { wave_bank_server.open(2); }, "wave bank 0x4f002002: wave 0: the data runs past the data resource"},
        {"cue table past the resource",
         [](test::SoundPacks& packs) {
             Bytes bank;
             std::string error;
             build_sound_bank({}, {{5, 0, 0, 0, {{0, 0, 1}}}}, {test::make_sound(1, 0)}, &bank, &error);
             bank[0] = 200;
             packs.add_sound_bank_bytes(3, bank);
         },
         [] { sound_bank_server.open(3); }, "sound bank 0x4f001003: the cue table runs past the resource"},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.name);
        const test::ChildResult result = test::run_in_child([&] {
            test::SoundPacks packs;
            row.add(packs);
            packs.start();
            row.open();
        });
        EXPECT_FALSE(result.exited && result.exit_code == 0);
        EXPECT_NE(result.standard_error.find(row.report), std::string::npos) << result.standard_error;
    }
}

class SoundBankTest : public ::testing::Test {
protected:
    void SetUp() override {
        packs_.add_wave_bank(1, false, {test::make_pcm_wave(ramp(10), 22050), test::make_pcm_wave(ramp(20), 22050)});
        // Cue 7: three sounds in sequence; cue 8: weighted without repeat;
        // cue 1000: a single sound; an empty slot between them.
        std::vector<CueDescription> cues = {
            {7, 1, 9, 2, {{0, 0, 1}, {0, 1, 1}, {0, 2, 1}}},
            {0, 0, 0, 0, {}},
            {8, 2, 3, 1, {{0, 0, 1}, {0, 1, 3}}},
            {1000, 0, 0, 0, {{0, 2, 5}}},
        };
        std::vector<SoundDescription> sounds = {test::make_sound(1, 0), test::make_sound(1, 1), test::make_sound(1, 0)};
        sounds[2].waves = {{1, 0, 1}, {1, 1, 1}};
        sounds[2].sound.playlist_type = 2;
        packs_.add_sound_bank(4, {1}, cues, sounds);
        packs_.start();
    }
    test::SoundPacks packs_;
};

TEST_F(SoundBankTest, CueReferencesResolveByIdIndexAndDefaultBank) {
    SoundBank* const bank = sound_bank_server.open(4);
    CueReference reference = 8;
    EXPECT_TRUE(bank->find_cue(reference));
    EXPECT_EQ(reference, (4u << 16) | 2u);
    // Already resolved: taken as an index without a search.
    reference = (3u << 16) | 42u;
    EXPECT_TRUE(bank->find_cue(reference));
    EXPECT_EQ(reference, (3u << 16) | 42u);
    // Unknown: the first empty slot.
    reference = 77;
    EXPECT_FALSE(bank->find_cue(reference));
    EXPECT_EQ(reference, (4u << 16) | 1u);

    sound_bank_server.default_bank_a = 4;
    sound_bank_server.default_bank_b = 9;
    EXPECT_EQ(sound_bank_server.get_bank_number(999), 4u);
    EXPECT_EQ(sound_bank_server.get_bank_number(1000), 9u);
    EXPECT_EQ(sound_bank_server.get_bank_number((6u << 16) | 1000u), 6u);
    sound_bank_server.release(bank);
}

TEST_F(SoundBankTest, PlaylistsDrawInSequenceWithoutRepeatsAndAlone) {
    SoundBank* const bank = sound_bank_server.open(4);
    std::vector<uint32_t> sequence;
    for (int i = 0; i < 5; ++i) {
        sequence.push_back(bank->choose_sound(0));
    }
    EXPECT_EQ(sequence, (std::vector<uint32_t>{0, 1, 2, 0, 1}));
    uint32_t previous = bank->choose_sound(2);
    for (int i = 0; i < 50; ++i) {
        const uint32_t next = bank->choose_sound(2);
        EXPECT_NE(next, previous);
        previous = next;
    }
    EXPECT_EQ(bank->choose_sound(3), 2u);
    uint32_t wave_bank = 0;
    EXPECT_EQ(bank->choose_wave(2, wave_bank), 0u);
    EXPECT_EQ(bank->choose_wave(2, wave_bank), 1u);
    EXPECT_EQ(wave_bank, 1u);
    sound_bank_server.release(bank);
}

TEST_F(SoundBankTest, ABankStaysCachedAfterItsLastHolderUntilUnusedBanksAreReleased) {
    SoundBank* const bank = sound_bank_server.open(4);
    EXPECT_EQ(sound_bank_server.open(4), bank);
    EXPECT_EQ(wave_bank_server.get_live_count(), 1u);
    sound_bank_server.release(bank);
    sound_bank_server.release(bank);
    EXPECT_EQ(sound_bank_server.get_live_count(), 1u);
    sound_bank_server.release_unused_banks();
    EXPECT_EQ(sound_bank_server.get_live_count(), 0u);
    // The wave banks it listed go with it.
    EXPECT_EQ(wave_bank_server.get_live_count(), 0u);
}

TEST(PlaylistChoice, TheWeightedDrawFollowsTheWeightsAndBadDataIsFatal) {
    const uint16_t weights[3] = {1, 0, 3};
    std::map<uint32_t, uint32_t> counts;
    uint8_t state = no_previous_choice;
    for (int i = 0; i < 4000; ++i) {
        ++counts[choose_variation(0, weights, 3, 4, state)];
    }
    EXPECT_EQ(counts[1], 0u);
    EXPECT_NEAR(counts[2] / 4000.0, 0.75, 0.05);
    state = 2;
    // Excluding the heaviest leaves only the first.
    EXPECT_EQ(choose_random_variation(4, weights, 3, 2), 0u);

    const test::ChildResult bad_type = test::run_in_child([&] { choose_variation(5, weights, 3, 4, state); });
    EXPECT_NE(bad_type.standard_error.find("Unexpected playlist type."), std::string::npos);
    const test::ChildResult heavy =
        test::run_in_child([&] { choose_random_variation(900, weights, 3, no_previous_choice); });
    EXPECT_NE(heavy.standard_error.find("Playlist total weight is greater than sum of variation weights."),
              std::string::npos);
}

}  // namespace
}  // namespace zolt::sound
