#pragma once
// The 3D calculation: the matrix from an emitter's channels to the output's
// channels and the reverb level, from the listener's and the emitter's
// orientation, position, cone and distance curve. Vectors are in the audio
// engine's axes (y up).
#include <cstdint>

namespace zolt::platform {

struct AudioVector {
    float x;
    float y;
    float z;
};

struct AudioCone {
    float inner_angle;
    float outer_angle;
    float inner_volume;
    float outer_volume;
    float inner_low_pass;
    float outer_low_pass;
    float inner_reverb;
    float outer_reverb;
};

struct AudioCurvePoint {
    float distance;
    float level;
};

struct AudioListener3D {
    AudioVector front;
    AudioVector top;
    AudioVector position;
};

struct AudioEmitter3D {
    const AudioCone* cone;
    AudioVector front;
    AudioVector top;
    AudioVector position;
    uint32_t channel_count;
    const AudioCurvePoint* volume_curve;
    uint32_t volume_curve_point_count;
    float curve_distance_scaler;
    float doppler_scaler;
};

constexpr uint32_t audio_3d_matrix = 0x1;
constexpr uint32_t audio_3d_reverb = 0x10;
constexpr uint32_t audio_3d_zero_center = 0x10000;
constexpr uint32_t audio_3d_handle_size = 20;

struct Audio3D {
    uint8_t handle[audio_3d_handle_size];
};

struct AudioDspSettings {
    float* matrix;
    uint32_t source_channels;
    uint32_t destination_channels;
    float reverb_level;
};

void initialize_audio_3d(Audio3D& instance, uint32_t channel_mask, float speed_of_sound);
void calculate_audio_3d(const Audio3D& instance, const AudioListener3D& listener, const AudioEmitter3D& emitter,
                        uint32_t flags, AudioDspSettings& settings);

}  // namespace zolt::platform
