#include "zolt/core/loading_screen/loading_screen_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/loading_screen/loading_screen.h"

namespace zolt::core {

namespace {

void show_loading_screen_builtin(uint32_t picture, ScriptVector2 centre, ScriptVector2 size) {
    show_loading_screen(picture, centre.x, centre.y, size.x, size.y);
}

}  // namespace

void bind_loading_screen_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::validate_language, &validate_language>(table);
    bind_builtin<BuiltinId::show_loading_screen, &show_loading_screen_builtin>(table);
    bind_builtin<BuiltinId::is_loading_screen_shown, &is_loading_screen_shown>(table);
    bind_builtin<BuiltinId::hide_loading_screen, &hide_loading_screen>(table);
}

}  // namespace zolt::core
