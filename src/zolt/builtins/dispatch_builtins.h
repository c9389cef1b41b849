#pragma once
// The two builtins that belong to no subsystem, and the console-only
// interface calls 112-117, fatal on this platform. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

// 76 and 230.
void bind_dispatch_builtins(BuiltinTable& table);
void bind_console_ui_builtins(BuiltinTable& table);

// 76: the float nearest to the double whose low and high 32 bits are given,
// rounded as the processor rounds, infinite beyond the float range.
float convert_double_to_float(uint32_t low, uint32_t high);

[[noreturn]] void show_signin_ui();
[[noreturn]] void show_friends_ui();
[[noreturn]] void show_party_ui();
[[noreturn]] void show_community_sessions_ui();
[[noreturn]] void show_achievements_ui();
[[noreturn]] void show_gamer_card_ui();

}  // namespace zolt::core
