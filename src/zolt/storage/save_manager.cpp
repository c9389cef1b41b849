#include "zolt/storage/save_manager.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "libs/io/file_path.h"
#include "libs/io/whole_file.h"
#include "libs/system/time_base.h"
#include "libs/utility/config_variable_table.h"
#include "libs/utility/crc32.h"
#include "libs/utility/fatal_error.h"
#include "libs/utility/string_buffer.h"
#include "platform/system/files.h"
#include "platform/system/folder_listing.h"
#include "platform/system/folders.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script_objects/storage_server.h"
#include "zolt/storage/load_stream_file.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/remote_storage.h"
#include "zolt/storage/save_folder.h"
#include "zolt/storage/save_header.h"
#include "zolt/storage/save_id.h"
#include "zolt/storage/save_status.h"
#include "zolt/storage/save_stream_file.h"
#include "zolt/storage/save_stream_memory.h"
#include "zolt/storage/world_snapshot.h"

namespace zolt::storage {

SaveManager save_manager;

namespace {

uint32_t get_running_code_crc() {
    return core::code_server.is_registered() ? core::code_server.compute_code_crc() : 0;
}

const char* describe_save_status(uint32_t status) {
    switch (status) {
    case save_status_file_error:
        return "it cannot be read";
    case save_status_disk_full:
        return "it cannot be opened";
    case save_status_bad_file:
        return "it is truncated, too long or fails its CRC";
    default:
        return "it is missing";
    }
}

uint32_t get_current_list_time() {
    const time_t now = std::time(nullptr);
    tm local{};
    localtime_r(&now, &local);
    return make_save_list_time(now, local.tm_gmtoff);
}

}  // namespace

void SaveManager::initialize() {
    const char* const configured = save_path != nullptr ? save_path : ".";
    const std::string base = platform::get_documents_folder() + "/" + game_documents_folder;
    switch (make_full_save_folder(configured, base.c_str(), folder_, sizeof folder_)) {
    case SaveFolderProblem::invalid:
        set_fatal_exit_code(ExitCode::save_folder);
        ZOLT_ERROR("Path to the save directory is invalid.");
    case SaveFolderProblem::too_long:
        set_fatal_exit_code(ExitCode::save_folder);
        ZOLT_ERROR("Path to the save directory is too long.");
    case SaveFolderProblem::none:
        break;
    }
    get_config_variable_table().set_variable_from_text("save_path", folder_, false);
    get_folder_remote_storage().set_folder(folder_);
    list_.drop();
}

void SaveManager::set_save_folder(const char* folder) {
    io::format_to_buffer(folder_, sizeof folder_, "%s", folder);
    get_folder_remote_storage().set_folder(folder_);
    list_.drop();
}

bool SaveManager::make_save_file_path(uint32_t save_id, char* path, uint32_t capacity) const {
    if (get_save_kind(save_id) != file_save_kind || get_save_index(save_id) == 0) {
        return false;
    }
    StringBuffer buffer(path, capacity);
    buffer.append(folder_);
    buffer.append_char('/');
    const uint32_t before = buffer.get_length();
    create_save_file_name(buffer, save_id);
    return buffer.get_length() == before + save_file_name_length && buffer.get_length() < io::max_path_units;
}

bool SaveManager::make_folder() const {
    // The save folder and the folders above it, which a first save makes.
    char native[io::native_path_capacity];
    if (!io::make_native_path(folder_, native)) {
        return false;
    }
    for (char* at = native + 1; *at != 0; ++at) {
        if (*at == '/') {
            *at = 0;
            platform::make_folder(native);
            *at = '/';
        }
    }
    return platform::make_folder(native) == 0;
}

uint32_t SaveManager::get_free_save_index(uint32_t save_number) const {
    return SaveList::get_free_save_index(folder_, save_number, list_);
}

bool SaveManager::delete_save(uint32_t save_id) {
    clear_save_status();
    char path[io::native_path_capacity];
    char native[io::native_path_capacity];
    if (!make_save_file_path(save_id, path, sizeof path) || !io::make_native_path(path, native)) {
        record_save_status(save_status_file_error);
        return false;
    }
    if (const uint32_t error = platform::delete_file(native); error != 0) {
        record_save_status_from_error(error);
        return false;
    }
    list_.remove_at(list_.find(save_id));
    return true;
}

bool SaveManager::delete_save_at(uint32_t index) {
    if (index >= list_.get_count()) {
        clear_save_status();
        return false;
    }
    return delete_save(list_.get_entry(index).save_id);
}

bool SaveManager::write_save(uint32_t save_id) {
    const uint32_t code_crc = get_running_code_crc();
    if (get_save_kind(save_id) == memory_save_kind) {
        MemorySaveStream stream;
        if (!stream.open(save_id)) {
            return false;
        }
        write_save_header(stream, code_crc, save_id, get_time());
        core::save_all_servers(stream);
        return stream.finish();
    }
    if (get_save_kind(save_id) != file_save_kind) {
        return false;
    }
    make_folder();
    FileSaveStream stream(*this);
    if (!stream.open(save_id)) {
        return false;
    }
    write_save_header(stream, code_crc, save_id, get_time());
    core::save_all_servers(stream);
    if (!stream.finish()) {
        return false;
    }
    char path[io::native_path_capacity];
    char native[io::native_path_capacity];
    uint64_t size = 0;
    platform::FileHandle handle = platform::invalid_file_handle;
    if (make_save_file_path(save_id, path, sizeof path) && io::make_native_path(path, native) &&
        platform::open_file(native, platform::FileAccess::read, platform::FileCreation::open_existing, &handle) == 0) {
        platform::get_file_size(handle, &size);
        platform::close_file(handle);
    }
    list_.note_written({save_id, get_current_list_time(), static_cast<uint32_t>(size)});
    return true;
}

bool SaveManager::load_world(uint32_t save_id) {
    FileLoadStream file_stream(*this);
    MemoryLoadStream memory_stream;
    LoadStream* stream = nullptr;
    char name[save_file_name_length + 1] = "memory slot";
    if (get_save_kind(save_id) == file_save_kind) {
        if (get_save_slot_type(save_id) <= 2) {
            StringBuffer buffer(name, sizeof name);
            create_save_file_name(buffer, save_id);
        }
        if (!file_stream.open(save_id)) {
            report_message(MessageKind::Warning, nullptr, nullptr, 0, "save \"%s\" refused: %s", name,
                           describe_save_status(get_save_status()));
            return false;
        }
        stream = &file_stream;
    } else if (get_save_kind(save_id) == memory_save_kind && memory_stream.open(save_id)) {
        stream = &memory_stream;
    } else {
        return false;
    }
    if (const char* const reason = check_save_header(*stream, get_running_code_crc())) {
        report_message(MessageKind::Warning, nullptr, nullptr, 0, "save \"%s\" refused: %s", name, reason);
        return false;
    }
    WorldSnapshot snapshot;
    const bool has_snapshot = snapshot.take();
    if (core::load_all_servers(*stream)) {
        return true;
    }
    record_save_status(save_status_bad_file);
    report_message(MessageKind::Warning, nullptr, nullptr, 0,
                   "save \"%s\" refused: its world does not read back; the game goes on as it was", name);
    if (has_snapshot && !snapshot.restore()) {
        ZOLT_PANIC("the running world could not be restored after refusing save 0x%08x", save_id);
    }
    return false;
}

bool SaveManager::load_game(uint32_t save_id) {
    return load_world(save_id);
}

bool SaveManager::save_game(uint32_t save_id) {
    core::run_rendering_command(renderer::update_particles_command);
    core::run_rendering_command(renderer::free_all_dead_objects_command);
    return write_save(save_id);
}

bool SaveManager::load_game_by_id(uint32_t save_id) {
    core::run_rendering_command(renderer::free_all_dead_objects_command);
    last_load_time_ = get_time();
    last_load_id_ = save_id;
    return load_game(save_id);
}

bool SaveManager::write_storage_file(uint32_t save_id) {
    clear_save_status();
    char path[io::native_path_capacity];
    char native[io::native_path_capacity];
    if (!make_save_file_path(save_id, path, sizeof path) || !io::make_native_path(path, native)) {
        record_save_status(save_status_file_error);
        return false;
    }
    make_folder();
    // A whole save keeps its world: only its storage block is replaced.
    uint32_t length = 0;
    auto* const existing = static_cast<uint8_t*>(io::read_file_to_new_buffer(&length, native));
    bool written = false;
    if (existing != nullptr && length > save_stream_offset) {
        std::memcpy(existing + save_reserved_size, storage_record_, storage_record_size);
        written = io::replace_whole_file(native, existing, length);
    } else {
        auto* const bytes = static_cast<uint8_t*>(std::calloc(save_stream_offset, 1));
        std::memcpy(bytes + save_reserved_size, storage_record_, storage_record_size);
        written = io::replace_whole_file(native, bytes, save_stream_offset);
        std::free(bytes);
    }
    std::free(existing);
    if (!written) {
        record_save_status(save_status_file_error);
    }
    return written;
}

void SaveManager::store_storage_object(core::ObjectHandle storage) {
    if (const core::Storage* const object = core::find_storage(storage)) {
        core::read_storage_bytes(storage_block_size, object, storage_record_);
    } else {
        std::memset(storage_record_, 0, storage_block_size);
    }
    const uint32_t crc = compute_crc32(storage_record_, storage_block_size);
    std::memcpy(storage_record_ + storage_block_size, &crc, 4);
}

bool SaveManager::restore_storage_object(uint32_t list_index, core::ObjectHandle storage) {
    core::Storage* const object = core::find_storage(storage);
    if (object == nullptr) {
        return false;
    }
    if (list_index >= list_.get_count()) {
        core::write_storage_bytes(object, storage_record_, storage_block_size);
        return true;
    }
    clear_save_status();
    char path[io::native_path_capacity];
    char native[io::native_path_capacity];
    if (!make_save_file_path(list_.get_entry(list_index).save_id, path, sizeof path) ||
        !io::make_native_path(path, native)) {
        record_save_status(save_status_file_error);
        return false;
    }
    platform::FileHandle handle = platform::invalid_file_handle;
    if (const uint32_t error =
            platform::open_file(native, platform::FileAccess::read, platform::FileCreation::open_existing, &handle);
        error != 0) {
        record_save_status_from_error(error);
        return false;
    }
    uint8_t record[storage_record_size];
    uint32_t transferred = 0;
    const uint32_t read_error = platform::read_file_at(handle, save_reserved_size, record, sizeof record, &transferred);
    const uint32_t close_error = platform::close_file(handle);
    if (read_error != 0 || close_error != 0) {
        record_save_status_from_error(read_error != 0 ? read_error : close_error);
        return false;
    }
    if (transferred != sizeof record || compute_crc32(record, sizeof record) != 0) {
        return false;
    }
    core::write_storage_bytes(object, record, storage_block_size);
    return true;
}

}  // namespace zolt::storage
