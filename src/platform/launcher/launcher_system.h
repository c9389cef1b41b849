#pragma once
// The launcher's calls into the system: where it lies, which libraries load,
// free disk space, one instance at a time, and the game program's process.
// Only the launcher links this layer. One thread.
#include <sys/types.h>
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::platform {

// The folder of the running program, without a trailing '/'; empty when the
// system does not tell.
std::string get_launcher_folder();

bool can_load_library(const char* name);

// 0 and the bytes free to the user on the path's device, or the errno.
uint32_t query_free_space(const std::string& path, uint64_t* free_bytes);

// Holds an abstract local socket of that name until the process ends, which
// frees it however it ends. False when another process holds it.
bool acquire_single_instance(const std::string& name);

// Starts program with the arguments (after its own path) in folder; 0 and the
// process id, or the errno.
uint32_t start_process(const std::string& program, const std::vector<std::string>& arguments, const std::string& folder,
                       pid_t* process);
// Waits for the process to end. True with its exit status, or with
// 128 + the signal number and ended_by_signal set; false when waiting failed.
bool wait_for_process(pid_t process, uint32_t* exit_code, bool* ended_by_signal);

}  // namespace zolt::platform
