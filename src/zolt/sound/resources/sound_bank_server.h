#pragma once
// The server of sound banks (type 44, 30 banks) and the two default bank
// numbers that cue references of bank 0 use: A for cue ids below 1000, B
// from 1000. A bank stays open after its last holder released it, until
// release_unused_banks. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/sound/resources/sound_bank.h"

namespace zolt::sound {

constexpr uint32_t sound_bank_server_type = 44;
constexpr uint32_t sound_bank_capacity = 30;

class SoundBankServer final : public core::PooledServer<SoundBank, sound_bank_capacity> {
public:
    SoundBankServer() : PooledServer(sound_bank_server_type) {}

    const char* get_name() const override { return "SoundBankServer"; }
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    core::ServerObject* create_object_internal(uint32_t number) override;
    void destroy_object_internal(core::ServerObject* object) override;

    SoundBank* open(uint32_t number) { return static_cast<SoundBank*>(create_object_internal(number)); }
    void release(SoundBank* bank) { destroy_object_internal(bank); }
    // Destroys every bank nobody holds.
    void release_unused_banks();
    // The bank number a reference opens: its own, else default A or B.
    uint32_t get_bank_number(CueReference reference) const;

    uint32_t default_bank_a = 0;
    uint32_t default_bank_b = 0;

private:
    SoundBank* find(uint32_t number);
};

extern SoundBankServer sound_bank_server;

}  // namespace zolt::sound
