#include "zolt/core/placement/placement_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/placement/placement.h"
#include "zolt/core/placement/placement_server.h"

namespace zolt::core {

uint32_t set_playback_time(uint32_t time) {
    return placement_server.set_playback_time(time);
}

uint32_t set_record_time(uint32_t time) {
    return placement_server.set_record_time(time);
}

void drop_keyframes_before(uint32_t time) {
    placement_server.for_each_track([time](KeyframeTrack* track) { track->owner->drop_keyframes_before(time); });
}

void drop_placement_keyframes_before(PlacementHandle placement, uint32_t time) {
    if (Placement* const target = get_placement_object(placement)) {
        target->drop_keyframes_before(time);
    }
}

void drop_placement_keyframes_after(PlacementHandle placement, uint32_t time) {
    if (Placement* const target = get_placement_object(placement)) {
        target->drop_keyframes_after(time);
    }
}

void drop_all_keyframes() {
    placement_server.for_each_track([](KeyframeTrack* track) { track->owner->drop_all_keyframes(); });
}

void drop_placement_keyframes(PlacementHandle placement) {
    if (Placement* const target = get_placement_object(placement)) {
        target->drop_all_keyframes();
    }
}

void bind_placement_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::set_playback_time, &set_playback_time>(table);
    bind_builtin<BuiltinId::set_record_time, &set_record_time>(table);
    bind_builtin<BuiltinId::drop_keyframes_before, &drop_keyframes_before>(table);
    bind_builtin<BuiltinId::drop_placement_keyframes_before, &drop_placement_keyframes_before>(table);
    bind_builtin<BuiltinId::drop_placement_keyframes_after, &drop_placement_keyframes_after>(table);
    bind_builtin<BuiltinId::drop_all_keyframes, &drop_all_keyframes>(table);
    bind_builtin<BuiltinId::drop_placement_keyframes, &drop_placement_keyframes>(table);
}

}  // namespace zolt::core
