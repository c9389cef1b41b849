#pragma once
// The game program's exit codes. They are the launcher's interface: it reads
// them to tell the player what stopped the game, so a code keeps its number
// for good. Free of the engine, so the launcher can include it alone.
#include <cstdint>

namespace zolt {

enum class ExitCode : uint32_t {
    normal_end = 0,
    restart = 32,  // the launcher starts the game again
    // What a fatal path ends with when it stored nothing more specific; the
    // crash report turns it into crash.
    unspecified_fatal = 33,
    pixel_format = 34,   // no pixel format or OpenGL context
    desktop_depth = 35,  // windowed on a desktop of 16 bits or less
    opengl_initialization = 36,
    vertex_buffer_memory = 37,
    sound_initialization = 38,
    sound_subsystem = 39,  // an error while sound runs
    input = 40,
    thread_or_window_class = 41,  // a thread, its call queue or the window class
    file_input_output = 42,
    crash = 43,
    save_folder = 44,
    graphics_below_minimum = 45,
    system_too_old = 46,
    physx = 48,
    component_objects = 49,  // the system's component object library
};

// The number the process ends with.
constexpr uint32_t get_exit_code_number(ExitCode code) {
    return static_cast<uint32_t>(code);
}

}  // namespace zolt
