#pragma once
// Ogg Vorbis test media made here with libvorbisenc from synthetic samples,
// and a reference decode of a file through libvorbisfile's own file reader.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::test {

// Interleaved 16-bit samples; quality from -0.1 to 1.0.
std::vector<uint8_t> encode_vorbis(const std::vector<int16_t>& samples, uint32_t channels, uint32_t sample_rate,
                                   float quality = 0.4f);
// Every sample of the file as 16-bit little-endian bytes.
std::vector<uint8_t> decode_vorbis_file(const std::string& path);

}  // namespace zolt::test
