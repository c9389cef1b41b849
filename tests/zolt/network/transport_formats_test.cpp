#include "zolt/network/transport_formats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/string_object.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/network/game_server.h"

namespace zolt::network {
namespace {

using core::property_type::floating;
using core::property_type::signed_integer;
using core::property_type::unsigned_integer;

constexpr uint32_t key = 0x500;

class TransportFormatTest : public ::testing::Test {
protected:
    TransportFormatTest() {
        core::string_server.register_server();
        core::dictionary_server.register_server();
        core::event_server.register_server();
        core::message_server.register_server();
        servers::game_server.register_server();
        transport_formats.clear_formats();
        stream_.clear();
    }
    ~TransportFormatTest() override {
        transport_formats.clear_formats();
        servers::game_server.unregister_server();
        core::message_server.unregister_server();
        core::event_server.unregister_server();
        core::dictionary_server.unregister_server();
        core::string_server.unregister_server();
    }

    static core::Message* make_message() {
        return static_cast<core::Message*>(core::message_server.create_object_internal(0x20));
    }
    static Property make(uint32_t type, uint32_t word) {
        Property property;
        property.set_u32(type << 24 | key, word);
        return property;
    }
    static Property make_float(float value) {
        Property property;
        property.set_float(floating << 24 | key, value);
        return property;
    }
    // Writes the property, reads it into a fresh message and answers what
    // the message then holds.
    Property travel(uint32_t format, const Property& property, uint32_t* bits = nullptr) {
        stream_.clear();
        EXPECT_TRUE(TransportFormatManager::serialize_property(stream_, format, property));
        if (bits != nullptr) {
            *bits = stream_.get_bit_count();
        }
        core::Message* const message = make_message();
        EXPECT_TRUE(TransportFormatManager::deserialize_property(*message, stream_, property.id, format));
        EXPECT_EQ(stream_.get_bit_count(), 0u);
        Property out;
        EXPECT_TRUE(message->get_property(key, out));
        core::destroy_object(message);
        return out;
    }

