#pragma once
// Ogg Vorbis data held in memory, decoded piece by piece into one shared
// 64 KiB buffer of 16-bit little-endian samples. Used for the waves of
// Vorbis banks and for movie soundtracks. Every decode overwrites the
// buffer, so callers copy what they keep. Main thread only.
#include <vorbis/vorbisfile.h>

#include <cstdint>

namespace zolt::sound {

constexpr uint32_t vorbis_decode_buffer_size = 65536;
// Read or seek errors that end one decode call.
constexpr uint32_t vorbis_decode_error_limit = 8;

struct VorbisMemoryStream {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t position = 0;
    OggVorbis_File decoder{};
    // The PCM position right after opening, where a looping stream restarts.
    int64_t loop_position = 0;
    bool is_open = false;
};

// False, with the stream closed, when the decoder refuses the data.
bool open_vorbis_stream(VorbisMemoryStream& stream, const uint8_t* data, uint32_t size);
// Decodes up to the buffer's size; with loop set, the stream's end seeks back
// to the loop position within the same call. Null when nothing was decoded;
// at_end is set when a stream without loop has nothing more to give.
const uint8_t* decode_vorbis_stream(VorbisMemoryStream& stream, bool loop, uint32_t& byte_count, bool& at_end);
void close_vorbis_stream(VorbisMemoryStream& stream);
// Channels and rate of the current logical stream; 0 when closed.
uint32_t get_vorbis_channels(VorbisMemoryStream& stream);
uint32_t get_vorbis_sample_rate(VorbisMemoryStream& stream);

}  // namespace zolt::sound
