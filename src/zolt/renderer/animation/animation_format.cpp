#include "zolt/renderer/animation/animation_format.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "libs/io/little_endian_fields.h"

namespace zolt::animation {
namespace {

struct KeyPair {
    uint32_t key;
    uint32_t channel;
};

bool fail(std::string* error, uint32_t id, const char* what, int64_t index = -1) {
    if (error != nullptr) {
        char text[160];
        if (index >= 0) {
            std::snprintf(text, sizeof text, "animation 0x%08" PRIx32 ": %s %" PRId64, id, what, index);
        } else {
            std::snprintf(text, sizeof text, "animation 0x%08" PRIx32 ": %s", id, what);
        }
        *error = text;
    }
    return false;
}

uint32_t position_constant_index(const AnimationChannel& channel) {
    return channel.constant_index;
}

uint32_t rotation_constant_index(const AnimationChannel& channel) {
    return channel.constant_index + (channel.has_constant_position() ? 3u : 0u);
}

uint32_t rotation_frame_index(const AnimationChannel& channel) {
    return channel.frame_index + (channel.has_constant_position() ? 0u : 3u);
}

float read_constant(const AnimationView& view, uint32_t index) {
    return read_field<float>(view.data, view.header.constant_offset + index * 4);
}

float read_frame_value(const AnimationView& view, uint32_t frame, uint32_t index) {
    return read_field<float>(view.data, view.header.frame_offset + (frame * view.header.stride + index) * 4);
}

geometry::Quaternion rebuild_rotation(float x, float y, float z) {
    return {x, y, z, std::sqrt(std::fabs(1.0f - (x * x + y * y + z * z)))};
}

}  // namespace

AnimationHeader read_animation_header(const uint8_t* data) {
    AnimationHeader header;
    header.duration = read_field<uint32_t>(data, 0);
    header.reported_word = read_field<uint32_t>(data, 4);
    header.key_count = read_field<uint32_t>(data, 8);
    header.frame_count = read_field<uint32_t>(data, 12);
    header.stride = read_field<uint32_t>(data, 16);
    header.event_count = read_field<uint32_t>(data, 24);
    header.key_table_offset = read_field<uint32_t>(data, 28);
    header.channel_table_offset = read_field<uint32_t>(data, 32);
    header.constant_offset = read_field<uint32_t>(data, 36);
    header.frame_offset = read_field<uint32_t>(data, 40);
    header.event_table_offset = read_field<uint32_t>(data, 44);
    return header;
}

uint32_t read_animation_key(const AnimationView& view, uint32_t index) {
    return read_field<uint32_t>(view.data, view.header.key_table_offset + index * animation_key_entry_size);
}

uint32_t read_animation_key_channel(const AnimationView& view, uint32_t index) {
    return read_field<uint32_t>(view.data, view.header.key_table_offset + index * animation_key_entry_size + 4);
}

AnimationChannel read_animation_channel(const AnimationView& view, uint32_t channel) {
    const uint32_t at = view.header.channel_table_offset + channel * animation_channel_entry_size;
    return {read_field<uint16_t>(view.data, at), read_field<uint8_t>(view.data, at + 2),
            read_field<uint16_t>(view.data, at + 4), read_field<uint16_t>(view.data, at + 6)};
}

AnimationEvent read_animation_event(const AnimationView& view, uint32_t index) {
    const uint32_t at = view.header.event_table_offset + index * animation_event_size;
    return {read_field<uint32_t>(view.data, at),
            read_field<uint32_t>(view.data, at + 4),
            {read_field<uint32_t>(view.data, at + 8), read_field<uint32_t>(view.data, at + 12)}};
}

geometry::Vector3 read_channel_position(const AnimationView& view, const AnimationChannel& channel, uint32_t frame) {
    if (channel.has_constant_position()) {
        const uint32_t index = position_constant_index(channel);
        return {read_constant(view, index), read_constant(view, index + 1), read_constant(view, index + 2)};
    }
    const uint32_t index = channel.frame_index;
    return {read_frame_value(view, frame, index), read_frame_value(view, frame, index + 1),
            read_frame_value(view, frame, index + 2)};
}

geometry::Quaternion read_channel_rotation(const AnimationView& view, const AnimationChannel& channel, uint32_t frame) {
    if (channel.has_constant_rotation()) {
        const uint32_t index = rotation_constant_index(channel);
        return rebuild_rotation(read_constant(view, index), read_constant(view, index + 1),
                                read_constant(view, index + 2));
    }
    const uint32_t index = rotation_frame_index(channel);
    return rebuild_rotation(read_frame_value(view, frame, index), read_frame_value(view, frame, index + 1),
                            read_frame_value(view, frame, index + 2));
}

float read_channel_scalar(const AnimationView& view, const AnimationChannel& channel, uint32_t frame) {
    return channel.has_constant_position() ? read_constant(view, channel.constant_index)
                                           : read_frame_value(view, frame, channel.frame_index);
}

bool check_animation_resource(uint32_t id, const uint8_t* data, uint32_t size, std::string* error) {
    if (size < animation_header_size) {
        return fail(error, id, "shorter than its header");
    }
    const AnimationHeader header = read_animation_header(data);
    const AnimationView view{data, header};
    if (!fits_within(header.key_table_offset, header.key_count, animation_key_entry_size, size)) {
        return fail(error, id, "key table runs past the resource");
    }
    if (!fits_within(header.channel_table_offset, header.key_count, animation_channel_entry_size, size)) {
        return fail(error, id, "channel table runs past the resource");
    }
    if (!fits_within(header.event_table_offset, header.event_count, animation_event_size, size)) {
        return fail(error, id, "event table runs past the resource");
    }
    if (!fits_within(header.frame_offset, uint64_t{header.frame_count} * header.stride, 4, size)) {
        return fail(error, id, "frames run past the resource");
    }
    if (header.constant_offset > size) {
        return fail(error, id, "constants start past the resource");
    }
    const uint64_t constant_count = (size - header.constant_offset) / 4;
    for (uint32_t index = 0; index < header.key_count; ++index) {
        if (read_animation_key_channel(view, index) >= header.key_count) {
            return fail(error, id, "key table names a missing channel at entry", index);
        }
        if (index > 0 && read_animation_key(view, index - 1) >= read_animation_key(view, index)) {
            return fail(error, id, "key table is not in ascending key order at entry", index);
        }
    }
    for (uint32_t index = 0; index < header.key_count; ++index) {
        const AnimationChannel channel = read_animation_channel(view, index);
        if (channel.kind != bone_channel_kind && channel.kind != scalar_channel_kind) {
            return fail(error, id, "unknown kind of channel", index);
        }
        // Each value as {is constant, first index, width}.
        struct Span {
            bool constant;
            uint32_t first;
            uint32_t width;
        };
        Span spans[2];
        uint32_t span_count = 0;
        if (channel.is_bone()) {
            spans[span_count++] = {
                channel.has_constant_position(),
                channel.has_constant_position() ? position_constant_index(channel) : uint32_t{channel.frame_index}, 3};
            spans[span_count++] = {
                channel.has_constant_rotation(),
                channel.has_constant_rotation() ? rotation_constant_index(channel) : rotation_frame_index(channel), 3};
        } else {
            spans[span_count++] = {
                channel.has_constant_position(),
                channel.has_constant_position() ? uint32_t{channel.constant_index} : uint32_t{channel.frame_index}, 1};
        }
        for (uint32_t span = 0; span < span_count; ++span) {
            const uint64_t end = uint64_t{spans[span].first} + spans[span].width;
            if (spans[span].constant ? end > constant_count : end > header.stride) {
                return fail(error, id, "values run past their table for channel", index);
            }
            if (!spans[span].constant && header.frame_count == 0) {
                return fail(error, id, "no frame for the animated channel", index);
            }
        }
    }
    for (uint32_t index = 0; index < header.event_count; ++index) {
        const AnimationEvent event = read_animation_event(view, index);
        if (event.time > header.duration) {
            return fail(error, id, "event after the end of the animation at entry", index);
        }
        if (index > 0 && read_animation_event(view, index - 1).time > event.time) {
            return fail(error, id, "events are not in time order at entry", index);
        }
    }
    return true;
}

bool build_animation_resource(const AnimationDescription& description, std::vector<uint8_t>* out, std::string* error) {
    const uint32_t key_count = static_cast<uint32_t>(description.channels.size());
    const uint32_t frames = description.frame_count;
    std::vector<float> constants;
    std::vector<AnimationChannel> entries;
    uint32_t stride = 0;
    auto fits_frames = [&](size_t count, const char* what, uint32_t key) {
        if (count != 1 && count != frames) {
            *error = std::string(what) + " of the channel with key " + std::to_string(key) +
                     " needs one value or one per frame";
            return false;
        }
        return true;
    };
    for (const AnimationChannelDescription& channel : description.channels) {
        AnimationChannel entry{channel.is_bone ? bone_channel_kind : scalar_channel_kind, 0,
                               static_cast<uint16_t>(constants.size()), static_cast<uint16_t>(stride)};
        if (channel.is_bone) {
            if (!fits_frames(channel.positions.size(), "positions", channel.key) ||
                !fits_frames(channel.rotations.size(), "rotations", channel.key)) {
                return false;
            }
            const bool constant_position = channel.positions.size() == 1;
            const bool constant_rotation = channel.rotations.size() == 1;
            entry.flags =
                (constant_position ? constant_position_flag : 0) | (constant_rotation ? constant_rotation_flag : 0);
            if (constant_position) {
                constants.insert(constants.end(),
                                 {channel.positions[0].x, channel.positions[0].y, channel.positions[0].z});
            } else {
                stride += 3;
            }
            if (constant_rotation) {
                const geometry::Quaternion q = geometry::normalize(channel.rotations[0]);
                const float sign = q.w < 0 ? -1.0f : 1.0f;
                constants.insert(constants.end(), {q.x * sign, q.y * sign, q.z * sign});
            } else {
                stride += 3;
            }
            // A constant position and animated rotation start the rotation at
            // the frame index itself.
        } else {
            if (!fits_frames(channel.scalars.size(), "scalars", channel.key)) {
                return false;
            }
            if (channel.scalars.size() == 1) {
                entry.flags = constant_position_flag;
                constants.push_back(channel.scalars[0]);
            } else {
                stride += 1;
            }
        }
        entries.push_back(entry);
    }
    if (constants.size() > 0xFFFF || stride > 0xFFFF) {
        *error = "too many values for the channel table's 16-bit indices";
        return false;
    }
    std::vector<float> frame_values(size_t{frames} * stride, 0.0f);
    for (uint32_t index = 0; index < key_count; ++index) {
        const AnimationChannelDescription& channel = description.channels[index];
        const AnimationChannel& entry = entries[index];
        for (uint32_t frame = 0; frame < frames; ++frame) {
            float* values = frame_values.data() + size_t{frame} * stride + entry.frame_index;
            if (channel.is_bone) {
                if (!entry.has_constant_position()) {
                    *values++ = channel.positions[frame].x;
                    *values++ = channel.positions[frame].y;
                    *values++ = channel.positions[frame].z;
                }
                if (!entry.has_constant_rotation()) {
                    const geometry::Quaternion q = geometry::normalize(channel.rotations[frame]);
                    const float sign = q.w < 0 ? -1.0f : 1.0f;
                    *values++ = q.x * sign;
                    *values++ = q.y * sign;
                    *values++ = q.z * sign;
                }
            } else if (!entry.has_constant_position()) {
                *values = channel.scalars[frame];
            }
        }
    }
    std::vector<AnimationEvent> events = description.events;
    std::stable_sort(events.begin(), events.end(),
                     [](const AnimationEvent& a, const AnimationEvent& b) { return a.time < b.time; });

    auto align = [](uint64_t offset) { return (offset + 15u) & ~uint64_t{15}; };
    const uint64_t key_offset = align(animation_header_size);
    const uint64_t channel_offset = align(key_offset + uint64_t{key_count} * animation_key_entry_size);
    const uint64_t event_offset = align(channel_offset + uint64_t{key_count} * animation_channel_entry_size);
    const uint64_t frame_offset = align(event_offset + events.size() * animation_event_size);
    const uint64_t constant_offset = align(frame_offset + frame_values.size() * 4);
    const uint64_t total = constant_offset + constants.size() * 4;
    if (total > 0x7FFFFFFF) {
        *error = "the animation is too large";
        return false;
    }
    std::vector<uint8_t>& bytes = *out;
    bytes.assign(total, 0);
    const uint32_t header[12] = {description.duration,
                                 description.reported_word,
                                 key_count,
                                 frames,
                                 stride,
                                 0,
                                 static_cast<uint32_t>(events.size()),
                                 static_cast<uint32_t>(key_offset),
                                 static_cast<uint32_t>(channel_offset),
                                 static_cast<uint32_t>(constant_offset),
                                 static_cast<uint32_t>(frame_offset),
                                 static_cast<uint32_t>(event_offset)};
    std::memcpy(bytes.data(), header, sizeof header);

    std::vector<KeyPair> keys;
    for (uint32_t index = 0; index < key_count; ++index) {
        keys.push_back({description.channels[index].key, index});
    }
    std::sort(keys.begin(), keys.end(), [](const KeyPair& a, const KeyPair& b) { return a.key < b.key; });
    for (uint32_t index = 0; index < key_count; ++index) {
        if (index > 0 && keys[index - 1].key == keys[index].key) {
            *error = "two channels share the key " + std::to_string(keys[index].key);
            return false;
        }
        write_field(bytes, key_offset + index * animation_key_entry_size, keys[index].key);
        write_field(bytes, key_offset + index * animation_key_entry_size + 4, keys[index].channel);
        const AnimationChannel& entry = entries[index];
        const uint32_t at = channel_offset + index * animation_channel_entry_size;
        write_field(bytes, at, entry.kind);
        write_field(bytes, at + 2, entry.flags);
        write_field(bytes, at + 4, entry.constant_index);
        write_field(bytes, at + 6, entry.frame_index);
    }
    for (size_t index = 0; index < events.size(); ++index) {
        const AnimationEvent& event = events[index];
        const uint32_t words[4] = {event.time, event.id, event.data[0], event.data[1]};
        std::memcpy(bytes.data() + event_offset + index * animation_event_size, words, sizeof words);
    }
    if (!frame_values.empty()) {
        std::memcpy(bytes.data() + frame_offset, frame_values.data(), frame_values.size() * 4);
    }
    if (!constants.empty()) {
        std::memcpy(bytes.data() + constant_offset, constants.data(), constants.size() * 4);
    }
    // The engine's own check, without the id the resource does not have yet.
    if (!check_animation_resource(0, bytes.data(), static_cast<uint32_t>(total), error)) {
        error->erase(0, error->find(": ") + 2);
        return false;
    }
    return true;
}

}  // namespace zolt::animation
