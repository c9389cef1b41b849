#include "zolt/network/bit_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace zolt {
namespace {

using SmallStream = BitStream<16>;

TEST(BitStream, MixedWidthsReadBackLeastSignificantBitFirst) {
    BitStream<65536> stream;
    struct Field {
        uint32_t bits;
        uint32_t value;
    };
    const Field fields[] = {{1, 1},          {5, 0x15},        {7, 0x7F}, {14, 0x2ABC},
                            {26, 0x3FFFFFF}, {32, 0xDEADBEEF}, {3, 2},    {32, 0}};
    for (const Field& field : fields) {
        ASSERT_TRUE(stream.write_bits(field.bits, field.value));
    }
    EXPECT_EQ(stream.get_bit_count(), 120u);
    for (const Field& field : fields) {
        uint32_t value = 0;
        ASSERT_TRUE(stream.read_checked(field.bits, &value));
        EXPECT_EQ(value, field.value) << field.bits << " bits";
    }
    EXPECT_EQ(stream.get_bit_count(), 0u);
}

TEST(BitStream, ByteAlignedValuesAreLittleEndianAndBitZeroIsTheLowBit) {
    BitStream<65536> stream;
    stream.write_bits(16, 0x1234);
    stream.write_bits(32, 0xA1B2C3D4);
    stream.write_bit(1);
    stream.write_bit(0);
    stream.write_bit(1);
    ASSERT_TRUE(stream.align_to_byte());
    const uint8_t expected[] = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0x05};
    ASSERT_EQ(stream.get_bit_count(), sizeof expected * 8);
    for (uint32_t i = 0; i < sizeof expected; ++i) {
        EXPECT_EQ(stream.get_byte(i), expected[i]) << i;
    }
}

TEST(BitStream, FullRingRefusesEveryWriteAndChangesNothing) {
    SmallStream stream;
    ASSERT_TRUE(stream.write_bits(32, 1));
    ASSERT_TRUE(stream.write_bits(32, 2));
    ASSERT_TRUE(stream.write_bits(32, 3));
    ASSERT_TRUE(stream.write_bits(31, 4));
    EXPECT_FALSE(stream.write_bits(2, 0));
    EXPECT_FALSE(stream.write_bytes(1, "x"));
    ASSERT_TRUE(stream.write_bit(1));
    EXPECT_FALSE(stream.write_bit(1));
    EXPECT_EQ(stream.get_bit_count(), SmallStream::capacity_bits);
    EXPECT_EQ(stream.read_bits(32), 1u);
}

TEST(BitStream, ShortReadsAndSkipsFailWithoutMoving) {
    SmallStream stream;
    stream.write_bits(12, 0xABC);
    uint32_t value = 0;
    uint8_t bytes[2];
    EXPECT_FALSE(stream.read_checked(13, &value));
    EXPECT_FALSE(stream.read_bytes(2, bytes));
    EXPECT_FALSE(stream.skip_bits(13));
    ASSERT_TRUE(stream.skip_bits(4));
    ASSERT_TRUE(stream.read_checked(8, &value));
    EXPECT_EQ(value, 0xABu);
}

TEST(BitStream, BytesWrapAroundTheEndOfTheRing) {
    SmallStream stream;
    uint8_t scratch[16];
    ASSERT_TRUE(stream.write_bytes(12, "abcdefghijk"));
    ASSERT_TRUE(stream.read_bytes(12, scratch));
    const uint8_t message[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    ASSERT_TRUE(stream.write_bytes(10, message));
    EXPECT_EQ(stream.get_write_byte_position(), 6u);
    uint8_t back[10];
    ASSERT_TRUE(stream.read_bytes(10, back));
    EXPECT_EQ(std::vector<uint8_t>(back, back + 10), std::vector<uint8_t>(message, message + 10));
    // Bits straddle the wrap too.
    SmallStream bits;
    bits.write_bytes(15, "123456789012345");
    bits.read_bytes(15, scratch);
    ASSERT_TRUE(bits.write_bits(20, 0xFEDCB));
    EXPECT_EQ(bits.read_bits(20), 0xFEDCBu);
}

TEST(BitStream, RestoredPositionsForgetAFailedWrite) {
    BitStream<65536> stream;
    stream.write_bits(8, 0x5A);
    stream.save_positions();
    stream.write_bits(32, 0xFFFFFFFF);
    stream.restore_positions();
    EXPECT_EQ(stream.get_bit_count(), 8u);
    stream.write_bits(8, 0x11);
    EXPECT_EQ(stream.read_bits(16), 0x115Au);
}

}  // namespace
}  // namespace zolt
