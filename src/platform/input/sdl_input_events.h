#pragma once
// The game window's event pump hands every SDL event to the SDL input
// backend before the window sees it: keys, buttons, motion, the wheel and the
// window's focus make the devices' state. Internal to src/platform. Main
// thread only.
#include <SDL.h>

namespace zolt::platform {

void handle_input_event(const SDL_Event& event);

}  // namespace zolt::platform
