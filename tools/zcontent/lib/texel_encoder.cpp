#include "texel_encoder.h"

#include <bit>

namespace zolt::tools {
namespace {

using renderer::TexelFormat;

constexpr uint32_t red = 0;
constexpr uint32_t green = 1;
constexpr uint32_t blue = 2;
constexpr uint32_t alpha = 3;

float get_luminance(const float* texel, bool is_grey) {
    return is_grey ? texel[red] : 0.2126f * texel[red] + 0.7152f * texel[green] + 0.0722f * texel[blue];
}

void put_8(std::vector<uint8_t>* out, float value) {
    out->push_back(quantize_to_8_bits(value));
}

void put_16(std::vector<uint8_t>* out, uint16_t value) {
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

uint16_t convert_to_half(float value) {
    const uint32_t bits = std::bit_cast<uint32_t>(value);
    const auto sign = static_cast<uint16_t>(bits >> 16 & 0x8000u);
    const uint32_t exponent = bits >> 23 & 0xFFu;
    const uint32_t mantissa = bits & 0x7FFFFFu;
    if (exponent == 0xFF) {
        // Infinity stays infinity; a NaN keeps a quiet NaN's top bit.
        return static_cast<uint16_t>(sign | 0x7C00u | (mantissa != 0 ? 0x200u | mantissa >> 13 : 0u));
    }
    const int half_exponent = static_cast<int>(exponent) - 127 + 15;
    if (half_exponent >= 31) {
        return static_cast<uint16_t>(sign | 0x7C00u);
    }
    // Normal and subnormal halves alike: shift the full mantissa (with its
    // leading one) into place and round the dropped bits to nearest even.
    uint32_t shift = 13;
    uint32_t significand = mantissa | 0x800000u;
    uint32_t biased_exponent = static_cast<uint32_t>(half_exponent);
    if (half_exponent <= 0) {
        if (half_exponent < -10) {
            return sign;  // below half the smallest subnormal half, float subnormals too
        }
        shift = static_cast<uint32_t>(14 - half_exponent);
        biased_exponent = 0;
    }
    const uint32_t kept = significand >> shift;
    const uint32_t dropped = significand & ((1u << shift) - 1);
    const uint32_t halfway = 1u << (shift - 1);
    uint32_t result = biased_exponent != 0 ? (biased_exponent << 10) + (kept & 0x3FFu) : kept;
    if (dropped > halfway || (dropped == halfway && (kept & 1u) != 0)) {
        ++result;  // a carry into the exponent is the right answer, up to infinity
    }
    return static_cast<uint16_t>(sign | result);
}

// Half up is the nearest for these non-negative values; in double no
// float rounding can tip a value over the half.
uint8_t quantize_to_8_bits(float value) {
    const double clamped = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : static_cast<double>(value));
    return static_cast<uint8_t>(clamped * 255.0 + 0.5);
}

uint16_t quantize_to_16_bits(float value) {
    const double clamped = value < 0.0f ? 0.0 : (value > 1.0f ? 1.0 : static_cast<double>(value));
    return static_cast<uint16_t>(clamped * 65535.0 + 0.5);
}

bool encode_texels(const LevelImage& level, TexelFormat format, bool is_grey, std::vector<uint8_t>* out) {
    const size_t count = size_t{level.width} * level.height;
    const renderer::TexelFormatInfo* info = renderer::find_texel_format(static_cast<uint32_t>(format));
    if (info == nullptr || renderer::is_compressed_texel_format(*info) || !info->in_resources) {
        return false;
    }
    out->reserve(out->size() + count * info->element_bytes);
    for (size_t index = 0; index < count; ++index) {
        const float* texel = &level.texels[index * 4];
        switch (format) {
        case TexelFormat::rgba8:
            put_8(out, texel[blue]);
            put_8(out, texel[green]);
            put_8(out, texel[red]);
            put_8(out, texel[alpha]);
            break;
        case TexelFormat::rgb8:
            put_8(out, texel[red]);
            put_8(out, texel[green]);
            put_8(out, texel[blue]);
            break;
        case TexelFormat::rgba16:
            for (uint32_t channel = red; channel <= alpha; ++channel) {
                put_16(out, quantize_to_16_bits(texel[channel]));
            }
            break;
        case TexelFormat::rgb16:
            for (uint32_t channel = red; channel <= blue; ++channel) {
                put_16(out, quantize_to_16_bits(texel[channel]));
            }
            break;
        case TexelFormat::luminance16_alpha16:
            put_16(out, quantize_to_16_bits(get_luminance(texel, is_grey)));
            put_16(out, quantize_to_16_bits(texel[alpha]));
            break;
        case TexelFormat::luminance8_alpha8:
            put_8(out, get_luminance(texel, is_grey));
            put_8(out, texel[alpha]);
            break;
        case TexelFormat::luminance16:
            put_16(out, quantize_to_16_bits(get_luminance(texel, is_grey)));
            break;
        case TexelFormat::luminance8:
            put_8(out, get_luminance(texel, is_grey));
            break;
        case TexelFormat::rgba16f:
            for (uint32_t channel = red; channel <= alpha; ++channel) {
                put_16(out, convert_to_half(texel[channel]));
            }
            break;
        default:
            return false;
        }
    }
    return true;
}

}  // namespace zolt::tools
