#pragma once
// The save system: the save folder, the names and list of save files, the
// storage block written into every save, the value slot of the scripts, and
// saving and loading the whole world. A save file is written under a
// temporary name and replaces the save of its id only when complete. A load
// is refused, with the running game left as it was, when the file is short,
// long, fails its CRC, is not a save of this game, or holds a world that
// does not read back: the world is kept in a snapshot until the new one has
// loaded. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/storage/save_file_layout.h"
#include "zolt/storage/save_list.h"

namespace zolt::storage {

// The game's folder under the documents folder; a relative save_path lies in it.
constexpr const char* game_documents_folder = "Harlune/Quorvane";
// The longest save folder, in bytes without the NUL.
constexpr uint32_t save_folder_length_limit = 259;

class SaveManager final : public SaveFileProvider {
public:
    // Engine start: makes save_path a full path (a relative one under the
    // game's documents folder) and stores it back in the variable. Halts
    // with exit code 44 and "Path to the save directory is invalid." or
    // "Path to the save directory is too long.".
    void initialize();
    const char* get_save_folder() const { return folder_; }

    bool make_save_file_path(uint32_t save_id, char* path, uint32_t capacity) const override;
    const uint8_t* get_storage_record() const override { return storage_record_; }

    SaveList& get_list() { return list_; }
    bool refresh_save_list(bool force) { return list_.refresh(folder_, force); }
    uint32_t get_free_save_index(uint32_t save_number) const;
    bool delete_save(uint32_t save_id);
    bool delete_save_at(uint32_t index);

    // Writes the header and the world into the save of the id.
    bool write_save(uint32_t save_id);
    // Reads the save of the id over the running world; false, the world as
    // it was, when the save is refused.
    bool load_game(uint32_t save_id);
    // The save and load opcodes: release dead render objects first; the
    // load records its time and id as the last load.
    bool save_game(uint32_t save_id);
    bool load_game_by_id(uint32_t save_id);

    // Writes the storage block into the save file of the id: a new file of
    // the block alone, or the block replaced in a whole save, which keeps
    // its world.
    bool write_storage_file(uint32_t save_id);
    // The first 4096 bytes of the storage chain (zeros for no storage object)
    // become the storage block, with their CRC.
    void store_storage_object(core::ObjectHandle storage);
    // From the in-memory block when the index is past the list, else from the
    // listed save file; false, the storage unchanged, when that block is
    // unreadable or fails its CRC.
    bool restore_storage_object(uint32_t list_index, core::ObjectHandle storage);

    uint32_t get_value() const { return value_; }
    void set_value(uint32_t value) { value_ = value; }
    uint32_t get_last_load_time() const { return last_load_time_; }
    uint32_t get_last_load_id() const { return last_load_id_; }

    // For tests: a save folder that is already a full path.
    void set_save_folder(const char* folder);

private:
    bool load_world(uint32_t save_id);
    bool make_folder() const;

    char folder_[save_folder_length_limit + 1] = {};
    uint8_t storage_record_[storage_record_size] = {};
    SaveList list_;
    uint32_t value_ = 0;
    uint32_t last_load_time_ = 0;
    uint32_t last_load_id_ = 0;
};

extern SaveManager save_manager;

}  // namespace zolt::storage
