#include "mipmap_builder.h"

#include <bit>
#include <cmath>

#include "zolt/renderer/texture/texture_resource_format.h"

namespace zolt::tools {
namespace {

constexpr uint32_t colour_channel_count = 3;
constexpr uint32_t channel_count = 4;

// The source texels and weights of one new texel along one axis.
struct Taps {
    uint32_t first;
    uint32_t count;
    float weights[3];
};

Taps get_taps(uint32_t source_size, uint32_t target) {
    if (source_size == 1) {
        return {0, 1, {1.0f, 0.0f, 0.0f}};
    }
    if (source_size % 2 == 0) {
        return {target * 2, 2, {0.5f, 0.5f, 0.0f}};
    }
    // An odd edge 2n + 1 shrinks to n: texel x covers source texels 2x to
    // 2x + 2 with weights (n - x, n, x + 1) / (2n + 1).
    const float n = static_cast<float>(source_size / 2);
    const float x = static_cast<float>(target);
    const float total = static_cast<float>(source_size);
    return {target * 2, 3, {(n - x) / total, n / total, (x + 1.0f) / total}};
}

// The next level down from a level of this size whose texel values come
// from value (texel index, channel).
template <typename Value>
LevelImage shrink(uint32_t width, uint32_t height, const Value& value) {
    LevelImage level;
    level.width = renderer::get_level_dimension(width, 1);
    level.height = renderer::get_level_dimension(height, 1);
    level.texels.assign(size_t{level.width} * level.height * channel_count, 0.0f);
    for (uint32_t y = 0; y < level.height; ++y) {
        const Taps rows = get_taps(height, y);
        for (uint32_t x = 0; x < level.width; ++x) {
            const Taps columns = get_taps(width, x);
            float* texel = &level.texels[(size_t{y} * level.width + x) * channel_count];
            for (uint32_t row = 0; row < rows.count; ++row) {
                for (uint32_t column = 0; column < columns.count; ++column) {
                    const float weight = rows.weights[row] * columns.weights[column];
                    const size_t from = size_t{rows.first + row} * width + columns.first + column;
                    for (uint32_t channel = 0; channel < channel_count; ++channel) {
                        texel[channel] += value(from, channel) * weight;
                    }
                }
            }
        }
    }
    return level;
}

LevelImage shrink(const LevelImage& source) {
    return shrink(source.width, source.height,
                  [&](size_t texel, uint32_t channel) { return source.texels[texel * channel_count + channel]; });
}

void convert_colour(LevelImage* level, float (*convert)(float)) {
    for (size_t index = 0; index < level->texels.size(); index += channel_count) {
        for (uint32_t channel = 0; channel < colour_channel_count; ++channel) {
            level->texels[index + channel] = convert(level->texels[index + channel]);
        }
    }
}

}  // namespace

uint32_t get_full_level_count(uint32_t width, uint32_t height) {
    return static_cast<uint32_t>(std::bit_width(width > height ? width : height));
}

float decode_srgb(float value) {
    return value <= 0.04045f ? value / 12.92f : std::pow((value + 0.055f) / 1.055f, 2.4f);
}

float encode_srgb(float value) {
    return value <= 0.0031308f ? value * 12.92f : 1.055f * std::pow(value, 1.0f / 2.4f) - 0.055f;
}

std::vector<LevelImage> build_mipmaps(const SourceImage& image, uint32_t level_count, bool is_colour) {
    std::vector<LevelImage> levels(level_count);
    if (level_count == 0) {
        return levels;
    }
    LevelImage& top = levels[0];
    top.width = image.width;
    top.height = image.height;
    top.texels.resize(image.texels.size());
    for (size_t index = 0; index < image.texels.size(); ++index) {
        top.texels[index] = static_cast<float>(image.texels[index]) / 65535.0f;
    }
    if (level_count == 1) {
        return levels;
    }
    // The chain is filtered in linear values and each level encoded on its
    // own, so no rounding adds up from level to level.
    LevelImage linear;
    if (is_colour) {
        // Source values are 16-bit: one table decodes them all.
        static const std::vector<float> decoded = [] {
            std::vector<float> table(65536);
            for (uint32_t value = 0; value < table.size(); ++value) {
                table[value] = decode_srgb(static_cast<float>(value) / 65535.0f);
            }
            return table;
        }();
        linear = shrink(image.width, image.height, [&](size_t texel, uint32_t channel) {
            const uint16_t value = image.texels[texel * channel_count + channel];
            return channel == colour_channel_count ? static_cast<float>(value) / 65535.0f : decoded[value];
        });
    } else {
        linear = shrink(top);
    }
    for (uint32_t index = 1; index < level_count; ++index) {
        if (index > 1) {
            linear = shrink(linear);
        }
        levels[index] = linear;
        if (is_colour) {
            convert_colour(&levels[index], encode_srgb);
        }
    }
    return levels;
}

}  // namespace zolt::tools
