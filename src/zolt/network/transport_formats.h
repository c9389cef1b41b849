#pragma once
// How script messages and object properties travel. A transport format (32
// bits) says how one property goes: kind in bits 0-15, a bit count n in
// 16-21, fraction bits p in 22-27 and the components of vector kinds in
// 28-31 (x, y, z, w). A message format is an ordered list of (property id,
// transport format) pairs that scripts define at run time; the 127 formats
// share one array of 1024 pairs. Format 127 is the generic form, which
// carries an object's whole property dictionary.
//
// Writing uses data the scripts made, so a property that is missing or of
// the wrong kind is a fatal error; reading uses data a peer sent, so every
// shortage of bits, bad handle or refused value only answers false and the
// link fails. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/object_server/property.h"
#include "zolt/network/connection.h"

namespace zolt::core {
class ServerObject;
}  // namespace zolt::core

namespace zolt::network {

using core::ObjectHandle;
using core::Property;
using core::ServerObject;

enum class TransportKind : uint32_t {
    boolean = 0,
    unsigned_integer = 1,
    signed_integer = 2,
    floating = 3,
    quantised_float = 4,
    float_vector = 5,
    quantised_vector = 6,
    object_handle = 7,
    string = 8,
};

constexpr uint32_t message_format_count = 127;
constexpr uint32_t generic_message_format = 127;
constexpr uint32_t format_pair_capacity = 1024;
// Strings longer than this are cut by the writer; the reader refuses them.
constexpr uint32_t transport_string_length_limit = 254;

constexpr uint32_t get_transport_kind(uint32_t format) {
    return format & 0xFFFFu;
}
constexpr uint32_t get_transport_bits(uint32_t format) {
    return (format >> 16) & 63u;
}
constexpr uint32_t get_transport_fraction_bits(uint32_t format) {
    return (format >> 22) & 63u;
}
constexpr uint32_t get_transport_component_mask(uint32_t format) {
    return format >> 28;
}
constexpr uint32_t make_transport_format(TransportKind kind, uint32_t n, uint32_t p = 0, uint32_t mask = 0) {
    return static_cast<uint32_t>(kind) | (n & 63u) << 16 | (p & 63u) << 22 | (mask & 15u) << 28;
}

struct SizeRange {
    uint32_t minimum;
    uint32_t maximum;
};

struct MessageFormat {
    bool active = false;
    uint32_t implied_type = 0;
    uint32_t first_pair = 0;
    uint32_t pair_count = 0;
    uint32_t minimum_bits = 0;
    uint32_t maximum_bits = 0;
};

struct FormatPair {
    uint32_t property_id;
    uint32_t transport_format;
};

class TransportFormatManager {
public:
    // Builtin 287; a format outside 0-126 is ignored.
    void begin_format(uint32_t format, uint32_t implied_type);
    // Builtin 288; ignored with no format being defined or the array full.
    void add_pair(uint32_t property_id, uint32_t transport_format);
    // Builtin 289.
    void end_format();
    // Builtin 290.
    void release_format(uint32_t format);
    // Builtin 291.
    void clear_formats();

    const MessageFormat& get_format(uint32_t format) const { return formats_[format]; }
    uint32_t get_pair_fill_count() const { return pair_count_; }
    const FormatPair& get_pair(uint32_t index) const { return pairs_[index]; }
    // Whether a message of that type goes without its type word.
    bool is_type_implied(uint32_t format, uint32_t message_type) const;

    // The body of a user message: target, type unless implied, properties,
    // padding. On failure the stream is as it was before the call.
    bool serialize_message(NetworkStream& stream, uint32_t format, uint32_t message_type, ObjectHandle target,
                           const ServerObject& source) const;
    bool serialize_object(NetworkStream& stream, uint32_t format, const ServerObject& object) const;
    static bool serialize_property(NetworkStream& stream, uint32_t transport_format, const Property& property);
    bool deserialize_object(uint32_t format, ServerObject& object, NetworkStream& stream) const;
    static bool deserialize_property(ServerObject& object, NetworkStream& stream, uint32_t property_id,
                                     uint32_t transport_format);

    static bool write_handle(NetworkStream& stream, ObjectHandle handle);
    // False for a type of no registered server or an index past its capacity.
    static bool read_handle(NetworkStream& stream, ObjectHandle* handle);
    static SizeRange get_property_format_size_range(uint32_t transport_format);
    // The property's components as floats; the count of them.
    static uint32_t store_multicomponent_property(const Property& property, float components[4]);
    static Property retrieve_multicomponent_property(const float components[4], uint32_t value_type);

private:
    void remove_pairs(uint32_t format);

    MessageFormat formats_[message_format_count];
    FormatPair pairs_[format_pair_capacity] = {};
    uint32_t pair_count_ = 0;
    // The format being defined, or message_format_count for none.
    uint32_t current_format_ = message_format_count;
};

extern TransportFormatManager transport_formats;

}  // namespace zolt::network
