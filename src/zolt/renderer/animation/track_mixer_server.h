#pragma once
// The track mixer server (type 42, 5000 mixers). A new slot is a group
// mixer. Saving adds, after the mixers, every parent with its children in
// ring order, so that loading rebuilds each tree in the order it had.
// Mixers have no render side and are freed at once. Main thread only.
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/renderer/animation/track_mixer.h"

namespace zolt::animation {

class TrackMixerServer final : public core::PooledServer<TrackMixer, track_mixer_capacity> {
public:
    TrackMixerServer() : PooledServer(track_mixer_server_type) {}

    const char* get_name() const override { return "TrackMixerServer"; }
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    TrackMixer* create_track_mixer(core::ObjectHandle skeleton) {
        return static_cast<TrackMixer*>(create_object_internal(skeleton));
    }
    // Null unless the handle names a live track mixer.
    TrackMixer* find_track_mixer(core::ObjectHandle handle) {
        return is_registered() ? get_typed_object(handle) : nullptr;
    }
};

extern TrackMixerServer track_mixer_server;

}  // namespace zolt::animation
