#include "zolt/sound/resources/wave_bank_server.h"

namespace zolt::sound {

WaveBankServer wave_bank_server;

WaveBank* WaveBankServer::find(uint32_t number) {
    const core::ObjectList& live = get_live_list();
    core::ServerObject* const head = live.get_head();
    for (core::ServerObject* object = head; object != nullptr;) {
        auto* const bank = static_cast<WaveBank*>(object);
        if (bank->get_number() == (number & wave_bank_number_mask)) {
            return bank;
        }
        object = core::ObjectList::get_next(object);
        if (object == head) {
            break;
        }
    }
    return nullptr;
}

core::ServerObject* WaveBankServer::create_object_internal(uint32_t number) {
    WaveBank* bank = find(number);
    if (bank == nullptr) {
        bank = static_cast<WaveBank*>(PooledServer::create_object_internal(number));
        core::ServerObject::make_self_owned(bank);
    }
    ++bank->use_count;
    return bank;
}

void WaveBankServer::destroy_object_internal(core::ServerObject* object) {
    auto* const bank = static_cast<WaveBank*>(object);
    if (bank->use_count > 1) {
        --bank->use_count;
        return;
    }
    bank->use_count = 0;
    PooledServer::destroy_object_internal(bank);
}

}  // namespace zolt::sound
