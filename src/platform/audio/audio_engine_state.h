#pragma once
// What the audio layer keeps beside each FAudio object; shared by the files
// of this folder only.
#include <FAudio.h>

#include <atomic>

#include "platform/audio/audio_output.h"

namespace zolt::platform {

struct AudioEngine {
    FAudio* audio = nullptr;
    FAudioMasteringVoice* mastering = nullptr;
    uint32_t output_channels = 0;
    bool manual_rendering = false;
    // The engine's own mixing pass, learnt from the processing thread's first
    // call; manual rendering runs it on the caller's thread.
    std::atomic<FAudioEngineCallEXT> engine_call{nullptr};
};

struct AudioVoice {
    // First, so the engine's callback pointer leads back to the voice.
    FAudioVoiceCallback callback{};
    FAudioVoice* voice = nullptr;
    AudioEngine* engine = nullptr;
    AudioBufferEndFunction on_buffer_end = nullptr;
    uint32_t channels = 0;
    uint32_t sample_rate = 0;
    bool is_mastering = false;
};

bool is_audio_rendering_manual();

}  // namespace zolt::platform
