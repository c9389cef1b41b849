// The 40-byte saved form of the fake-shadow settings, the blocks a load
// refuses, and the pool of 200 blocks.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "zolt/renderer/fake_shadows/fake_shadow_settings.h"

namespace zolt::renderer {
namespace {

uint32_t word_at(const uint8_t (&bytes)[fake_shadow_settings_save_size], uint32_t offset) {
    return bytes[offset] | bytes[offset + 1] << 8 | bytes[offset + 2] << 16 |
           static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

uint32_t bits_of(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(FakeShadowSettings, TheSavedFormIsTwoHalfWordsThenNineFloatsInFieldOrder) {
    FakeShadowSettings settings;
    settings.priority = 7;
    settings.resolution = 0x1234;
    settings.parameter_4 = -2.5f;
    uint8_t bytes[fake_shadow_settings_save_size];
    encode_fake_shadow_settings(settings, bytes);
    EXPECT_EQ(bytes[0], 7);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[2], 0x34);
    EXPECT_EQ(bytes[3], 0x12);
    const float expected[] = {0, -2.5f, 0.003f, 0.5f, 1000, 20, 10, 1, 1};
    for (uint32_t ordinal = 0; ordinal < 9; ++ordinal) {
        EXPECT_EQ(word_at(bytes, 4 + 4 * ordinal), bits_of(expected[ordinal])) << ordinal;
    }
    FakeShadowSettings read;
    read.priority = 3;
    ASSERT_TRUE(decode_fake_shadow_settings(bytes, read));
    EXPECT_EQ(read.priority, 7);
    EXPECT_EQ(read.resolution, 0x1234);
    EXPECT_EQ(read.parameter_4, -2.5f);
    EXPECT_EQ(read.darkness_speed, 1.0f);
}

TEST(FakeShadowSettings, ALoadRefusesABlockNoSetterCouldHaveMadeAndKeepsWhatItHad) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    struct Row {
        const char* what;
        uint32_t offset;
        uint32_t word;
        bool accepted;
    };
    const Row rows[] = {
        {"priority 9", 0, 9 | 256u << 16, true},
        {"priority 10", 0, 10 | 256u << 16, false},
        {"negative parameter 4", 8, bits_of(-1), true},
        {"NaN parameter 4", 8, bits_of(nan), false},
        {"negative volume extension", 4, bits_of(-1), false},
        {"strength 1", 16, bits_of(1), true},
        {"strength above 1", 16, bits_of(1.5f), false},
        {"NaN strength", 16, bits_of(nan), false},
        {"infinite fade length", 24, bits_of(infinity), false},
        {"negative turn speed", 28, bits_of(-0.5f), false},
        {"NaN darkness speed", 36, bits_of(nan), false},
    };
    for (const Row& row : rows) {
        uint8_t bytes[fake_shadow_settings_save_size];
        encode_fake_shadow_settings(FakeShadowSettings{}, bytes);
        for (uint32_t byte = 0; byte < 4; ++byte) {
            bytes[row.offset + byte] = static_cast<uint8_t>(row.word >> (8 * byte));
        }
        FakeShadowSettings read;
        read.resolution = 77;
        EXPECT_EQ(decode_fake_shadow_settings(bytes, read), row.accepted) << row.what;
        if (!row.accepted) {
            EXPECT_EQ(read.resolution, 77) << row.what;
        }
    }
}

TEST(FakeShadowSettingsPool, TwoHundredBlocksWithDefaultsThenNoneUntilOneReturns) {
    FakeShadowSettingsPool pool;
    uint16_t blocks[fake_shadow_settings_capacity];
    for (uint32_t index = 0; index < fake_shadow_settings_capacity; ++index) {
        blocks[index] = pool.allocate(1000 + index);
        ASSERT_NE(blocks[index], 0) << index;
    }
    EXPECT_EQ(pool.allocate(5), 0);
    EXPECT_EQ(pool.get_used_count(), fake_shadow_settings_capacity);
    EXPECT_EQ(pool.get_owner(blocks[42]), 1042u);

    pool.get(blocks[42])->priority = 9;
    pool.release(blocks[42]);
    EXPECT_EQ(pool.get(blocks[42]), nullptr);
    EXPECT_EQ(pool.get_owner(blocks[42]), 0u);
    pool.release(blocks[42]);
    EXPECT_EQ(pool.get_used_count(), fake_shadow_settings_capacity - 1);

    const uint16_t again = pool.allocate(7);
    ASSERT_EQ(again, blocks[42]);
    EXPECT_EQ(pool.get(again)->priority, 0);
    EXPECT_EQ(pool.get(again)->resolution, 256);
    EXPECT_EQ(pool.get(0), nullptr);
    EXPECT_EQ(pool.get(fake_shadow_settings_capacity + 1), nullptr);
}

}  // namespace
}  // namespace zolt::renderer
