#include "zolt/builtins/neighbour_stub_builtins.h"

#include "zolt/builtins/builtin_helpers.h"
#include "zolt/builtins/neutral_builtins.h"
#include "zolt/navigation/area_builtins.h"

namespace zolt::core {

namespace {

void answer_one(ScriptContext& context) {
    set_result(context, 1);
}

void answer_minus_one(ScriptContext& context) {
    set_result(context, 0xFFFFFFFF);
}

// The state of a triangle of open ground.
void answer_open_ground(ScriptContext& context) {
    set_result(context, 3);
}

void answer_missed(ScriptContext& context) {
    set_float_result(context, -1.0f);
}

void answer_up(ScriptContext& context) {
    set_vector_result(context, 0.0f, 0.0f, 1.0f);
}

}  // namespace

void bind_navigation_stub_builtins(BuiltinTable& table) {
    table.bind(BuiltinId::get_navigation_triangle_plane, &answer_up);
    table.bind(BuiltinId::is_path_blocked_ahead, &answer_one);
    table.bind(BuiltinId::get_location_triangle_state, &answer_open_ground);
    for (const BuiltinId id : {BuiltinId::add_start_location, BuiltinId::set_goal_location, BuiltinId::add_obstacle,
                               BuiltinId::find_point_index, BuiltinId::find_graph_group, BuiltinId::find_triangle_group,
                               BuiltinId::find_node_group, BuiltinId::find_link_group}) {
        table.bind(id, &answer_minus_one);
    }
    for (const BuiltinId id : {BuiltinId::intersect_ray_with_sphere, BuiltinId::intersect_ray_with_box,
                               BuiltinId::intersect_ray_with_cylinder}) {
        table.bind(id, &answer_missed);
    }
    servers::bind_area_builtins(table);
    bind_unbuilt_family(table, BuiltinFamily::navigation);
}

}  // namespace zolt::core
