#include "zolt/network/game_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/builtins/neutral_builtins.h"
#include "zolt/network/game_server.h"

namespace zolt::network {

void accept_client_messages(core::GameHandle game_object) {
    if (servers::GameObject* const object = servers::find_game_object(game_object)) {
        object->set_accepts_client_messages(true);
    }
}

void register_game_object_key(uint32_t key, core::GameHandle game_object) {
    servers::GameObject* const object = servers::find_game_object(game_object);
    if (key != 0 && object != nullptr) {
        servers::game_server.insert_key(*object, key);
    }
}

void bind_network_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::accept_client_messages, &accept_client_messages>(table);
    bind_builtin<BuiltinId::register_game_object_key, &register_game_object_key>(table);
    bind_network_game_builtins(table);
    core::bind_unbuilt_family(table, core::BuiltinFamily::network);
}

}  // namespace zolt::network
