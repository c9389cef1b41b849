#pragma once
// The engine's life inside one process: start in a fixed order, run the
// cooperative scheduler until quit, stop in a fixed order. Everything here
// runs on the main thread; failures inside are fatal.
#include <cstdint>

namespace zolt::core {

void start_engine();
void run_engine();
void stop_engine();

}  // namespace zolt::core

namespace zolt {

// Language of resource and code variants, 1 to 13.
extern uint32_t current_language;
// Configuration: the language the engine starts with.
extern uint32_t default_language;

uint32_t get_completed_rendering_command_count();

}  // namespace zolt
