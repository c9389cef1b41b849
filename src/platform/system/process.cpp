#include "platform/system/process.h"

#include <sys/prctl.h>
#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace zolt::platform {
namespace {
volatile sig_atomic_t quit_signalled = 0;

void handle_quit_signal(int) {
    quit_signalled = 1;
}
}  // namespace

void end_process_now(uint32_t exit_code) {
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(static_cast<int>(exit_code & 0xFFu));
}

void exit_process(uint32_t exit_code) {
    std::exit(static_cast<int>(exit_code & 0xFFu));
}

void block_thread_forever() {
    for (;;) {
        pause();
    }
}

void drop_privileges() {
    prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
}

void install_quit_signal_handlers() {
    struct sigaction action {};
    action.sa_handler = handle_quit_signal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool is_quit_signalled() {
    return quit_signalled != 0;
}

}  // namespace zolt::platform
