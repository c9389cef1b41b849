#pragma once
// The builtin dispatcher: a call whose code reference has chain index 15
// hands the shared ScriptContext and the id (bits 0-13) here. Builtins are
// numbered 1 to 701 and have no names at run time; an id of 0 or above 701,
// and an id whose owner does not exist yet, does nothing. The convention
// every builtin follows is in builtin_helpers.h. Main thread only.
#include <cstdint>

#include "zolt/core/script/script_context.h"

namespace zolt::core {

constexpr uint32_t last_builtin_id = 701;

void call_builtin(ScriptContext& context, uint32_t id);

// Console-only interface calls (112-117) that this platform does not
// provide: fatal.
[[noreturn]] void show_signin_ui();
[[noreturn]] void show_friends_ui();
[[noreturn]] void show_party_ui();
[[noreturn]] void show_community_sessions_ui();
[[noreturn]] void show_achievements_ui();
[[noreturn]] void show_gamer_card_ui();

}  // namespace zolt::core

namespace zolt::renderer {

// Builtin 571, withdrawn: fatal.
[[noreturn]] void project_to_screen();

}  // namespace zolt::renderer
