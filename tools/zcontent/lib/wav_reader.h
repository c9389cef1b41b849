#pragma once
// RIFF WAVE files of uncompressed PCM (8 or 16 bits, mono or stereo), as the
// content builder reads them for wave banks.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

struct WavSound {
    uint16_t channels = 0;
    uint16_t bits_per_sample = 0;
    uint32_t sample_rate = 0;
    std::vector<uint8_t> samples;  // as stored: 8-bit unsigned or 16-bit signed little-endian
};

// False, with a message naming the file, for anything but such a file.
bool parse_wav(const std::vector<uint8_t>& bytes, const std::string& path, WavSound* sound, std::string* error);

// A 16-bit WAV file of the interleaved samples, for tests and tools.
std::vector<uint8_t> make_wav(const std::vector<int16_t>& samples, uint16_t channels, uint32_t sample_rate);

}  // namespace zolt::tools
