#include "zolt/sound/xaudio/xaudio_voice.h"

#include <gtest/gtest.h>

#include "support/audio_capture.h"
#include "zolt/sound/resources/wave_bank.h"
#include "zolt/sound/sound_manager.h"
#include "zolt/sound/sound_test_world.h"

namespace zolt::sound {
namespace {

using platform::AudioDeviceDetails;

TEST(XAudioDeviceChoice, TheNamedDeviceElseTheDefaultGameDeviceElseTheFirst) {
    const std::vector<AudioDeviceDetails> devices = {
        {"speakers", 0, 2, 48000, 3},   {"wide", 0, 18, 48000, 0}, {"headset", 8, 2, 44100, 3},
        {"monitor", 8, 6, 48000, 0x3F}, {"usb", 0, 2, 48000, 3},
    };
    struct Case {
        const char* wanted;
        int32_t chosen;
    };
    const Case cases[] = {
        {"usb", 4},       // the id match wins
        {"", 3},          // the last default game device
        {"DEFAULT", 3},   // "default" in any case asks for no match
        {"wide", 3},      // more than 16 channels is never chosen, even by name
        {"Speakers", 3},  // ids compare exactly
        {"missing", 3},
    };
    for (const Case& row : cases) {
        EXPECT_EQ(choose_xaudio_device(devices, row.wanted), row.chosen) << row.wanted;
    }
    EXPECT_EQ(choose_xaudio_device({devices[0], devices[1]}, ""), 0);
    EXPECT_EQ(choose_xaudio_device({devices[1]}, "wide"), -1);
    EXPECT_EQ(choose_xaudio_device({}, ""), -1);
}

TEST(XAudioReverb, TheBlendIsLinearFromTheValuesInEffectAndClamped) {
    const platform::ReverbParameters room = get_environment_parameters(3);
    const platform::ReverbParameters cave = get_environment_parameters(9);
    const platform::ReverbParameters half = blend_reverb_parameters(room, cave, 0.5f);
    EXPECT_FLOAT_EQ(half.decay_time, (room.decay_time + cave.decay_time) / 2);
    EXPECT_FLOAT_EQ(half.reverb_gain, (room.reverb_gain + cave.reverb_gain) / 2);
    EXPECT_EQ(half.reflections_delay, (room.reflections_delay + cave.reflections_delay) / 2);
    const platform::ReverbParameters at_end = blend_reverb_parameters(room, cave, 1.0f);
    EXPECT_EQ(std::memcmp(&at_end, &cave, sizeof cave), 0);
    // The off record is DEFAULT with nothing wet.
    EXPECT_EQ(get_environment_parameters(environment_off).wet_dry_mix, 0.0f);
    EXPECT_EQ(get_environment_parameters(environment_off).decay_time, get_environment_parameters(0).decay_time);

    platform::ReverbParameters wild{};
    wild.wet_dry_mix = 250.0f;
    wild.reflections_delay = 900;
    wild.reverb_delay = 200;
    wild.rear_delay = 9;
    wild.position_left = wild.position_right = wild.position_matrix_left = wild.position_matrix_right = 99;
    wild.early_diffusion = wild.late_diffusion = 40;
    wild.low_eq_gain = wild.low_eq_cutoff = wild.high_eq_gain = wild.high_eq_cutoff = 60;
    wild.room_filter_frequency = 50000.0f;
    wild.room_filter_main = wild.room_filter_hf = 7.0f;
    wild.reflections_gain = wild.reverb_gain = 90.0f;
    wild.decay_time = 0.0f;
    wild.density = wild.room_size = 400.0f;
    const platform::ReverbParameters clamped = blend_reverb_parameters(wild, wild, 1.0f);
    EXPECT_EQ(clamped.wet_dry_mix, 100.0f);
    EXPECT_EQ(clamped.reflections_delay, 300u);
    EXPECT_EQ(clamped.reverb_delay, 85);
    EXPECT_EQ(clamped.rear_delay, 5);
    EXPECT_EQ(clamped.position_matrix_right, 30);
    EXPECT_EQ(clamped.late_diffusion, 15);
    EXPECT_EQ(clamped.low_eq_gain, 12);
    EXPECT_EQ(clamped.low_eq_cutoff, 9);
    EXPECT_EQ(clamped.high_eq_gain, 8);
    EXPECT_EQ(clamped.high_eq_cutoff, 14);
    EXPECT_EQ(clamped.room_filter_frequency, 20000.0f);
    EXPECT_EQ(clamped.room_filter_main, 0.0f);
    EXPECT_EQ(clamped.reverb_gain, 20.0f);
    EXPECT_EQ(clamped.decay_time, 0.1f);
    EXPECT_EQ(clamped.room_size, 100.0f);
}

TEST(XAudioOutput, TheDeviceNoneInAnyCaseMeansNoEngineAndNoVoices) {
    for (const char* name : {"none", "NONE", "None"}) {
        const char* const saved = xaudio_device_name;
        xaudio_device_name = name;
        initialize_xaudio();
        EXPECT_FALSE(has_xaudio_engine()) << name;
        EXPECT_EQ(get_xaudio_slot_count(), 0u);
        EXPECT_TRUE(is_voice_finished(0));
        EXPECT_EQ(create_source_voice(1, 22050, wave_format::pcm_16, 0), nullptr);
        update_xaudio();
        shutdown_xaudio();
        xaudio_device_name = saved;
    }
}

bool window_active = true;
bool report_window_active() {
    return window_active;
}

// The output on SDL's disk driver, rendered on the test's thread, with a
// bank of a one-second tone (wave 0), a looping tone (wave 1) and sounds
// for them: 0 plain, 1 positional.
class XAudioCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<int16_t> tone = test::make_sine(44100, 44100, 441.0, 0.5);
        test::SoundPacks& packs = packs_;
        WaveDescription loop = test::make_pcm_wave(test::make_sine(44100, 44100, 441.0, 0.5), 44100);
        loop.loops = true;
        loop.loop_start = 2 * 4410;
        loop.loop_length = 2 * 22050;
        packs.add_wave_bank(1, false, {test::make_pcm_wave(tone, 44100), loop});
        std::vector<SoundDescription> sounds = {test::make_sound(1, 0), test::make_sound(1, 0)};
        sounds[1].sound.flags = sound_flag_positional;
        sounds[1].sound.maximum_distance = 100.0f;
        packs.add_sound_bank(1, {1}, {{1, 0, 0, 0, {{0, 0, 1}}}}, sounds);
        packs.start();
        window_active = true;
        set_window_active_query(report_window_active);
        initialize_xaudio();
        ASSERT_TRUE(has_xaudio_engine());
        bank_ = sound_bank_server.open(1);
        waves_ = wave_bank_server.open(1);
    }
    void TearDown() override {
        shutdown_xaudio();
        set_window_active_query(nullptr);
    }