    NetworkStream stream_;
};

TEST_F(TransportFormatTest, ScalarsAreClampedQuantisedAndTypedOnReceipt) {
    const uint32_t quantised = make_transport_format(TransportKind::quantised_float, 10, 4);
    struct Case {
        const char* what;
        uint32_t format;
        Property sent;
        uint32_t bits;
        uint32_t received_type;
        uint32_t received_word;
    };
    const Case cases[] = {
        {"unsigned 8 bits of 300", make_transport_format(TransportKind::unsigned_integer, 8),
         make(unsigned_integer, 300), 8, unsigned_integer, 255},
        {"unsigned 32 bits", make_transport_format(TransportKind::unsigned_integer, 32),
         make(unsigned_integer, 0xFFFFFFF0), 32, unsigned_integer, 0xFFFFFFF0},
        {"signed 8 bits of -200", make_transport_format(TransportKind::signed_integer, 8),
         make(signed_integer, static_cast<uint32_t>(-200)), 8, signed_integer, static_cast<uint32_t>(-128)},
        {"signed 8 bits of 200", make_transport_format(TransportKind::signed_integer, 8), make(signed_integer, 200), 8,
         signed_integer, 127},
        {"signed 5 bits of -3", make_transport_format(TransportKind::signed_integer, 5),
         make(signed_integer, static_cast<uint32_t>(-3)), 5, signed_integer, static_cast<uint32_t>(-3)},
        {"boolean of 7", make_transport_format(TransportKind::boolean, 0), make(unsigned_integer, 7), 1, signed_integer,
         1},
        {"float", make_transport_format(TransportKind::floating, 0), make_float(-1.5f), 32, floating, 0xBFC00000},
        {"quantised 3.3", quantised, make_float(3.3f), 11, floating, 0x40500000},      // 3.25
        {"quantised -3.3", quantised, make_float(-3.3f), 11, floating, 0xC0500000},    // -3.25
        {"quantised 1000", quantised, make_float(1000.0f), 11, floating, 0x427FC000},  // 63.9375
        {"quantised infinity", quantised, make_float(INFINITY), 11, floating, 0x427FC000},
        {"quantised not a number", quantised, make_float(NAN), 11, floating, 0},
    };
    for (const Case& c : cases) {
        uint32_t bits = 0;
        const Property received = travel(c.format, c.sent, &bits);
        EXPECT_EQ(bits, c.bits) << c.what;
        EXPECT_EQ(received.id, c.received_type << 24 | key) << c.what;
        EXPECT_EQ(received.get_u32(), c.received_word) << c.what;
    }
}

TEST_F(TransportFormatTest, VectorComponentsOutsideTheMaskKeepTheReceiversValues) {
    const uint32_t vector_id = core::property_type::vector4 << 24 | key;
    Property sent;
    const float values[4] = {1.0f, 2.0f, 3.0f, 4.0f};
    sent.set_floats(vector_id, values, 4);
    ASSERT_TRUE(TransportFormatManager::serialize_property(
        stream_, make_transport_format(TransportKind::float_vector, 0, 0, 0b0101), sent));
    EXPECT_EQ(stream_.get_bit_count(), 64u);
    core::Message* const message = make_message();
    Property held;
    const float old[4] = {10.0f, 20.0f, 30.0f, 40.0f};
    held.set_floats(vector_id, old, 4);
    ASSERT_TRUE(message->set_property(vector_id, held));
    ASSERT_TRUE(TransportFormatManager::deserialize_property(
        *message, stream_, vector_id, make_transport_format(TransportKind::float_vector, 0, 0, 0b0101)));
    Property out;
    ASSERT_TRUE(message->get_property(vector_id, out));
    EXPECT_EQ(out.get_float(0), 1.0f);
    EXPECT_EQ(out.get_float(1), 20.0f);
    EXPECT_EQ(out.get_float(2), 3.0f);
    EXPECT_EQ(out.get_float(3), 40.0f);
}

TEST_F(TransportFormatTest, HandlesTravelInTheWidthTheirServerNeeds) {
    stream_.clear();
    ASSERT_TRUE(TransportFormatManager::write_handle(stream_, 0));
    EXPECT_EQ(stream_.get_bit_count(), 6u);
    EXPECT_EQ(stream_.read_bits(6), 0u);

    auto* const object = static_cast<servers::GameObject*>(servers::game_server.create_object_internal(0));
    ASSERT_TRUE(TransportFormatManager::write_handle(stream_, object->get_handle()));
    EXPECT_EQ(stream_.get_bit_count(), 26u);
    core::ObjectHandle back = 0;
    ASSERT_TRUE(TransportFormatManager::read_handle(stream_, &back));
    EXPECT_EQ(back, object->get_handle());

    struct Case {
        const char* what;
        uint32_t type;
        uint32_t index;
    };
    const Case refused[] = {
        {"type past the table", 58, 0},
        {"type of no registered server", core::server_type::placement, 0},
        {"index past the capacity", core::server_type::game, 15000},
    };
    for (const Case& c : refused) {
        stream_.clear();
        stream_.write_bits(6, c.type);
        stream_.write_bits(6, 1);
        stream_.write_bits(20, c.index);
        EXPECT_FALSE(TransportFormatManager::read_handle(stream_, &back)) << c.what;
    }
}

TEST_F(TransportFormatTest, StringsOfUpTo254UnitsTravelAndLongerOnesAreCutOrRefused) {
    const uint32_t string_format = make_transport_format(TransportKind::string, 0);
    for (uint32_t length : {0u, 254u, 300u}) {
        core::String* const string = core::string_server.create_string();
        const std::u16string text(length, u'q');
        ASSERT_TRUE(string->append_utf16(text.data(), length));
        stream_.clear();
        ASSERT_TRUE(TransportFormatManager::serialize_property(stream_, string_format,
                                                               make(unsigned_integer, string->get_handle())));
        core::Message* const message = make_message();
        ASSERT_TRUE(TransportFormatManager::deserialize_property(*message, stream_, unsigned_integer << 24 | key,
                                                                 string_format));
        Property received;
        ASSERT_TRUE(message->get_property(key, received));
        const core::String* const copy = core::string_server.get_typed_object(received.get_u32());
        ASSERT_NE(copy, nullptr) << length;
        EXPECT_EQ(copy->get_length(), length < 254 ? length : 254u);
        // The copy belongs to the message that brought it.
        core::destroy_object(message);
        EXPECT_EQ(core::string_server.get_typed_object(received.get_u32()), nullptr);
    }
    stream_.clear();
    stream_.write_bits(16, 255);
    for (uint32_t i = 0; i < 255; ++i) {
        stream_.write_bits(16, 'q');
    }
    core::Message* const message = make_message();
    EXPECT_FALSE(
        TransportFormatManager::deserialize_property(*message, stream_, unsigned_integer << 24 | key, string_format));
}

TEST_F(TransportFormatTest, FormatDefinitionsShareOnePairArray) {
    const uint32_t u8 = make_transport_format(TransportKind::unsigned_integer, 8);
    const uint32_t handle = make_transport_format(TransportKind::object_handle, 0);
    auto define = [&](uint32_t format, uint32_t pairs) {
        transport_formats.begin_format(format, 0x100 + format);
        for (uint32_t i = 0; i < pairs; ++i) {
            transport_formats.add_pair(unsigned_integer << 24 | (key + i), i == 0 ? handle : u8);
        }
        transport_formats.end_format();
    };
    define(3, 2);
    define(7, 3);
    define(9, 1);
    EXPECT_EQ(transport_formats.get_pair_fill_count(), 6u);
    EXPECT_EQ(transport_formats.get_format(7).minimum_bits, 6u + 16u);
    EXPECT_EQ(transport_formats.get_format(7).maximum_bits, 32u + 16u);
    // Redefining the last format reuses its place.
    define(9, 1);
    EXPECT_EQ(transport_formats.get_pair_fill_count(), 6u);
    // Releasing one moves the later formats down.
    transport_formats.release_format(3);
    EXPECT_FALSE(transport_formats.get_format(3).active);
    EXPECT_EQ(transport_formats.get_format(7).first_pair, 0u);
    EXPECT_EQ(transport_formats.get_format(9).first_pair, 3u);
    EXPECT_EQ(transport_formats.get_pair(3).property_id, unsigned_integer << 24 | key);
    // A definition without pairs leaves the format inactive; out of range is ignored.
    define(20, 0);
    EXPECT_FALSE(transport_formats.get_format(20).active);
    define(127, 2);
    define(500, 2);
    EXPECT_EQ(transport_formats.get_pair_fill_count(), 4u);
}

TEST_F(TransportFormatTest, GenericFormCarriesADictionaryAndRefusesABrokenOne) {
    core::Message* const source = make_message();
    ASSERT_TRUE(source->set_property(unsigned_integer << 24 | key, make(unsigned_integer, 77)));
    ASSERT_TRUE(source->set_property(floating << 24 | (key + 1), make_float(2.5f)));
    ASSERT_TRUE(transport_formats.serialize_object(stream_, generic_message_format, *source));
    core::Message* const copy = make_message();
    ASSERT_TRUE(transport_formats.deserialize_object(generic_message_format, *copy, stream_));
    Property out;
    ASSERT_TRUE(copy->get_property(key, out));
    EXPECT_EQ(out.get_u32(), 77u);
    ASSERT_TRUE(copy->get_property(key + 1, out));
    EXPECT_EQ(out.get_float(), 2.5f);

    // Every header byte and block word is a peer's word: damaged, the block
    // is refused and the receiver keeps what it had.
    stream_.clear();
    ASSERT_TRUE(transport_formats.serialize_object(stream_, generic_message_format, *source));
    const uint32_t size = stream_.get_bit_count() / 8 + 1;
    for (uint32_t byte = 1; byte < size - 1; ++byte) {
        for (uint8_t value : {uint8_t{0}, uint8_t{0xFF}}) {
            stream_.clear();
            ASSERT_TRUE(transport_formats.serialize_object(stream_, generic_message_format, *source));
            const uint8_t original = stream_.get_byte(byte);
            if (original == value) {
                continue;
            }
            stream_.set_byte(byte, value);
            core::Message* const target = make_message();
            transport_formats.deserialize_object(generic_message_format, *target, stream_);
            core::destroy_object(target);
        }
    }
    stream_.clear();
    stream_.write_bits(1, 1);
    stream_.align_to_byte();
    const uint8_t no_buckets[4] = {0, 0, 0, 0};
    stream_.write_bytes(4, no_buckets);
    EXPECT_FALSE(transport_formats.deserialize_object(generic_message_format, *copy, stream_));
    ASSERT_TRUE(copy->get_property(key, out));
}

}  // namespace
}  // namespace zolt::network
