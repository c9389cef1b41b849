#pragma once
// The numbers of the rendering commands, apart from the mailbox so that code
// below the renderer (the server framework's recovery of dead objects) can
// name the ones it issues.
#include <cstdint>

namespace zolt::renderer {

enum RenderingCommand : uint32_t {
    render_frame_command = 1,
    update_frame_command = 2,
    initialize_command = 3,
    create_render_targets_command = 4,
    shutdown_command = 5,
    reload_textures_command = 6,
    collect_dead_textures_command = 7,
    destroy_all_textures_command = 8,
    free_dead_objects_command = 9,
    free_all_dead_objects_command = 10,
    warm_up_command = 11,
    reset_shader_programs_command = 12,
    update_particles_command = 13,
    begin_loading_screen_command = 14,
    end_loading_screen_command = 15,
};

}  // namespace zolt::renderer
