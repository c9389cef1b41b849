#pragma once
// The reverb effect's parameters in the engine's native layout and the 24
// environment presets it is given through.
#include <cstdint>

namespace zolt::platform {

struct AudioVoice;

#pragma pack(push, 1)
struct ReverbParameters {
    float wet_dry_mix;
    uint32_t reflections_delay;
    uint8_t reverb_delay;
    uint8_t rear_delay;
    uint8_t position_left;
    uint8_t position_right;
    uint8_t position_matrix_left;
    uint8_t position_matrix_right;
    uint8_t early_diffusion;
    uint8_t late_diffusion;
    uint8_t low_eq_gain;
    uint8_t low_eq_cutoff;
    uint8_t high_eq_gain;
    uint8_t high_eq_cutoff;
    float room_filter_frequency;
    float room_filter_main;
    float room_filter_hf;
    float reflections_gain;
    float reverb_gain;
    float decay_time;
    float density;
    float room_size;
};
#pragma pack(pop)
static_assert(sizeof(ReverbParameters) == 52);

// DEFAULT, GENERIC, PADDEDCELL ... UNDERWATER, in that order.
constexpr uint32_t reverb_preset_count = 24;

// The native form of a preset; an index past the table gives DEFAULT.
ReverbParameters get_reverb_preset(uint32_t index);
// Applied at once, not through an operation set.
bool set_reverb_parameters(AudioVoice* submix, const ReverbParameters& parameters);

}  // namespace zolt::platform
