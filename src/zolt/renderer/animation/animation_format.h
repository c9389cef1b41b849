#pragma once
// The animation resource, read in place: a key table that binds animation
// channels to skeleton channels by key, one channel entry per key telling
// where its values lie, constant values, N frames of stride values, and
// events in time order. Rotations are stored as x, y, z with w >= 0 rebuilt
// on reading. The engine checks a resource with check_animation_resource
// before it trusts any index; the content builder writes one with
// build_animation_resource.
#include <cstdint>
#include <string>
#include <vector>

#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::animation {

constexpr uint32_t animation_header_size = 48;
constexpr uint32_t animation_key_entry_size = 8;
constexpr uint32_t animation_channel_entry_size = 8;
constexpr uint32_t animation_event_size = 16;
constexpr uint16_t scalar_channel_kind = 0;
constexpr uint16_t bone_channel_kind = 1;
constexpr uint8_t constant_position_flag = 1;  // also marks a constant scalar
constexpr uint8_t constant_rotation_flag = 2;
// The event every animation posts when it reaches its end.
constexpr uint32_t animation_end_event = 1;

struct AnimationHeader {
    uint32_t duration;
    uint32_t reported_word;
    uint32_t key_count;
    uint32_t frame_count;
    uint32_t stride;
    uint32_t event_count;
    uint32_t key_table_offset;
    uint32_t channel_table_offset;
    uint32_t constant_offset;
    uint32_t frame_offset;
    uint32_t event_table_offset;
};

struct AnimationChannel {
    uint16_t kind;
    uint8_t flags;
    uint16_t constant_index;
    uint16_t frame_index;

    bool is_bone() const { return kind == bone_channel_kind; }
    bool has_constant_position() const { return (flags & constant_position_flag) != 0; }
    bool has_constant_rotation() const { return (flags & constant_rotation_flag) != 0; }
};

struct AnimationEvent {
    uint32_t time;
    uint32_t id;
    uint32_t data[2];
};

// A checked resource and its header, read once.
struct AnimationView {
    const uint8_t* data = nullptr;
    AnimationHeader header{};
};

AnimationHeader read_animation_header(const uint8_t* data);
uint32_t read_animation_key(const AnimationView& view, uint32_t index);
uint32_t read_animation_key_channel(const AnimationView& view, uint32_t index);
AnimationChannel read_animation_channel(const AnimationView& view, uint32_t channel);
AnimationEvent read_animation_event(const AnimationView& view, uint32_t index);

// Values of one channel: the constant, or the value in the given frame.
geometry::Vector3 read_channel_position(const AnimationView& view, const AnimationChannel& channel, uint32_t frame);
geometry::Quaternion read_channel_rotation(const AnimationView& view, const AnimationChannel& channel, uint32_t frame);
float read_channel_scalar(const AnimationView& view, const AnimationChannel& channel, uint32_t frame);

// False, with a message naming the resource id and what does not fit, when
// a table runs past the resource, the key table is not strictly ascending
// or names a channel beyond the key count, a channel's kind is unknown or
// its values lie outside the constants or the frame stride, an animated
// channel has no frame, or the events are not in time order within the
// duration.
bool check_animation_resource(uint32_t id, const uint8_t* data, uint32_t size, std::string* error);

struct AnimationChannelDescription {
    uint32_t key = 0;
    bool is_bone = true;
    // One value: constant; otherwise one value per frame.
    std::vector<geometry::Vector3> positions;
    std::vector<geometry::Quaternion> rotations;
    std::vector<float> scalars;
};

struct AnimationDescription {
    uint32_t duration = 0;
    uint32_t reported_word = 0;
    uint32_t frame_count = 0;
    std::vector<AnimationChannelDescription> channels;
    std::vector<AnimationEvent> events;
};

// Channels are numbered in the order given; keys are written ascending.
// Rotations are normalised and turned to w >= 0 before their w is dropped.
bool build_animation_resource(const AnimationDescription& description, std::vector<uint8_t>* out, std::string* error);

}  // namespace zolt::animation
