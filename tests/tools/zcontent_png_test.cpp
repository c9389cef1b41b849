#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "libs/io/temporary_folder.h"
#include "zcontent/lib/png_reader.h"
#include "zcontent/lib/png_writer.h"
#include "zpack/lib/pack_writer.h"

// stb_image decodes the same files independently of libpng.
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#include <stb/stb_image.h>

namespace zolt::tools {
namespace {

constexpr uint32_t test_max_edge = 1024;

// Samples that reach every value of the depth and change from texel to texel.
PngPicture make_picture(PngColourType colour_type, uint32_t bit_depth, uint32_t width, uint32_t height) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colour_type = colour_type;
    picture.bit_depth = bit_depth;
    const uint32_t channels = get_png_channel_count(colour_type);
    const uint32_t maximum = (1u << bit_depth) - 1;
    for (uint32_t index = 0; index < width * height * channels; ++index) {
        const uint32_t value =
            colour_type == PngColourType::palette ? index % 5 : (index * 2654435761u >> 7) % (maximum + 1);
        picture.samples.push_back(static_cast<uint16_t>(value));
    }
    if (colour_type == PngColourType::palette) {
        picture.palette = {{0, 0, 0}, {255, 0, 0}, {10, 200, 30}, {1, 2, 3}, {250, 251, 252}};
    }
    return picture;
}

std::vector<uint8_t> encode(const PngPicture& picture) {
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(encode_png(picture, &bytes, &error)) << error;
    return bytes;
}

struct PictureCase {
    const char* name;
    PngColourType colour_type;
    uint32_t bit_depth;
    bool is_interlaced;
    bool has_palette_alpha;
    bool is_grey;
    bool has_alpha;
};

TEST(ZcontentPng, EveryColourTypeAndDepthDecodesAsAnIndependentDecoderReadsIt) {
    const PictureCase cases[] = {
        {"grey 1", PngColourType::grey, 1, false, false, true, false},
        {"grey 2", PngColourType::grey, 2, false, false, true, false},
        {"grey 4", PngColourType::grey, 4, false, false, true, false},
        {"grey 8", PngColourType::grey, 8, false, false, true, false},
        {"grey 16", PngColourType::grey, 16, false, false, true, false},
        {"grey+alpha 8", PngColourType::grey_alpha, 8, false, false, true, true},
        {"grey+alpha 16", PngColourType::grey_alpha, 16, false, false, true, true},
        {"rgb 8", PngColourType::rgb, 8, false, false, false, false},
        {"rgb 16", PngColourType::rgb, 16, false, false, false, false},
        {"rgba 8", PngColourType::rgba, 8, false, false, false, true},
        {"rgba 16", PngColourType::rgba, 16, false, false, false, true},
        {"rgba 16 interlaced", PngColourType::rgba, 16, true, false, false, true},
        {"palette 8", PngColourType::palette, 8, false, false, false, false},
        {"palette 4 with transparency", PngColourType::palette, 4, false, true, false, true},
        {"palette 8 interlaced", PngColourType::palette, 8, true, false, false, false},
    };
    for (const PictureCase& c : cases) {
        SCOPED_TRACE(c.name);
        PngPicture picture = make_picture(c.colour_type, c.bit_depth, 13, 7);
        picture.is_interlaced = c.is_interlaced;
        if (c.has_palette_alpha) {
            picture.palette_alpha = {0, 128, 255, 7};
        }
        const std::vector<uint8_t> bytes = encode(picture);

        SourceImage image;
        std::string error;
        ASSERT_TRUE(decode_png(bytes.data(), bytes.size(), test_max_edge, &image, &error)) << error;
        EXPECT_EQ(image.width, 13u);
        EXPECT_EQ(image.height, 7u);
        EXPECT_EQ(image.is_grey, c.is_grey);
        EXPECT_EQ(image.has_alpha, c.has_alpha);

        int width = 0;
        int height = 0;
        int channels = 0;
        stbi_us* reference =
            stbi_load_16_from_memory(bytes.data(), static_cast<int>(bytes.size()), &width, &height, &channels, 4);
        ASSERT_NE(reference, nullptr) << stbi_failure_reason();
        ASSERT_EQ(image.texels.size(), size_t{13} * 7 * 4);
        size_t differences = 0;
        for (size_t index = 0; index < image.texels.size(); ++index) {
            differences += image.texels[index] != reference[index] ? 1 : 0;
        }
        EXPECT_EQ(differences, 0u);
        stbi_image_free(reference);
    }
}

TEST(ZcontentPng, EightBitValuesSpreadOverSixteenBitsAndSixteenBitValuesStayExact) {
    PngPicture picture;
    picture.width = 2;
    picture.height = 1;
    picture.colour_type = PngColourType::rgba;
    picture.samples = {0, 1, 128, 255, 254, 0, 255, 7};
    SourceImage image;
    std::string error;
    std::vector<uint8_t> bytes = encode(picture);
    ASSERT_TRUE(decode_png(bytes.data(), bytes.size(), test_max_edge, &image, &error)) << error;
    EXPECT_EQ(image.texels, (std::vector<uint16_t>{0, 257, 128 * 257, 65535, 254 * 257, 0, 65535, 7 * 257}));

    picture.bit_depth = 16;
    picture.samples = {0x1234, 0xFFFF, 0x0001, 0x8000, 0xABCD, 0, 0x00FF, 0xFF00};
    bytes = encode(picture);
    ASSERT_TRUE(decode_png(bytes.data(), bytes.size(), test_max_edge, &image, &error)) << error;
    EXPECT_EQ(image.texels, picture.samples);

    // Without alpha in the file every texel is opaque.
    picture.colour_type = PngColourType::grey;
    picture.samples = {0x0102, 0xFEDC};
    bytes = encode(picture);
    ASSERT_TRUE(decode_png(bytes.data(), bytes.size(), test_max_edge, &image, &error)) << error;
    EXPECT_EQ(image.texels, (std::vector<uint16_t>{0x0102, 0x0102, 0x0102, 0xFFFF, 0xFEDC, 0xFEDC, 0xFEDC, 0xFFFF}));
}

TEST(ZcontentPng, BrokenFilesAreRejectedWithTheFileNameAndTheReason) {
    const test::TemporaryFolder folder;
    const std::vector<uint8_t> good = encode(make_picture(PngColourType::rgb, 8, 40, 40));
    std::vector<uint8_t> corrupt_data = good;
    corrupt_data[good.size() / 2] ^= 0x5A;  // inside the image data: its CRC no longer matches
    const std::vector<uint8_t> truncated(good.begin(), good.begin() + static_cast<long>(good.size() / 2));
    const std::vector<uint8_t> signature_only(good.begin(), good.begin() + 8);
    const std::string text = "not an image";
    PngPicture huge = make_picture(PngColourType::grey, 1, test_max_edge + 1, 1);

    struct Case {
        const char* file;
        std::vector<uint8_t> bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"text.png", std::vector<uint8_t>(text.begin(), text.end()), "not a PNG file"},
        {"empty.png", {}, "not a PNG file"},
        {"signature.png", signature_only, "broken PNG"},
        {"truncated.png", truncated, "broken PNG"},
        {"corrupt.png", corrupt_data, "broken PNG"},
        {"huge.png", encode(huge), "larger than 1024 on an edge"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string error;
        const std::string path = folder.write_file(c.file, std::string(c.bytes.begin(), c.bytes.end()));
        SourceImage image;
        EXPECT_FALSE(read_png_file(path, test_max_edge, &image, &error));
        EXPECT_EQ(error.rfind(path + ": ", 0), 0u) << error;
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
    }
    std::string error;
    SourceImage image;
    EXPECT_FALSE(read_png_file(folder.get_path("missing.png"), test_max_edge, &image, &error));
    EXPECT_NE(error.find(folder.get_path("missing.png")), std::string::npos) << error;
}

}  // namespace
}  // namespace zolt::tools
