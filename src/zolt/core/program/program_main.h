#pragma once
// The game program's entry: platform checks, the configuration, the process
// affinity, then the engine's start, run and stop.
#include <cstdint>
#include <optional>

namespace zolt {

// Configuration: 0 leaves the affinity alone, 1 narrows the process to one
// processor, 2 spreads it over every processor.
extern uint32_t multithreading_mode;

int run_program(int argument_count, char** arguments);
int program_main(int argument_count, const char* const* arguments);

// Stores the calling thread as the main thread; a second call is fatal.
void register_as_main_thread();
uint32_t get_main_thread_id();

// The affinity program main sets at start for a mode and system mask, or none
// when it leaves the affinity alone.
std::optional<uint32_t> choose_start_affinity(uint32_t mode, uint32_t system_mask);
// The mask for worker threads, from the mode and the process mask.
uint32_t choose_thread_affinity_mask(uint32_t mode, uint32_t process_mask);
uint32_t compute_thread_affinity_mask();

}  // namespace zolt
