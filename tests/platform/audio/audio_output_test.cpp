#include "platform/audio/audio_output.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <vector>

#include "platform/audio/audio_3d.h"
#include "platform/audio/audio_capture.h"
#include "platform/audio/audio_reverb.h"
#include "support/audio_capture.h"

namespace zolt::platform {
namespace {

std::atomic<uint32_t> buffer_end_count{0};
void count_buffer_end(void*) {
    ++buffer_end_count;
}

class AudioOutputTest : public ::testing::Test {
protected:
    void SetUp() override {
        engine_ = create_audio_engine();
        ASSERT_NE(engine_, nullptr);
        ASSERT_GE(get_audio_device_count(engine_), 1u);
        ASSERT_TRUE(get_audio_device_details(engine_, 0, device_));
        mastering_ = create_mastering_voice(engine_, 2, rate, 0);
        ASSERT_NE(mastering_, nullptr);
        buffer_end_count = 0;
    }
    void TearDown() override {
        for (AudioVoice* voice : voices_) {
            destroy_audio_voice(voice);
        }
        destroy_audio_voice(mastering_);
        release_audio_engine(engine_);
    }

    AudioVoice* make_voice(uint16_t channels) {
        AudioVoice* const voice = create_source_voice(engine_, {AudioSampleFormat::pcm_16, channels, rate}, 2.0f,
                                                      count_buffer_end, &mastering_, 1);
        voices_.push_back(voice);
        return voice;
    }
    test::CapturedAudio render_seconds(double seconds) {
        test::CapturedAudio out;
        out.channels = 2;
        out.sample_rate = rate;
        const uint32_t quantum = get_audio_quantum_frames(engine_);
        uint32_t frames = static_cast<uint32_t>(seconds * rate);
        frames = (frames + quantum - 1) / quantum * quantum;
        out.samples.resize(size_t{frames} * 2);
        EXPECT_TRUE(render_audio(engine_, out.samples.data(), frames));
        return out;
    }

