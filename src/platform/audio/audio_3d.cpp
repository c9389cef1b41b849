#include "platform/audio/audio_3d.h"

#include <F3DAudio.h>

#include <cstring>

namespace zolt::platform {
namespace {

constexpr uint32_t maximum_curve_points = 16;

F3DAUDIO_VECTOR to_engine(const AudioVector& v) {
    return {v.x, v.y, v.z};
}

}  // namespace

void initialize_audio_3d(Audio3D& instance, uint32_t channel_mask, float speed_of_sound) {
    static_assert(sizeof(instance.handle) == F3DAUDIO_HANDLE_BYTESIZE);
    F3DAudioInitialize(channel_mask, speed_of_sound, instance.handle);
}

void calculate_audio_3d(const Audio3D& instance, const AudioListener3D& listener, const AudioEmitter3D& emitter,
                        uint32_t flags, AudioDspSettings& settings) {
    F3DAUDIO_LISTENER native_listener{};
    native_listener.OrientFront = to_engine(listener.front);
    native_listener.OrientTop = to_engine(listener.top);
    native_listener.Position = to_engine(listener.position);

    F3DAUDIO_CONE cone{};
    F3DAUDIO_DISTANCE_CURVE_POINT points[maximum_curve_points]{};
    F3DAUDIO_DISTANCE_CURVE curve{points, 0};
    float azimuths[2] = {0.0f, 0.0f};
    F3DAUDIO_EMITTER native_emitter{};
    if (emitter.cone != nullptr) {
        cone = {emitter.cone->inner_angle,  emitter.cone->outer_angle,    emitter.cone->inner_volume,
                emitter.cone->outer_volume, emitter.cone->inner_low_pass, emitter.cone->outer_low_pass,
                emitter.cone->inner_reverb, emitter.cone->outer_reverb};
        native_emitter.pCone = &cone;
    }
    native_emitter.OrientFront = to_engine(emitter.front);
    native_emitter.OrientTop = to_engine(emitter.top);
    native_emitter.Position = to_engine(emitter.position);
    native_emitter.ChannelCount = emitter.channel_count;
    native_emitter.pChannelAzimuths = azimuths;
    if (emitter.volume_curve != nullptr && emitter.volume_curve_point_count >= 2) {
        curve.PointCount = emitter.volume_curve_point_count < maximum_curve_points ? emitter.volume_curve_point_count
                                                                                   : maximum_curve_points;
        for (uint32_t i = 0; i < curve.PointCount; ++i) {
            points[i] = {emitter.volume_curve[i].distance, emitter.volume_curve[i].level};
        }
        native_emitter.pVolumeCurve = &curve;
    }
    native_emitter.CurveDistanceScaler = emitter.curve_distance_scaler;
    native_emitter.DopplerScaler = emitter.doppler_scaler;

    F3DAUDIO_DSP_SETTINGS dsp{};
    dsp.pMatrixCoefficients = settings.matrix;
    dsp.SrcChannelCount = settings.source_channels;
    dsp.DstChannelCount = settings.destination_channels;
    F3DAudioCalculate(instance.handle, &native_listener, &native_emitter, flags, &dsp);
    settings.reverb_level = dsp.ReverbLevel;
}

}  // namespace zolt::platform
