#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "zcontent/lib/block_compressor.h"
#include "zcontent/lib/mipmap_builder.h"
#include "zcontent/lib/texel_encoder.h"

namespace zolt::tools {
namespace {

using renderer::TexelFormat;
using Bytes = std::vector<uint8_t>;

SourceImage make_image(uint32_t width, uint32_t height, const std::vector<uint16_t>& texels, bool is_grey = false) {
    SourceImage image;
    image.width = width;
    image.height = height;
    image.is_grey = is_grey;
    image.has_alpha = true;
    image.texels = texels;
    return image;
}

LevelImage to_level(const SourceImage& image) {
    return build_mipmaps(image, 1, false)[0];
}

// Expected values, computed from the 16-bit source values with integers.
uint8_t to_8(uint32_t value) {
    return static_cast<uint8_t>((value * 255 + 32767) / 65535);
}

void put_16(Bytes* bytes, uint32_t value) {
    bytes->push_back(static_cast<uint8_t>(value));
    bytes->push_back(static_cast<uint8_t>(value >> 8));
}

TEST(ZcontentTexels, EveryUncompressedFormatWritesItsChannelsInUploadOrder) {
    // Two texels: R, G, B, A.
    const std::vector<uint16_t> values = {0x1234, 0x5678, 0x9ABC, 0xDEF0, 0xFFFF, 0x0000, 0x8080, 0x0101};
    const LevelImage level = to_level(make_image(2, 1, values));
    // Luminance of a colour image: 0.2126 R + 0.7152 G + 0.0722 B.
    const auto luminance = [&](uint32_t texel) {
        return (0.2126 * values[texel * 4] + 0.7152 * values[texel * 4 + 1] + 0.0722 * values[texel * 4 + 2]) / 65535.0;
    };
    Bytes rgba8;
    Bytes rgb8;
    Bytes rgba16;
    Bytes rgb16;
    Bytes la16;
    Bytes la8;
    Bytes l16;
    Bytes l8;
    for (uint32_t texel = 0; texel < 2; ++texel) {
        const uint16_t* v = &values[texel * 4];
        rgba8.insert(rgba8.end(), {to_8(v[2]), to_8(v[1]), to_8(v[0]), to_8(v[3])});
        rgb8.insert(rgb8.end(), {to_8(v[0]), to_8(v[1]), to_8(v[2])});
        for (uint32_t channel = 0; channel < 4; ++channel) {
            put_16(&rgba16, v[channel]);
            if (channel < 3) {
                put_16(&rgb16, v[channel]);
            }
        }
        const auto l_16 = static_cast<uint32_t>(std::lround(luminance(texel) * 65535.0));
        const auto l_8 = static_cast<uint8_t>(std::lround(luminance(texel) * 255.0));
        put_16(&la16, l_16);
        put_16(&la16, v[3]);
        la8.insert(la8.end(), {l_8, to_8(v[3])});
        put_16(&l16, l_16);
        l8.push_back(l_8);
    }
    struct Case {
        TexelFormat format;
        Bytes expected;
    };
    const Case cases[] = {
        {TexelFormat::rgba8, rgba8},
        {TexelFormat::rgb8, rgb8},
        {TexelFormat::rgba16, rgba16},
        {TexelFormat::rgb16, rgb16},
        {TexelFormat::luminance16_alpha16, la16},
        {TexelFormat::luminance8_alpha8, la8},
        {TexelFormat::luminance16, l16},
        {TexelFormat::luminance8, l8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<uint32_t>(c.format));
        Bytes out;
        ASSERT_TRUE(encode_texels(level, c.format, false, &out));
        EXPECT_EQ(out, c.expected);
    }
    // The byte order of RGBA8, spelled out once: blue first.
    EXPECT_EQ(rgba8[0], 0x9A);
    EXPECT_EQ(rgba8[2], 0x12);

    Bytes out;
    EXPECT_FALSE(encode_texels(level, TexelFormat::dxt5, false, &out));
    EXPECT_FALSE(encode_texels(level, TexelFormat::depth, false, &out));
}

TEST(ZcontentTexels, LuminanceOfAGreyImageIsItsGreyExactly) {
    const std::vector<uint16_t> values = {0x1357, 0x1357, 0x1357, 0xFFFF, 0xFFFE, 0xFFFE, 0xFFFE, 0x0000};
    const LevelImage level = to_level(make_image(2, 1, values, true));
    Bytes out;
    ASSERT_TRUE(encode_texels(level, TexelFormat::luminance16_alpha16, true, &out));
    EXPECT_EQ(out, (Bytes{0x57, 0x13, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
}

TEST(ZcontentTexels, HalfFloatsRoundToNearestEvenAndKeepSpecialValues) {
    struct Case {
        float value;
        uint16_t half;
    };
    const Case cases[] = {
        {0.0f, 0x0000},
        {-0.0f, 0x8000},
        {1.0f, 0x3C00},
        {0.5f, 0x3800},
        {-2.0f, 0xC000},
        {1.0f / 3.0f, 0x3555},
        {65504.0f, 0x7BFF},                      // the largest half
        {65520.0f, 0x7C00},                      // halfway past it: infinity
        {std::ldexp(1.0f, -14), 0x0400},         // the smallest normal half
        {std::ldexp(1.0f, -24), 0x0001},         // the smallest subnormal
        {std::ldexp(1.0f, -25), 0x0000},         // a tie with zero goes to even
        {std::ldexp(3.0f, -25), 0x0002},         // a tie between 1 and 2 goes to even
        {1.0f + std::ldexp(1.0f, -11), 0x3C00},  // a tie goes down to the even mantissa
        {1.0f + std::ldexp(3.0f, -11), 0x3C02},  // and up to it
        {std::ldexp(1023.0f, -24) + std::ldexp(1.0f, -25) + std::ldexp(1.0f, -30), 0x0400},  // carries into normal
        {1e-10f, 0x0000},
        {INFINITY, 0x7C00},
        {-INFINITY, 0xFC00},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(convert_to_half(c.value), c.half);
    }
    const uint16_t nan = convert_to_half(NAN);
    EXPECT_EQ(nan & 0x7C00, 0x7C00);
    EXPECT_NE(nan & 0x03FF, 0);

    // RGBA16F stores the stored values 0 to 1, each channel a little-endian half.
    const LevelImage level = to_level(make_image(1, 1, {0, 0xFFFF, 0x7FFF, 0x4000}));
    Bytes out;
    ASSERT_TRUE(encode_texels(level, TexelFormat::rgba16f, false, &out));
    // 0x7FFF / 65535 is nearer 0.5 than any other half; 0x4000 / 65535 is 0.25 + 2^-18.
    EXPECT_EQ(out, (Bytes{0x00, 0x00, 0x00, 0x3C, 0x00, 0x38, 0x00, 0x34}));
}

// A reference S3TC decoder: 4 x 4 texels, R, G, B, A bytes.
struct DecodedBlock {
    uint8_t rgba[16][4];
};

void decode_colour_block(const uint8_t* block, bool allows_transparency, DecodedBlock* out) {
    const uint32_t c0 = block[0] | block[1] << 8;
    const uint32_t c1 = block[2] | block[3] << 8;
    const auto expand = [](uint32_t colour, uint32_t(&rgb)[3]) {
        rgb[0] = ((colour >> 11) & 31) * 255 / 31;
        rgb[1] = ((colour >> 5) & 63) * 255 / 63;
        rgb[2] = (colour & 31) * 255 / 31;
    };
    uint32_t palette[4][4];
    uint32_t first[3];
    uint32_t second[3];
    expand(c0, first);
    expand(c1, second);
    const bool is_four_colour = c0 > c1 || !allows_transparency;
    for (uint32_t channel = 0; channel < 3; ++channel) {
        palette[0][channel] = first[channel];
        palette[1][channel] = second[channel];
        palette[2][channel] =
            is_four_colour ? (2 * first[channel] + second[channel]) / 3 : (first[channel] + second[channel]) / 2;
        palette[3][channel] = is_four_colour ? (first[channel] + 2 * second[channel]) / 3 : 0;
    }
    palette[0][3] = palette[1][3] = palette[2][3] = 255;
    palette[3][3] = is_four_colour ? 255 : 0;
    const uint32_t indices = block[4] | block[5] << 8 | block[6] << 16 | static_cast<uint32_t>(block[7]) << 24;
    for (uint32_t texel = 0; texel < 16; ++texel) {
        const uint32_t index = indices >> (texel * 2) & 3;
        for (uint32_t channel = 0; channel < 4; ++channel) {
            out->rgba[texel][channel] = static_cast<uint8_t>(palette[index][channel]);
        }
    }
}

void decode_block(TexelFormat format, const uint8_t* block, DecodedBlock* out) {
    if (format == TexelFormat::dxt1) {
        decode_colour_block(block, true, out);
        return;
    }
    decode_colour_block(block + 8, false, out);
    if (format == TexelFormat::dxt3) {
        for (uint32_t texel = 0; texel < 16; ++texel) {
            out->rgba[texel][3] = static_cast<uint8_t>((block[texel / 2] >> (texel % 2 * 4) & 15) * 17);
        }
        return;
    }
    const uint32_t a0 = block[0];
    const uint32_t a1 = block[1];
    uint32_t alphas[8] = {a0, a1};
    for (uint32_t step = 1; step < 7; ++step) {
        alphas[step + 1] = a0 > a1 ? ((7 - step) * a0 + step * a1) / 7 : 0;
    }
    if (a0 <= a1) {
        for (uint32_t step = 1; step < 5; ++step) {
            alphas[step + 1] = ((5 - step) * a0 + step * a1) / 5;
        }
        alphas[6] = 0;
        alphas[7] = 255;
    }
    uint64_t indices = 0;
    for (uint32_t byte = 0; byte < 6; ++byte) {
        indices |= uint64_t{block[2 + byte]} << (8 * byte);
    }
    for (uint32_t texel = 0; texel < 16; ++texel) {
        out->rgba[texel][3] = static_cast<uint8_t>(alphas[indices >> (texel * 3) & 7]);
    }
}

// Decodes a whole level into R, G, B, A bytes, blocks cut at the edges.
std::vector<uint8_t> decode_level(TexelFormat format, const Bytes& blocks, uint32_t width, uint32_t height) {
    const uint32_t block_size = format == TexelFormat::dxt1 ? 8 : 16;
    const uint32_t across = (width + 3) / 4;
    const uint32_t down = (height + 3) / 4;
    EXPECT_EQ(blocks.size(), size_t{across} * down * block_size);
    std::vector<uint8_t> texels(size_t{across} * 4 * down * 4 * 4);
    const uint32_t stride = across * 4;
    for (uint32_t by = 0; by < down; ++by) {
        for (uint32_t bx = 0; bx < across; ++bx) {
            DecodedBlock decoded;
            decode_block(format, blocks.data() + (by * across + bx) * block_size, &decoded);
            for (uint32_t texel = 0; texel < 16; ++texel) {
                std::memcpy(&texels[((by * 4 + texel / 4) * stride + bx * 4 + texel % 4) * 4], decoded.rgba[texel], 4);
            }
        }
    }
    return texels;
}

// A smooth image: gradients in every channel, as real textures mostly are.
SourceImage make_gradient(uint32_t width, uint32_t height) {
    std::vector<uint16_t> texels;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            texels.push_back(static_cast<uint16_t>(257 * (40 + 8 * x)));
            texels.push_back(static_cast<uint16_t>(257 * (200 - 6 * y)));
            texels.push_back(static_cast<uint16_t>(257 * (90 + 3 * x + 3 * y)));
            texels.push_back(static_cast<uint16_t>(257 * (255 - 7 * x - 5 * y)));
        }
    }
    return make_image(width, height, texels);
}

TEST(ZcontentBlocks, EachDxtFormatDecodesCloseToItsSourceAndDxt1StaysOpaque) {
    const SourceImage image = make_gradient(8, 8);
    const LevelImage level = to_level(image);
    struct Case {
        TexelFormat format;
        int alpha_bound;  // DXT3: 4 bits; DXT5: 8 interpolated steps
    };
    // The colours of a block lie on a line between two 5:6:5 endpoints, four
    // steps apart; these gradients leave that line by a few steps at most.
    const int colour_bound = 16;
    const double mean_colour_bound = 5.0;
    const Case cases[] = {{TexelFormat::dxt1, 0}, {TexelFormat::dxt3, 8}, {TexelFormat::dxt5, 6}};
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<uint32_t>(c.format));
        Bytes blocks;
        ASSERT_TRUE(compress_blocks(level, c.format, &blocks));
        const std::vector<uint8_t> decoded = decode_level(c.format, blocks, 8, 8);
        int worst_colour = 0;
        int total_colour = 0;
        int worst_alpha = 0;
        for (uint32_t y = 0; y < 8; ++y) {
            for (uint32_t x = 0; x < 8; ++x) {
                for (uint32_t channel = 0; channel < 4; ++channel) {
                    const int source = image.get(x, y, channel) / 257;
                    const int found = decoded[(y * 8 + x) * 4 + channel];
                    if (channel < 3) {
                        worst_colour = std::max(worst_colour, std::abs(found - source));
                        total_colour += std::abs(found - source);
                    } else if (c.format == TexelFormat::dxt1) {
                        EXPECT_EQ(found, 255);
                    } else {
                        worst_alpha = std::max(worst_alpha, std::abs(found - source));
                    }
                }
            }
        }
        EXPECT_LE(worst_colour, colour_bound);
        EXPECT_LE(total_colour / (8.0 * 8 * 3), mean_colour_bound);
        EXPECT_LE(worst_alpha, c.alpha_bound);
    }
}

TEST(ZcontentBlocks, DxtThreeStoresEachTexelsAlphaInFourBits) {
    std::vector<uint16_t> texels;
    for (uint32_t texel = 0; texel < 16; ++texel) {
        const uint32_t alpha = texel * 17;  // exactly the 4-bit steps
        texels.insert(texels.end(), {0x8080, 0x8080, 0x8080, static_cast<uint16_t>(alpha * 257)});
    }
    Bytes blocks;
    ASSERT_TRUE(compress_blocks(to_level(make_image(4, 4, texels)), TexelFormat::dxt3, &blocks));
    ASSERT_EQ(blocks.size(), 16u);
    EXPECT_EQ(Bytes(blocks.begin(), blocks.begin() + 8), (Bytes{0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE}));
}

TEST(ZcontentBlocks, PartialBlocksRepeatTheLastColumnAndRowAndSmallLevelsTakeOneBlock) {
    // 6 x 5: the right blocks hold two real columns, the bottom ones one real
    // row. Columns 4-5 and row 4 have their own colour, so padding with
    // anything but the edge would show in the decoded padding.
    const uint32_t width = 6;
    const uint32_t height = 5;
    std::vector<uint16_t> texels;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const bool is_edge = x >= 4 || y == 4;
            texels.insert(texels.end(), {static_cast<uint16_t>(is_edge ? 0xFFFF : 0x2020), 0x4040,
                                         static_cast<uint16_t>(is_edge ? 0x1010 : 0xC0C0), 0xFFFF});
        }
    }
    const SourceImage image = make_image(width, height, texels);
    for (TexelFormat format : {TexelFormat::dxt1, TexelFormat::dxt5}) {
        SCOPED_TRACE(static_cast<uint32_t>(format));
        Bytes blocks;
        ASSERT_TRUE(compress_blocks(to_level(image), format, &blocks));
        const std::vector<uint8_t> decoded = decode_level(format, blocks, width, height);
        // The padding texels (x 6-7, or y 5-7) decode like the edge texel they repeat.
        for (uint32_t y = 0; y < 8; ++y) {
            for (uint32_t x = 0; x < 8; ++x) {
                if (x < width && y < height) {
                    continue;
                }
                const uint32_t edge_x = std::min(x, width - 1);
                const uint32_t edge_y = std::min(y, height - 1);
                for (uint32_t channel = 0; channel < 3; ++channel) {
                    const int source = image.get(edge_x, edge_y, channel) / 257;
                    EXPECT_NEAR(decoded[(y * 8 + x) * 4 + channel], source, 8) << x << "," << y;
                }
            }
        }
    }
    for (uint32_t edge : {1u, 2u, 3u}) {
        const SourceImage small = make_gradient(edge, edge);
        Bytes dxt1;
        Bytes dxt5;
        ASSERT_TRUE(compress_blocks(to_level(small), TexelFormat::dxt1, &dxt1));
        ASSERT_TRUE(compress_blocks(to_level(small), TexelFormat::dxt5, &dxt5));
        EXPECT_EQ(dxt1.size(), 8u);
        EXPECT_EQ(dxt5.size(), 16u);
    }
    Bytes out;
    EXPECT_FALSE(compress_blocks(to_level(image), TexelFormat::rgba8, &out));
}

