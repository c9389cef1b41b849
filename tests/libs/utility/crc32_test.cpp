#include "libs/utility/crc32.h"

#include <gtest/gtest.h>
#include <zlib.h>
#include <cstring>
#include <random>
#include <vector>

namespace zolt {
namespace {

TEST(Crc32, KnownRegisters) {
    struct Case {
        const char* text;
        uint32_t register_value;
    };
    const Case cases[] = {
        {"", 0xFFFFFFFFu},
        {"abc", 0xCADBBE3Du},
        {"123456789", 0x340BC6D9u},
        {"The quick brown fox jumps over the lazy dog", ~0x414FA339u},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(compute_crc32(c.text, std::strlen(c.text)), c.register_value) << c.text;
    }
}

TEST(Crc32, AgreesWithZlibOnRandomBuffersAndSplits) {
    std::mt19937 random(1234);
    std::vector<uint8_t> buffer(70000);
    for (uint8_t& byte : buffer) {
        byte = static_cast<uint8_t>(random());
    }
    for (int round = 0; round < 3000; ++round) {
        const size_t offset = random() % 64;
        const size_t length = round < 200 ? static_cast<size_t>(round) : random() % (buffer.size() - offset);
        const uint8_t* data = buffer.data() + offset;
        const uint32_t expected = static_cast<uint32_t>(crc32(0L, data, static_cast<uInt>(length)));
        ASSERT_EQ(~compute_crc32(data, length), expected) << "length " << length << " offset " << offset;

        const size_t split = length == 0 ? 0 : random() % length;
        uint32_t crc_register = crc32_start;
        update_crc32(crc_register, split, data);
        update_crc32(crc_register, length - split, data + split);
        ASSERT_EQ(~crc_register, expected);
    }
}

TEST(Crc32, RegisterAppendedLittleEndianChecksToZero) {
    std::mt19937 random(99);
    for (size_t length : {0u, 1u, 15u, 16u, 17u, 1000u}) {
        std::vector<uint8_t> data(length + 4);
        for (size_t index = 0; index < length; ++index) {
            data[index] = static_cast<uint8_t>(random());
        }
        const uint32_t crc_register = compute_crc32(data.data(), length);
        for (int byte = 0; byte < 4; ++byte) {
            data[length + byte] = static_cast<uint8_t>(crc_register >> (8 * byte));
        }
        EXPECT_EQ(compute_crc32(data.data(), data.size()), 0u) << length;
    }
}

}  // namespace
}  // namespace zolt
