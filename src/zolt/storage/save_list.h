#pragma once
// The list of the save files in the save folder for the menus: at most 1000
// entries sorted by time of writing, oldest first, kept (cached) until it is
// dropped or refreshed by force. Main thread only.
#include <cstdint>

namespace zolt::storage {

constexpr uint32_t save_list_capacity = 1000;

struct SaveListEntry {
    uint32_t save_id;
    // Seconds since 2000-01-01 00:00 local time; 0 before, 0xFFFFFFFF past.
    uint32_t time;
    // 0xFFFFFFFF for 4 GB or more.
    uint32_t size;
};

class SaveList {
public:
    // Lists "*.zsv" of the folder whose names are saves. Finding none, or no
    // folder, is not an error; a failing listing sets the save status and
    // answers false.
    bool scan(const char* folder);
    // Clears the status; scans again when forced or not cached. A failed
    // scan leaves the list empty and not cached. Answers true.
    bool refresh(const char* folder, bool force);
    void drop();

    uint32_t get_count() const { return count_; }
    bool is_cached() const { return is_cached_; }
    const SaveListEntry& get_entry(uint32_t index) const { return entries_[index]; }
    // The entry's index, or the count when absent.
    uint32_t find(uint32_t save_id) const;
    void remove_at(uint32_t index);
    // Adds or updates the entry of a save just written (newest last).
    void note_written(const SaveListEntry& entry);

    // One past the highest index of that save number among the folder's
    // saves, all of them and not only the listed (1 when none); after 65535
    // the lowest index none uses. Panics with "failed to find free save
    // index" when all are used.
    static uint32_t get_free_save_index(const char* folder, uint32_t save_number, const SaveList& list);

private:
    void sort();

    SaveListEntry entries_[save_list_capacity] = {};
    uint32_t count_ = 0;
    bool is_cached_ = false;
};

// Seconds since 1970 UTC with the local offset, as a save list time.
uint32_t make_save_list_time(int64_t write_time, int64_t local_offset);

}  // namespace zolt::storage
