#include <cinttypes>

#include "libs/io/whole_file.h"
#include "libs/utility/crc32.h"
#include "libs/utility/fatal_error.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/resources/resource_loader.h"

namespace zolt::core {
namespace {

constexpr uint32_t pack_open_flags = io::open_read | io::quiet_missing_file | io::handle_not_owned;  // 0x481
constexpr uint32_t pack_read_flags = io::open_read | io::handle_not_owned;                           // 0x401
constexpr uint32_t pack_close_flags = io::open_read;                                                 // 0x1
constexpr uint32_t pack_message_capacity = 1024;

// Checks of an entry name no file in their wording: the pack's path follows
// on the next line.
[[noreturn]] void halt_on_pack_check(const io::PackCheckResult& result, const char* path, uint32_t pack_index,
                                     bool is_entry_check = false) {
    char message[pack_message_capacity];
    io::describe_pack_check(result, is_entry_check ? "" : path, pack_index, message, sizeof message);
    const char* const separator = is_entry_check ? "\n" : "";
    const char* const named_path = is_entry_check ? path : "";
    if (result.check == io::PackCheck::unpacked_size_too_large) {
        ZOLT_PANIC("%s%s%s", message, separator, named_path);
    }
    ZOLT_ERROR("%s%s%s", message, separator, named_path);
}

void read_pack_bytes(io::Request& request, uint32_t offset, void* destination, uint32_t size) {
    request.type = io::request_read;
    request.do_read(offset, destination, size);
    request.handle_error(request.flags);
}

}  // namespace

void ResourceLoader::read_pack_list() {
    clear_tables();
    io::read_whole_file(pack_list_text_, sizeof pack_list_text_, pack_list, "pack list", true);
    io::parse_pack_list(pack_list_text_, &pack_list_);
    for (uint32_t index = 0; index < pack_list_.count; ++index) {
        open_pack(pack_list_.names[index]);
    }
    if (pack_list_.has_too_many) {
        ZOLT_ERROR("pack list %s contains too many packs", pack_list);
    }
    start_loader_thread();
    mark_packs(0xFFFFFFFFu, 0);
    load_marked_packs();
}

void ResourceLoader::open_pack(const char* path) {
    io::Request request;
    request.type = io::request_open;
    request.do_open(path, pack_open_flags);
    if (!request.handle_error(pack_open_flags)) {
        ZOLT_ERROR("pack file %s not found", path);
    }
    uint8_t header_bytes[io::pack_header_size];
    read_pack_bytes(request, 0, header_bytes, sizeof header_bytes);
    io::PackCheckResult result = io::check_pack_header(header_bytes);
    if (result.check != io::PackCheck::intact) {
        halt_on_pack_check(result, path, pack_count_);
    }
    const io::PackHeader header = io::read_pack_header(header_bytes);
    uint8_t data_block_bytes[io::pack_data_block_size];
    read_pack_bytes(request, io::pack_data_block_offset, data_block_bytes, sizeof data_block_bytes);
    result = io::check_pack_data_block(header, data_block_bytes);
    if (result.check != io::PackCheck::intact) {
        halt_on_pack_check(result, path, pack_count_);
    }
    const io::PackDataBlock data_block = io::read_pack_data_block(data_block_bytes);

    // A directory that does not fit the table or the file is refused before
    // anything is sized from it.
    uint64_t file_size = 0;
    request.type = io::request_get_size;
    request.error = platform::get_file_size(request.handle, &file_size);
    request.handle_error(pack_read_flags);
    if (data_block.entry_count != 0) {
        result = io::check_pack_directory_extent(data_block, file_size);
        if (result.check != io::PackCheck::intact) {
            halt_on_pack_check(result, path, pack_count_);
        }
    }

    ResourcePack& pack = packs_[pack_count_++];
    pack.handle = request.handle;
    pack.path = path;
    pack.key = data_block.pack_key;
    pack.flags = 0;
    pack.entry_count = data_block.entry_count;
    pack.directory_offset = data_block.directory_offset;
    pack.directory_crc = data_block.directory_crc;
    pack.file_size = file_size;
}

void ResourceLoader::close_packs() {
    for (uint32_t index = 0; index < pack_count_; ++index) {
        ResourcePack& pack = packs_[index];
        if (pack.handle == platform::invalid_file_handle) {
            continue;
        }
        io::Request request;
        request.flags = pack_close_flags;
        request.handle = pack.handle;
        request.set_file_path(pack.path);
        request.type = io::request_close;
        request.do_close();
        request.handle_error(pack_close_flags);
        pack.handle = platform::invalid_file_handle;
    }
    pack_count_ = 0;
}

void ResourceLoader::mark_packs(uint32_t mask, uint32_t value) {
    for (uint32_t index = 0; index < pack_count_; ++index) {
        if ((packs_[index].key & mask) == value) {
            packs_[index].flags |= pack_flag::marked;
        }
    }
}

void ResourceLoader::unmark_packs(uint32_t mask, uint32_t value) {
    for (uint32_t index = 0; index < pack_count_; ++index) {
        if ((packs_[index].key & mask) == value) {
            packs_[index].flags &= ~pack_flag::marked;
        }
    }
}

bool ResourceLoader::read_directories() {
    bool is_any_queued = false;
    for (uint32_t index = 0; index < pack_count_; ++index) {
        ResourcePack& pack = packs_[index];
        if ((pack.flags & pack_flag::marked) == 0 || (pack.flags & pack_flag::directory_read) != 0) {
            continue;
        }
        pack.flags |= pack_flag::directory_read;
        if (pack.entry_count == 0) {
            continue;
        }
        // Bounded by the table's capacity when the pack was opened.
        const uint32_t directory_size = pack.entry_count * io::resource_entry_size;
        auto* const directory = static_cast<uint8_t*>(general_pool_.allocate(directory_size));
        if (directory == nullptr) {
            halt_due_out_of_memory(general_pool_);
        }
        io::Request request;
        request.flags = pack_read_flags;
        request.handle = pack.handle;
        request.set_file_path(pack.path);
        read_pack_bytes(request, pack.directory_offset, directory, directory_size);
        const uint32_t computed_crc = compute_crc32(directory, directory_size);
        if (computed_crc != pack.directory_crc) {
            ZOLT_ERROR("resource directory CRC 0x%08" PRIx32 " of pack %" PRIu32
                       " does not match the expected CRC 0x%08" PRIx32 "\n%s",
                       computed_crc, index, pack.directory_crc, pack.path);
        }
        for (uint32_t entry_index = 0; entry_index < pack.entry_count; ++entry_index) {
            const ResourceEntry entry = io::read_resource_entry(directory + entry_index * io::resource_entry_size);
            if (queue_pack_resource(index, entry)) {
                is_any_queued = true;
            }
        }
        general_pool_.free(directory, directory_size);
    }
    return is_any_queued;
}

bool ResourceLoader::queue_pack_resource(uint32_t pack_index, const ResourceEntry& entry) {
    if (const ResourceInfo* const existing = find_resource(entry.id)) {
        ZOLT_PANIC("Attempt to queue resource 0x%08" PRIx32 " for pack %" PRIu32
                   " while corresponding entry already exists in pack %" PRIu32 "\n%s",
                   entry.id, pack_index, static_cast<uint32_t>(existing->pack), packs_[pack_index].path);
    }
    // A stored size above the unpacked size would place the stored bytes
    // before the block; stored bytes past the file would be read short.
    const io::PackCheckResult result = io::check_resource_entry(entry, packs_[pack_index].file_size);
    if (result.check != io::PackCheck::intact) {
        halt_on_pack_check(result, packs_[pack_index].path, pack_index, true);
    }
    ResourceInfo& info = insert_resource(entry, pack_index);
    if (io::get_pool_type(info.flags) == io::pool_type_deferred) {
        info.flags |= io::resource_flag_deferred;
        return false;
    }
    info.data.memory = allocate_aligned(info, info.unpacked_size, 1u << io::get_alignment_exponent(info.flags));
    info.add_state(resource_state::load_pending | resource_state::in_memory);
    return true;
}

bool ResourceLoader::load_marked_packs_step() {
    if (is_busy()) {
        return false;
    }
    if (!read_directories()) {
        return true;
    }
    start_loader_pass();
    return false;
}

}  // namespace zolt::core
