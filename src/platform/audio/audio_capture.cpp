#include "platform/audio/audio_capture.h"

#include <FAudio.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/audio/audio_engine_state.h"

namespace zolt::platform {
namespace {
std::atomic<bool> manual_rendering{false};
// The processing thread's first pass comes right after the device opens.
constexpr auto first_pass_wait = std::chrono::seconds(5);
}  // namespace

bool is_audio_rendering_manual() {
    return manual_rendering.load();
}

void set_audio_rendering_manual(bool manual) {
    manual_rendering.store(manual);
}

uint32_t get_audio_quantum_frames(AudioEngine* engine) {
    uint32_t frames = 0;
    uint32_t rate = 0;
    FAudio_GetProcessingQuantum(engine->audio, &frames, &rate);
    return frames;
}

uint32_t get_audio_output_rate(AudioEngine* engine) {
    uint32_t frames = 0;
    uint32_t rate = 0;
    FAudio_GetProcessingQuantum(engine->audio, &frames, &rate);
    return rate;
}

bool render_audio(AudioEngine* engine, float* out, uint32_t frame_count) {
    if (engine == nullptr || !engine->manual_rendering || engine->mastering == nullptr) {
        return false;
    }
    const uint32_t quantum = get_audio_quantum_frames(engine);
    if (quantum == 0 || frame_count % quantum != 0) {
        return false;
    }
    const auto give_up = std::chrono::steady_clock::now() + first_pass_wait;
    FAudioEngineCallEXT engine_call = engine->engine_call.load(std::memory_order_acquire);
    while (engine_call == nullptr) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        engine_call = engine->engine_call.load(std::memory_order_acquire);
    }
    for (uint32_t done = 0; done < frame_count; done += quantum) {
        engine_call(engine->audio, out + size_t{done} * engine->output_channels);
    }
    return true;
}

}  // namespace zolt::platform
