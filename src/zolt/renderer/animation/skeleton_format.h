#pragma once
// The skeleton resource, read in place: bones then factors as channels, a
// key table for binding animations by key, one channel record and one rest
// record per channel, and one bind matrix per bone. The engine checks a
// resource with check_skeleton_resource before it trusts any index; the
// content builder writes one with build_skeleton_resource.
#include <cstdint>
#include <string>
#include <vector>

#include "libs/geometry/matrix.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::animation {

constexpr uint32_t skeleton_header_size = 24;
constexpr uint32_t skeleton_key_entry_size = 8;
constexpr uint32_t skeleton_channel_record_size = 12;
constexpr uint32_t skeleton_rest_record_size = 28;
constexpr uint32_t skeleton_bind_matrix_size = 64;
// The channel block and the pose buffer hold this many channels and bones.
constexpr uint32_t maximum_skeleton_channels = 128;
constexpr uint32_t maximum_skeleton_bones = 128;
constexpr uint32_t no_parent = 255;
// Factor kinds that feed the animated-factor slots 0 to 8.
constexpr uint32_t first_uploaded_factor_kind = 2;
constexpr uint32_t last_uploaded_factor_kind = 10;

struct SkeletonHeader {
    uint32_t bone_count;
    uint32_t factor_count;
    uint32_t key_table_offset;
    uint32_t channel_table_offset;
    uint32_t rest_table_offset;
    uint32_t bind_table_offset;

    uint32_t channel_count() const { return bone_count + factor_count; }
};

struct KeyEntry {
    uint32_t key;
    uint32_t channel;
};

struct ChannelRecord {
    uint32_t parent;
    uint32_t attribute;
    uint32_t kind;
};

// A bone's rest transform; a factor's default is position.x.
struct RestRecord {
    geometry::Vector3 position;
    geometry::Quaternion rotation;
};

// A checked resource and its header, read once.
struct SkeletonView {
    const uint8_t* data = nullptr;
    SkeletonHeader header{};
};

SkeletonHeader read_skeleton_header(const uint8_t* data);
KeyEntry read_skeleton_key(const uint8_t* data, const SkeletonHeader& header, uint32_t index);
ChannelRecord read_channel_record(const uint8_t* data, const SkeletonHeader& header, uint32_t channel);
RestRecord read_rest_record(const uint8_t* data, const SkeletonHeader& header, uint32_t channel);
float read_factor_default(const uint8_t* data, const SkeletonHeader& header, uint32_t channel);
geometry::Matrix4 read_bind_matrix(const uint8_t* data, const SkeletonHeader& header, uint32_t bone);

// False, with a message naming the resource id and what does not fit, when
// a table runs past the resource, the counts exceed the limits, the key
// table is not strictly ascending or names a channel that does not exist,
// a bone's parent is not a bone, or the parent links make a cycle.
bool check_skeleton_resource(uint32_t id, const uint8_t* data, uint32_t size, std::string* error);

struct SkeletonChannelDescription {
    uint32_t key = 0;
    uint32_t parent = no_parent;
    uint32_t attribute = 0;
    uint32_t kind = 0;
    RestRecord rest{};  // a factor's default in rest.position.x
};

// Bones first, then factors; one bind matrix per bone. Keys are written in
// ascending order whatever the order of the channels.
bool build_skeleton_resource(const std::vector<SkeletonChannelDescription>& bones,
                             const std::vector<SkeletonChannelDescription>& factors,
                             const std::vector<geometry::Matrix4>& bind_matrices, std::vector<uint8_t>* out,
                             std::string* error);

}  // namespace zolt::animation
