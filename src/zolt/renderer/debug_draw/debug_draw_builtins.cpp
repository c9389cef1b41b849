#include "zolt/renderer/debug_draw/debug_draw_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/debug_draw/debug_draw_server.h"

namespace zolt::renderer {

namespace {

void set_debug_draw_mask(uint32_t mask) {
    debug_draw_server.set_mask(mask);
}

uint32_t get_debug_draw_mask() {
    return debug_draw_server.get_mask();
}

}  // namespace

void bind_debug_draw_builtins(core::BuiltinTable& table) {
    using core::BuiltinId;
    core::bind_builtin<BuiltinId::set_debug_draw_mask, &set_debug_draw_mask>(table);
    core::bind_builtin<BuiltinId::get_debug_draw_mask, &get_debug_draw_mask>(table);
}

}  // namespace zolt::renderer
