#pragma once
// A loaded wave bank: its header and data resources (one use of each), the
// waves kept in files of their own, read into memory when the bank opens,
// and the description of each wave that the output layer submits. The bank
// is checked when it opens; a broken one is refused with its id. Main
// thread only.
#include <cstdint>
#include <vector>

#include "zolt/core/object_server/server_object.h"
#include "zolt/sound/resources/wave_bank_format.h"

namespace zolt::sound {

// A whole in-memory wave as the output layer submits it.
struct WaveBuffer {
    float seconds;
    const uint8_t* data;
    uint32_t byte_count;
};

class WaveBank final : public core::ServerObject {
public:
    // The argument is the bank number.
    void initialize(uint32_t number) override;
    void finalize() override;
    // Banks are not restored from a save: sound banks and entities reopen
    // them, so a loaded one destroys itself.
    bool load(storage::LoadStream& stream) override;
    bool set_property(uint32_t id, const core::Property& value) override { return false; }

    uint32_t get_number() const { return number_; }
    bool is_vorbis_bank() const;
    uint32_t get_wave_count() const;
    // The record of a wave below the wave count.
    WaveRecord get_wave(uint32_t index) const;
    // Null when the index is not below the wave count.
    const uint8_t* get_wave_data(uint32_t index) const;
    // False when the bank is a Vorbis bank, the index is out of range or the
    // wave is empty.
    bool get_wave_buffer(uint32_t index, WaveBuffer& out) const;

    // Holders of the bank; the server destroys it when the last one goes.
    uint32_t use_count = 0;

private:
    const uint8_t* get_header() const;
    const uint8_t* get_data() const;
    void read_external_waves();

    uint32_t number_ = 0;
    core::ObjectHandle header_resource_ = 0;
    core::ObjectHandle data_resource_ = 0;
    // The waves kept in files, back to back, and each one's offset there.
    std::vector<uint8_t> external_waves_;
    std::vector<uint32_t> external_offsets_;
};

}  // namespace zolt::sound
