#pragma once
// A playback slot binds one sound entity to one output voice while the
// entity holds a voice: it starts the wave, keeps Vorbis waves decoded about
// a second ahead, ends loops when the entity is released, applies fades and
// volumes, mirrors the category's pause and reports the end. The manager
// owns 128 of them. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/sound/resources/vorbis_memory_stream.h"

namespace zolt::sound {

class SoundEntity;

namespace slot_state {
constexpr uint8_t started = 0, running = 1, finished = 2;
}

constexpr float vorbis_lead_seconds = 1.0f;

class SoundVoiceSlot {
public:
    // False when the wave cannot play (refused Vorbis data, no free voice).
    bool start(SoundEntity& entity);
    void release();
    void update();
    float get_position() const;

    bool is_free() const { return owner_ == 0 && voice_ < 0; }
    core::ObjectHandle get_owner() const { return owner_; }
    uint8_t get_state() const { return state_; }
    int32_t get_voice() const { return voice_; }
    float get_queued_seconds() const { return queued_seconds_; }

private:
    void refill(const SoundEntity& entity, float position);

    core::ObjectHandle owner_ = 0;
    VorbisMemoryStream stream_;
    uint8_t state_ = slot_state::started;
    int32_t voice_ = -1;
    bool loops_ = false;
    bool last_paused_ = true;
    float release_position_ = 0.0f;
    bool fading_in_ = false;
    bool released_ = false;
    bool is_vorbis_ = false;
    bool stream_ended_ = false;
    float queued_seconds_ = 0.0f;
};

}  // namespace zolt::sound
