#include "zolt/renderer/backend/frame_pacing_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::renderer {

namespace {

void set_late_frame_dropping_enabled(bool enabled) {
    set_late_frame_dropping(enabled ? 1 : 0);
}

}  // namespace

void bind_frame_pacing_builtins(core::BuiltinTable& table) {
    core::bind_builtin<core::BuiltinId::set_late_frame_dropping, &set_late_frame_dropping_enabled>(table);
}

}  // namespace zolt::renderer
