#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/server_ring.h"
#include "zolt/core/script_objects/string_object_utf8.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {
namespace {

// Well-formed sequences after the Unicode Standard's table of UTF-8 byte
// ranges: the length of the one at bytes, or 0.
uint32_t well_formed_length(const uint8_t* bytes, uint32_t count) {
    auto in = [](uint8_t byte, uint8_t low, uint8_t high) { return byte >= low && byte <= high; };
    const uint8_t lead = bytes[0];
    if (lead <= 0x7F) {
        return 1;
    }
    uint8_t second_low = 0x80;
    uint8_t second_high = 0xBF;
    uint32_t length = 0;
    if (in(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (in(lead, 0xE0, 0xEF)) {
        length = 3;
        second_low = lead == 0xE0 ? 0xA0 : 0x80;
        second_high = lead == 0xED ? 0x9F : 0xBF;
    } else if (in(lead, 0xF0, 0xF4)) {
        length = 4;
        second_low = lead == 0xF0 ? 0x90 : 0x80;
        second_high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (count < length || !in(bytes[1], second_low, second_high)) {
        return 0;
    }
    for (uint32_t index = 2; index < length; ++index) {
        if (!in(bytes[index], 0x80, 0xBF)) {
            return 0;
        }
    }
    return length;
}

// Decodes the first value of a sequence and checks it against the table:
// a well-formed sequence gives its code point, which encodes back to the
// same bytes; anything else the widened lead byte and an advance of one.
bool decodes_as_the_table_says(const uint8_t* bytes, uint32_t count) {
    const uint8_t* cursor = bytes;
    const uint32_t value = utf8_decode(cursor, count);
    const uint32_t length = well_formed_length(bytes, count);
    if (length == 0) {
        return cursor == bytes + 1 && value == (0xFF00u | bytes[0]);
    }
    uint8_t encoded[4];
    return cursor == bytes + length && utf8_encode(4, value, encoded) == length &&
           std::memcmp(encoded, bytes, length) == 0;
}

TEST(StringUtf8, DecodingAcceptsExactlyTheWellFormedSequences) {
    uint8_t bytes[4] = {};
    for (uint32_t lead = 0; lead < 0x100; ++lead) {
        for (uint32_t second = 0; second < 0x100; ++second) {
            bytes[0] = static_cast<uint8_t>(lead);
            bytes[1] = static_cast<uint8_t>(second);
            ASSERT_TRUE(decodes_as_the_table_says(bytes, 2)) << std::hex << lead << " " << second;
            if (lead >= 0xE0 && lead <= 0xEF) {
                for (uint32_t third = 0; third < 0x100; ++third) {
                    bytes[2] = static_cast<uint8_t>(third);
                    ASSERT_TRUE(decodes_as_the_table_says(bytes, 3))
                        << std::hex << lead << " " << second << " " << third;
                }
            }
        }
    }
    // Four-byte leads up to 0xF7 with continuation bytes (longer sequences
    // and other bytes fail at the lead or at the first foreign byte).
    for (uint32_t lead = 0xF0; lead <= 0xF7; ++lead) {
        for (uint32_t tail = 0; tail < 64 * 64 * 64; ++tail) {
            bytes[0] = static_cast<uint8_t>(lead);
            bytes[1] = static_cast<uint8_t>(0x80 | tail >> 12);
            bytes[2] = static_cast<uint8_t>(0x80 | (tail >> 6 & 0x3F));
            bytes[3] = static_cast<uint8_t>(0x80 | (tail & 0x3F));
            ASSERT_TRUE(decodes_as_the_table_says(bytes, 4)) << std::hex << lead << " " << tail;
            ASSERT_TRUE(decodes_as_the_table_says(bytes, 3)) << std::hex << lead << " " << tail;
        }
    }
    const std::vector<uint8_t> longer[] = {{0xF8, 0x88, 0x80, 0x80, 0x80},
                                           {0xF8, 0x80, 0x80, 0xA0, 0x80},
                                           {0xFC, 0x80, 0x80, 0x80, 0x80, 0x80},
                                           {0xFE, 0x80},
                                           {0xFF, 0x80},
                                           {0xF0, 0x9F, 0x98, 0x41},
                                           {0xF0, 0x9F, 0xC3, 0xA9}};
    for (const std::vector<uint8_t>& sequence : longer) {
        EXPECT_TRUE(decodes_as_the_table_says(sequence.data(), static_cast<uint32_t>(sequence.size())))
            << std::hex << +sequence[0];
    }
}

TEST(StringUtf8, EncodingRoundTripsEveryCodePoint) {
    for (uint32_t code_point = 0; code_point <= utf8_largest_code_point; ++code_point) {
        if (code_point >= 0xD800 && code_point <= 0xDFFF) {
            continue;
        }
        uint8_t encoded[4];
        const uint32_t length = utf8_encode(4, code_point, encoded);
        const uint32_t expected = code_point < 0x80 ? 1 : code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
        ASSERT_EQ(length, expected) << code_point;
        const uint8_t* cursor = encoded;
        ASSERT_EQ(utf8_decode(cursor, length), code_point);
        ASSERT_EQ(cursor, encoded + length);
    }
    // Too little room writes nothing and still answers the byte count.
    uint8_t untouched[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_EQ(utf8_encode(3, 0x1F600, untouched), 4u);
    EXPECT_EQ(utf8_encode(0, u'a', untouched), 1u);
    EXPECT_EQ(untouched[0], 0xAA);
}

class StringUtf8Append : public ::testing::Test {
protected:
    void SetUp() override { string_server.register_server(); }
    void TearDown() override { test::unregister_all_servers(); }
};

TEST_F(StringUtf8Append, BytesBecomeUnitsOrSurrogatePairs) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::u16string units;
    };
    const Case cases[] = {
        {{0xC3, 0xA9}, u"\u00E9"},
        {{0xC3, 0x41}, u"\xFFC3\x0041"},
        {{0xE0, 0x80, 0x80}, u"\xFFE0\xFF80\xFF80"},
        {{0xF0, 0x9F, 0x98, 0x80}, u"\U0001F600"},
        {{0xF4, 0x8F, 0xBF, 0xBF}, u"\U0010FFFF"},
        {{0xF4, 0x90, 0x80, 0x80}, u"\xFFF4\xFF90\xFF80\xFF80"},
        {{0xF0, 0x8F, 0xBF, 0xBF}, u"\xFFF0\xFF8F\xFFBF\xFFBF"},
        {{0xED, 0xA0, 0xBD}, u"\xFFED\xFFA0\xFFBD"},
        {{0xEF, 0xBF, 0xBF, 0x00, 0x7F}, std::u16string(u"\xFFFF") + char16_t{0} + u"\x007F"},
        {{0xF0, 0x9F, 0x98}, u"\xFFF0\xFF9F\xFF98"},
        {{0x61, 0xE2, 0x82}, u"a\xFFE2\xFF82"},
        {{}, u""},
    };
    for (const Case& entry : cases) {
        String* string = string_server.create_string();
        ASSERT_TRUE(string->append_utf8(entry.bytes.data(), static_cast<uint32_t>(entry.bytes.size())));
        EXPECT_EQ(std::u16string(string->get_text() != nullptr ? string->get_text() : u"", string->get_length()),
                  entry.units)
            << entry.bytes.size();
        destroy_object(string);
    }
}

}  // namespace
}  // namespace zolt::core
