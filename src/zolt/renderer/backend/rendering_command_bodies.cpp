#include <iterator>

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/opengl/stencil_operations.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_command_mailbox.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/graphics_library/display_mode.h"

namespace zolt::renderer {

namespace {

const RenderingCommandHooks& hooks = rendering_command_hooks;

// Server types whose per-frame update() the frame runs, in its order.
constexpr uint32_t servers_updated_before_layers[] = {
    33,  // viewport
    37,  // particle generator
    36,  // text
    34,  // display
    29,  // portal
};
constexpr uint32_t servers_updated_after_layers[] = {
    41,  // skeleton
    26,  // visual
    30,  // sector
    25,  // mesh
    28,  // light instance
    27,  // light
    39,  // decal
    38,  // sprite
};
constexpr uint32_t texture_server_type = 23;

// Passes of free_all_dead_objects_command before it gives up on dead objects
// the renderer never lets go; every further pass moves both counters on, so
// stamped releases are long due by then.
constexpr uint32_t free_all_dead_objects_pass_limit = 64;

constexpr uint32_t opaque_black = 0xFF000000u;

void run(void (*step)()) {
    if (step != nullptr) {
        step();
    }
}

void update_servers(const uint32_t* types, uint32_t count) {
    for (uint32_t index = 0; index < count; ++index) {
        if (core::ServerBase* server = core::get_server(types[index])) {
            server->update();
        }
    }
}

// Viewports when asked for, then opaque black when none drew.
void draw_views(uint32_t output_flags) {
    run(hooks.take_screen_copy_references);
    bool drawn = false;
    if ((output_flags & output_flag_viewports) != 0 && hooks.render_viewports != nullptr) {
        drawn = hooks.render_viewports();
    }
    run(hooks.clear_screen_copy_references);
    if (!drawn) {
        clear_frame_buffer(opaque_black);
    }
}

void set_full_window_view() {
    const DisplayMode& mode = get_current_display_mode();
    const auto width = static_cast<int32_t>(mode.width);
    const auto height = static_cast<int32_t>(mode.height);
    set_target_size(width, height);
    set_viewport(0, 0, width, height);
}

void prepare_warm_up_view() {
    set_full_window_view();
    opengl::reset_stencil_state();
    opengl::gl.glClear(GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);
    opengl::reset_stencil_clear_tag();
    run(hooks.begin_warm_up_view);
}

void finish_warm_up_view() {
    run(hooks.end_warm_up_view);
    set_full_window_view();
}

void command_render_frame() {
    update_render_servers();
    free_dead_render_objects(false);
    run(hooks.resolve_pending_materials);
    run(hooks.update_textures);
    run(hooks.dummy_draw_new_textures);
    run(hooks.advance_movies);
    const uint32_t output_flags = read_output_flags();
    draw_views(output_flags);
    if ((output_flags & output_flag_movies) != 0) {
        run(hooks.draw_fullscreen_movies);
    }
    if ((output_flags & output_flag_displays) != 0) {
        run(hooks.draw_displays);
    }
    detail::lower_busy_flag();
    run(hooks.finish_particle_update);
    detail::count_completed_command();
}

void command_render_loading_screen() {
    run(hooks.render_loading_screen);
    detail::count_completed_command();
    detail::lower_busy_flag();
}

void command_update_frame() {
    update_render_servers();
    free_dead_render_objects(false);
    run(hooks.finish_particle_update);
}

void command_initialize() {
    run(hooks.initialize_batcher);
    run(hooks.create_decal_index_stream);
}

void command_destroy_all_textures() {
    core::ServerBase* textures = core::get_server(texture_server_type);
    if (textures == nullptr) {
        return;
    }
    while (core::ServerObject* last = textures->get_live_list().get_tail()) {
        core::destroy_object(last);
    }
}

void command_free_all_dead_objects() {
    uint32_t pass = 1;
    while (free_dead_render_objects(true) && pass < free_all_dead_objects_pass_limit) {
        detail::count_extra_pass();
        ++pass;
    }
}

void command_warm_up() {
    update_render_servers();
    run(hooks.finish_particle_update);
    free_dead_render_objects(false);
    run(hooks.resolve_pending_materials);
    run(hooks.destroy_queued_textures);
    run(hooks.update_textures);
    prepare_warm_up_view();
    run(hooks.warm_up_render_layers);
    run(hooks.warm_up_meshes);
    run(hooks.warm_up_decals);
    finish_warm_up_view();
    detail::count_completed_command();
    opengl::gl.glFinish();
}

void command_update_particles() {
    update_render_servers();
    run(hooks.finish_particle_update);
}

void command_begin_loading_screen() {
    detail::set_loading_screen_mode(true);
    update_render_servers();
    free_dead_render_objects(false);
    run(hooks.resolve_pending_materials);
    run(hooks.update_textures);
    const uint32_t output_flags = read_output_flags();
    run(hooks.set_up_loading_screen);
    draw_views(output_flags);
    if ((output_flags & output_flag_displays) != 0) {
        run(hooks.draw_displays);
    }
    run(hooks.finish_particle_update);
    run(hooks.draw_loading_screen_over_frame);
    detail::count_completed_command();
    swap_buffers(1);
    detail::lower_busy_flag();
}

void command_end_loading_screen() {
    run(hooks.delete_loading_screen);
    detail::set_loading_screen_mode(false);
}

}  // namespace

void update_render_servers() {
    run(hooks.relink_portals);
    run(hooks.update_pending_visuals);
    run(hooks.begin_shader_library_frame);
    update_servers(servers_updated_before_layers, std::size(servers_updated_before_layers));
    run(hooks.update_render_layers);
    update_servers(servers_updated_after_layers, std::size(servers_updated_after_layers));
}

bool free_dead_render_objects(bool destroy_textures) {
    core::release_all_dead_objects();
    run(hooks.free_dead_materials);
    if (destroy_textures) {
        run(hooks.destroy_queued_textures);
    }
    return core::any_server_has_dead_objects();
}

namespace detail {

bool run_command_body(uint32_t command) {
    switch (command) {
    case render_frame_command:
        if (is_loading_screen_mode()) {
            command_render_loading_screen();
            return true;
        }
        command_render_frame();
        return true;
    case update_frame_command:
        command_update_frame();
        break;
    case initialize_command:
        command_initialize();
        break;
    case create_render_targets_command:
        run(hooks.create_screen_copies);
        run(hooks.create_render_targets);
        run(hooks.initialize_render_layers);
        break;
    case shutdown_command:
        run(hooks.shut_down_renderer);
        break;
    case reload_textures_command:
        run(hooks.reload_textures);
        break;
    case collect_dead_textures_command:
        run(hooks.destroy_queued_textures);
        break;
    case destroy_all_textures_command:
        command_destroy_all_textures();
        break;
    case free_dead_objects_command:
        free_dead_render_objects(true);
        break;
    case free_all_dead_objects_command:
        command_free_all_dead_objects();
        break;
    case warm_up_command:
        command_warm_up();
        lower_busy_flag();
        return true;
    case reset_shader_programs_command:
        run(hooks.reset_shader_programs);
        break;
    case update_particles_command:
        command_update_particles();
        break;
    case begin_loading_screen_command:
        command_begin_loading_screen();
        return true;
    case end_loading_screen_command:
        command_end_loading_screen();
        break;
    default:
        return false;
    }
    count_completed_command();
    lower_busy_flag();
    return true;
}

}  // namespace detail

}  // namespace zolt::renderer
