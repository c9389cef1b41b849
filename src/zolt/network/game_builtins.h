#pragma once
// The script builtins of the network family: game objects (285, 286), the
// transport formats (287-291), the network game (292-316, 334, 340-355) and
// the LAN game search (319-321) and the game list with the command-line
// connect request (322-339). Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::network {

void bind_network_builtins(core::BuiltinTable& table);
void bind_network_game_builtins(core::BuiltinTable& table);
void bind_game_list_builtins(core::BuiltinTable& table);

// A bad or non-game handle is ignored.
void accept_client_messages(core::GameHandle game_object);
// Key 0, a bad or a non-game handle: nothing.
void register_game_object_key(uint32_t key, core::GameHandle game_object);

}  // namespace zolt::network
