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

uint32_t get_completed_rendering_command_count();

}  // namespace zolt
