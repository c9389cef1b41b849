#pragma once
// The loading screen's render side: while packs load and the frame loop
// stands still, the last frame stays on screen as a still background and a
// picture turns over it, redrawn and presented about ten times a second by
// the loading-screen thread and by long-running loaders. Rendering commands
// 14 and 15 begin and end it; while it is shown, command 1 draws only it.
// Everything runs on the main thread, which is the rendering thread.
#include <cstdint>

namespace zolt::renderer {

class TextureObject;

// Ticks of the time base between two redraws: 100 ms.
constexpr uint32_t loading_screen_redraw_interval = 10000;
// A tenth of a turn per drawing: one turn a second.
constexpr float loading_screen_phase_step = 0.1f;

struct LoadingScreenState {
    bool shown = false;
    // The picture's texture object, held only while show runs command 14.
    TextureObject* loading_texture = nullptr;
    // In pixels of the display; given to show and zeroed when it returns.
    float requested_centre[2] = {0, 0};
    float requested_size[2] = {0, 0};
    // The same over the display mode's width and height (0 to 1, y upward).
    float centre[2] = {0, 0};
    float size[2] = {0, 0};
    // The picture's rotation in turns, 0 to below 1.
    float phase = 0;
    // GL texture names; 0 when none.
    uint32_t background_texture = 0;
    uint32_t overlay_texture = 0;
    // The display mode's size when the loading screen began; 0 when none.
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t last_drawing_time = 0;
};

extern LoadingScreenState loading_screen;

// Command 14, before its frame: the display's size, the normalised centre
// and size, a copy of the picture as the overlay, phase 0, and the
// loading-screen thread woken.
void begin_loading_screen();
// Command 14, after its frame: that frame copied as the background.
void create_loading_screen_texture();
// The background and the turning picture into the current frame buffer; the
// phase moves on by a tenth of a turn. Does not present.
void draw_loading_screen();
// Clear, draw and present, marked as running inside a rendering command.
void present_loading_screen();
// The same from inside a rendering command, the mark left alone.
void present_loading_screen_in_command();
// Command 15: the thread unlinked, both textures deleted, the size 0.
void end_loading_screen();
// For long-running work on the main thread: false when the loading screen
// is not shown or has no overlay; true otherwise, presenting when 100 ms
// have passed since the last drawing.
bool update_loading_screen();

// The corner of the turning picture with signs (u, v) for the phase, in
// window coordinates 0 to 1.
void get_loading_picture_corner(float phase, float u, float v, float* x, float* y);

// Commands 14, 15 and 1 reach the loading screen, and the shader warm-up
// keeps it alive, once these are installed.
void install_loading_screen_hooks();
void remove_loading_screen_hooks();

}  // namespace zolt::renderer
