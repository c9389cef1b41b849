#pragma once
// The rendering commands: everything that touches OpenGL or the render-side
// state of the servers runs as one of fifteen numbered commands, issued
// through a one-slot mailbox and run at once on the issuing thread, the
// registered rendering thread (the main thread). The mailbox counts the
// commands issued and completed; the renderer stamps GL objects and streams
// it may release only after the frames that used them with these counters.
//
// The counters and the busy flag change only through atomic operations
// (particle workers and upload code read them); everything else is for the
// rendering thread alone.
#include <cstdint>

#include "zolt/renderer/backend/rendering_command.h"

namespace zolt::renderer {

// Bits of the frame's output flags: what the scripts ask to be drawn.
constexpr uint32_t output_flag_viewports = 0x10000;
constexpr uint32_t output_flag_movies = 0x20000;
constexpr uint32_t output_flag_displays = 0x40000;
constexpr uint32_t output_flags_drawing = 0x70000;

// The render-side work of the parts around the commands, each installed by
// its part when it starts; a step not installed does nothing (and a query
// answers 0 or false). The servers' own per-frame update() runs through the
// server table for every server registered.
struct RenderingCommandHooks {
    // The event server's flag word.
    uint32_t (*read_event_flags)() = nullptr;
    bool (*is_fullscreen_video_playing)() = nullptr;

    // update_render_servers, before the servers' update().
    void (*relink_portals)() = nullptr;
    void (*update_pending_visuals)() = nullptr;
    void (*begin_shader_library_frame)() = nullptr;
    void (*update_render_layers)() = nullptr;

    // free_dead_render_objects.
    void (*free_dead_materials)() = nullptr;
    void (*destroy_queued_textures)() = nullptr;

    // The frame.
    void (*resolve_pending_materials)() = nullptr;
    void (*update_textures)() = nullptr;
    void (*dummy_draw_new_textures)() = nullptr;
    void (*advance_movies)() = nullptr;
    void (*take_screen_copy_references)() = nullptr;
    void (*clear_screen_copy_references)() = nullptr;
    // True when a viewport drew.
    bool (*render_viewports)() = nullptr;
    void (*draw_fullscreen_movies)() = nullptr;
    void (*draw_displays)() = nullptr;
    void (*finish_particle_update)() = nullptr;

    // Start-up and shut-down.
    void (*initialize_batcher)() = nullptr;
    void (*create_decal_index_stream)() = nullptr;
    // Command 4: the screen copies, then the texture server's render
    // targets, then the render layers.
    void (*create_screen_copies)() = nullptr;
    void (*create_render_targets)() = nullptr;
    void (*initialize_render_layers)() = nullptr;
    void (*shut_down_renderer)() = nullptr;

    // Textures and shaders.
    void (*reload_textures)() = nullptr;
    void (*reset_shader_programs)() = nullptr;

    // Warm-up: the view's context, matrices and shader constants, and what
    // is warmed up in it.
    void (*begin_warm_up_view)() = nullptr;
    void (*warm_up_render_layers)() = nullptr;
    void (*warm_up_meshes)() = nullptr;
    void (*warm_up_decals)() = nullptr;
    void (*end_warm_up_view)() = nullptr;

    // The loading screen.
    void (*set_up_loading_screen)() = nullptr;
    void (*draw_loading_screen_over_frame)() = nullptr;
    void (*render_loading_screen)() = nullptr;
    void (*delete_loading_screen)() = nullptr;
};

extern RenderingCommandHooks rendering_command_hooks;

// Runs the command's body at once and answers render_frame's result. Code
// that may run inside another command's body issues the same way.
bool issue_rendering_command(uint32_t command);
// Takes the pending command and runs it; a number outside 1-15 is fatal.
bool render_frame();

// Engine start: after frame-rate control; runs initialize_command. A second
// registration is fatal.
void register_as_rendering_thread();
// Engine stop: runs shutdown_command; fatal from another thread than the one
// that registered.
void unregister_rendering_thread();

// free_all_dead_objects_command: before saving, loading, resource marks and at
// engine stop.
void release_dead_render_objects();

// The frame loop's render step: render_frame_command when the frame is drawn,
// update_frame_command when it is updated without drawing; false when it
// issued nothing because the frame must wait.
bool render_or_skip_frame();

// Every server releases the dead objects the renderer let go, the material
// server frees its dead ones, queued textures are destroyed when asked;
// true while any server still holds dead objects.
bool free_dead_render_objects(bool destroy_textures);
// The render-side per-frame update of every server, in a fixed order.
void update_render_servers();

// The output flags of the frame: the event flag word less its low five bits.
uint32_t read_output_flags();

uint32_t read_issued_counter();
uint32_t read_completed_counter();
bool is_busy();
// True on the rendering thread while a command body runs there: code that may
// be called from inside a body does its render-side work directly then.
bool is_inside_rendering_command();
bool is_loading_screen_mode();
// The loading screen's redraw from outside any command marks itself as
// running inside one (outside = false) for its duration, so render-side code
// it reaches acts directly.
void set_outside_rendering_command(bool outside);
// 0 when no rendering thread is registered.
uint32_t get_rendering_thread_id();

}  // namespace zolt::renderer
