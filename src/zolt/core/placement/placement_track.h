#pragma once
// Keyframe tracks: a placement driven by timed positions and rotations.
// Keyframes come from two fixed pools (positions, rotations) and sit in
// time-ordered rings linked by 32-bit pool indices; each list remembers its
// last sample so that a track sampled at the same time again, or a little
// later, costs little. Times are on the scripts' time base and compared by
// signed difference. Main thread only.
#include <cstdint>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"
#include "libs/utility/fixed_memory_pool.h"

namespace zolt::core {

class Placement;

constexpr uint32_t keyframe_track_capacity = 1000;
constexpr uint32_t keyframe_pool_capacity = 100000;
constexpr uint32_t maximum_extrapolation_limit = 6000000;
constexpr uint32_t no_keyframe = 0xFFFFFFFF;

// a before b, by signed difference.
constexpr bool is_time_before(uint32_t a, uint32_t b) {
    return static_cast<int32_t>(a - b) < 0;
}

struct alignas(16) Keyframe {
    float value[4];
    uint32_t time;
    uint32_t next;
    uint32_t previous;
    uint32_t unused;
};

// A fixed pool of keyframes handed out last freed first.
class KeyframePool {
public:
    KeyframePool() : pool_(keyframes_, sizeof(Keyframe), keyframe_pool_capacity) {}
    KeyframePool(const KeyframePool&) = delete;
    KeyframePool& operator=(const KeyframePool&) = delete;

    bool has_free_keyframe() const { return pool_.has_free_block(); }
    // The pool must have a free keyframe.
    uint32_t take() {
        return static_cast<uint32_t>(static_cast<Keyframe*>(pool_.allocate(sizeof(Keyframe))) - keyframes_);
    }
    void give_back(uint32_t index) { pool_.free(&keyframes_[index]); }
    Keyframe& operator[](uint32_t index) { return keyframes_[index]; }
    const Keyframe& operator[](uint32_t index) const { return keyframes_[index]; }

private:
    Keyframe keyframes_[keyframe_pool_capacity];
    FixedMemoryPoolBase pool_;
};

// One time-ordered ring of keyframes and its last sample.
struct KeyframeList {
    uint32_t head = no_keyframe;
    uint32_t last_sample_time = 0;
    // no_keyframe also when the cached sample is not to be trusted.
    uint32_t last_found = no_keyframe;
    alignas(16) float last_value[4] = {};

    bool is_empty() const { return head == no_keyframe; }
    uint32_t get_tail(const KeyframePool& pool) const {
        return head == no_keyframe ? no_keyframe : pool[head].previous;
    }
    uint32_t count(const KeyframePool& pool) const;
    // The keyframe with the largest time not after the given one, searched
    // from the last one found; no_keyframe when the time is before them all.
    uint32_t find(const KeyframePool& pool, uint32_t time) const;
    // Replaces the keyframe with exactly this time, else inserts one in time
    // order; nothing (false) when the pool is empty.
    bool write(KeyframePool& pool, uint32_t time, const float* value);
    // Answer whether any keyframe went back to the pool.
    bool drop_before(KeyframePool& pool, uint32_t time);
    bool drop_after(KeyframePool& pool, uint32_t time);
    bool drop_all(KeyframePool& pool);
    void forget_sample() { last_found = no_keyframe; }

private:
    void remove(KeyframePool& pool, uint32_t index);
};

class KeyframeTrack {
public:
    // The pose used while a list is empty is the owner's pose at creation.
    void initialize(Placement* owner, const geometry::Vector3& position, const geometry::Quaternion& rotation);

    geometry::Vector3 sample_position(const KeyframePool& pool, uint32_t playback_time);
    geometry::Quaternion sample_rotation(const KeyframePool& pool, uint32_t playback_time);
    void forget_samples() {
        positions.forget_sample();
        rotations.forget_sample();
    }

    Placement* owner = nullptr;
    int32_t time_offset = 0;
    uint32_t maximum_extrapolation = 0;
    geometry::Vector3 base_position;
    geometry::Quaternion base_rotation;
    KeyframeList positions;
    KeyframeList rotations;
    // The server's ring of tracks.
    KeyframeTrack* next = this;
    KeyframeTrack* previous = this;
};

}  // namespace zolt::core
