#pragma once
// Runs code or a program in a child process and collects how it ended, for
// tests of paths that end the process.
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "libs/system/exit_code.h"

namespace zolt::test {

struct ChildResult {
    bool exited = false;  // ended through exit, not a signal
    int exit_code = -1;
    int signal = 0;
    std::string standard_output;
    std::string standard_error;
};

// Forks; the child runs body and then exits with 0.
ChildResult run_in_child(const std::function<void()>& body);

struct ProgramRun {
    std::vector<std::string> arguments;              // without the program path
    std::vector<std::string> environment_overrides;  // NAME=value
    std::string working_folder;                      // empty: the test's own
    // When above 0, SIGTERM is sent after this many milliseconds, or as soon
    // as terminate_when (when given) answers true, whichever comes first.
    int terminate_after_milliseconds = 0;
    std::function<bool()> terminate_when;
    int timeout_milliseconds = 20000;
};

ChildResult run_program(const std::string& path, const ProgramRun& run);

// Counts the non-overlapping occurrences of needle in text.
size_t count_occurrences(const std::string& text, const std::string& needle);

}  // namespace zolt::test

namespace zolt {

// So that a test compares how a child ended with the game program's exit codes
// by name, and a failure prints the number.
inline bool operator==(int number, ExitCode code) {
    return number >= 0 && static_cast<uint32_t>(number) == get_exit_code_number(code);
}
inline void PrintTo(ExitCode code, std::ostream* stream) {
    *stream << get_exit_code_number(code);
}

}  // namespace zolt
