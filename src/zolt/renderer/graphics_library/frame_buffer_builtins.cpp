#include "zolt/renderer/graphics_library/frame_buffer_builtins.h"

#include "libs/utility/fatal_error.h"
#include "zolt/builtins/builtin_binding.h"

namespace zolt::renderer {

void project_to_screen() {
    halt_with_panic("zolt::renderer::project_to_screen",
                    "..\\..\\src\\zolt\\renderer\\graphics_library\\frame_buffer_builtins", 84,
                    "Builtin project_to_screen() should be fixed before it can be used again.");
}

void bind_frame_buffer_builtins(core::BuiltinTable& table) {
    core::bind_builtin<core::BuiltinId::project_to_screen, &project_to_screen>(table);
}

}  // namespace zolt::renderer
