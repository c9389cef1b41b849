#pragma once
// The main thread's message pump and the quit flag. The flag is the only state
// of the scheduler that other threads touch, so it has a lock of its own; once
// set it stays set.
namespace zolt::core {

// Removes pending window and process messages; returns the quit flag.
bool pump_messages();

void request_quit();
bool is_quit_requested();

}  // namespace zolt::core
