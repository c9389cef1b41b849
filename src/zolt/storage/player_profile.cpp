#include "zolt/storage/player_profile.h"

#include <cstring>

#include "libs/utility/crc32.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/script_objects/array_object.h"
#include "zolt/storage/remote_storage.h"

namespace zolt::storage {

namespace {

constexpr uint32_t profile_file_capacity = profile_data_capacity + 4;

core::ArrayObject* get_profile_array(core::ObjectHandle handle) {
    core::ArrayObject* const array = core::get_handle_server_type(handle) == core::server_type::array
                                         ? static_cast<core::ArrayObject*>(core::get_object(handle))
                                         : nullptr;
    if (array == nullptr) {
        ZOLT_PANIC("Incorrect handle 0x%08x provided to profile save builtin", handle);
    }
    return array;
}

int32_t refuse_profile(const char* reason) {
    report_message(MessageKind::Warning, nullptr, nullptr, 0,
                   "player profile \"%s\" %s; the game keeps its default settings", profile_file_name, reason);
    return -1;
}

}  // namespace

bool save_to_profile(core::ObjectHandle handle) {
    const core::ArrayObject* const array = get_profile_array(handle);
    const uint32_t size = array->get_length() * 4;
    if (size > profile_data_capacity) {
        return false;
    }
    uint8_t file[profile_file_capacity];
    if (size != 0) {
        std::memcpy(file + 4, array->get_elements(), size);
    }
    const uint32_t crc = compute_crc32(file + 4, size);
    std::memcpy(file, &crc, 4);
    RemoteStorage* const storage = get_remote_storage();
    if (storage == nullptr || !storage->write_file(profile_file_name, file, size + 4)) {
        return false;
    }
    simulate_missing_profile = false;
    return true;
}

int32_t load_from_profile(core::ObjectHandle handle) {
    core::ArrayObject* const array = get_profile_array(handle);
    RemoteStorage* const storage = get_remote_storage();
    if (storage == nullptr) {
        return -1;
    }
    if (simulate_missing_profile || !storage->file_exists(profile_file_name)) {
        return 0;
    }
    const int64_t size = storage->get_file_size(profile_file_name);
    if (size < 0) {
        return refuse_profile("cannot be measured");
    }
    if (size > profile_file_capacity || size < 4 || size % 4 != 0) {
        return refuse_profile("has a size no profile has");
    }
    if (size == 4) {
        return 0;
    }
    uint8_t file[profile_file_capacity];
    if (storage->read_file(profile_file_name, file, static_cast<uint32_t>(size)) != size) {
        return refuse_profile("cannot be read");
    }
    const uint32_t data_size = static_cast<uint32_t>(size) - 4;
    uint32_t crc = 0;
    std::memcpy(&crc, file, 4);
    if (compute_crc32(file + 4, data_size) != crc) {
        return refuse_profile("fails its CRC");
    }
    const uint32_t count = data_size / 4;
    if (!array->set_capacity(count) || !array->set_length(count)) {
        return refuse_profile("does not fit the array");
    }
    for (uint32_t index = 0; index < count; ++index) {
        uint32_t word = 0;
        std::memcpy(&word, file + 4 + 4 * index, 4);
        array->set_element(index, word);
    }
    return 1;
}

}  // namespace zolt::storage
