#include "zolt/storage/save_status.h"

#include "platform/system/files.h"

namespace zolt::storage {
namespace {
uint32_t save_status = save_status_none;
}  // namespace

uint32_t get_save_status() {
    return save_status;
}

void clear_save_status() {
    save_status = save_status_none;
}

void record_save_status(uint32_t status) {
    if (save_status == save_status_none) {
        save_status = status;
    }
}

void record_save_status_from_error(uint32_t error) {
    if (error == 0) {
        return;
    }
    record_save_status(platform::is_disk_full_error(error) ? save_status_disk_full : save_status_file_error);
}

}  // namespace zolt::storage
