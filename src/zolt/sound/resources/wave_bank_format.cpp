#include "zolt/sound/resources/wave_bank_format.h"

#include <cinttypes>
#include <cstdio>

#include "libs/io/little_endian_fields.h"

namespace zolt::sound {
namespace {

bool fail(std::string* error, uint32_t header_id, const char* what, uint32_t index = UINT32_MAX) {
    char text[160];
    if (index == UINT32_MAX) {
        std::snprintf(text, sizeof text, "wave bank 0x%08" PRIx32 ": %s", header_id, what);
    } else {
        std::snprintf(text, sizeof text, "wave bank 0x%08" PRIx32 ": wave %" PRIu32 ": %s", header_id, index, what);
    }
    if (error != nullptr) {
        *error = text;
    }
    return false;
}

bool has_terminated_path(const uint8_t* header, uint32_t header_size, uint32_t offset) {
    for (uint32_t at = offset; at < header_size; ++at) {
        if (header[at] == 0) {
            return at > offset;
        }
    }
    return false;
}

}  // namespace

WaveBankHeader read_wave_bank_header(const uint8_t* header) {
    return {read_field<uint16_t>(header, 0), read_field<uint8_t>(header, 2), read_field<uint32_t>(header, 4),
            read_field<uint32_t>(header, 8)};
}

WaveRecord read_wave_record(const uint8_t* header, uint32_t index) {
    const uint32_t table = read_field<uint32_t>(header, 8);
    const uint8_t* const record = header + table + size_t{index} * wave_record_size;
    WaveRecord wave;
    wave.format = read_field<uint16_t>(record, 0);
    wave.channels = read_field<uint16_t>(record, 2);
    wave.flags = read_field<uint8_t>(record, 4);
    wave.sample_rate = read_field<uint16_t>(record, 6);
    wave.path_offset = read_field<uint32_t>(record, 8);
    wave.data_offset = read_field<uint32_t>(record, 16);
    wave.data_size = read_field<uint32_t>(record, 20);
    wave.loop_start = read_field<uint32_t>(record, 24);
    wave.loop_length = read_field<uint32_t>(record, 28);
    wave.duration = read_field<float>(record, 32);
    return wave;
}

bool check_wave_bank(uint32_t header_id, const uint8_t* header, uint32_t header_size, uint32_t data_size,
                     std::string* error) {
    if (header_size < wave_bank_header_size) {
        return fail(error, header_id, "the header is shorter than 12 bytes");
    }
    const WaveBankHeader bank = read_wave_bank_header(header);
    if (!fits_within(bank.wave_table_offset, bank.wave_count, wave_record_size, header_size)) {
        return fail(error, header_id, "the wave count and table offset run past the header");
    }
    for (uint32_t index = 0; index < bank.wave_count; ++index) {
        const WaveRecord wave = read_wave_record(header, index);
        const bool is_vorbis_wave = wave.format == wave_format::vorbis;
        if (wave.format > wave_format::xma) {
            return fail(error, header_id, "unknown format", index);
        }
        if (wave.format != wave_format::xma && is_vorbis_wave != (bank.kind != 0)) {
            return fail(error, header_id, "the format does not match the bank's kind", index);
        }
        if (wave.channels == 0 || wave.channels > 2 || wave.sample_rate == 0) {
            return fail(error, header_id, "channels or sample rate out of range", index);
        }
        const bool is_external = (wave.flags & wave_flag::external_file) != 0;
        if (is_external) {
            if ((bank.flags & wave_bank_flag_external_files) == 0) {
                return fail(error, header_id, "an external wave in a bank without external files", index);
            }
            if (!has_terminated_path(header, header_size, wave.path_offset)) {
                return fail(error, header_id, "the file path is not a terminated text inside the header", index);
            }
        } else if (!fits_within(wave.data_offset, 1, wave.data_size, data_size)) {
            return fail(error, header_id, "the data runs past the data resource", index);
        }
        if (!is_vorbis_wave) {
            const uint32_t block = get_wave_block_size(wave);
            if (wave.data_size % block != 0) {
                return fail(error, header_id, "the data size is not a whole number of sample frames", index);
            }
            if ((wave.flags & wave_flag::loops) != 0 &&
                (wave.loop_start % block != 0 || wave.loop_length % block != 0 ||
                 !fits_within(wave.loop_start, 1, wave.loop_length, wave.data_size))) {
                return fail(error, header_id, "the loop region lies outside the data", index);
            }
        }
    }
    return true;
}

bool build_wave_bank(bool is_vorbis, const std::vector<WaveDescription>& waves, std::vector<uint8_t>* header,
                     std::vector<uint8_t>* data, std::string* error) {
    bool has_external = false;
    for (const WaveDescription& wave : waves) {
        has_external = has_external || !wave.external_path.empty();
    }
    const uint32_t table_offset = wave_bank_header_size;
    const uint32_t count = static_cast<uint32_t>(waves.size());
    header->assign(table_offset + size_t{count} * wave_record_size, 0);
    data->clear();
    write_field<uint16_t>(*header, 0, is_vorbis ? 1 : 0);
    write_field<uint8_t>(*header, 2, has_external ? wave_bank_flag_external_files : 0);
    write_field<uint32_t>(*header, 4, count);
    write_field<uint32_t>(*header, 8, table_offset);
    for (uint32_t index = 0; index < count; ++index) {
        const WaveDescription& wave = waves[index];
        const uint32_t record = table_offset + index * wave_record_size;
        if (wave.sample_rate == 0 || wave.sample_rate > 0xFFFF) {
            return fail(error, 0, "the sample rate does not fit 16 bits", index);
        }
        if ((wave.format == wave_format::vorbis) != is_vorbis) {
            return fail(error, 0, "the format does not match the bank's kind", index);
        }
        uint8_t flags = wave.loops ? wave_flag::loops : 0;
        write_field<uint16_t>(*header, record + 0, wave.format);
        write_field<uint16_t>(*header, record + 2, wave.channels);
        write_field<uint16_t>(*header, record + 6, static_cast<uint16_t>(wave.sample_rate));
        write_field<uint32_t>(*header, record + 24, wave.loop_start);
        write_field<uint32_t>(*header, record + 28, wave.loop_length);
        write_field<float>(*header, record + 32, wave.duration);
        if (!wave.external_path.empty()) {
            flags |= wave_flag::external_file;
            const uint32_t path_offset = static_cast<uint32_t>(header->size());
            header->insert(header->end(), wave.external_path.begin(), wave.external_path.end());
            header->push_back(0);
            write_field<uint32_t>(*header, record + 8, path_offset);
            write_field<uint32_t>(*header, record + 16, wave.external_offset);
            write_field<uint32_t>(*header, record + 20, wave.external_size);
        } else {
            if (data->size() + wave.data.size() > UINT32_MAX) {
                return fail(error, 0, "the data resource would exceed 4 GiB", index);
            }
            write_field<uint32_t>(*header, record + 16, static_cast<uint32_t>(data->size()));
            write_field<uint32_t>(*header, record + 20, static_cast<uint32_t>(wave.data.size()));
            data->insert(data->end(), wave.data.begin(), wave.data.end());
        }
        write_field<uint8_t>(*header, record + 4, flags);
    }
    const uint32_t header_id = 0;
    return check_wave_bank(header_id, header->data(), static_cast<uint32_t>(header->size()),
                           static_cast<uint32_t>(data->size()), error);
}

}  // namespace zolt::sound
