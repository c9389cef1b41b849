#include "platform/system/affinity.h"

#include <dirent.h>
#include <sched.h>
#include <cstdlib>
#include <mutex>

namespace zolt::platform {
namespace {
bool read_mask(pid_t thread, uint32_t* mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(thread, sizeof(set), &set) != 0) {
        return false;
    }
    uint32_t bits = 0;
    for (int processor = 0; processor < 32; ++processor) {
        if (CPU_ISSET(processor, &set)) {
            bits |= 1u << processor;
        }
    }
    *mask = bits;
    return true;
}

std::once_flag start_mask_once;
bool start_mask_known = false;
uint32_t start_mask = 0;
}  // namespace

bool get_process_affinity_masks(uint32_t* process_mask, uint32_t* system_mask) {
    std::call_once(start_mask_once, [] { start_mask_known = read_mask(0, &start_mask); });
    if (!start_mask_known || !read_mask(0, process_mask)) {
        return false;
    }
    *system_mask = start_mask;
    return true;
}

bool set_process_affinity_mask(uint32_t mask) {
    cpu_set_t set;
    CPU_ZERO(&set);
    for (int processor = 0; processor < 32; ++processor) {
        if (mask & (1u << processor)) {
            CPU_SET(processor, &set);
        }
    }
    bool all_set = sched_setaffinity(0, sizeof(set), &set) == 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) {
            const pid_t thread = static_cast<pid_t>(std::atoi(entry->d_name));
            if (thread > 0 && sched_setaffinity(thread, sizeof(set), &set) != 0) {
                all_set = false;
            }
        }
        closedir(tasks);
    }
    return all_set;
}

}  // namespace zolt::platform
