#pragma once
// Rendering on the caller's thread instead of the device's, for tests: an
// engine created while manual rendering is on sends silence to its device and
// mixes only when render_audio asks, so what a test hears is exact and
// independent of timing. The whole program instead runs under SDL's "disk"
// driver, which writes what it plays to SDL_DISKAUDIOFILE.
#include <cstdint>

namespace zolt::platform {

struct AudioEngine;

// Applies to engines created afterwards.
void set_audio_rendering_manual(bool manual);
// Frames per mixing pass; frame counts given to render_audio are multiples.
uint32_t get_audio_quantum_frames(AudioEngine* engine);
// The mastering voice's rate: frames per second of what render_audio gives.
uint32_t get_audio_output_rate(AudioEngine* engine);
// Mixes frame_count frames of the mastering voice's channels into out,
// interleaved; false when the engine does not render manually, has no
// mastering voice or the count is not a whole number of passes.
bool render_audio(AudioEngine* engine, float* out, uint32_t frame_count);

}  // namespace zolt::platform