TEST(ZcontentMipmaps, ColourIsAveragedInLinearLightAndAlphaAndDataAsStored) {
    // Three black texels and one white; alpha 0 under the black ones.
    const SourceImage image = make_image(2, 2, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF});
    const std::vector<LevelImage> colour = build_mipmaps(image, 2, true);
    const std::vector<LevelImage> data = build_mipmaps(image, 2, false);
    ASSERT_EQ(colour.size(), 2u);
    ASSERT_EQ(colour[1].width, 1u);
    ASSERT_EQ(colour[1].height, 1u);
    // sRGB encoding of a quarter of the light, by the sRGB formula.
    const double encoded_quarter = 1.055 * std::pow(0.25, 1.0 / 2.4) - 0.055;
    for (uint32_t channel = 0; channel < 3; ++channel) {
        EXPECT_NEAR(colour[1].get(0, 0, channel), encoded_quarter, 1e-5);
        EXPECT_NEAR(data[1].get(0, 0, channel), 0.25, 1e-6);
    }
    EXPECT_NEAR(colour[1].get(0, 0, 3), 0.25, 1e-6);
    EXPECT_NEAR(data[1].get(0, 0, 3), 0.25, 1e-6);
    // Level 0 is the image as stored.
    EXPECT_EQ(colour[0].get(1, 1, 0), 1.0f);
    EXPECT_EQ(colour[0].get(0, 0, 0), 0.0f);

    // The sRGB curve both ways, against its defining formula.
    for (double value : {0.0, 0.002, 0.04, 0.2, 0.5, 0.9, 1.0}) {
        const double expected = value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        EXPECT_NEAR(decode_srgb(static_cast<float>(value)), expected, 1e-6);
        EXPECT_NEAR(encode_srgb(decode_srgb(static_cast<float>(value))), value, 1e-5);
    }
}

