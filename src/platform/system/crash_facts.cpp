#include "platform/system/crash_facts.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysinfo.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#include <ctime>

extern char** environ;

namespace zolt::platform {
namespace {

void copy_text(char* target, size_t capacity, const char* source) {
    size_t length = 0;
    while (length + 1 < capacity && source[length] != '\0') {
        target[length] = source[length];
        ++length;
    }
    target[length] = '\0';
}

// Days since 1970-01-01 to a date of the proleptic Gregorian calendar.
void get_date_from_days(int64_t days, uint32_t& year, uint32_t& month, uint32_t& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<uint64_t>(days - era * 146097);
    const uint64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const uint64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const uint64_t month_index = (5 * day_of_year + 2) / 153;
    day = static_cast<uint32_t>(day_of_year - (153 * month_index + 2) / 5 + 1);
    month = static_cast<uint32_t>(month_index < 10 ? month_index + 3 : month_index - 9);
    year = static_cast<uint32_t>(static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2 ? 1 : 0));
}

}  // namespace

void read_machine_facts(MachineFacts& facts) {
    facts = MachineFacts{};
    struct utsname names {};
    if (uname(&names) == 0) {
        copy_text(facts.system_name, sizeof facts.system_name, names.sysname);
        copy_text(facts.release, sizeof facts.release, names.release);
        copy_text(facts.version, sizeof facts.version, names.version);
        copy_text(facts.machine, sizeof facts.machine, names.machine);
        copy_text(facts.node_name, sizeof facts.node_name, names.nodename);
    }
    struct sysinfo memory {};
    if (sysinfo(&memory) == 0) {
        facts.has_memory = true;
        facts.total_memory_bytes = uint64_t{memory.totalram} * memory.mem_unit;
        facts.free_memory_bytes = uint64_t{memory.freeram} * memory.mem_unit;
        facts.total_swap_bytes = uint64_t{memory.totalswap} * memory.mem_unit;
        facts.free_swap_bytes = uint64_t{memory.freeswap} * memory.mem_unit;
    }
}

CivilTime read_civil_time() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    const int64_t seconds = now.tv_sec;
    int64_t days = seconds / 86400;
    int64_t second_of_day = seconds % 86400;
    if (second_of_day < 0) {
        second_of_day += 86400;
        --days;
    }
    CivilTime time{};
    get_date_from_days(days, time.year, time.month, time.day);
    time.hour = static_cast<uint32_t>(second_of_day / 3600);
    time.minute = static_cast<uint32_t>(second_of_day / 60 % 60);
    time.second = static_cast<uint32_t>(second_of_day % 60);
    time.millisecond = static_cast<uint32_t>(now.tv_nsec / 1000000);
    return time;
}

const char* find_environment_variable(const char* name) {
    const size_t length = std::strlen(name);
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, name, length) == 0 && (*entry)[length] == '=') {
            return *entry + length + 1;
        }
    }
    return nullptr;
}

bool is_environment_variable_present(const char* name) {
    return find_environment_variable(name) != nullptr;
}

bool is_user_administrator() {
    return geteuid() == 0;
}

size_t read_executable_path(char* buffer, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    const ssize_t length = readlink("/proc/self/exe", buffer, capacity - 1);
    if (length <= 0) {
        buffer[0] = '\0';
        return 0;
    }
    buffer[length] = '\0';
    return static_cast<size_t>(length);
}

size_t read_small_file(const char* path, char* buffer, size_t capacity) {
    if (capacity == 0) {
        return 0;
    }
    buffer[0] = '\0';
    const int file = open(path, O_RDONLY | O_CLOEXEC);
    if (file < 0) {
        return 0;
    }
    size_t length = 0;
    while (length + 1 < capacity) {
        const ssize_t count = read(file, buffer + length, capacity - 1 - length);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        length += static_cast<size_t>(count);
    }
    close(file);
    buffer[length] = '\0';
    return length;
}

bool read_own_memory(uint64_t address, void* out, size_t size) {
    iovec local{out, size};
    iovec remote{reinterpret_cast<void*>(static_cast<uintptr_t>(address)), size};
    return process_vm_readv(getpid(), &local, 1, &remote, 1, 0) == static_cast<ssize_t>(size);
}

void warm_up_backtrace() {
    void* frames[4];
    backtrace(frames, 4);
}

int capture_backtrace(void** frames, int capacity) {
    return backtrace(frames, capacity);
}

bool create_folders(char* path) {
    for (char* cursor = path + 1; *cursor != '\0'; ++cursor) {
        if (*cursor != '/') {
            continue;
        }
        *cursor = '\0';
        const bool made = mkdir(path, 0755) == 0 || errno == EEXIST;
        *cursor = '/';
        if (!made) {
            return false;
        }
    }
    return mkdir(path, 0755) == 0 || errno == EEXIST;
}

int create_report_file(const char* path) {
    return open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

bool write_report_bytes(int file, const void* bytes, size_t size) {
    const auto* cursor = static_cast<const uint8_t*>(bytes);
    while (size > 0) {
        const ssize_t count = write(file, cursor, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        cursor += count;
        size -= static_cast<size_t>(count);
    }
    return true;
}

void close_report_file(int file) {
    if (file >= 0) {
        close(file);
    }
}

int open_report_for_reading(const char* path) {
    return open(path, O_RDONLY | O_CLOEXEC);
}

size_t read_report_bytes(int file, void* bytes, size_t size) {
    for (;;) {
        const ssize_t count = read(file, bytes, size);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        return count > 0 ? static_cast<size_t>(count) : 0;
    }
}

bool write_core_dump(const char* folder) {
    const pid_t child = fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (chdir(folder) != 0) {
            _exit(1);
        }
        rlimit limit{};
        getrlimit(RLIMIT_CORE, &limit);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_CORE, &limit);
        prctl(PR_SET_DUMPABLE, 1, 0, 0, 0);
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigaction(SIGABRT, &action, nullptr);
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGABRT);
        sigprocmask(SIG_UNBLOCK, &signals, nullptr);
        kill(getpid(), SIGABRT);
        _exit(1);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFSIGNALED(status) && WCOREDUMP(status);
}

void end_process_from_signal(uint32_t exit_code) {
    _exit(static_cast<int>(exit_code & 0xFFu));
}

void remove_report_file(const char* path) {
    unlink(path);
}

void write_standard_error(const char* text) {
    write_report_bytes(STDERR_FILENO, text, std::strlen(text));
}

void lower_process_priority() {
    setpriority(PRIO_PROCESS, 0, 19);
}

}  // namespace zolt::platform
