#pragma once
// Ending the process, privileges, and the signals that ask the game to quit.
#include <cstdint>

namespace zolt::platform {

// Ends the process at once: standard streams are flushed, exit handlers do not run.
[[noreturn]] void end_process_now(uint32_t exit_code);

// The normal process exit: exit handlers and static destructors run.
[[noreturn]] void exit_process(uint32_t exit_code);

// Blocks the calling thread for good; used by a thread that must not end the
// process while another thread is doing so.
[[noreturn]] void block_thread_forever();

// Gives up what a game never needs: the process can no longer gain privileges.
void drop_privileges();

// SIGINT and SIGTERM only raise a flag, read by the main thread's message pump.
void install_quit_signal_handlers();
bool is_quit_signalled();

}  // namespace zolt::platform
