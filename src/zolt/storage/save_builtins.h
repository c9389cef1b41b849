#pragma once
// The script builtins of the save system (202, 203, 679-683, 686-701): the
// last load, the save status and value slot, the save list, deletions, free
// indices, the storage block and the player profile. Saving and loading the
// world are opcodes, not builtins. Main thread only.
#include <cstdint>

#include "zolt/builtins/builtin_table.h"
#include "zolt/builtins/builtin_values.h"

namespace zolt::storage {

void bind_save_builtins(core::BuiltinTable& table);

uint32_t get_last_load_time();
uint32_t get_last_load_id();
uint32_t get_save_status_builtin();
void set_save_value(uint32_t value);
uint32_t get_save_value();
int32_t clear_save_status_builtin();
void drop_save_list();
int32_t refresh_save_list(bool force);
uint32_t get_save_count();
uint32_t get_save_id(uint32_t index);
uint32_t find_save_index(uint32_t save_id);
void write_save_entry_properties(core::GameHandle game_object, uint32_t index);
bool delete_save_at(uint32_t index);
bool delete_save(uint32_t save_id);
uint32_t get_free_save_id(uint32_t save_number);
void resolve_handle(core::AnyHandle object);
bool write_storage_file(uint32_t save_id);
void store_storage_object(core::StorageHandle storage);
bool restore_storage_object(core::StorageHandle storage, uint32_t index);
int32_t check_handle(core::AnyHandle object);
bool save_to_profile_builtin(core::ArrayHandle array);
int32_t load_from_profile_builtin(core::ArrayHandle array);

}  // namespace zolt::storage
