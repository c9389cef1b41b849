#include "zolt/renderer/animation/skeleton_format.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "libs/io/little_endian_fields.h"

namespace zolt::animation {
namespace {

bool fail(std::string* error, uint32_t id, const char* what, int64_t index = -1) {
    if (error != nullptr) {
        char text[160];
        if (index >= 0) {
            std::snprintf(text, sizeof text, "skeleton 0x%08" PRIx32 ": %s %" PRId64, id, what, index);
        } else {
            std::snprintf(text, sizeof text, "skeleton 0x%08" PRIx32 ": %s", id, what);
        }
        *error = text;
    }
    return false;
}

}  // namespace

SkeletonHeader read_skeleton_header(const uint8_t* data) {
    return {read_field<uint32_t>(data, 0),  read_field<uint32_t>(data, 4),  read_field<uint32_t>(data, 8),
            read_field<uint32_t>(data, 12), read_field<uint32_t>(data, 16), read_field<uint32_t>(data, 20)};
}

KeyEntry read_skeleton_key(const uint8_t* data, const SkeletonHeader& header, uint32_t index) {
    const uint32_t at = header.key_table_offset + index * skeleton_key_entry_size;
    return {read_field<uint32_t>(data, at), read_field<uint32_t>(data, at + 4)};
}

ChannelRecord read_channel_record(const uint8_t* data, const SkeletonHeader& header, uint32_t channel) {
    const uint32_t at = header.channel_table_offset + channel * skeleton_channel_record_size;
    return {read_field<uint32_t>(data, at), read_field<uint32_t>(data, at + 4), read_field<uint32_t>(data, at + 8)};
}

RestRecord read_rest_record(const uint8_t* data, const SkeletonHeader& header, uint32_t channel) {
    const uint32_t at = header.rest_table_offset + channel * skeleton_rest_record_size;
    RestRecord record;
    record.position = {read_field<float>(data, at), read_field<float>(data, at + 4), read_field<float>(data, at + 8)};
    record.rotation = {read_field<float>(data, at + 12), read_field<float>(data, at + 16),
                       read_field<float>(data, at + 20), read_field<float>(data, at + 24)};
    return record;
}

float read_factor_default(const uint8_t* data, const SkeletonHeader& header, uint32_t channel) {
    return read_field<float>(data, header.rest_table_offset + channel * skeleton_rest_record_size);
}

geometry::Matrix4 read_bind_matrix(const uint8_t* data, const SkeletonHeader& header, uint32_t bone) {
    const uint32_t at = header.bind_table_offset + bone * skeleton_bind_matrix_size;
    geometry::Matrix4 matrix;
    for (uint32_t row = 0; row < 4; ++row) {
        const uint32_t start = at + row * 16;
        matrix.rows[row] = {read_field<float>(data, start), read_field<float>(data, start + 4),
                            read_field<float>(data, start + 8), read_field<float>(data, start + 12)};
    }
    return matrix;
}

bool check_skeleton_resource(uint32_t id, const uint8_t* data, uint32_t size, std::string* error) {
    if (size < skeleton_header_size) {
        return fail(error, id, "shorter than its header");
    }
    const SkeletonHeader header = read_skeleton_header(data);
    if (header.bone_count > maximum_skeleton_bones) {
        return fail(error, id, "too many bones:", header.bone_count);
    }
    if (header.factor_count > maximum_skeleton_channels || header.channel_count() > maximum_skeleton_channels) {
        return fail(error, id, "too many channels:", uint64_t{header.bone_count} + header.factor_count);
    }
    const uint32_t channels = header.channel_count();
    if (!fits_within(header.key_table_offset, channels, skeleton_key_entry_size, size)) {
        return fail(error, id, "key table runs past the resource");
    }
    if (!fits_within(header.channel_table_offset, channels, skeleton_channel_record_size, size)) {
        return fail(error, id, "channel records run past the resource");
    }
    if (!fits_within(header.rest_table_offset, channels, skeleton_rest_record_size, size)) {
        return fail(error, id, "rest records run past the resource");
    }
    if (!fits_within(header.bind_table_offset, header.bone_count, skeleton_bind_matrix_size, size)) {
        return fail(error, id, "bind matrices run past the resource");
    }
    bool channel_keyed[maximum_skeleton_channels] = {};
    for (uint32_t index = 0; index < channels; ++index) {
        const KeyEntry entry = read_skeleton_key(data, header, index);
        if (entry.channel >= channels) {
            return fail(error, id, "key table names a missing channel at entry", index);
        }
        if (channel_keyed[entry.channel]) {
            return fail(error, id, "key table names a channel twice at entry", index);
        }
        channel_keyed[entry.channel] = true;
        if (index > 0 && read_skeleton_key(data, header, index - 1).key >= entry.key) {
            return fail(error, id, "key table is not in ascending key order at entry", index);
        }
    }
    for (uint32_t bone = 0; bone < header.bone_count; ++bone) {
        const uint32_t parent = read_channel_record(data, header, bone).parent;
        if (parent != no_parent && parent >= header.bone_count) {
            return fail(error, id, "parent is not a bone for bone", bone);
        }
    }
    // A walk up from any bone that takes more steps than there are bones
    // has gone round a cycle.
    for (uint32_t bone = 0; bone < header.bone_count; ++bone) {
        uint32_t current = read_channel_record(data, header, bone).parent;
        for (uint32_t steps = 0; current != no_parent; ++steps) {
            if (steps >= header.bone_count) {
                return fail(error, id, "parent links make a cycle through bone", bone);
            }
            current = read_channel_record(data, header, current).parent;
        }
    }
    return true;
}

bool build_skeleton_resource(const std::vector<SkeletonChannelDescription>& bones,
                             const std::vector<SkeletonChannelDescription>& factors,
                             const std::vector<geometry::Matrix4>& bind_matrices, std::vector<uint8_t>* out,
                             std::string* error) {
    const uint32_t bone_count = static_cast<uint32_t>(bones.size());
    const uint32_t channel_count = static_cast<uint32_t>(bones.size() + factors.size());
    if (bones.size() > maximum_skeleton_bones || bones.size() + factors.size() > maximum_skeleton_channels) {
        *error = "too many channels for a skeleton";
        return false;
    }
    if (bind_matrices.size() != bones.size()) {
        *error = "one bind matrix per bone is needed";
        return false;
    }
    std::vector<const SkeletonChannelDescription*> channels;
    for (const auto& bone : bones) {
        channels.push_back(&bone);
    }
    for (const auto& factor : factors) {
        channels.push_back(&factor);
    }
    // Tables start on 16-byte boundaries so the bind matrices can be read as
    // whole vectors.
    auto align = [](uint32_t offset) { return (offset + 15u) & ~15u; };
    const uint32_t key_offset = align(skeleton_header_size);
    const uint32_t channel_offset = align(key_offset + channel_count * skeleton_key_entry_size);
    const uint32_t rest_offset = align(channel_offset + channel_count * skeleton_channel_record_size);
    const uint32_t bind_offset = align(rest_offset + channel_count * skeleton_rest_record_size);
    const uint32_t total = bind_offset + bone_count * skeleton_bind_matrix_size;
    std::vector<uint8_t>& bytes = *out;
    bytes.assign(total, 0);
    const uint32_t header[] = {
        bone_count, static_cast<uint32_t>(factors.size()), key_offset, channel_offset, rest_offset, bind_offset};
    std::memcpy(bytes.data(), header, sizeof header);

    std::vector<KeyEntry> keys;
    for (uint32_t channel = 0; channel < channel_count; ++channel) {
        keys.push_back({channels[channel]->key, channel});
    }
    std::sort(keys.begin(), keys.end(), [](const KeyEntry& a, const KeyEntry& b) { return a.key < b.key; });
    for (uint32_t index = 0; index < channel_count; ++index) {
        if (index > 0 && keys[index - 1].key == keys[index].key) {
            *error = "two channels share the key " + std::to_string(keys[index].key);
            return false;
        }
        write_field(bytes, key_offset + index * skeleton_key_entry_size, keys[index].key);
        write_field(bytes, key_offset + index * skeleton_key_entry_size + 4, keys[index].channel);
    }
    for (uint32_t channel = 0; channel < channel_count; ++channel) {
        const SkeletonChannelDescription& description = *channels[channel];
        const uint32_t at = channel_offset + channel * skeleton_channel_record_size;
        write_field(bytes, at, channel < bone_count ? description.parent : no_parent);
        write_field(bytes, at + 4, description.attribute);
        write_field(bytes, at + 8, description.kind);
        const uint32_t rest = rest_offset + channel * skeleton_rest_record_size;
        const RestRecord& record = description.rest;
        const float values[7] = {record.position.x, record.position.y, record.position.z, record.rotation.x,
                                 record.rotation.y, record.rotation.z, record.rotation.w};
        std::memcpy(bytes.data() + rest, values, channel < bone_count ? sizeof values : sizeof(float));
    }
    for (uint32_t bone = 0; bone < bone_count; ++bone) {
        const geometry::Matrix4& matrix = bind_matrices[bone];
        for (uint32_t row = 0; row < 4; ++row) {
            const float values[4] = {matrix.rows[row].x, matrix.rows[row].y, matrix.rows[row].z, matrix.rows[row].w};
            std::memcpy(bytes.data() + bind_offset + bone * skeleton_bind_matrix_size + row * 16, values,
                        sizeof values);
        }
    }
    // The engine's own check, without the id the resource does not have yet.
    if (!check_skeleton_resource(0, bytes.data(), total, error)) {
        error->erase(0, error->find(": ") + 2);
        return false;
    }
    return true;
}

}  // namespace zolt::animation
