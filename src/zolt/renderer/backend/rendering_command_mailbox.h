#pragma once
// What the command bodies need of the mailbox. Internal to the rendering
// commands; rendering thread only.
#include <cstdint>

namespace zolt::renderer::detail {

// Runs the body of a command number; false for a number without one.
bool run_command_body(uint32_t command);

// The common ending of a body, in two halves since some bodies lower the
// busy flag earlier or later than they count themselves completed.
void lower_busy_flag();
void count_completed_command();
// One more pass of free_all_dead_objects_command: both counters move on, so
// that releases stamped with a frame become due.
void count_extra_pass();
void set_loading_screen_mode(bool on);

}  // namespace zolt::renderer::detail
