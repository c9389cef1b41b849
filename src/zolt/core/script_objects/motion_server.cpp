#include "zolt/core/script_objects/motion_server.h"

#include "zolt/builtins/builtin_binding.h"

namespace zolt::core {

MotionServer motion_server;

namespace {

void advance_all_motions(int32_t elapsed) {
    motion_server.advance_all(elapsed);
}

}  // namespace

void MotionServer::advance_all(int32_t ticks) {
    if (ticks == 0) {
        return;
    }
    for_each_live_object(this, [ticks](ServerObject* object) {
        auto* const motion = static_cast<Motion*>(object);
        if (motion->get_rate() != 0.0f) {
            motion->set_time(motion->get_time() + static_cast<float>(ticks) * motion->get_rate() * 0.00001f);
        }
    });
}

void bind_motion_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::advance_all_motions, &advance_all_motions>(table);
}

}  // namespace zolt::core
