#include "xvfb_server.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <csignal>

#include <chrono>
#include <string>

namespace zolt::test {

namespace {
constexpr const char* xvfb_path = "/usr/bin/Xvfb";
constexpr int start_timeout_milliseconds = 30000;
}  // namespace

bool XvfbServer::is_installed() {
    return access(xvfb_path, X_OK) == 0;
}

XvfbServer::XvfbServer(const char* screen) {
    if (!is_installed()) {
        failure_ = "Xvfb is not installed";
        return;
    }
    int ready_pipe[2];
    if (pipe(ready_pipe) != 0) {
        failure_ = "no pipe";
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        close(ready_pipe[0]);
        const std::string fd = std::to_string(ready_pipe[1]);
        // Xvfb writes the display number it took to the pipe once it listens.
        execl(xvfb_path, "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp", "-noreset",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready_pipe[1]);
    if (child < 0) {
        close(ready_pipe[0]);
        failure_ = "fork failed";
        return;
    }
    pid_ = child;
    std::string number;
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        if (elapsed >= start_timeout_milliseconds) {
            failure_ = "Xvfb did not report a display in time";
            break;
        }
        pollfd ready{ready_pipe[0], POLLIN, 0};
        if (poll(&ready, 1, 100) <= 0) {
            continue;
        }
        char buffer[16];
        const ssize_t count = read(ready_pipe[0], buffer, sizeof buffer);
        if (count <= 0) {
            failure_ = "Xvfb ended before reporting a display";
            break;
        }
        number.append(buffer, static_cast<size_t>(count));
        if (number.find('\n') != std::string::npos) {
            number.erase(number.find('\n'));
            display_ = ":" + number;
            break;
        }
    }
    close(ready_pipe[0]);
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
}

}  // namespace zolt::test
