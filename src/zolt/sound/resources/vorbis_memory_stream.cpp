#include "zolt/sound/resources/vorbis_memory_stream.h"

#include <cstring>

namespace zolt::sound {
namespace {

alignas(16) uint8_t decode_buffer[vorbis_decode_buffer_size];

constexpr int little_endian = 0;
constexpr int sixteen_bits = 2;
constexpr int signed_samples = 1;

size_t read_memory(void* destination, size_t element_size, size_t count, void* source) {
    auto* const stream = static_cast<VorbisMemoryStream*>(source);
    if (stream->data == nullptr || element_size == 0) {
        return 0;
    }
    const size_t left = (stream->size - stream->position) / element_size;
    if (count > left) {
        count = left;
    }
    std::memcpy(destination, stream->data + stream->position, count * element_size);
    stream->position += static_cast<uint32_t>(count * element_size);
    return count;
}

int seek_memory(void* source, ogg_int64_t offset, int whence) {
    auto* const stream = static_cast<VorbisMemoryStream*>(source);
    if (stream->data == nullptr) {
        return -1;
    }
    int64_t target = 0;
    switch (whence) {
    case SEEK_SET:
        target = offset;
        break;
    case SEEK_CUR:
        target = int64_t{stream->position} + offset;
        break;
    case SEEK_END:
        target = int64_t{stream->size} + offset;
        break;
    default:
        return -1;
    }
    // A position outside the data would make the next read run off it.
    if (target < 0 || target > int64_t{stream->size}) {
        return -1;
    }
    stream->position = static_cast<uint32_t>(target);
    return 0;
}

int close_memory(void* source) {
    auto* const stream = static_cast<VorbisMemoryStream*>(source);
    stream->data = nullptr;
    stream->size = 0;
    stream->position = 0;
    return 0;
}

long tell_memory(void* source) {
    const auto* const stream = static_cast<const VorbisMemoryStream*>(source);
    return stream->data == nullptr ? -1 : static_cast<long>(stream->position);
}

}  // namespace

bool open_vorbis_stream(VorbisMemoryStream& stream, const uint8_t* data, uint32_t size) {
    close_vorbis_stream(stream);
    stream.data = data;
    stream.size = size;
    stream.position = 0;
    const ov_callbacks callbacks{read_memory, seek_memory, close_memory, tell_memory};
    if (ov_open_callbacks(&stream, &stream.decoder, nullptr, 0, callbacks) != 0) {
        // A failed open has already cleared the decoder.
        stream = VorbisMemoryStream{};
        return false;
    }
    stream.is_open = true;
    const ogg_int64_t position = ov_pcm_tell(&stream.decoder);
    if (position < 0) {
        close_vorbis_stream(stream);
        return false;
    }
    stream.loop_position = position;
    return true;
}

const uint8_t* decode_vorbis_stream(VorbisMemoryStream& stream, bool loop, uint32_t& byte_count, bool& at_end) {
    byte_count = 0;
    at_end = false;
    if (!stream.is_open) {
        at_end = true;
        return nullptr;
    }
    const vorbis_info* const info = ov_info(&stream.decoder, -1);
    const uint32_t frame_size = info != nullptr ? 2u * static_cast<uint32_t>(info->channels) : 0u;
    if (frame_size == 0 || frame_size > vorbis_decode_buffer_size) {
        return nullptr;
    }
    uint32_t errors = 0;
    bool just_looped = false;
    while (errors < vorbis_decode_error_limit && byte_count + frame_size <= vorbis_decode_buffer_size) {
        int section = 0;
        const long got = ov_read(&stream.decoder, reinterpret_cast<char*>(decode_buffer + byte_count),
                                 static_cast<int>(vorbis_decode_buffer_size - byte_count), little_endian, sixteen_bits,
                                 signed_samples, &section);
        if (got < 0) {
            ++errors;
            continue;
        }
        if (got > 0) {
            byte_count += static_cast<uint32_t>(got);
            just_looped = false;
            continue;
        }
        if (!loop) {
            at_end = true;
            break;
        }
        // A stream that gives nothing after its loop point would otherwise
        // loop here for ever.
        if (just_looped) {
            ++errors;
            break;
        }
        if (ov_pcm_seek_page(&stream.decoder, stream.loop_position) != 0) {
            ++errors;
        }
        just_looped = true;
    }
    return byte_count != 0 ? decode_buffer : nullptr;
}

void close_vorbis_stream(VorbisMemoryStream& stream) {
    if (stream.is_open) {
        ov_clear(&stream.decoder);
    }
    stream = VorbisMemoryStream{};
}

uint32_t get_vorbis_channels(VorbisMemoryStream& stream) {
    const vorbis_info* const info = stream.is_open ? ov_info(&stream.decoder, -1) : nullptr;
    return info != nullptr ? static_cast<uint32_t>(info->channels) : 0;
}

uint32_t get_vorbis_sample_rate(VorbisMemoryStream& stream) {
    const vorbis_info* const info = stream.is_open ? ov_info(&stream.decoder, -1) : nullptr;
    return info != nullptr ? static_cast<uint32_t>(info->rate) : 0;
}

}  // namespace zolt::sound