    static constexpr uint32_t rate = 48000;
    test::ManualAudio manual_;
    AudioEngine* engine_ = nullptr;
    AudioVoice* mastering_ = nullptr;
    AudioDeviceDetails device_;
    std::vector<AudioVoice*> voices_;
};

AudioBuffer whole(const std::vector<int16_t>& samples, uint32_t block) {
    AudioBuffer buffer{};
    buffer.flags = audio_end_of_stream;
    buffer.byte_count = static_cast<uint32_t>(samples.size() * sizeof(int16_t));
    buffer.data = reinterpret_cast<const uint8_t*>(samples.data());
    (void)block;
    return buffer;
}

TEST_F(AudioOutputTest, DeviceDetailsDescribeAnOutput) {
    EXPECT_GT(device_.channels, 0u);
    EXPECT_GT(device_.sample_rate, 0u);
    EXPECT_FALSE(device_.id.empty());
}

TEST_F(AudioOutputTest, AStartedVoicePlaysItsBufferOnceToTheFrameAndReportsItsEnd) {
    // Exactly 0.5 s of a constant level: the sound must stop at frame 24000.
    const std::vector<int16_t> samples(rate / 2, 16384);
    AudioVoice* const voice = make_voice(1);
    ASSERT_TRUE(submit_audio_buffer(voice, whole(samples, 2)));
    ASSERT_TRUE(start_audio_voice(voice, audio_commit_now));
    const test::CapturedAudio part = render_seconds(0.2);
    EXPECT_EQ(get_audio_voice_state(voice).samples_played, part.frame_count());
    EXPECT_EQ(get_audio_voice_state(voice).buffers_queued, 1u);
    const test::CapturedAudio rest = render_seconds(0.8);
    EXPECT_EQ(part.frame_count() + rest.end_of_sound(0.01f), rate / 2);
    EXPECT_GT(part.rms(0, 100, 1000), 0.1);
    EXPECT_EQ(buffer_end_count.load(), 1u);
    EXPECT_EQ(get_audio_voice_state(voice).buffers_queued, 0u);
}

TEST_F(AudioOutputTest, ALoopRegionRepeatsWithoutASeamAndExitLoopPlaysOnToTheEnd) {
    // Intro of 4800 frames, then a loop region of whole 480 Hz periods: a
    // seamless loop continues the sine exactly.
    const uint32_t intro = 4800;
    const uint32_t loop = 4800;
    const std::vector<int16_t> samples = test::make_sine(intro + loop + 2000, rate, 480.0, 0.5);
    AudioVoice* const voice = make_voice(1);
    AudioBuffer buffer = whole(samples, 2);
    buffer.loop_begin = intro;
    buffer.loop_length = loop;
    buffer.loop_count = audio_loop_infinite;
    ASSERT_TRUE(submit_audio_buffer(voice, buffer));
    ASSERT_TRUE(start_audio_voice(voice, audio_commit_now));
    const test::CapturedAudio looped = render_seconds(0.5);
    const float gain = looped.at(rate / 480 / 4, 0) / static_cast<float>(samples[rate / 480 / 4] / 32768.0);
    ASSERT_GT(gain, 0.1f);
    double worst = 0.0;
    for (uint32_t frame = 0; frame < looped.frame_count(); ++frame) {
        const double expected = gain * 0.5 * std::sin(2.0 * M_PI * 480.0 * frame / rate);
        worst = std::max(worst, std::fabs(looped.at(frame, 0) - expected));
    }
    EXPECT_LT(worst, 0.002) << "a seam in the loop";
    EXPECT_EQ(buffer_end_count.load(), 0u);

    ASSERT_TRUE(exit_audio_loop(voice, audio_commit_now));
    const test::CapturedAudio after = render_seconds(0.5);
    // 24000 frames were played, ending on the loop's last frame: the pass
    // ends at once and the 2000 frames after the loop follow.
    ASSERT_EQ((looped.frame_count() - intro) % loop, 0u);
    EXPECT_GT(after.rms(0, 1800, 200), 0.1);
    EXPECT_LT(after.rms(0, 2000, 2000), 1e-6);
    EXPECT_EQ(buffer_end_count.load(), 1u);
}

TEST_F(AudioOutputTest, AnOutputMatrixAndTheVolumeShapeWhatEachChannelHears) {
    const std::vector<int16_t> samples = test::make_sine(rate, rate, 440.0, 0.5);
    AudioVoice* const voice = make_voice(1);
    ASSERT_TRUE(submit_audio_buffer(voice, whole(samples, 2)));
    const float left_only[2] = {1.0f, 0.0f};
    ASSERT_TRUE(set_audio_voice_output_matrix(voice, mastering_, 1, 2, left_only, audio_commit_now));
    ASSERT_TRUE(start_audio_voice(voice, audio_commit_now));
    const test::CapturedAudio first = render_seconds(0.2);
    EXPECT_NEAR(first.rms_seconds(0, 0.05, 0.2), 0.5 / std::sqrt(2.0), 0.01);
    EXPECT_LT(first.rms_seconds(1, 0.05, 0.2), 1e-6);

    // Deferred: nothing changes until the operation set is committed.
    ASSERT_TRUE(set_audio_voice_volume(voice, 0.5f, 7));
    const test::CapturedAudio deferred = render_seconds(0.2);
    EXPECT_NEAR(deferred.rms_seconds(0, 0.05, 0.2), 0.5 / std::sqrt(2.0), 0.01);
    ASSERT_TRUE(commit_audio_changes(engine_, 7));
    const test::CapturedAudio halved = render_seconds(0.2);
    EXPECT_NEAR(halved.rms_seconds(0, 0.05, 0.2), 0.25 / std::sqrt(2.0), 0.01);
    EXPECT_FLOAT_EQ(get_audio_voice_volume(voice), 0.5f);

    // Stopped, the voice keeps its place and resumes there.
    const uint64_t before = get_audio_voice_state(voice).samples_played;
    ASSERT_TRUE(stop_audio_voice(voice, audio_commit_now));
    const test::CapturedAudio paused = render_seconds(0.1);
    EXPECT_LT(paused.rms_seconds(0, 0.02, 0.1), 1e-6);
    EXPECT_EQ(get_audio_voice_state(voice).samples_played, before);
}

TEST_F(AudioOutputTest, AFrequencyRatioOfTwoPlaysTheBufferInHalfTheTime) {
    const std::vector<int16_t> samples(rate / 2, 16384);
    AudioVoice* const voice = make_voice(1);
    ASSERT_TRUE(submit_audio_buffer(voice, whole(samples, 2)));
    ASSERT_TRUE(set_audio_voice_frequency_ratio(voice, 2.0f, audio_commit_now));
    ASSERT_TRUE(start_audio_voice(voice, audio_commit_now));
    const test::CapturedAudio heard = render_seconds(1.0);
    EXPECT_NEAR(static_cast<double>(heard.end_of_sound(0.01f)), rate / 4, 8.0);
}

TEST_F(AudioOutputTest, TheThreeDimensionalMatrixIsLouderOnTheSideOfTheEmitter) {
    Audio3D instance{};
    initialize_audio_3d(instance, 0x3, 343.5f);
    const AudioListener3D listener{{0, 0, 1}, {0, 1, 0}, {0, 0, 0}};
    const AudioCurvePoint curve[2] = {{0.0f, 1.0f}, {1.0f, 0.0f}};
    AudioEmitter3D emitter{nullptr, {0, 0, 1}, {0, 1, 0}, {3, 0, 0}, 1, curve, 2, 10.0f, 1.0f};
    float matrix[audio_maximum_matrix_channels] = {};
    AudioDspSettings settings{matrix, 1, 2, 0.0f};
    calculate_audio_3d(instance, listener, emitter, audio_3d_matrix | audio_3d_reverb | audio_3d_zero_center, settings);
    EXPECT_GT(matrix[1], 2.0f * matrix[0]) << matrix[0] << " " << matrix[1];
    emitter.position = {-3, 0, 0};
    calculate_audio_3d(instance, listener, emitter, audio_3d_matrix, settings);
    EXPECT_GT(matrix[0], 2.0f * matrix[1]);
    // Past the end of the curve nothing is heard.
    emitter.position = {20, 0, 0};
    calculate_audio_3d(instance, listener, emitter, audio_3d_matrix, settings);
    EXPECT_EQ(matrix[0] + matrix[1], 0.0f);
}

TEST_F(AudioOutputTest, TheReverbSubmixAddsATailThatTheOffRecordRemoves) {
    AudioVoice* const submix = create_reverb_submix_voice(engine_, 1, rate, mastering_);
    ASSERT_NE(submix, nullptr);
    voices_.push_back(submix);
    AudioVoice* sends[1] = {submix};
    std::vector<int16_t> click(rate / 20, 0);
    for (uint32_t i = 0; i < 240; ++i) {
        click[i] = 20000;
    }
    auto tail_after_click = [&](const ReverbParameters& parameters) {
        EXPECT_TRUE(set_reverb_parameters(submix, parameters));
        AudioVoice* const voice =
            create_source_voice(engine_, {AudioSampleFormat::pcm_16, 1, rate}, 2.0f, count_buffer_end, sends, 1);
        EXPECT_TRUE(submit_audio_buffer(voice, whole(click, 2)));
        EXPECT_TRUE(start_audio_voice(voice, audio_commit_now));
        const test::CapturedAudio heard = render_seconds(0.6);
        destroy_audio_voice(voice);
        render_seconds(2.0);
        return heard.rms_seconds(0, 0.1, 0.6);
    };
    ReverbParameters off = get_reverb_preset(0);
    off.wet_dry_mix = 0.0f;
    const double dry = tail_after_click(off);
    const double hall = tail_after_click(get_reverb_preset(8));
    EXPECT_LT(dry, 1e-5);
    EXPECT_GT(hall, 1e-4);
}

}  // namespace
}  // namespace zolt::platform
