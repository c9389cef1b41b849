#pragma once
// Showing and hiding the loading screen from scripts, its cooperative
// redraw thread, and the check of a language number. Showing runs rendering
// command 14, which freezes the current frame as the background and turns
// the picture over it; hiding runs command 15. Main thread only.
#include <cstdint>

#include "zolt/core/main_thread/scheduler.h"

namespace zolt::core {

// Picture resource id (0 for none), its centre and size in pixels of the
// display.
void show_loading_screen(uint32_t picture, float centre_x, float centre_y, float width, float height);
void hide_loading_screen();
bool is_loading_screen_shown();

// Presents the loading screen, then runs again 100 ms later.
void loading_screen_thread_step(Thread* thread);
Thread& get_loading_screen_thread();

// The number itself when it is 1 to 13, otherwise 1.
uint32_t validate_language(uint32_t language);

}  // namespace zolt::core
