#include "libs/utility/crc32.h"

#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace zolt {
namespace {
// Slicing by sixteen: table[k][b] is the register of byte b followed by k zero
// bytes, so sixteen input bytes fold into the register in one step.
constexpr size_t slice_count = 16;
using Crc32Tables = std::array<std::array<uint32_t, 256>, slice_count>;

constexpr Crc32Tables make_crc32_tables() {
    Crc32Tables tables{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint32_t value = byte;
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1u) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        }
        tables[0][byte] = value;
    }
    for (size_t slice = 1; slice < slice_count; ++slice) {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            const uint32_t previous = tables[slice - 1][byte];
            tables[slice][byte] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
    return tables;
}

constexpr Crc32Tables crc32_tables = make_crc32_tables();

inline uint32_t load_le32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void update_crc32_tables(uint32_t& crc_register, size_t byte_count, const uint8_t* data) {
    const auto& t = crc32_tables;
    uint32_t crc = crc_register;
    while (byte_count >= slice_count) {
        const uint32_t word0 = load_le32(data) ^ crc;
        const uint32_t word1 = load_le32(data + 4);
        const uint32_t word2 = load_le32(data + 8);
        const uint32_t word3 = load_le32(data + 12);
        crc = t[15][word0 & 0xFF] ^ t[14][(word0 >> 8) & 0xFF] ^ t[13][(word0 >> 16) & 0xFF] ^ t[12][word0 >> 24] ^
              t[11][word1 & 0xFF] ^ t[10][(word1 >> 8) & 0xFF] ^ t[9][(word1 >> 16) & 0xFF] ^ t[8][word1 >> 24] ^
              t[7][word2 & 0xFF] ^ t[6][(word2 >> 8) & 0xFF] ^ t[5][(word2 >> 16) & 0xFF] ^ t[4][word2 >> 24] ^
              t[3][word3 & 0xFF] ^ t[2][(word3 >> 8) & 0xFF] ^ t[1][(word3 >> 16) & 0xFF] ^ t[0][word3 >> 24];
        data += slice_count;
        byte_count -= slice_count;
    }
    while (byte_count-- > 0) {
        crc = t[0][(crc ^ *data++) & 0xFFu] ^ (crc >> 8);
    }
    crc_register = crc;
}

#if defined(__x86_64__)
// Carry-less multiplication folds 64 bytes a step; the 16 bytes left after
// folding have the same remainder as everything folded into them, so the
// table code finishes them from a zero register.
__attribute__((target("pclmul,sse4.1"))) inline __m128i load(const uint8_t* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i value, __m128i constants, __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(value, constants, 0x00);
    const __m128i high = _mm_clmulepi64_si128(value, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

__attribute__((target("pclmul,sse4.1"))) void update_crc32_folding(uint32_t& crc_register, size_t byte_count,
                                                                   const uint8_t* data) {
    const __m128i fold_by_four = _mm_set_epi64x(0x1c6e41596LL, 0x154442bd4LL);
    const __m128i fold_by_one = _mm_set_epi64x(0x0ccaa009eLL, 0x1751997d0LL);
    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(static_cast<int>(crc_register)));
    __m128i x1 = load(data + 16);
    __m128i x2 = load(data + 32);
    __m128i x3 = load(data + 48);
    data += 64;
    byte_count -= 64;
    while (byte_count >= 64) {
        x0 = fold(x0, fold_by_four, load(data));
        x1 = fold(x1, fold_by_four, load(data + 16));
        x2 = fold(x2, fold_by_four, load(data + 32));
        x3 = fold(x3, fold_by_four, load(data + 48));
        data += 64;
        byte_count -= 64;
    }
    x0 = fold(x0, fold_by_one, x1);
    x0 = fold(x0, fold_by_one, x2);
    x0 = fold(x0, fold_by_one, x3);
    while (byte_count >= 16) {
        x0 = fold(x0, fold_by_one, load(data));
        data += 16;
        byte_count -= 16;
    }
    alignas(16) uint8_t folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), x0);
    uint32_t crc = 0;
    update_crc32_tables(crc, sizeof folded, folded);
    update_crc32_tables(crc, byte_count, data);
    crc_register = crc;
}

const bool has_carry_less_multiply = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
#endif
}  // namespace

void update_crc32(uint32_t& crc_register, size_t byte_count, const void* bytes) {
    const auto* data = static_cast<const uint8_t*>(bytes);
#if defined(__x86_64__)
    if (byte_count >= 128 && has_carry_less_multiply) {
        update_crc32_folding(crc_register, byte_count, data);
        return;
    }
#endif
    update_crc32_tables(crc_register, byte_count, data);
}

}  // namespace zolt
