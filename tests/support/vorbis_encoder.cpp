#include "support/vorbis_encoder.h"

#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

#include <cstdlib>

namespace zolt::test {
namespace {

void append_page(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

}  // namespace

std::vector<uint8_t> encode_vorbis(const std::vector<int16_t>& samples, uint32_t channels, uint32_t sample_rate,
                                   float quality) {
    vorbis_info info;
    vorbis_info_init(&info);
    if (vorbis_encode_init_vbr(&info, static_cast<long>(channels), static_cast<long>(sample_rate), quality) != 0) {
        std::abort();
    }
    vorbis_comment comment;
    vorbis_comment_init(&comment);
    vorbis_dsp_state dsp;
    vorbis_analysis_init(&dsp, &info);
    vorbis_block block;
    vorbis_block_init(&dsp, &block);
    ogg_stream_state stream;
    ogg_stream_init(&stream, 1);

    std::vector<uint8_t> out;
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&dsp, &comment, &header, &header_comment, &header_code);
    ogg_stream_packetin(&stream, &header);
    ogg_stream_packetin(&stream, &header_comment);
    ogg_stream_packetin(&stream, &header_code);
    ogg_page page;
    while (ogg_stream_flush(&stream, &page) != 0) {
        append_page(out, page);
    }

    const uint32_t frames = static_cast<uint32_t>(samples.size() / channels);
    const uint32_t chunk = 4096;
    for (uint32_t first = 0;; first += chunk) {
        const uint32_t count = first < frames ? std::min(chunk, frames - first) : 0;
        if (count > 0) {
            float** const buffer = vorbis_analysis_buffer(&dsp, static_cast<int>(count));
            for (uint32_t i = 0; i < count; ++i) {
                for (uint32_t c = 0; c < channels; ++c) {
                    buffer[c][i] = samples[(size_t{first} + i) * channels + c] / 32768.0f;
                }
            }
        }
        vorbis_analysis_wrote(&dsp, static_cast<int>(count));
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            vorbis_analysis(&block, nullptr);
            vorbis_bitrate_addblock(&block);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) != 0) {
                ogg_stream_packetin(&stream, &packet);
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    append_page(out, page);
                }
            }
        }
        if (count == 0) {
            break;
        }
    }
    while (ogg_stream_flush(&stream, &page) != 0) {
        append_page(out, page);
    }
    ogg_stream_clear(&stream);
    vorbis_block_clear(&block);
    vorbis_dsp_clear(&dsp);
    vorbis_comment_clear(&comment);
    vorbis_info_clear(&info);
    return out;
}

std::vector<uint8_t> decode_vorbis_file(const std::string& path) {
    OggVorbis_File file;
    std::vector<uint8_t> out;
    if (ov_fopen(path.c_str(), &file) != 0) {
        return out;
    }
    char buffer[4096];
    int section = 0;
    for (;;) {
        const long got = ov_read(&file, buffer, sizeof buffer, 0, 2, 1, &section);
        if (got <= 0) {
            break;
        }
        out.insert(out.end(), buffer, buffer + got);
    }
    ov_clear(&file);
    return out;
}

}  // namespace zolt::test
