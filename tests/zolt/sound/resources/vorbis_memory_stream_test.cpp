#include "zolt/sound/resources/vorbis_memory_stream.h"

#include <gtest/gtest.h>

#include <fstream>

#include "libs/io/temporary_folder.h"
#include "support/audio_capture.h"
#include "support/vorbis_encoder.h"

namespace zolt::sound {
namespace {

std::vector<uint8_t> decode_all(VorbisMemoryStream& stream, bool loop, uint32_t limit, uint32_t* largest_block) {
    std::vector<uint8_t> out;
    for (;;) {
        uint32_t bytes = 0;
        bool at_end = false;
        const uint8_t* const block = decode_vorbis_stream(stream, loop, bytes, at_end);
        if (block != nullptr) {
            out.insert(out.end(), block, block + bytes);
            *largest_block = std::max(*largest_block, bytes);
        }
        if (at_end || block == nullptr || out.size() >= limit) {
            return out;
        }
    }
}

TEST(VorbisMemoryStream, DecodesSampleForSampleWhatTheReferenceDecoderGives) {
    const std::vector<int16_t> samples = test::make_sine(3 * 44100, 44100, 440.0, 0.5, 2);
    const std::vector<uint8_t> ogg = test::encode_vorbis(samples, 2, 44100);
    test::TemporaryFolder folder;
    const std::string path = folder.get_path("tone.ogg");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(ogg.data()), ogg.size());
    const std::vector<uint8_t> reference = test::decode_vorbis_file(path);
    ASSERT_EQ(reference.size(), samples.size() * 2);

    VorbisMemoryStream stream;
    ASSERT_TRUE(open_vorbis_stream(stream, ogg.data(), static_cast<uint32_t>(ogg.size())));
    EXPECT_EQ(get_vorbis_channels(stream), 2u);
    EXPECT_EQ(get_vorbis_sample_rate(stream), 44100u);
    uint32_t largest = 0;
    const std::vector<uint8_t> decoded = decode_all(stream, false, UINT32_MAX, &largest);
    EXPECT_EQ(decoded, reference);
    EXPECT_LE(largest, vorbis_decode_buffer_size);
    close_vorbis_stream(stream);
    EXPECT_FALSE(stream.is_open);
}

TEST(VorbisMemoryStream, ALoopingStreamContinuesFromItsStartWithoutAGap) {
    const std::vector<int16_t> samples = test::make_sine(22050, 44100, 441.0, 0.5);
    const std::vector<uint8_t> ogg = test::encode_vorbis(samples, 1, 44100);
    VorbisMemoryStream stream;
    ASSERT_TRUE(open_vorbis_stream(stream, ogg.data(), static_cast<uint32_t>(ogg.size())));
    uint32_t largest = 0;
    const std::vector<uint8_t> once = decode_all(stream, false, UINT32_MAX, &largest);
    ASSERT_TRUE(open_vorbis_stream(stream, ogg.data(), static_cast<uint32_t>(ogg.size())));
    const std::vector<uint8_t> looped = decode_all(stream, true, static_cast<uint32_t>(once.size() * 3), &largest);
    ASSERT_GE(looped.size(), once.size() * 3);
    // Every pass is the whole stream again, sample for sample.
    for (size_t pass = 0; pass < 3; ++pass) {
        EXPECT_TRUE(std::equal(once.begin(), once.end(), looped.begin() + pass * once.size())) << "pass " << pass;
    }
    close_vorbis_stream(stream);
}

TEST(VorbisMemoryStream, DataTheDecoderRefusesOpensNothingAndDecodesNothing) {
    const std::vector<int16_t> samples = test::make_sine(4410, 44100, 440.0, 0.5);
    std::vector<uint8_t> ogg = test::encode_vorbis(samples, 1, 44100);
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> truncated_headers(ogg.begin(), ogg.begin() + 40);
    std::vector<uint8_t> garbage(4096, 0x5A);
    for (const Case& row :
         {Case{"empty", {}}, Case{"truncated headers", truncated_headers}, Case{"garbage", garbage}}) {
        VorbisMemoryStream stream;
        EXPECT_FALSE(open_vorbis_stream(stream, row.bytes.data(), static_cast<uint32_t>(row.bytes.size()))) << row.name;
        uint32_t bytes = 1;
        bool at_end = false;
        EXPECT_EQ(decode_vorbis_stream(stream, true, bytes, at_end), nullptr) << row.name;
        EXPECT_EQ(bytes, 0u);
        EXPECT_TRUE(at_end);
    }
}

TEST(VorbisMemoryStream, AStreamCutShortAfterItsHeadersEndsALoopingDecodeInsteadOfSpinning) {
    const std::vector<int16_t> samples = test::make_sine(44100, 44100, 440.0, 0.5);
    const std::vector<uint8_t> ogg = test::encode_vorbis(samples, 1, 44100);
    // Keep only the header pages: the stream opens but holds no audio.
    VorbisMemoryStream probe;
    ASSERT_TRUE(open_vorbis_stream(probe, ogg.data(), static_cast<uint32_t>(ogg.size())));
    close_vorbis_stream(probe);
    uint32_t header_end = 0;
    for (uint32_t at = 0, pages = 0; at + 27 < ogg.size(); ++pages) {
        const uint32_t segments = ogg[at + 26];
        uint32_t body = 0;
        for (uint32_t s = 0; s < segments; ++s) {
            body += ogg[at + 27 + s];
        }
        at += 27 + segments + body;
        if (pages == 1) {
            header_end = at;
            break;
        }
    }
    ASSERT_GT(header_end, 0u);
    VorbisMemoryStream stream;
    if (!open_vorbis_stream(stream, ogg.data(), header_end)) {
        GTEST_SKIP() << "the decoder refuses a stream without audio pages";
    }
    uint32_t bytes = 0;
    bool at_end = false;
    EXPECT_EQ(decode_vorbis_stream(stream, true, bytes, at_end), nullptr);
    EXPECT_EQ(bytes, 0u);
    close_vorbis_stream(stream);
}

}  // namespace
}  // namespace zolt::sound
