#include "wav_reader.h"

#include <cstring>

namespace zolt::tools {
namespace {

constexpr uint16_t format_pcm = 1;
constexpr uint32_t chunk_header_size = 8;

uint32_t read_u32(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

uint16_t read_u16(const uint8_t* bytes) {
    uint16_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

void append_u32(std::vector<uint8_t>& out, uint32_t value) {
    const uint8_t* const bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + 4);
}

void append_u16(std::vector<uint8_t>& out, uint16_t value) {
    const uint8_t* const bytes = reinterpret_cast<const uint8_t*>(&value);
    out.insert(out.end(), bytes, bytes + 2);
}

}  // namespace

bool parse_wav(const std::vector<uint8_t>& bytes, const std::string& path, WavSound* sound, std::string* error) {
    auto fail = [&](const char* problem) {
        *error = path + ": " + problem;
        return false;
    };
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        return fail("not a RIFF WAVE file");
    }
    bool has_format = false;
    bool has_data = false;
    size_t at = 12;
    while (at + chunk_header_size <= bytes.size()) {
        const uint8_t* const chunk = bytes.data() + at;
        const uint32_t size = read_u32(chunk + 4);
        if (size > bytes.size() - at - chunk_header_size) {
            return fail("a chunk runs past the end of the file");
        }
        const uint8_t* const body = chunk + chunk_header_size;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16) {
                return fail("the format chunk is too short");
            }
            if (read_u16(body) != format_pcm) {
                return fail("only uncompressed PCM is supported");
            }
            sound->channels = read_u16(body + 2);
            sound->sample_rate = read_u32(body + 4);
            sound->bits_per_sample = read_u16(body + 14);
            has_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            sound->samples.assign(body, body + size);
            has_data = true;
        }
        // Chunks are padded to an even size.
        at += chunk_header_size + size + (size & 1);
    }
    if (!has_format || !has_data) {
        return fail("the format or data chunk is missing");
    }
    if (sound->channels < 1 || sound->channels > 2) {
        return fail("only mono and stereo are supported");
    }
    if (sound->bits_per_sample != 8 && sound->bits_per_sample != 16) {
        return fail("only 8-bit and 16-bit samples are supported");
    }
    if (sound->sample_rate == 0 || sound->sample_rate > 0xFFFF) {
        return fail("the sample rate must lie between 1 and 65535 Hz");
    }
    const uint32_t block = sound->channels * sound->bits_per_sample / 8u;
    sound->samples.resize(sound->samples.size() / block * block);
    return true;
}

std::vector<uint8_t> make_wav(const std::vector<int16_t>& samples, uint16_t channels, uint32_t sample_rate) {
    const auto data_size = static_cast<uint32_t>(samples.size() * 2);
    std::vector<uint8_t> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    append_u32(out, 36 + data_size);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    append_u32(out, 16);
    append_u16(out, format_pcm);
    append_u16(out, channels);
    append_u32(out, sample_rate);
    append_u32(out, sample_rate * channels * 2);
    append_u16(out, static_cast<uint16_t>(channels * 2));
    append_u16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    append_u32(out, data_size);
    const auto* const bytes = reinterpret_cast<const uint8_t*>(samples.data());
    out.insert(out.end(), bytes, bytes + data_size);
    return out;
}

}  // namespace zolt::tools
