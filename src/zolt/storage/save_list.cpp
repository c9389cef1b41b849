#include "zolt/storage/save_list.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "libs/io/file_path.h"
#include "libs/utility/fatal_error.h"
#include "platform/system/files.h"
#include "platform/system/folder_listing.h"
#include "zolt/storage/save_id.h"
#include "zolt/storage/save_status.h"

namespace zolt::storage {

namespace {

// 2000-01-01 00:00 UTC in seconds since 1970.
constexpr int64_t year_2000 = 946684800;
constexpr uint32_t index_count = 0x10000;

bool has_save_extension(const char* name) {
    const size_t length = std::strlen(name);
    return length >= 4 && strcasecmp(name + length - 4, ".zsv") == 0;
}

struct IndexSearch {
    uint32_t save_number;
    uint32_t highest;
    uint8_t* used;  // index_count flags
};

void mark_index(IndexSearch& search, uint32_t save_id) {
    if (save_id == 0 || get_save_number(save_id) != search.save_number) {
        return;
    }
    const uint32_t index = get_save_index(save_id);
    search.used[index] = 1;
    search.highest = std::max(search.highest, index);
}

}  // namespace

uint32_t make_save_list_time(int64_t write_time, int64_t local_offset) {
    const int64_t seconds = write_time + local_offset - year_2000;
    if (seconds < 0) {
        return 0;
    }
    return seconds >= 0xFFFFFFFF ? 0xFFFFFFFFu : static_cast<uint32_t>(seconds);
}

bool SaveList::scan(const char* folder) {
    count_ = 0;
    char native[io::native_path_capacity];
    if (!io::make_native_path(folder, native)) {
        record_save_status(save_status_file_error);
        return false;
    }
    const uint32_t error = platform::list_folder(
        native,
        [](const platform::FolderEntry& found, void* user) {
            auto* const list = static_cast<SaveList*>(user);
            if (list->count_ >= save_list_capacity) {
                return false;
            }
            if (!has_save_extension(found.name)) {
                return true;
            }
            const uint32_t save_id = parse_save_file_name(found.name);
            if (save_id == 0) {
                return true;
            }
            list->entries_[list->count_++] = {
                save_id, make_save_list_time(found.write_time, found.local_offset),
                found.size >= 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(found.size)};
            return true;
        },
        this);
    // The folder is made by the first save: without it there are no saves.
    if (error != 0 && !platform::is_missing_path_error(error)) {
        count_ = 0;
        record_save_status_from_error(error);
        return false;
    }
    return true;
}

bool SaveList::refresh(const char* folder, bool force) {
    clear_save_status();
    if (is_cached_ && !force) {
        return true;
    }
    if (!scan(folder) || get_save_status() != save_status_none) {
        drop();
        return true;
    }
    sort();
    is_cached_ = true;
    return true;
}

void SaveList::drop() {
    count_ = 0;
    is_cached_ = false;
}

void SaveList::sort() {
    std::stable_sort(entries_, entries_ + count_,
                     [](const SaveListEntry& a, const SaveListEntry& b) { return a.time < b.time; });
}

uint32_t SaveList::find(uint32_t save_id) const {
    for (uint32_t index = 0; index < count_; ++index) {
        if (entries_[index].save_id == save_id) {
            return index;
        }
    }
    return count_;
}

void SaveList::remove_at(uint32_t index) {
    if (index >= count_) {
        return;
    }
    std::memmove(&entries_[index], &entries_[index + 1], (count_ - index - 1) * sizeof(SaveListEntry));
    --count_;
}

void SaveList::note_written(const SaveListEntry& entry) {
    if (!is_cached_) {
        return;
    }
    remove_at(find(entry.save_id));
    if (count_ < save_list_capacity) {
        entries_[count_++] = entry;
        sort();
    }
}

uint32_t SaveList::get_free_save_index(const char* folder, uint32_t save_number, const SaveList& list) {
    const std::unique_ptr<uint8_t[]> used(new uint8_t[index_count]());
    IndexSearch search{save_number, 0, used.get()};
    for (uint32_t index = 0; index < list.count_; ++index) {
        mark_index(search, list.entries_[index].save_id);
    }
    // Every save of the folder counts, also those past the list's capacity
    // or written since it was made, so a new save never lands on an old one.
    char native[io::native_path_capacity];
    if (io::make_native_path(folder, native)) {
        platform::list_folder(
            native,
            [](const platform::FolderEntry& found, void* user) {
                if (has_save_extension(found.name)) {
                    mark_index(*static_cast<IndexSearch*>(user), parse_save_file_name(found.name));
                }
                return true;
            },
            &search);
    }
    if (search.highest < 0xFFFF) {
        return search.highest + 1;
    }
    for (uint32_t index = 1; index < index_count; ++index) {
        if (used[index] == 0) {
            return index;
        }
    }
    ZOLT_PANIC("failed to find free save index");
}

}  // namespace zolt::storage
