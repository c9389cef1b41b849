#include "zolt/sound/resources/wave_bank.h"

#include <algorithm>
#include <fstream>
#include <string>

#include "libs/utility/fatal_error.h"
#include "zolt/core/resources/resource_info.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/sound/resources/wave_bank_server.h"

namespace zolt::sound {
namespace {

core::ResourceObject* get_resource(core::ObjectHandle handle) {
    return static_cast<core::ResourceObject*>(core::resource_server.get_typed_object(handle));
}

uint32_t get_resource_size(core::ObjectHandle handle) {
    core::ResourceObject* const resource = get_resource(handle);
    return resource != nullptr && resource->get_info() != nullptr ? resource->get_info()->unpacked_size : 0;
}

}  // namespace

void WaveBank::initialize(uint32_t number) {
    number_ = number & wave_bank_number_mask;
    use_count = 0;
    header_resource_ = core::resource_server.open_resource(get_wave_bank_header_id(number_))->get_handle();
    data_resource_ = core::resource_server.open_resource(get_wave_bank_data_id(number_))->get_handle();
    std::string error;
    if (!check_wave_bank(get_wave_bank_header_id(number_), get_header(), get_resource_size(header_resource_),
                         get_resource_size(data_resource_), &error)) {
        ZOLT_ERROR("%s", error.c_str());
    }
    read_external_waves();
}

void WaveBank::finalize() {
    external_waves_ = {};
    external_offsets_ = {};
    for (core::ObjectHandle* handle : {&data_resource_, &header_resource_}) {
        if (core::ResourceObject* const resource = get_resource(*handle)) {
            core::resource_server.destroy_object_internal(resource);
        }
        *handle = 0;
    }
    number_ = 0;
    use_count = 0;
}

bool WaveBank::load(storage::LoadStream& stream) {
    if (!ServerObject::load(stream)) {
        return false;
    }
    header_resource_ = data_resource_ = 0;
    wave_bank_server.destroy_object_internal(this);
    return true;
}

const uint8_t* WaveBank::get_header() const {
    core::ResourceObject* const resource = get_resource(header_resource_);
    return resource != nullptr ? static_cast<const uint8_t*>(resource->get_data()) : nullptr;
}

const uint8_t* WaveBank::get_data() const {
    core::ResourceObject* const resource = get_resource(data_resource_);
    return resource != nullptr ? static_cast<const uint8_t*>(resource->get_data()) : nullptr;
}

bool WaveBank::is_vorbis_bank() const {
    return read_wave_bank_header(get_header()).kind != 0;
}

uint32_t WaveBank::get_wave_count() const {
    return read_wave_bank_header(get_header()).wave_count;
}

WaveRecord WaveBank::get_wave(uint32_t index) const {
    return read_wave_record(get_header(), index);
}

const uint8_t* WaveBank::get_wave_data(uint32_t index) const {
    if (index >= get_wave_count()) {
        return nullptr;
    }
    const WaveRecord wave = get_wave(index);
    if ((wave.flags & wave_flag::external_file) != 0) {
        return external_waves_.data() + external_offsets_[index];
    }
    return get_data() + wave.data_offset;
}

bool WaveBank::get_wave_buffer(uint32_t index, WaveBuffer& out) const {
    if (is_vorbis_bank() || index >= get_wave_count()) {
        return false;
    }
    const WaveRecord wave = get_wave(index);
    if (wave.data_size == 0) {
        return false;
    }
    out.data = get_wave_data(index);
    out.byte_count = wave.data_size;
    out.seconds = static_cast<float>(wave.data_size / get_wave_block_size(wave)) / static_cast<float>(wave.sample_rate);
    return true;
}

void WaveBank::read_external_waves() {
    const uint8_t* const header = get_header();
    const WaveBankHeader bank = read_wave_bank_header(header);
    if ((bank.flags & wave_bank_flag_external_files) == 0 || bank.wave_count == 0) {
        return;
    }
    external_offsets_.assign(bank.wave_count, 0);
    uint64_t total = 0;
    for (uint32_t index = 0; index < bank.wave_count; ++index) {
        const WaveRecord wave = read_wave_record(header, index);
        if ((wave.flags & wave_flag::external_file) != 0) {
            if (total + wave.data_size > UINT32_MAX) {
                ZOLT_ERROR("wave bank 0x%08x: the external waves exceed 4 GiB", get_wave_bank_header_id(number_));
            }
            external_offsets_[index] = static_cast<uint32_t>(total);
            total += wave.data_size;
        }
    }
    // Missing or short files give silence: what was not read stays zero.
    external_waves_.assign(total, 0);
    for (uint32_t index = 0; index < bank.wave_count; ++index) {
        const WaveRecord wave = read_wave_record(header, index);
        if ((wave.flags & wave_flag::external_file) == 0 || wave.data_size == 0) {
            continue;
        }
        std::string path = reinterpret_cast<const char*>(header + wave.path_offset);
        std::replace(path.begin(), path.end(), '\\', '/');
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            continue;
        }
        file.seekg(0, std::ios::end);
        const std::streamoff file_size = file.tellg();
        if (file_size < 0 || static_cast<uint64_t>(file_size) < wave.data_offset) {
            continue;
        }
        const uint64_t available = static_cast<uint64_t>(file_size) - wave.data_offset;
        const auto count = static_cast<std::streamsize>(std::min<uint64_t>(wave.data_size, available));
        file.seekg(wave.data_offset);
        file.read(reinterpret_cast<char*>(external_waves_.data() + external_offsets_[index]), count);
    }
}

}  // namespace zolt::sound