    int32_t play(uint32_t sound, uint32_t wave, bool from_loop_start = false) {
        const int32_t slot = allocate_voice(*bank_, *waves_, 0, sound, wave);
        WaveBuffer buffer{};
        EXPECT_TRUE(waves_->get_wave_buffer(wave, buffer));
        EXPECT_TRUE(set_wave_buffer(slot, buffer, from_loop_start));
        set_voice_pause_request(slot, false);
        return slot;
    }
    test::CapturedAudio render_seconds(double seconds) {
        test::CapturedAudio out;
        platform::AudioEngine* const engine = get_xaudio_engine();
        out.channels = 2;
        out.sample_rate = 48000;
        const uint32_t quantum = platform::get_audio_quantum_frames(engine);
        uint32_t frames = static_cast<uint32_t>(seconds * out.sample_rate);
        frames = (frames + quantum - 1) / quantum * quantum;
        out.samples.resize(size_t{frames} * out.channels);
        EXPECT_TRUE(platform::render_audio(engine, out.samples.data(), frames));
        return out;
    }

    test::ManualAudio manual_;
    test::SoundPacks packs_;
    SoundBank* bank_ = nullptr;
    WaveBank* waves_ = nullptr;
};

TEST_F(XAudioCaptureTest, AWholeWaveOf88200BytesPlaysExactlyOneSecond) {
    ASSERT_EQ(get_xaudio_slot_count(), xaudio_voice_slot_count);
    const uint32_t set = get_operation_set_counter();
    const int32_t slot = play(0, 0);
    ASSERT_EQ(slot, 0);
    EXPECT_EQ(get_free_voice_count(), xaudio_voice_slot_count - 1);
    // Created paused: nothing until an update starts it.
    EXPECT_LT(render_seconds(0.05).rms(0, 0, 2400), 1e-6);
    update_xaudio();
    EXPECT_EQ(get_operation_set_counter(), set + 1);
    const test::CapturedAudio first = render_seconds(0.5);
    EXPECT_NEAR(get_voice_position(slot), 0.5f, 0.001f);
    EXPECT_FALSE(is_voice_finished(slot));
    const test::CapturedAudio rest = render_seconds(0.7);
    EXPECT_NEAR(first.frame_count() + rest.end_of_sound(0.01f), 48000.0, 48.0);
    EXPECT_NEAR(first.rms_seconds(0, 0.1, 0.5), 0.5 / std::sqrt(2.0), 0.05);
    EXPECT_TRUE(is_voice_finished(slot));
    free_voice(slot);
    EXPECT_EQ(get_free_voice_count(), xaudio_voice_slot_count);
}