TEST(ZcontentMipmaps, OddEdgesGiveEverySourceTexelTheSameShare) {
    // Red channel values; the other channels are 0 and alpha opaque.
    const auto make_row_image = [](uint32_t width, uint32_t height, const std::vector<double>& reds) {
        std::vector<uint16_t> texels;
        for (double red : reds) {
            texels.insert(texels.end(), {static_cast<uint16_t>(red * 65535.0), 0, 0, 0xFFFF});
        }
        return make_image(width, height, texels);
    };
    const std::vector<double> five = {0.0, 0.2, 0.4, 0.6, 1.0};
    struct Case {
        const char* name;
        uint32_t width;
        uint32_t height;
        std::vector<double> reds;
        uint32_t level_width;
        uint32_t level_height;
        std::vector<double> expected;
    };
    const Case cases[] = {
        {"3 x 1", 3, 1, {0.0, 0.6, 0.9}, 1, 1, {0.5}},
        {"5 x 1", 5, 1, five, 2, 1, {0.4 * 0.0 + 0.4 * 0.2 + 0.2 * 0.4, 0.2 * 0.4 + 0.4 * 0.6 + 0.4 * 1.0}},
        {"1 x 2", 1, 2, {0.2, 0.6}, 1, 1, {0.4}},
        {"1 x 3", 1, 3, {0.3, 0.6, 0.9}, 1, 1, {0.6}},
        {"3 x 3", 3, 3, {0.0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8}, 1, 1, {0.4}},
        {"4 x 2", 4, 2, {0.0, 0.2, 0.4, 0.6, 0.8, 1.0, 0.2, 0.2}, 2, 1, {0.5, 0.35}},
        {"3 x 2", 3, 2, {0.0, 0.3, 0.6, 0.9, 0.3, 0.3}, 1, 1, {0.4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<LevelImage> levels = build_mipmaps(make_row_image(c.width, c.height, c.reds), 2, false);
        ASSERT_EQ(levels[1].width, c.level_width);
        ASSERT_EQ(levels[1].height, c.level_height);
        for (size_t index = 0; index < c.expected.size(); ++index) {
            EXPECT_NEAR(levels[1].texels[index * 4], c.expected[index], 1e-4) << index;
            EXPECT_NEAR(levels[1].texels[index * 4 + 3], 1.0, 1e-6);
        }
    }
}

TEST(ZcontentMipmaps, TheChainHalvesEachEdgeDownToOneTexel) {
    EXPECT_EQ(get_full_level_count(1, 1), 1u);
    EXPECT_EQ(get_full_level_count(64, 16), 7u);
    EXPECT_EQ(get_full_level_count(5, 3), 3u);
    EXPECT_EQ(get_full_level_count(16384, 1), 15u);
    const std::vector<LevelImage> levels = build_mipmaps(make_gradient(64, 5), 7, true);
    const uint32_t widths[] = {64, 32, 16, 8, 4, 2, 1};
    const uint32_t heights[] = {5, 2, 1, 1, 1, 1, 1};
    for (uint32_t level = 0; level < 7; ++level) {
        EXPECT_EQ(levels[level].width, widths[level]);
        EXPECT_EQ(levels[level].height, heights[level]);
        EXPECT_EQ(levels[level].texels.size(), size_t{widths[level]} * heights[level] * 4);
    }
    // A uniform image stays uniform all the way down, in linear light too.
    const SourceImage flat = make_image(3, 3, std::vector<uint16_t>(36, 0x6000));
    const std::vector<LevelImage> flat_levels = build_mipmaps(flat, 2, true);
    EXPECT_NEAR(flat_levels[1].texels[0], 0x6000 / 65535.0, 1e-5);
}

}  // namespace
}  // namespace zolt::tools
