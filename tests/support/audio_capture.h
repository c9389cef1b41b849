#pragma once
// Hearing what the audio engine plays: an engine rendered on the test's own
// thread over SDL's disk driver (writing to /dev/null), and the measures the
// sound tests apply to what it rendered.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/audio/audio_capture.h"

namespace zolt::test {

// Selects the silent driver and manual rendering for engines created while
// it lives.
class ManualAudio {
public:
    ManualAudio() {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        platform::set_audio_rendering_manual(true);
    }
    ~ManualAudio() { platform::set_audio_rendering_manual(false); }
};

// Interleaved frames of one render.
struct CapturedAudio {
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    std::vector<float> samples;

    uint32_t frame_count() const { return channels == 0 ? 0 : static_cast<uint32_t>(samples.size() / channels); }
    float at(uint32_t frame, uint32_t channel) const { return samples[size_t{frame} * channels + channel]; }

    // Root mean square of one channel over [first, first + count) frames.
    double rms(uint32_t channel, uint32_t first, uint32_t count) const {
        double sum = 0.0;
        for (uint32_t frame = first; frame < first + count && frame < frame_count(); ++frame) {
            sum += double{at(frame, channel)} * at(frame, channel);
        }
        return count == 0 ? 0.0 : std::sqrt(sum / count);
    }
    double rms_seconds(uint32_t channel, double from, double to) const {
        const auto first = static_cast<uint32_t>(from * sample_rate);
        const auto last = static_cast<uint32_t>(to * sample_rate);
        return rms(channel, first, last - first);
    }
    // Index one past the last frame whose magnitude exceeds the threshold
    // on any channel.
    uint32_t end_of_sound(float threshold) const {
        for (uint32_t frame = frame_count(); frame > 0; --frame) {
            for (uint32_t channel = 0; channel < channels; ++channel) {
                if (std::fabs(at(frame - 1, channel)) > threshold) {
                    return frame;
                }
            }
        }
        return 0;
    }
};

// A sine of the given frequency as 16-bit samples, channel-interleaved copies.
inline std::vector<int16_t> make_sine(uint32_t frames, uint32_t sample_rate, double frequency, double amplitude,
                                      uint32_t channels = 1) {
    std::vector<int16_t> out(size_t{frames} * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        const double value = amplitude * std::sin(2.0 * M_PI * frequency * i / sample_rate);
        for (uint32_t c = 0; c < channels; ++c) {
            out[size_t{i} * channels + c] = static_cast<int16_t>(std::lround(value * 32767.0));
        }
    }
    return out;
}

}  // namespace zolt::test
