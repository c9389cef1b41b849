#pragma once
// The placement server (type 17): 15000 placements, the pools of keyframe
// tracks and keyframes, the ring of tracks, and the two track clocks: the
// playback time tracks are sampled at and the record time keyframes are
// written at. Registering creates the root placement at alias slot 11;
// start (a restart before a load) only registers. Main thread only.
#include <cstdint>

#include "libs/utility/fixed_memory_pool.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/placement/placement.h"
#include "zolt/core/placement/placement_track.h"

namespace zolt::core {

class PlacementServer final : public PooledServer<Placement, placement_capacity> {
public:
    PlacementServer() : PooledServer(server_type::placement) {}

    const char* get_name() const override { return "PlacementServer"; }
    void register_server() override;
    void start() override;
    // The objects, then parent and copy-source pairs, then the track clocks
    // and the tracks with their keyframes.
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    Placement* create_placement() { return static_cast<Placement*>(create_object_internal(0)); }

    uint32_t get_playback_time() const { return playback_time_; }
    // Every tracked placement samples again; answers the previous time.
    uint32_t set_playback_time(uint32_t time);
    uint32_t get_record_time() const { return record_time_; }
    uint32_t set_record_time(uint32_t time);

    KeyframePool& get_position_keyframes() { return position_keyframes_; }
    KeyframePool& get_rotation_keyframes() { return rotation_keyframes_; }
    bool has_free_track() const { return tracks_.has_free_block(); }
    // Null when the pool is empty.
    KeyframeTrack* take_track(Placement* owner, const geometry::Vector3& position,
                              const geometry::Quaternion& rotation);
    // Gives its keyframes back too.
    void give_back_track(KeyframeTrack* track);
    // The tracks in the order they were taken.
    template <typename Visit>
    void for_each_track(Visit visit) {
        for (KeyframeTrack* track = track_ring_; track != nullptr;) {
            KeyframeTrack* const next = track->next != track_ring_ ? track->next : nullptr;
            visit(track);
            track = next;
        }
    }

    // A new mark for a walk over placements that visits each one once.
    uint32_t take_visit_mark();

private:
    void reset_track_clocks();
    void save_tracks(storage::SaveStream& stream);
    bool load_links(storage::LoadStream& stream);
    bool load_tracks(storage::LoadStream& stream);

    FixedMemoryPool<sizeof(KeyframeTrack), keyframe_track_capacity> tracks_;
    KeyframePool position_keyframes_;
    KeyframePool rotation_keyframes_;
    KeyframeTrack* track_ring_ = nullptr;
    uint32_t playback_time_ = 0;
    uint32_t record_time_ = 0;
    uint32_t visit_mark_ = 0;
};

extern PlacementServer placement_server;

}  // namespace zolt::core
