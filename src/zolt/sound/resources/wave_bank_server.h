#pragma once
// The server of wave banks (type 43, 40 banks). A bank opens on its first
// use and is destroyed as soon as its last holder releases it; sound banks
// keep the wave banks they list open. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/sound/resources/wave_bank.h"

namespace zolt::sound {

constexpr uint32_t wave_bank_server_type = 43;
constexpr uint32_t wave_bank_capacity = 40;

class WaveBankServer final : public core::PooledServer<WaveBank, wave_bank_capacity> {
public:
    WaveBankServer() : PooledServer(wave_bank_server_type) {}

    const char* get_name() const override { return "WaveBankServer"; }
    // The bank of that number with one more holder.
    core::ServerObject* create_object_internal(uint32_t number) override;
    // One holder less; the last one destroys the bank.
    void destroy_object_internal(core::ServerObject* object) override;

    WaveBank* open(uint32_t number) { return static_cast<WaveBank*>(create_object_internal(number)); }
    void release(WaveBank* bank) { destroy_object_internal(bank); }
    // The open bank of that number, or null.
    WaveBank* find(uint32_t number);
};

extern WaveBankServer wave_bank_server;

}  // namespace zolt::sound
