#include "zolt/network/transport_formats.h"

#include <cmath>
#include <cstring>

#include "libs/utility/fatal_error.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/game_server.h"

namespace zolt::network {

TransportFormatManager transport_formats;

namespace {

constexpr uint32_t handle_type_bits = 6;
constexpr uint32_t handle_generation_bits = 6;

uint32_t float_bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float bits_float(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

uint32_t count_components(uint32_t mask) {
    return static_cast<uint32_t>(__builtin_popcount(mask & 15u));
}

uint32_t low_mask(uint32_t n) {
    return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1u;
}

// The smallest w with 2^w >= capacity.
uint32_t index_bits_for(uint32_t capacity) {
    uint32_t bits = 0;
    while (bits < 20 && (1u << bits) < capacity) {
        ++bits;
    }
    return bits;
}

uint32_t quantise(float value, uint32_t n, uint32_t p) {
    const uint32_t largest = low_mask(n % 32);
    const double scaled = std::fabs(static_cast<double>(value)) * std::ldexp(1.0, static_cast<int>(p % 32));
    if (std::isnan(scaled)) {
        return 0;
    }
    return scaled >= static_cast<double>(largest) ? largest : static_cast<uint32_t>(scaled);
}

bool write_quantised(NetworkStream& stream, float value, uint32_t n, uint32_t p) {
    return stream.write_bits(1, value < 0.0f ? 1 : 0) && stream.write_bits(n % 32, quantise(value, n, p));
}

bool read_quantised(NetworkStream& stream, uint32_t n, uint32_t p, float* value) {
    uint32_t sign = 0;
    uint32_t magnitude = 0;
    if (!stream.read_checked(1, &sign) || !stream.read_checked(n % 32, &magnitude)) {
        return false;
    }
    const float number = static_cast<float>(std::ldexp(static_cast<double>(magnitude), -static_cast<int>(p % 32)));
    *value = sign != 0 ? -number : number;
    return true;
}

uint32_t vector_component_count(uint32_t value_type) {
    switch (value_type) {
    case core::property_type::vector2:
        return 2;
    case core::property_type::vector3:
        return 3;
    case core::property_type::vector4:
    case core::property_type::quaternion:
    case core::property_type::vector4_other:
        return 4;
    default:
        return 0;
    }
}

core::Dictionary* find_dictionary(ObjectHandle handle) {
    if (handle == 0 || !core::dictionary_server.is_registered()) {
        return nullptr;
    }
    return core::dictionary_server.get_typed_object(handle);
}

// The dictionary the generic form carries: a game object's or a message's own.
ObjectHandle get_object_dictionary(const ServerObject& object) {
    switch (core::get_handle_server_type(object.get_handle())) {
    case core::server_type::game:
        return static_cast<const servers::GameObject&>(object).get_dictionary();
    case core::server_type::message:
        return static_cast<const core::Message&>(object).get_dictionary();
    default:
        return 0;
    }
}

bool write_generic_form(NetworkStream& stream, const ServerObject& object) {
    const core::Dictionary* const dictionary = find_dictionary(get_object_dictionary(object));
    if (dictionary == nullptr) {
        return stream.write_bits(1, 0);
    }
    const uint8_t shape[4] = {
        static_cast<uint8_t>(dictionary->get_bucket_count()), static_cast<uint8_t>(dictionary->get_free_head()),
        static_cast<uint8_t>(dictionary->get_extra_capacity()), static_cast<uint8_t>(dictionary->get_extra_used())};
    if (!stream.write_bits(1, 1) || !stream.align_to_byte() || !stream.write_bytes(4, shape)) {
        return false;
    }
    const uint32_t word_count = dictionary->get_block_size() / 4;
    for (uint32_t i = 0; i < word_count; ++i) {
        if (!stream.write_bits(32, dictionary->get_block()[i])) {
            return false;
        }
    }
    return true;
}

// A peer's dictionary block is checked like a saved one before it is used:
// its links and indices would otherwise steer reads and writes.
bool read_generic_form(NetworkStream& stream, ServerObject& object) {
    if (core::get_handle_server_type(object.get_handle()) != core::server_type::message) {
        return false;
    }
    auto& message = static_cast<core::Message&>(object);
    uint32_t has_properties = 0;
    if (!stream.read_checked(1, &has_properties)) {
        return false;
    }
    if (has_properties == 0) {
        if (core::Dictionary* const dictionary = find_dictionary(message.get_dictionary())) {
            dictionary->clear();
        }
        return true;
    }
    uint8_t shape[4];
    if (!stream.align_read() || !stream.read_bytes(4, shape)) {
        return false;
    }
    const uint32_t word_count = shape[0] * 2u + shape[2];
    if (stream.get_bit_count() / 32 < word_count || !core::dictionary_server.is_registered()) {
        return false;
    }
    uint32_t words[core::dictionary_block_word_limit];
    for (uint32_t i = 0; i < word_count; ++i) {
        words[i] = stream.read_bits(32);
    }
    core::Dictionary* dictionary = find_dictionary(message.get_dictionary());
    const bool created = dictionary == nullptr;
    if (created) {
        dictionary = core::dictionary_server.create_dictionary(1);
    }
    if (!dictionary->assign_block(shape, words)) {
        if (created) {
            core::destroy_object(dictionary);
        }
        return false;
    }
    message.replace_dictionary(dictionary->get_handle());
    return true;
}

}  // namespace

void TransportFormatManager::begin_format(uint32_t format, uint32_t implied_type) {
    if (format >= message_format_count) {
        return;
    }
    if (formats_[format].active) {
        remove_pairs(format);
    }
    formats_[format] = {true, implied_type, pair_count_, 0, 0, 0};
    current_format_ = format;
}

void TransportFormatManager::add_pair(uint32_t property_id, uint32_t transport_format) {
    if (current_format_ >= message_format_count || pair_count_ >= format_pair_capacity) {
        return;
    }
    MessageFormat& format = formats_[current_format_];
    // Pairs of one format stay contiguous: another format defined since
    // this one began would sit between them.
    if (format.first_pair + format.pair_count != pair_count_) {
        return;
    }
    pairs_[pair_count_++] = {property_id, transport_format};
    ++format.pair_count;
    const SizeRange range = get_property_format_size_range(transport_format);
    format.minimum_bits += range.minimum;
    format.maximum_bits += range.maximum;
}

void TransportFormatManager::end_format() {
    if (current_format_ < message_format_count && formats_[current_format_].pair_count == 0) {
        formats_[current_format_] = {};
    }
    current_format_ = message_format_count;
}

void TransportFormatManager::release_format(uint32_t format) {
    if (format >= message_format_count) {
        return;
    }
    remove_pairs(format);
    formats_[format] = {};
    if (current_format_ == format) {
        current_format_ = message_format_count;
    }
}

void TransportFormatManager::clear_formats() {
    for (MessageFormat& format : formats_) {
        format = {};
    }
    pair_count_ = 0;
    current_format_ = message_format_count;
}

void TransportFormatManager::remove_pairs(uint32_t format) {
    const uint32_t start = formats_[format].first_pair;
    const uint32_t count = formats_[format].pair_count;
    if (count == 0) {
        return;
    }
    std::memmove(&pairs_[start], &pairs_[start + count], (pair_count_ - start - count) * sizeof(FormatPair));
    pair_count_ -= count;
    formats_[format].pair_count = 0;
    for (MessageFormat& other : formats_) {
        if (other.pair_count > 0 && other.first_pair >= start) {
            other.first_pair -= count;
        }
    }
}

bool TransportFormatManager::is_type_implied(uint32_t format, uint32_t message_type) const {
    return format < message_format_count && formats_[format].active && formats_[format].implied_type == message_type;
}

SizeRange TransportFormatManager::get_property_format_size_range(uint32_t transport_format) {
    const uint32_t n = get_transport_bits(transport_format);
    const uint32_t components = count_components(get_transport_component_mask(transport_format));
    switch (static_cast<TransportKind>(get_transport_kind(transport_format))) {
    case TransportKind::boolean:
        return {1, 1};
    case TransportKind::unsigned_integer:
    case TransportKind::signed_integer:
        return {n, n};
    case TransportKind::floating:
        return {32, 32};
    case TransportKind::quantised_float:
        return {n + 1, n + 1};
    case TransportKind::float_vector:
        return {32 * components, 32 * components};
    case TransportKind::quantised_vector:
        return {(n + 1) * components, (n + 1) * components};
    case TransportKind::object_handle:
        return {6, 32};
    case TransportKind::string:
        return {16, 8191};
    }
    return {0, 0};
}

uint32_t TransportFormatManager::store_multicomponent_property(const Property& property, float components[4]) {
    const uint32_t value_type = core::get_property_value_type(property.id);
    const uint32_t count = vector_component_count(value_type);
    if (count == 0) {
        ZOLT_PANIC("Property type %u is not valid multicomponent source", value_type);
    }
    for (uint32_t i = 0; i < 4; ++i) {
        components[i] = i < count ? property.get_float(static_cast<int>(i)) : 0.0f;
    }
    return count;
}

Property TransportFormatManager::retrieve_multicomponent_property(const float components[4], uint32_t value_type) {
    Property property;
    property.set_floats(value_type << 24, components, vector_component_count(value_type));
    return property;
}

bool TransportFormatManager::write_handle(NetworkStream& stream, ObjectHandle handle) {
    const uint32_t type = core::get_handle_server_type(handle);
    const core::ServerBase* const server = type != 0 ? core::get_server(type) : nullptr;
    if (handle == 0 || server == nullptr) {
        return stream.write_bits(handle_type_bits, 0);
    }
    const uint32_t index_bits = index_bits_for(server->get_capacity());
    return stream.write_bits(handle_type_bits, type) &&
           stream.write_bits(handle_generation_bits, core::get_handle_generation(handle)) &&
           stream.write_bits(index_bits, core::get_handle_index(handle) & low_mask(index_bits));
}

bool TransportFormatManager::read_handle(NetworkStream& stream, ObjectHandle* handle) {
    uint32_t type = 0;
    if (!stream.read_checked(handle_type_bits, &type)) {
        return false;
    }
    if (type == 0) {
        *handle = 0;
        return true;
    }
    const core::ServerBase* const server = type < core::first_invalid_server_type ? core::get_server(type) : nullptr;
    if (server == nullptr || !server->is_registered()) {
        return false;
    }
    uint32_t generation = 0;
    uint32_t index = 0;
    const uint32_t index_bits = index_bits_for(server->get_capacity());
    if (!stream.read_checked(handle_generation_bits, &generation) || !stream.read_checked(index_bits, &index) ||
        index >= server->get_capacity()) {
        return false;
    }
    *handle = generation << 26 | type << 20 | index;
    return true;
}

bool TransportFormatManager::serialize_property(NetworkStream& stream, uint32_t transport_format,
                                                const Property& property) {
    const uint32_t kind = get_transport_kind(transport_format);
    const uint32_t n = get_transport_bits(transport_format);
    const uint32_t p = get_transport_fraction_bits(transport_format);
    const uint32_t mask = get_transport_component_mask(transport_format);
    switch (static_cast<TransportKind>(kind)) {
    case TransportKind::boolean:
        return stream.write_bits(1, property.get_u32() != 0 ? 1 : 0);
    case TransportKind::unsigned_integer: {
        const uint32_t value = property.get_u32();
        return stream.write_bits(n, n >= 32 || value <= low_mask(n) ? value : low_mask(n));
    }
    case TransportKind::signed_integer: {
        int64_t value = property.get_s32();
        if (n == 0) {
            value = 0;
        } else if (n < 32) {
            const int64_t high = (int64_t{1} << (n - 1)) - 1;
            const int64_t low = -(int64_t{1} << (n - 1));
            value = value > high ? high : value < low ? low : value;
        }
        return stream.write_bits(n, static_cast<uint32_t>(value) & low_mask(n));
    }
    case TransportKind::floating:
        return stream.write_bits(32, property.get_u32());
    case TransportKind::quantised_float:
        return write_quantised(stream, property.get_float(), n, p);
    case TransportKind::float_vector:
    case TransportKind::quantised_vector: {
        float components[4];
        store_multicomponent_property(property, components);
        for (uint32_t i = 0; i < 4; ++i) {
            if ((mask & (1u << i)) == 0) {
                continue;
            }
            const bool written = kind == static_cast<uint32_t>(TransportKind::float_vector)
                                     ? stream.write_bits(32, float_bits(components[i]))
                                     : write_quantised(stream, components[i], n, p);
            if (!written) {
                return false;
            }
        }
        return true;
    }
    case TransportKind::object_handle:
        return write_handle(stream, property.get_u32());
    case TransportKind::string: {
        const core::String* const string =
            core::string_server.is_registered() ? core::string_server.get_typed_object(property.get_u32()) : nullptr;
        if (string == nullptr) {
            ZOLT_PANIC("Resolve of string object for handle 0x%08x failed", property.get_u32());
        }
        // The reader takes at most 254 units; a longer string would fail the
        // receiver's link, so it is cut here.
        const uint32_t length =
            string->get_length() < transport_string_length_limit ? string->get_length() : transport_string_length_limit;
        if (!stream.align_to_byte() || !stream.write_bits(16, length)) {
            return false;
        }
        for (uint32_t i = 0; i < length; ++i) {
            if (!stream.write_bits(16, string->get_text()[i])) {
                return false;
            }
        }
        return true;
    }
    }
    ZOLT_PANIC("Unsupported property transport format %u", kind);
}

bool TransportFormatManager::serialize_object(NetworkStream& stream, uint32_t format,
                                              const ServerObject& object) const {
    if (format == generic_message_format) {
        return write_generic_form(stream, object);
    }
    if (format >= message_format_count || !formats_[format].active) {
        return true;
    }
    const MessageFormat& record = formats_[format];
    Property property;
    uint32_t fetched_id = 0;
    for (uint32_t i = 0; i < record.pair_count; ++i) {
        const FormatPair& pair = pairs_[record.first_pair + i];
        // Consecutive pairs may send parts of one property: it is fetched once.
        if (i == 0 || pair.property_id != fetched_id) {
            if (!object.get_property(pair.property_id, property)) {
                ZOLT_PANIC("Fetch of property 0x%08x from object 0x%08x failed", pair.property_id, object.get_handle());
            }
            fetched_id = pair.property_id;
        }
        if (!serialize_property(stream, pair.transport_format, property)) {
            return false;
        }
    }
    return true;
}

bool TransportFormatManager::serialize_message(NetworkStream& stream, uint32_t format, uint32_t message_type,
                                               ObjectHandle target, const ServerObject& source) const {
    stream.save_positions();
    const bool written = write_handle(stream, target) &&
                         (is_type_implied(format, message_type) || stream.write_bits(32, message_type)) &&
                         serialize_object(stream, format, source) && stream.align_to_byte();
    if (!written) {
        stream.restore_positions();
    }
    return written;
}

bool TransportFormatManager::deserialize_property(ServerObject& object, NetworkStream& stream, uint32_t property_id,
                                                  uint32_t transport_format) {
    const uint32_t kind = get_transport_kind(transport_format);
    const uint32_t n = get_transport_bits(transport_format);
    const uint32_t p = get_transport_fraction_bits(transport_format);
    const uint32_t mask = get_transport_component_mask(transport_format);
    const uint32_t key = property_id & 0xFFFFFFu;
    auto set = [&](uint32_t value_type, const Property& value) {
        Property typed = value;
        typed.id = core::make_property_id(value_type, key);
        return object.set_property(typed.id, typed);
    };
    Property value;
    uint32_t word = 0;
    switch (static_cast<TransportKind>(kind)) {
    case TransportKind::boolean:
        if (!stream.read_checked(1, &word)) {
            return false;
        }
        value.set_u32(0, word);
        return set(core::property_type::signed_integer, value);
    case TransportKind::unsigned_integer:
        if (!stream.read_checked(n, &word)) {
            return false;
        }
        value.set_u32(0, word);
        return set(core::property_type::unsigned_integer, value);
    case TransportKind::signed_integer:
        if (!stream.read_checked(n, &word)) {
            return false;
        }
        if (n > 0 && n < 32 && (word & (1u << (n - 1))) != 0) {
            word |= ~low_mask(n);
        }
        value.set_u32(0, word);
        return set(core::property_type::signed_integer, value);
    case TransportKind::floating:
        if (!stream.read_checked(32, &word)) {
            return false;
        }
        value.set_u32(0, word);
        return set(core::property_type::floating, value);
    case TransportKind::quantised_float: {
        float number = 0.0f;
        if (!read_quantised(stream, n, p, &number)) {
            return false;
        }
        value.set_float(0, number);
        return set(core::property_type::floating, value);
    }
    case TransportKind::float_vector:
    case TransportKind::quantised_vector: {
        const uint32_t value_type = core::get_property_value_type(property_id);
        const uint32_t count = vector_component_count(value_type);
        if (count == 0) {
            return false;
        }
        // Components that do not travel keep the receiver's values.
        float components[4] = {0.0f, 0.0f, 0.0f, 0.0f};
        Property current;
        if ((mask & low_mask(count)) != low_mask(count) && object.get_property(property_id, current) &&
            vector_component_count(core::get_property_value_type(current.id)) == count) {
            store_multicomponent_property(current, components);
        }
        for (uint32_t i = 0; i < 4; ++i) {
            if ((mask & (1u << i)) == 0) {
                continue;
            }
            float component = 0.0f;
            if (kind == static_cast<uint32_t>(TransportKind::float_vector)) {
                if (!stream.read_checked(32, &word)) {
                    return false;
                }
                component = bits_float(word);
            } else if (!read_quantised(stream, n, p, &component)) {
                return false;
            }
            components[i] = component;
        }
        return set(value_type, retrieve_multicomponent_property(components, value_type));
    }
    case TransportKind::object_handle: {
        ObjectHandle handle = 0;
        if (!read_handle(stream, &handle)) {
            return false;
        }
        value.set_u32(0, handle);
        return set(core::property_type::unsigned_integer, value);
    }
    case TransportKind::string: {
        uint32_t length = 0;
        if (!stream.align_read() || !stream.read_checked(16, &length) || length > transport_string_length_limit ||
            stream.get_bit_count() < length * 16 || !core::string_server.is_registered()) {
            return false;
        }
        char16_t units[transport_string_length_limit];
        for (uint32_t i = 0; i < length; ++i) {
            units[i] = static_cast<char16_t>(stream.read_bits(16));
        }
        core::String* const string = core::string_server.create_string();
        if (!string->append_utf16(units, length)) {
            core::destroy_object(string);
            return false;
        }
        ServerObject::attach_to_owner(string, &object);
        value.set_u32(0, string->get_handle());
        if (!set(core::property_type::unsigned_integer, value)) {
            core::destroy_object(string);
            return false;
        }
        return true;
    }
    }
    return false;
}

bool TransportFormatManager::deserialize_object(uint32_t format, ServerObject& object, NetworkStream& stream) const {
    if (format == generic_message_format) {
        return read_generic_form(stream, object);
    }
    // A peer naming a format this machine has not defined is out of step.
    if (format >= message_format_count || !formats_[format].active) {
        return false;
    }
    const MessageFormat& record = formats_[format];
    for (uint32_t i = 0; i < record.pair_count; ++i) {
        const FormatPair& pair = pairs_[record.first_pair + i];
        if (!deserialize_property(object, stream, pair.property_id, pair.transport_format)) {
            return false;
        }
    }
    return true;
}

}  // namespace zolt::network
