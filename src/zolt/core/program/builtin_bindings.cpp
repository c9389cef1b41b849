#include "zolt/core/program/builtin_bindings.h"

#include "zolt/builtins/dispatch_builtins.h"
#include "zolt/builtins/neighbour_stub_builtins.h"
#include "zolt/builtins/neutral_builtins.h"
#include "zolt/builtins/system_builtins.h"
#include "zolt/core/config/config_builtins.h"
#include "zolt/core/events/event_builtins.h"
#include "zolt/core/events/message_builtins.h"
#include "zolt/core/input/input_builtins.h"
#include "zolt/core/loading_screen/loading_screen_builtins.h"
#include "zolt/core/main_thread/main_thread_builtins.h"
#include "zolt/core/object_server/alias_builtins.h"
#include "zolt/core/object_server/server_statistics_builtins.h"
#include "zolt/core/placement/placement_builtins.h"
#include "zolt/core/resources/data_table_builtins.h"
#include "zolt/core/resources/resource_builtins.h"
#include "zolt/core/script/code_builtins.h"
#include "zolt/core/script/state_machine_builtins.h"
#include "zolt/core/script_objects/function_table_builtins.h"
#include "zolt/core/script_objects/motion_server.h"
#include "zolt/core/script_objects/random_builtins.h"
#include "zolt/core/script_objects/string_builtins.h"
#include "zolt/network/game_builtins.h"
#include "zolt/physics/physx_builtins.h"
#include "zolt/renderer/animation/skeleton_builtins.h"
#include "zolt/renderer/backend/frame_pacing_builtins.h"
#include "zolt/renderer/decals/decal_builtins.h"
#include "zolt/renderer/debug_draw/debug_draw_builtins.h"
#include "zolt/renderer/graphics_library/frame_buffer_builtins.h"
#include "zolt/renderer/graphics_library/window_builtins.h"
#include "zolt/renderer/lights/global_light_builtins.h"
#include "zolt/renderer/materials/material_builtins.h"
#include "zolt/renderer/mesh/mesh_builtins.h"
#include "zolt/renderer/particles/particle_generator_builtins.h"
#include "zolt/renderer/viewport/viewport_builtins.h"
#include "zolt/renderer/shaders/shader_library_builtins.h"
#include "zolt/renderer/texture/texture_builtins.h"
#include "zolt/storage/save_builtins.h"
#include "zolt/sound/sound_builtins.h"

namespace zolt::core {

namespace {

using Family = BuiltinFamily;

constexpr BuiltinFamilyBinding family_bindings[] = {
    {Family::aliases, &bind_alias_builtins},
    {Family::animators, &animation::bind_animator_builtins},
    {Family::code, &bind_code_builtins},
    {Family::config, &bind_config_builtins},
    {Family::console_ui, &bind_console_ui_builtins},
    {Family::data_tables, &bind_data_table_builtins},
    {Family::debug_draw, &renderer::bind_debug_draw_builtins},
    {Family::decals, &renderer::bind_decal_builtins},
    {Family::dispatch, &bind_dispatch_builtins},
    {Family::event_clocks, &bind_event_builtins},
    {Family::frame_buffer, &renderer::bind_frame_buffer_builtins},
    {Family::frame_pacing, &renderer::bind_frame_pacing_builtins},
    {Family::function_tables, &bind_function_table_builtins},
    {Family::gpu_quirks, &renderer::bind_gpu_quirk_builtins},
    {Family::input, &bind_input_builtins},
    {Family::interface, nullptr},
    {Family::lights, &renderer::bind_global_light_builtins},
    {Family::loading_screen, &bind_loading_screen_builtins},
    {Family::main_thread, &bind_main_thread_builtins},
    {Family::material_server, &renderer::bind_material_server_builtins},
    {Family::materials, &renderer::bind_material_builtins},
    {Family::meshes, &renderer::bind_mesh_builtins},
    {Family::messages, &bind_message_builtins},
    {Family::motions, &bind_motion_builtins},
    {Family::navigation, &bind_navigation_stub_builtins},
    {Family::network, &network::bind_network_builtins},
    {Family::particles, &renderer::bind_particle_builtins},
    {Family::physics, &physics::bind_physics_builtins},
    {Family::placements, &bind_placement_builtins},
    {Family::random, &bind_random_builtins},
    {Family::resources, &bind_resource_builtins},
    {Family::save_system, &storage::bind_save_builtins},
    {Family::server_statistics, &bind_server_statistics_builtins},
    {Family::shader_library, &renderer::shader_library::bind_shader_library_builtins},
    {Family::skeletons, &animation::bind_skeleton_builtins},
    {Family::sound, &sound::bind_sound_builtins},
    {Family::state_machines, &bind_state_machine_builtins},
    {Family::strings, &bind_string_builtins},
    {Family::stubs, &bind_stub_builtins},
    {Family::system, &bind_system_builtins},
    {Family::textures, &renderer::bind_texture_builtins},
    {Family::track_mixers, &animation::bind_track_mixer_builtins},
    {Family::viewports, &renderer::bind_viewport_builtins},
    {Family::window, &renderer::bind_window_builtins},
};

constexpr bool has_every_family_in_order() {
    uint32_t index = 0;
    for (const BuiltinFamilyBinding& binding : family_bindings) {
        if (static_cast<uint32_t>(binding.family) != index++) {
            return false;
        }
    }
    return index == sizeof builtin_family_names / sizeof builtin_family_names[0];
}
static_assert(has_every_family_in_order());

}  // namespace

std::span<const BuiltinFamilyBinding> get_builtin_family_bindings() {
    return family_bindings;
}

void bind_builtin_family(BuiltinTable& table, const BuiltinFamilyBinding& binding) {
    if (binding.bind != nullptr) {
        binding.bind(table);
    } else {
        bind_unbuilt_family(table, binding.family);
    }
}

void bind_all_builtins(BuiltinTable& table) {
    for (const BuiltinFamilyBinding& binding : family_bindings) {
        bind_builtin_family(table, binding);
    }
}

void bind_all_builtins() {
    static bool is_bound = false;
    if (!is_bound) {
        bind_all_builtins(builtin_table);
        is_bound = true;
    }
}

}  // namespace zolt::core
