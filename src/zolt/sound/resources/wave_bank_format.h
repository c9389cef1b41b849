#pragma once
// The wave bank's two resources: a header resource with one 68-byte record
// per wave, and a data resource with the samples (raw PCM, or whole Ogg
// Vorbis files for a Vorbis bank). Little-endian, read in place through the
// accessors below. The engine checks a bank with check_wave_bank before it
// trusts an offset; the content builder writes banks with build_wave_bank.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::sound {

constexpr uint32_t wave_bank_header_resource_base = 0x4F002000;
constexpr uint32_t wave_bank_data_resource_base = 0x4F003000;
constexpr uint32_t wave_bank_number_mask = 0xFFF;
constexpr uint32_t wave_bank_header_size = 12;
constexpr uint32_t wave_record_size = 68;

namespace wave_format {
constexpr uint16_t pcm_8 = 0, pcm_16 = 1, vorbis = 2, xma = 3;
}
namespace wave_flag {
constexpr uint8_t loops = 0x1, external_file = 0x4;
}
constexpr uint8_t wave_bank_flag_external_files = 0x1;

struct WaveBankHeader {
    uint16_t kind;  // 0 PCM, otherwise Vorbis
    uint8_t flags;
    uint32_t wave_count;
    uint32_t wave_table_offset;
};

struct WaveRecord {
    uint16_t format;
    uint16_t channels;
    uint8_t flags;
    uint16_t sample_rate;
    uint32_t path_offset;
    uint32_t data_offset;
    uint32_t data_size;
    uint32_t loop_start;
    uint32_t loop_length;
    float duration;
};

inline uint32_t get_wave_bank_header_id(uint32_t number) {
    return wave_bank_header_resource_base | (number & wave_bank_number_mask);
}
inline uint32_t get_wave_bank_data_id(uint32_t number) {
    return wave_bank_data_resource_base | (number & wave_bank_number_mask);
}

// Bytes of one sample frame: 1 per channel for 8-bit PCM, 2 for the rest.
inline uint32_t get_wave_block_size(const WaveRecord& wave) {
    return wave.channels * (wave.format == wave_format::pcm_8 ? 1u : 2u);
}

WaveBankHeader read_wave_bank_header(const uint8_t* header);
WaveRecord read_wave_record(const uint8_t* header, uint32_t index);

// False, with a message naming the bank's header resource and what does not
// fit, when counts, offsets, sizes, paths or formats of the bank are broken.
// External waves are checked against their record only: their files are
// read when the bank opens.
bool check_wave_bank(uint32_t header_id, const uint8_t* header, uint32_t header_size, uint32_t data_size,
                     std::string* error);

// A wave as the content builder describes it.
struct WaveDescription {
    uint16_t format = wave_format::pcm_16;
    uint16_t channels = 1;
    uint32_t sample_rate = 44100;
    bool loops = false;
    uint32_t loop_start = 0;   // bytes
    uint32_t loop_length = 0;  // bytes
    float duration = 0.0f;
    // Samples, or the whole Ogg Vorbis file; external waves keep the path.
    std::vector<uint8_t> data;
    std::string external_path;
    uint32_t external_offset = 0;
    uint32_t external_size = 0;
};

// The header and data resources of a bank; false with a message when a wave
// does not fit the format (a 16-bit rate, a loop outside the data, a format
// unlike the bank's kind).
bool build_wave_bank(bool is_vorbis, const std::vector<WaveDescription>& waves, std::vector<uint8_t>* header,
                     std::vector<uint8_t>* data, std::string* error);

}  // namespace zolt::sound
