#pragma once
// The outcome of the last save-system file operation. Every operation that
// opens, deletes or scans files clears it first; only its first failure is
// kept. Main thread only.
#include <cstdint>

namespace zolt::storage {

enum SaveStatus : uint32_t {
    save_status_none = 0,
    save_status_file_error = 2,
    save_status_disk_full = 5,
    save_status_bad_file = 6,
};

uint32_t get_save_status();
void clear_save_status();
// Keeps an earlier failure.
void record_save_status(uint32_t status);
// A full disk or quota gives disk_full, any other error file_error, 0 nothing.
void record_save_status_from_error(uint32_t error);

}  // namespace zolt::storage
