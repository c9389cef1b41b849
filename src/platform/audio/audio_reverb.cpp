#include "platform/audio/audio_reverb.h"

#include <FAPO.h>
#include <FAudioFX.h>

#include <cstring>

#include "platform/audio/audio_engine_state.h"

// Sanitizer builds: FAudio keeps a copy of the latest effect parameters of a
// voice and does not free it when the voice is destroyed (52 bytes per reverb
// submix). It allocates through SDL, whose frames end the stack that the leak
// checker's fast unwinder sees, so leaks allocated there are suppressed.
#if defined(__SANITIZE_ADDRESS__)
extern "C" const char* __lsan_default_suppressions() {
    return "leak:FAudioVoice_SetEffectParameters\nleak:libSDL2-2.0.so\n";
}
#endif

namespace zolt::platform {
namespace {

static_assert(sizeof(FAudioFXReverbParameters) == sizeof(ReverbParameters));

const FAudioFXReverbI3DL2Parameters i3dl2_presets[reverb_preset_count] = {
    FAUDIOFX_I3DL2_PRESET_DEFAULT,         FAUDIOFX_I3DL2_PRESET_GENERIC,
    FAUDIOFX_I3DL2_PRESET_PADDEDCELL,      FAUDIOFX_I3DL2_PRESET_ROOM,
    FAUDIOFX_I3DL2_PRESET_BATHROOM,        FAUDIOFX_I3DL2_PRESET_LIVINGROOM,
    FAUDIOFX_I3DL2_PRESET_STONEROOM,       FAUDIOFX_I3DL2_PRESET_AUDITORIUM,
    FAUDIOFX_I3DL2_PRESET_CONCERTHALL,     FAUDIOFX_I3DL2_PRESET_CAVE,
    FAUDIOFX_I3DL2_PRESET_ARENA,           FAUDIOFX_I3DL2_PRESET_HANGAR,
    FAUDIOFX_I3DL2_PRESET_CARPETEDHALLWAY, FAUDIOFX_I3DL2_PRESET_HALLWAY,
    FAUDIOFX_I3DL2_PRESET_STONECORRIDOR,   FAUDIOFX_I3DL2_PRESET_ALLEY,
    FAUDIOFX_I3DL2_PRESET_FOREST,          FAUDIOFX_I3DL2_PRESET_CITY,
    FAUDIOFX_I3DL2_PRESET_MOUNTAINS,       FAUDIOFX_I3DL2_PRESET_QUARRY,
    FAUDIOFX_I3DL2_PRESET_PLAIN,           FAUDIOFX_I3DL2_PRESET_PARKINGLOT,
    FAUDIOFX_I3DL2_PRESET_SEWERPIPE,       FAUDIOFX_I3DL2_PRESET_UNDERWATER,
};

}  // namespace

ReverbParameters get_reverb_preset(uint32_t index) {
    FAudioFXReverbParameters native{};
    ReverbConvertI3DL2ToNative(&i3dl2_presets[index < reverb_preset_count ? index : 0], &native);
    ReverbParameters out;
    std::memcpy(&out, &native, sizeof(out));
    return out;
}

AudioVoice* create_reverb_submix_voice(AudioEngine* engine, uint32_t channels, uint32_t sample_rate,
                                       AudioVoice* output) {
    FAPO* reverb = nullptr;
    if (FAudioCreateReverb(&reverb, 0) != 0 || reverb == nullptr) {
        return nullptr;
    }
    FAudioEffectDescriptor effect{reverb, 1, channels};
    FAudioEffectChain chain{1, &effect};
    FAudioSendDescriptor send{0, output != nullptr ? output->voice : nullptr};
    FAudioVoiceSends sends{1, &send};
    FAudioSubmixVoice* voice = nullptr;
    const uint32_t result = FAudio_CreateSubmixVoice(engine->audio, &voice, channels, sample_rate, 0, 0,
                                                     output != nullptr ? &sends : nullptr, &chain);
    // The voice holds its own reference to the effect.
    reverb->Release(reverb);
    if (result != 0 || voice == nullptr) {
        return nullptr;
    }
    auto* const wrapped = new AudioVoice;
    wrapped->voice = voice;
    wrapped->engine = engine;
    wrapped->channels = channels;
    wrapped->sample_rate = sample_rate;
    return wrapped;
}

bool set_reverb_parameters(AudioVoice* submix, const ReverbParameters& parameters) {
    FAudioFXReverbParameters native;
    std::memcpy(&native, &parameters, sizeof(native));
    return FAudioVoice_SetEffectParameters(submix->voice, 0, &native, sizeof(native), FAUDIO_COMMIT_NOW) == 0;
}

}  // namespace zolt::platform
