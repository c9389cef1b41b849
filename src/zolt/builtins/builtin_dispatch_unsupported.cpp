#include "libs/utility/fatal_error.h"
#include "zolt/builtins/builtin_dispatch.h"

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

}  // namespace zolt::core

namespace zolt::renderer {

void project_to_screen() {
    halt_with_panic("zolt::renderer::project_to_screen",
                    "..\\..\\src\\zolt\\renderer\\graphics_library\\frame_buffer_builtins", 84,
                    "Builtin project_to_screen() should be fixed before it can be used again.");
}

}  // namespace zolt::renderer
