#include "zolt/sound/resources/sound_bank_server.h"

#include "zolt/core/object_server/stream_words.h"

namespace zolt::sound {

SoundBankServer sound_bank_server;

SoundBank* SoundBankServer::find(uint32_t number) {
    core::ServerObject* const head = get_live_list().get_head();
    for (core::ServerObject* object = head; object != nullptr;) {
        auto* const bank = static_cast<SoundBank*>(object);
        if (bank->get_number() == (number & sound_bank_number_mask)) {
            return bank;
        }
        object = core::ObjectList::get_next(object);
        if (object == head) {
            break;
        }
    }
    return nullptr;
}

core::ServerObject* SoundBankServer::create_object_internal(uint32_t number) {
    SoundBank* bank = find(number);
    if (bank == nullptr) {
        bank = static_cast<SoundBank*>(PooledServer::create_object_internal(number));
        core::ServerObject::make_self_owned(bank);
        // The cache's own use keeps the bank open until release_unused_banks.
        bank->use_count = 1;
    }
    ++bank->use_count;
    return bank;
}

void SoundBankServer::destroy_object_internal(core::ServerObject* object) {
    auto* const bank = static_cast<SoundBank*>(object);
    if (bank->use_count > 1) {
        --bank->use_count;
        return;
    }
    PooledServer::destroy_object_internal(bank);
}

void SoundBankServer::release_unused_banks() {
    SoundBank* unused[sound_bank_capacity];
    uint32_t count = 0;
    core::ServerObject* const head = get_live_list().get_head();
    for (core::ServerObject* object = head; object != nullptr && count < sound_bank_capacity;) {
        auto* const bank = static_cast<SoundBank*>(object);
        if (bank->use_count <= 1) {
            unused[count++] = bank;
        }
        object = core::ObjectList::get_next(object);
        if (object == head) {
            break;
        }
    }
    for (uint32_t index = 0; index < count; ++index) {
        PooledServer::destroy_object_internal(unused[index]);
    }
}

uint32_t SoundBankServer::get_bank_number(CueReference reference) const {
    const uint32_t number = get_cue_bank_number(reference);
    if (number != 0) {
        return number;
    }
    return (reference & cue_low_mask) < first_default_b_cue ? default_bank_a : default_bank_b;
}

void SoundBankServer::unregister_server() {
    PooledServer::unregister_server();
    default_bank_a = default_bank_b = 0;
}

void SoundBankServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    core::write_u32(stream, default_bank_a);
    core::write_u32(stream, default_bank_b);
}

bool SoundBankServer::load(storage::LoadStream& stream) {
    return PooledServer::load(stream) && core::read_u32(stream, default_bank_a) &&
           core::read_u32(stream, default_bank_b);
}

}  // namespace zolt::sound
