#pragma once
// A motion (server type 51): up to four curves of a motion resource
// (motion_curve.h) played at a rate, read at its time as one float, a
// vector, a packed colour or a rotation. The values are evaluated on the
// first read after the time changed. Each channel keeps its own cursor, so
// a motion binds all four of its curves. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"
#include "zolt/core/script_objects/motion_curve.h"

namespace zolt::core {

constexpr uint32_t motion_channel_capacity = 4;
constexpr uint32_t motion_resource_base = 0x60000000;

namespace motion_property {
constexpr uint32_t time = 0x050000A3, duration = 0x050000A4, rate = 0x05000134;
}  // namespace motion_property

struct MotionCreation {
    uint32_t resource_id;
    uint32_t first_curve;
    uint32_t channel_count;
    bool is_looping;
};

// Bits 16-31 the resource (0x60000000 + n), 0-11 the first curve, 12-13 the
// channel count less one, 14 looping.
constexpr MotionCreation decode_motion_creation(uint32_t argument) {
    return {motion_resource_base + (argument >> 16), argument & 0xFFFu, ((argument >> 12) & 3u) + 1,
            ((argument >> 14) & 1u) != 0};
}

// 0 at or below 0, 255 at or above 1, the value times 255 cut between;
// alpha << 24 | red << 16 | green << 8 | blue.
uint32_t pack_motion_colour(const float (&channels)[motion_channel_capacity]);

class Motion final : public ServerObject {
public:
    // Opens the resource and binds the curves; a broken resource is fatal,
    // naming its id.
    void initialize(uint32_t argument) override;
    void finalize() override;
    // Handle, context handle, resource id, first curve, channel count,
    // looping byte, resource object, time, rate.
    void save(storage::SaveStream& stream) override;
    // Refuses a record whose fields are out of range or whose resource object
    // is not the open resource of its id.
    bool load(storage::LoadStream& stream) override;
    void resources_moved() override { bind_curves(); }
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;

    // Looping wraps into [0, duration), otherwise clamps to [0, duration];
    // a time that is not a number is ignored.
    void set_time(float time);
    void evaluate() const;

    float get_time() const { return time_; }
    float get_rate() const { return rate_; }
    void set_rate(float rate) { rate_ = rate; }
    float get_duration() const { return duration_; }
    float get_value(uint32_t channel) const {
        evaluate();
        return values_[channel];
    }
    // How often the curves were evaluated, for tests of the lazy reads.
    uint32_t get_evaluation_count() const { return evaluation_count_; }

private:
    void bind_curves();

    MotionCreation creation_{};
    ObjectHandle resource_handle_ = 0;
    float time_ = 0;
    float rate_ = 0;
    float duration_ = 0;
    bool has_cursor_[motion_channel_capacity] = {};
    // Reading a value evaluates it.
    mutable MotionCurveCursor cursors_[motion_channel_capacity];
    mutable float evaluated_time_ = -1;
    mutable float values_[motion_channel_capacity] = {};
    mutable uint32_t evaluation_count_ = 0;
};

}  // namespace zolt::core
