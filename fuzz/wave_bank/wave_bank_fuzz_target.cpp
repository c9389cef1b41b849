// A wave bank's header resource and the size of its data resource, as the
// engine checks them when the bank opens: an accepted bank must describe only
// waves whose records lie inside the header, whose data and loop regions lie
// inside the data resource and whose file paths end inside the header.
// Input: the data size as four little-endian bytes, then the header resource.
#include <cstdint>
#include <cstring>

#include "support/fuzz_entry.h"
#include "zolt/sound/resources/wave_bank_format.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt::sound;

void check_accepted(const uint8_t* header, uint32_t header_size, uint32_t data_size) {
    const WaveBankHeader bank = read_wave_bank_header(header);
    fuzz::expect(uint64_t{bank.wave_table_offset} + uint64_t{bank.wave_count} * wave_record_size <= header_size,
                 "an accepted bank's wave table runs past the header");
    for (uint32_t index = 0; index < bank.wave_count; ++index) {
        const WaveRecord wave = read_wave_record(header, index);
        fuzz::expect(wave.channels >= 1 && wave.channels <= 2 && wave.sample_rate != 0,
                     "an accepted wave has no channels or rate");
        if ((wave.flags & wave_flag::external_file) != 0) {
            fuzz::expect(wave.path_offset < header_size &&
                             std::memchr(header + wave.path_offset, 0, header_size - wave.path_offset) != nullptr,
                         "an accepted external wave's path does not end inside the header");
        } else {
            fuzz::expect(uint64_t{wave.data_offset} + wave.data_size <= data_size,
                         "an accepted wave's data runs past the data resource");
        }
        if (wave.format != wave_format::vorbis && (wave.flags & wave_flag::loops) != 0) {
            fuzz::expect(uint64_t{wave.loop_start} + wave.loop_length <= wave.data_size,
                         "an accepted loop lies outside its wave");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4 || size > 8192) {
        return 0;
    }
    uint32_t data_size;
    std::memcpy(&data_size, data, sizeof(data_size));
    const uint32_t header_size = static_cast<uint32_t>(size - 4);
    // An exactly sized copy, so the sanitizer sees any read past the header.
    uint8_t* const header = new uint8_t[header_size];
    std::memcpy(header, data + 4, header_size);
    std::string error;
    if (check_wave_bank(0x4F002001, header, header_size, data_size, &error)) {
        check_accepted(header, header_size, data_size);
    } else {
        fuzz::expect(error.find("wave bank 0x4f002001") == 0, "a refusal does not name the bank");
    }
    delete[] header;
    return 0;
}
