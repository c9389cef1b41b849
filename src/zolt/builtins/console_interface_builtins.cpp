#include "libs/utility/fatal_error.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/builtins/dispatch_builtins.h"

namespace zolt::core {

namespace {
constexpr const char* console_source = "..\\..\\src\\zolt\\builtins\\pc_dummy";
}  // namespace

void show_signin_ui() {
    halt_with_panic("zolt::core::show_signin_ui", console_source, 41, "Sign-in UI is not implemented");
}

void show_friends_ui() {
    halt_with_panic("zolt::core::show_friends_ui", console_source, 51, "Friends UI is not implemented");
}

void show_party_ui() {
    halt_with_panic("zolt::core::show_party_ui", console_source, 61, "Party UI is not implemented");
}

void show_community_sessions_ui() {
    halt_with_panic("zolt::core::show_community_sessions_ui", console_source, 71,
                    "Community sessions UI is not implemented");
}

void show_achievements_ui() {
    halt_with_panic("zolt::core::show_achievements_ui", console_source, 81, "Achievements UI is not implemented");
}

void show_gamer_card_ui() {
    halt_with_panic("zolt::core::show_gamer_card_ui", console_source, 91, "Gamer card UI is not implemented");
}

void bind_console_ui_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::show_signin_ui, &show_signin_ui>(table);
    bind_builtin<BuiltinId::show_friends_ui, &show_friends_ui>(table);
    bind_builtin<BuiltinId::show_party_ui, &show_party_ui>(table);
    bind_builtin<BuiltinId::show_community_sessions_ui, &show_community_sessions_ui>(table);
    bind_builtin<BuiltinId::show_achievements_ui, &show_achievements_ui>(table);
    bind_builtin<BuiltinId::show_gamer_card_ui, &show_gamer_card_ui>(table);
}

}  // namespace zolt::core
