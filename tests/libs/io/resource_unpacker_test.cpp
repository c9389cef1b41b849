#include "libs/io/resource_unpacker.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "libs/io/reference_unpacker.h"
#include "libs/utility/crc32.h"
#include "zpack/lib/lz_packer.h"

namespace zolt {
namespace {

using Bytes = std::vector<uint8_t>;

// Decodes into a buffer of exactly output_size bytes from a stream buffer of
// exactly its size, so AddressSanitizer sees any access past either.
bool decode(const Bytes& stream, uint32_t output_size, std::string* output) {
    auto* source = new uint8_t[stream.size() + (stream.empty() ? 1 : 0)];
    if (!stream.empty()) {
        std::memcpy(source, stream.data(), stream.size());
    }
    auto* destination = new uint8_t[output_size];
    const bool is_decoded = decompress(output_size, source, static_cast<uint32_t>(stream.size()), destination);
    output->assign(reinterpret_cast<const char*>(destination), output_size);
    delete[] destination;
    delete[] source;
    return is_decoded;
}

// Literal runs of up to 32 bytes each, then the tail.
Bytes literal_runs(const std::vector<std::string>& literals, const Bytes& tail) {
    Bytes stream;
    for (const std::string& literal : literals) {
        stream.push_back(static_cast<uint8_t>(0x80 | (literal.size() - 1)));
        stream.insert(stream.end(), literal.begin(), literal.end());
    }
    stream.insert(stream.end(), tail.begin(), tail.end());
    return stream;
}

TEST(ResourceUnpacker, DecodesTheFiveTokenKinds) {
    const std::string thirty_two = "0123456789abcdefghijklmnopqrstuv";
    Bytes long_literal{0xA0, 0x00};
    long_literal.insert(long_literal.end(), thirty_two.begin(), thirty_two.end());
    Bytes longest_literal{0xAF, 0xFF};
    longest_literal.resize(2 + 4127, 'q');
    std::vector<std::string> eight_runs;
    std::string eight_runs_text;
    for (char letter = 'A'; letter < 'I'; ++letter) {
        eight_runs.push_back(std::string(32, letter));
        eight_runs_text += eight_runs.back();
    }
    const struct {
        Bytes stream;
        uint32_t output_size;
        std::string expected;
    } cases[] = {
        // A back reference shorter in distance than in length repeats.
        {{0x82, 'a', 'b', 'c', 0x00}, 6, "abcccc"},
        {{0x82, 'a', 'b', 'c', 0x00}, 4, "abcc"},
        {{0x82, 'a', 'b', 'c', 0x00}, 3, "abc"},
        {{0x82, 'a', 'b', 'c', 0xB0, 0x00, 0x00, 0x02}, 9, "abcabcabc"},
        {long_literal, 32, thirty_two},
        {longest_literal, 4127, std::string(4127, 'q')},
        // Short: length 10, distance 16; medium: length 67, distance 256.
        {literal_runs({"0123456789abcdef"}, {0x7F}), 26, "0123456789abcdef0123456789"},
        {literal_runs(eight_runs, {0xFF, 0xFF}), 256 + 67, eight_runs_text + eight_runs_text.substr(0, 67)},
        // The last token may reach past the output, even past the stream.
        {{0x84, 'v', 'w', 'x', 'y', 'z'}, 3, "vwx"},
        {{0x84, 'v', 'w'}, 2, "vw"},
        {{0x80, 'z', 0x70}, 4, "zzzz"},
        {{0x80, 'z', 0xBF, 0xFF, 0x00, 0x00}, 4102, std::string(4102, 'z')},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_TRUE(decode(c.stream, c.output_size, &output)) << c.expected.substr(0, 20);
        EXPECT_EQ(output, c.expected);
    }
}

TEST(ResourceUnpacker, LongBackReferenceReachesSixtyFourKibibytesBack) {
    std::mt19937 random(11);
    Bytes stream;
    std::string expected;
    for (uint32_t run = 0; run < 65536 / 4096; ++run) {
        const uint32_t length = 4096;
        stream.push_back(static_cast<uint8_t>(0xA0 | (length - 32) >> 8));
        stream.push_back(static_cast<uint8_t>(length - 32));
        for (uint32_t index = 0; index < length; ++index) {
            const auto byte = static_cast<uint8_t>(random());
            stream.push_back(byte);
            expected.push_back(static_cast<char>(byte));
        }
    }
    stream.insert(stream.end(), {0xB0, 0x04, 0xFF, 0xFF});  // length 10, distance 65536
    expected += expected.substr(0, 10);
    std::string output;
    ASSERT_TRUE(decode(stream, static_cast<uint32_t>(expected.size()), &output));
    EXPECT_EQ(output, expected);
}

TEST(ResourceUnpacker, RefusesBrokenStreamsWithoutLeavingItsBuffers) {
    const struct {
        Bytes stream;
        uint32_t output_size;
        const char* fault;
    } cases[] = {
        {{}, 1, "no stream"},
        {{0x00}, 3, "reference before any output"},
        {{0x80, 'a', 0x01}, 4, "short distance beyond the output"},
        {{0x80, 'a', 0xC0, 0x01}, 6, "medium distance beyond the output"},
        {{0x80, 'a', 0xB0, 0x00, 0xFF, 0xFF}, 8, "long distance beyond the output"},
        {{0x83, 'a', 'b'}, 4, "literal run past the stream"},
        {{0xA0, 0x00, 'a'}, 32, "long literal run past the stream"},
        {{0xA0}, 40, "long literal run without its length"},
        {{0x80, 'a', 0xC0}, 10, "medium reference without its distance"},
        {{0x80, 'a', 0xB0, 0x00, 0x00}, 10, "long reference without its distance"},
        {{0x80, 'a'}, 2, "stream ends before the output"},
        {{0x80, 'a', 0x00}, 5, "stream ends after a reference"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_FALSE(decode(c.stream, c.output_size, &output)) << c.fault;
    }
}

// Lays the stream at the end of a block of exactly output_size bytes and
// decodes it in place, as the loader does.
std::string decode_in_place(const Bytes& stream, uint32_t output_size, bool* is_decoded) {
    Bytes block(output_size);
    std::copy(stream.begin(), stream.end(), block.end() - static_cast<ptrdiff_t>(stream.size()));
    *is_decoded = decompress(output_size, block.data() + output_size - stream.size(),
                             static_cast<uint32_t>(stream.size()), block.data());
    return std::string(block.begin(), block.end());
}

TEST(ResourceUnpacker, InPlaceACopyMayOverwriteTheTwoBytesReadAhead) {
    // "abc", then 10 bytes from distance 3, whose copy ends on the control
    // byte of the final literal run: the unpacker has read it already.
    const Bytes stream{0x82, 'a', 'b', 'c', 0xB0, 0x04, 0x00, 0x02, 0x81, 'x', 'y'};
    bool is_decoded = false;
    EXPECT_EQ(decode_in_place(stream, 15, &is_decoded), "abcabcabcabcaxy");
    EXPECT_TRUE(is_decoded);

    // One more literal run: the copy now overwrites the 'x' before it is read.
    const Bytes overtaken{0x82, 'a', 'b', 'c', 0xB0, 0x04, 0x00, 0x02, 0x80, 'x', 0x80, 'y'};
    std::string separate;
    ASSERT_TRUE(decode(overtaken, 15, &separate));
    EXPECT_EQ(separate, "abcabcabcabcaxy");
    const std::string in_place = decode_in_place(overtaken, 15, &is_decoded);
    EXPECT_NE(in_place, separate);

    Bytes block(15);
    std::memcpy(block.data() + 15 - overtaken.size(), overtaken.data(), overtaken.size());
    test::decompress_by_reference(block, 0, 15, 15 - overtaken.size(), 15);
    EXPECT_EQ(std::string(block.begin(), block.end()), in_place) << "the same bytes as the algorithm";
}

Bytes make_packed_block(const std::string& data, const Bytes& stream, uint32_t* stored_size) {
    const uint32_t crc = compute_crc32(data.data(), data.size());
    Bytes stored(sizeof crc);
    std::memcpy(stored.data(), &crc, sizeof crc);
    stored.insert(stored.end(), stream.begin(), stream.end());
    Bytes block(data.size());
    std::memcpy(block.data() + block.size() - stored.size(), stored.data(), stored.size());
    *stored_size = static_cast<uint32_t>(stored.size());
    return block;
}

TEST(ResourceUnpacker, UnpacksAResourceInPlaceAndChecksItsCrc) {
    const std::string data = "abcabcabcabcabcabcabcabxy";
    const Bytes stream{0x82, 'a', 'b', 'c', 0xB0, 0x0E, 0x00, 0x02, 0x81, 'x', 'y'};
    uint32_t stored_size = 0;
    Bytes block = make_packed_block(data, stream, &stored_size);
    UnpackResult result = unpack_resource_in_place(block.data(), 25, stored_size);
    EXPECT_TRUE(result.is_intact);
    EXPECT_EQ(result.computed_crc, compute_crc32(data.data(), data.size()));
    EXPECT_EQ(result.expected_crc, result.computed_crc);
    EXPECT_EQ(std::string(block.begin(), block.end()), data);

    // A stream that decodes to other bytes, one that reaches before the
    // block, and stored sizes that cannot hold a packed resource.
    Bytes wrong = stream;
    wrong[9] = 'X';
    block = make_packed_block(data, wrong, &stored_size);
    result = unpack_resource_in_place(block.data(), 25, stored_size);
    EXPECT_FALSE(result.is_intact);
    EXPECT_EQ(result.expected_crc, compute_crc32(data.data(), data.size()));
    EXPECT_EQ(result.computed_crc, compute_crc32("abcabcabcabcabcabcabcabXy", 25));

    Bytes broken = stream;
    broken[6] = 0x10;  // distance 4099
    block = make_packed_block(data, broken, &stored_size);
    EXPECT_FALSE(unpack_resource_in_place(block.data(), 25, stored_size).is_intact);

    for (const uint32_t size : {0u, 3u, 25u}) {
        block.assign(25, 0);
        EXPECT_FALSE(unpack_resource_in_place(block.data(), 25, size).is_intact) << size;
    }
}

// Random token streams whose distances are valid, so the fast copies meet
// every overlap of pattern and chunk size the algorithm allows.
Bytes make_valid_stream(std::mt19937& random, uint32_t max_token_count, uint32_t max_run_length,
                        uint32_t* output_size) {
    Bytes stream;
    uint32_t written = 0;
    const uint32_t token_count = 1 + random() % max_token_count;
    for (uint32_t token = 0; token < token_count; ++token) {
        const uint32_t kind = written == 0 ? 1 : random() % 5;
        if (kind == 0) {
            const uint32_t distance = 1 + random() % std::min(written, 16u);
            const uint32_t length = 3 + random() % 8;
            stream.push_back(static_cast<uint8_t>((length - 3) << 4 | (distance - 1)));
            written += length;
        } else if (kind == 1 || kind == 2) {
            const uint32_t length = kind == 1 ? 1 + random() % 32 : 32 + random() % max_run_length;
            if (kind == 1) {
                stream.push_back(static_cast<uint8_t>(0x80 | (length - 1)));
            } else {
                stream.push_back(static_cast<uint8_t>(0xA0 | (length - 32) >> 8));
                stream.push_back(static_cast<uint8_t>(length - 32));
            }
            for (uint32_t index = 0; index < length; ++index) {
                stream.push_back(static_cast<uint8_t>(random() % 4));
            }
            written += length;
        } else if (kind == 3) {
            const uint32_t distance = 1 + random() % std::min(written, 65536u);
            const uint32_t length = 6 + random() % max_run_length;
            stream.insert(stream.end(),
                          {static_cast<uint8_t>(0xB0 | (length - 6) >> 8), static_cast<uint8_t>(length - 6),
                           static_cast<uint8_t>((distance - 1) >> 8), static_cast<uint8_t>(distance - 1)});
            written += length;
        } else {
            const uint32_t distance = 1 + random() % std::min(written, 256u);
            const uint32_t length = 4 + random() % 64;
            stream.insert(stream.end(),
                          {static_cast<uint8_t>(0xC0 | (length - 4)), static_cast<uint8_t>(distance - 1)});
            written += length;
        }
    }
    *output_size = written - random() % std::min(written, 4u);
    return stream;
}

TEST(ResourceUnpacker, MatchesTheByteByByteAlgorithmOnValidStreams) {
    std::mt19937 random(5);
    for (uint32_t round = 0; round < 2000; ++round) {
        uint32_t output_size = 0;
        // Every tenth stream is long enough for the unpacker's fast loop.
        const Bytes stream = make_valid_stream(random, round % 10 == 0 ? 400 : 40, 300, &output_size);
        std::string output;
        ASSERT_TRUE(decode(stream, output_size, &output)) << round;
        Bytes block(output_size);
        block.insert(block.end(), stream.begin(), stream.end());
        ASSERT_TRUE(test::decompress_by_reference(block, 0, output_size, output_size, block.size()).is_decoded);
        ASSERT_EQ(output, std::string(block.begin(), block.begin() + output_size)) << round;
    }
}

// Random and mutated inputs: the unpacker answers as the byte-by-byte
// algorithm does, with the same bytes, apart and in place, and never leaves
// its buffers (checked by the sanitizers).
TEST(ResourceUnpacker, FuzzedStreamsDecodeLikeTheAlgorithmAndStayInsideTheirBuffers) {
    std::mt19937 random(1234);
    uint32_t decoded_count = 0;
    for (uint32_t round = 0; round < 100000; ++round) {
        Bytes stream;
        uint32_t output_size = 0;
        if (round % 2 == 0) {
            stream.resize(random() % 48);
            for (uint8_t& byte : stream) {
                byte = static_cast<uint8_t>(random());
            }
            output_size = 1 + random() % 128;
        } else {
            stream = make_valid_stream(random, 8, 40, &output_size);
            for (uint32_t flips = 1 + random() % 3; flips > 0; --flips) {
                stream[random() % stream.size()] ^= static_cast<uint8_t>(1 + random() % 255);
            }
            if (random() % 4 == 0) {
                stream.resize(random() % (stream.size() + 1));
            }
        }

        std::string output;
        const bool is_decoded = decode(stream, output_size, &output);
        Bytes block(output_size);
        block.insert(block.end(), stream.begin(), stream.end());
        const bool is_reference_decoded =
            test::decompress_by_reference(block, 0, output_size, output_size, block.size()).is_decoded;
        ASSERT_EQ(is_decoded, is_reference_decoded) << round;
        if (is_decoded) {
            ++decoded_count;
            ASSERT_EQ(output, std::string(block.begin(), block.begin() + output_size)) << round;
        }

        if (stream.size() <= output_size) {
            bool is_decoded_in_place = false;
            const std::string in_place = decode_in_place(stream, output_size, &is_decoded_in_place);
            Bytes reference_block(output_size);
            std::copy(stream.begin(), stream.end(), reference_block.end() - static_cast<ptrdiff_t>(stream.size()));
            const bool is_reference_in_place =
                test::decompress_by_reference(reference_block, 0, output_size, output_size - stream.size(), output_size)
                    .is_decoded;
            ASSERT_EQ(is_decoded_in_place, is_reference_in_place) << round;
            if (is_decoded_in_place) {
                ASSERT_EQ(in_place, std::string(reference_block.begin(), reference_block.end())) << round;
            }
        }
    }
    EXPECT_GT(decoded_count, 3000u);
}

TEST(ResourceUnpacker, MutatedLongStreamsDecodeLikeTheAlgorithmApartAndInPlace) {
    // Noise and repeats of it: a stream of some 10 KB, long enough for the
    // unpacker's fast loop apart and in place.
    std::mt19937 random(77);
    Bytes data;
    while (data.size() < 20000) {
        for (uint32_t index = 0; index < 20; ++index) {
            data.push_back(static_cast<uint8_t>(random()));
        }
        const size_t start = random() % (data.size() - 16);
        for (uint32_t index = 0; index < 16 + random() % 16; ++index) {
            data.push_back(data[start + index]);
        }
    }
    const Bytes packed = tools::pack_stream(data.data(), static_cast<uint32_t>(data.size()));
    ASSERT_GT(packed.size(), 8000u);
    ASSERT_GT(data.size() - packed.size(), 6000u);
    const auto size = static_cast<uint32_t>(data.size());
    for (uint32_t round = 0; round < 150; ++round) {
        Bytes stream = packed;
        if (round > 0) {
            for (uint32_t flips = 1 + random() % 3; flips > 0; --flips) {
                stream[random() % stream.size()] ^= static_cast<uint8_t>(1 + random() % 255);
            }
        }
        std::string output;
        const bool is_decoded = decode(stream, size, &output);
        Bytes block(size);
        block.insert(block.end(), stream.begin(), stream.end());
        ASSERT_EQ(is_decoded, test::decompress_by_reference(block, 0, size, size, block.size()).is_decoded) << round;
        if (is_decoded) {
            ASSERT_EQ(output, std::string(block.begin(), block.begin() + size)) << round;
        }
        if (round == 0) {
            EXPECT_EQ(output, std::string(data.begin(), data.end()));
        }

        bool is_decoded_in_place = false;
        const std::string in_place = decode_in_place(stream, size, &is_decoded_in_place);
        Bytes reference_block(size);
        std::copy(stream.begin(), stream.end(), reference_block.end() - static_cast<ptrdiff_t>(stream.size()));
        ASSERT_EQ(is_decoded_in_place,
                  test::decompress_by_reference(reference_block, 0, size, size - stream.size(), size).is_decoded)
            << round;
        if (is_decoded_in_place) {
            ASSERT_EQ(in_place, std::string(reference_block.begin(), reference_block.end())) << round;
        }
    }
}

}  // namespace
}  // namespace zolt