TEST_F(XAudioCaptureTest, APositionalSoundIsLouderInTheNearerChannel) {
    set_listener({0, 0, 0}, geometry::identity_quaternion(), environment_off, 1.0f);
    const int32_t slot = play(1, 0);
    set_voice_parameters(slot, {5, 0, 0}, geometry::identity_quaternion(), 1.0f, 1.0f, 1.0f);
    update_xaudio();
    const test::CapturedAudio right = render_seconds(0.3);
    EXPECT_GT(right.rms_seconds(1, 0.1, 0.3), 2.0 * right.rms_seconds(0, 0.1, 0.3));
    set_voice_parameters(slot, {-5, 0, 0}, geometry::identity_quaternion(), 1.0f, 1.0f, 1.0f);
    update_xaudio();
    const test::CapturedAudio left = render_seconds(0.3);
    EXPECT_GT(left.rms_seconds(0, 0.1, 0.3), 2.0 * left.rms_seconds(1, 0.1, 0.3));
    // Beyond the maximum distance: silence.
    set_voice_parameters(slot, {0, 150, 0}, geometry::identity_quaternion(), 1.0f, 1.0f, 1.0f);
    update_xaudio();
    EXPECT_LT(render_seconds(0.2).rms_seconds(0, 0.05, 0.2), 1e-4);
}

TEST_F(XAudioCaptureTest, AnInactiveWindowSilencesEveryVoiceUntilItIsActiveAgain) {
    const int32_t slot = play(0, 1);
    update_xaudio();
    EXPECT_GT(render_seconds(0.2).rms_seconds(0, 0.05, 0.2), 0.2);
    window_active = false;
    update_xaudio();
    EXPECT_LT(render_seconds(0.2).rms_seconds(0, 0.05, 0.2), 1e-6);
    window_active = true;
    update_xaudio();
    EXPECT_GT(render_seconds(0.2).rms_seconds(0, 0.05, 0.2), 0.2);
    free_voice(slot);
}

TEST_F(XAudioCaptureTest, ALoopExitedPlaysItsTailAndCopiedBuffersAreAllFreed) {
    const int32_t slot = play(0, 1, true);
    update_xaudio();
    render_seconds(1.0);
    EXPECT_FALSE(is_voice_finished(slot));
    exit_voice_loop(slot);
    update_xaudio();
    // The rest of the pass (at most 0.5 s) and the 0.4 s tail, then done.
    render_seconds(1.0);
    EXPECT_TRUE(is_voice_finished(slot));
    free_voice(slot);

    const int32_t stream = allocate_voice(*bank_, *waves_, 0, 0, 0);
    std::vector<uint8_t> block(4410 * 2, 0);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(submit_voice_buffer(stream, block.data(), static_cast<uint32_t>(block.size()), true, false));
    }
    EXPECT_EQ(get_voice_copy_count(stream), 4u);
    set_voice_pause_request(stream, false);
    update_xaudio();
    render_seconds(0.25);
    EXPECT_EQ(get_voice_copy_count(stream), 2u);
    // Freeing the voice frees what is still queued.
    free_voice(stream);
    EXPECT_EQ(get_voice_copy_count(stream), 0u);
}

}  // namespace
}  // namespace zolt::sound
