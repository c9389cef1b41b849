#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace zolt::test {
namespace {
// True once the process catches SIGTERM, so a terminate request is not lost
// to the default action while the program is still starting.
bool is_catching_terminate(pid_t child) {
    const std::string path = "/proc/" + std::to_string(child) + "/status";
    FILE* status = std::fopen(path.c_str(), "r");
    if (status == nullptr) {
        return false;
    }
    char line[256];
    unsigned long long caught = 0;
    while (std::fgets(line, sizeof line, status) != nullptr) {
        if (std::sscanf(line, "SigCgt: %llx", &caught) == 1) {
            break;
        }
    }
    std::fclose(status);
    return (caught >> (SIGTERM - 1)) & 1u;
}

// Reads both pipes until they close, so a chatty child never blocks.
void drain(int output_fd, int error_fd, ChildResult& result, pid_t child, const ProgramRun* run) {
    const auto start = std::chrono::steady_clock::now();
    bool terminated = false;
    bool killed = false;
    pollfd fds[2] = {{output_fd, POLLIN, 0}, {error_fd, POLLIN, 0}};
    int open_count = 2;
    char buffer[4096];
    while (open_count > 0) {
        const int ready = poll(fds, 2, 20);
        if (ready > 0) {
            for (int index = 0; index < 2; ++index) {
                if (fds[index].fd < 0 || fds[index].revents == 0) {
                    continue;
                }
                const ssize_t count = read(fds[index].fd, buffer, sizeof buffer);
                if (count <= 0) {
                    close(fds[index].fd);
                    fds[index].fd = -1;
                    --open_count;
                    continue;
                }
                (index == 0 ? result.standard_output : result.standard_error)
                    .append(buffer, static_cast<size_t>(count));
            }
        }
        if (run != nullptr) {
            const auto elapsed =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            const bool due = run->terminate_after_milliseconds > 0 &&
                             (elapsed >= run->terminate_after_milliseconds ||
                              (run->terminate_when && run->terminate_when()));
            if (!terminated && due && is_catching_terminate(child)) {
                kill(child, SIGTERM);
                terminated = true;
            }
            if (!killed && elapsed >= run->timeout_milliseconds) {
                kill(child, SIGKILL);
                killed = true;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.exited = WIFEXITED(status);
    result.exit_code = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}
}  // namespace

ChildResult run_in_child(const std::function<void()>& body) {
    int output_pipe[2];
    int error_pipe[2];
    if (pipe(output_pipe) != 0 || pipe(error_pipe) != 0) {
        std::abort();
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(output_pipe[1], STDOUT_FILENO);
        dup2(error_pipe[1], STDERR_FILENO);
        close(output_pipe[0]);
        close(error_pipe[0]);
        body();
        std::fflush(stdout);
        std::fflush(stderr);
        _exit(0);
    }
    close(output_pipe[1]);
    close(error_pipe[1]);
    ChildResult result;
    drain(output_pipe[0], error_pipe[0], result, child, nullptr);
    return result;
}

ChildResult run_program(const std::string& path, const ProgramRun& run) {
    int output_pipe[2];
    int error_pipe[2];
    if (pipe(output_pipe) != 0 || pipe(error_pipe) != 0) {
        std::abort();
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(output_pipe[1], STDOUT_FILENO);
        dup2(error_pipe[1], STDERR_FILENO);
        close(output_pipe[0]);
        close(error_pipe[0]);
        if (!run.working_folder.empty() && chdir(run.working_folder.c_str()) != 0) {
            _exit(126);
        }
        for (const std::string& assignment : run.environment_overrides) {
            putenv(const_cast<char*>(assignment.c_str()));
        }
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(path.c_str()));
        for (const std::string& argument : run.arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(output_pipe[1]);
    close(error_pipe[1]);
    ChildResult result;
    drain(output_pipe[0], error_pipe[0], result, child, &run);
    return result;
}

size_t count_occurrences(const std::string& text, const std::string& needle) {
    size_t count = 0;
    for (size_t position = text.find(needle); position != std::string::npos;
         position = text.find(needle, position + needle.size())) {
        ++count;
    }
    return count;
}

}  // namespace zolt::test
