#include "zolt/renderer/graphics_library/window_builtins.h"

#include "libs/opengl/gpu_quirks.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/graphics_library/gamma.h"

namespace zolt::renderer {

namespace {

// Width and height; the third lane is 0.
geometry::Vector3 get_display_size() {
    const geometry::Vector4 size = builtin_get_display_size();
    return {size.x, size.y, size.z};
}

// Width, height and refresh rate; zeros outside the table.
geometry::Vector3 get_display_mode_vector(int32_t index) {
    const geometry::Vector4 mode = builtin_get_display_mode(index);
    return {mode.x, mode.y, mode.z};
}

bool set_display_mode_by_index(int32_t index) {
    return builtin_set_display_mode(index) != 0;
}

// True when the ATI 2.1.8577 driver quirk is clear.
bool get_driver_quirk_flag() {
    return opengl::get_driver_quirk_flag() != 0;
}

}  // namespace

void bind_window_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::get_display_size, &get_display_size>(table);
    bind_builtin<BuiltinId::get_display_reserved, &builtin_get_display_reserved>(table);
    bind_builtin<BuiltinId::get_display_mode_count, &builtin_get_display_mode_count>(table);
    bind_builtin<BuiltinId::get_display_mode, &get_display_mode_vector>(table);
    bind_builtin<BuiltinId::set_display_mode, &set_display_mode_by_index>(table);
    bind_builtin<BuiltinId::get_display_mode_index, &builtin_get_display_mode_index>(table);
    bind_builtin<BuiltinId::set_gamma_immediately, &set_gamma_immediately>(table);
}

void bind_gpu_quirk_builtins(core::BuiltinTable& table) {
    core::bind_builtin<core::BuiltinId::get_driver_quirk_flag, &get_driver_quirk_flag>(table);
}

}  // namespace zolt::renderer
