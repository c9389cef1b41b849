#include "zolt/storage/save_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/storage/player_profile.h"
#include "zolt/storage/save_manager.h"
#include "zolt/storage/save_status.h"

namespace zolt::storage {

namespace {
constexpr uint32_t entry_id_property = 0x30001FC;
constexpr uint32_t entry_time_property = 0x30000A3;
constexpr uint32_t entry_size_property = 0x300000E;
}  // namespace

uint32_t get_last_load_time() {
    return save_manager.get_last_load_time();
}

uint32_t get_last_load_id() {
    return save_manager.get_last_load_id();
}

uint32_t get_save_status_builtin() {
    return get_save_status();
}

void set_save_value(uint32_t value) {
    save_manager.set_value(value);
}

uint32_t get_save_value() {
    return save_manager.get_value();
}

int32_t clear_save_status_builtin() {
    clear_save_status();
    return 1;
}

void drop_save_list() {
    save_manager.get_list().drop();
}

int32_t refresh_save_list(bool force) {
    return save_manager.refresh_save_list(force) ? 1 : 0;
}

uint32_t get_save_count() {
    return save_manager.get_list().get_count();
}

uint32_t get_save_id(uint32_t index) {
    const SaveList& list = save_manager.get_list();
    return index < list.get_count() ? list.get_entry(index).save_id : 0;
}

uint32_t find_save_index(uint32_t save_id) {
    return save_manager.get_list().find(save_id);
}

void write_save_entry_properties(core::GameHandle game_object, uint32_t index) {
    const SaveList& list = save_manager.get_list();
    core::ServerObject* const object =
        core::get_handle_server_type(game_object) == core::server_type::game ? core::get_object(game_object) : nullptr;
    if (object == nullptr || index >= list.get_count()) {
        return;
    }
    const SaveListEntry& entry = list.get_entry(index);
    const uint32_t properties[][2] = {
        {entry_id_property, entry.save_id}, {entry_time_property, entry.time}, {entry_size_property, entry.size}};
    for (const auto& [id, word] : properties) {
        core::Property value;
        value.set_u32(id, word);
        object->set_property(id, value);
    }
}

bool delete_save_at(uint32_t index) {
    return save_manager.delete_save_at(index);
}

bool delete_save(uint32_t save_id) {
    return save_manager.delete_save(save_id);
}

uint32_t get_free_save_id(uint32_t save_number) {
    return save_number << 16 | save_manager.get_free_save_index(save_number);
}

void resolve_handle(core::AnyHandle object) {
    core::resolve_handle(object);
}

bool write_storage_file(uint32_t save_id) {
    return save_manager.write_storage_file(save_id);
}

void store_storage_object(core::StorageHandle storage) {
    save_manager.store_storage_object(storage);
}

bool restore_storage_object(core::StorageHandle storage, uint32_t index) {
    return save_manager.restore_storage_object(index, storage);
}

int32_t check_handle(core::AnyHandle object) {
    core::resolve_handle(object);
    return 0;
}

bool save_to_profile_builtin(core::ArrayHandle array) {
    return save_to_profile(array);
}

int32_t load_from_profile_builtin(core::ArrayHandle array) {
    return load_from_profile(array);
}

void bind_save_builtins(core::BuiltinTable& table) {
    using core::bind_builtin;
    using core::BuiltinId;
    bind_builtin<BuiltinId::get_last_load_time, &get_last_load_time>(table);
    bind_builtin<BuiltinId::get_last_load_id, &get_last_load_id>(table);
    bind_builtin<BuiltinId::get_save_status, &get_save_status_builtin>(table);
    bind_builtin<BuiltinId::set_save_value, &set_save_value>(table);
    bind_builtin<BuiltinId::get_save_value, &get_save_value>(table);
    bind_builtin<BuiltinId::clear_save_status, &clear_save_status_builtin>(table);
    bind_builtin<BuiltinId::drop_save_list, &drop_save_list>(table);
    bind_builtin<BuiltinId::refresh_save_list, &refresh_save_list>(table);
    bind_builtin<BuiltinId::get_save_count, &get_save_count>(table);
    bind_builtin<BuiltinId::get_save_id, &get_save_id>(table);
    bind_builtin<BuiltinId::find_save_index, &find_save_index>(table);
    bind_builtin<BuiltinId::write_save_entry_properties, &write_save_entry_properties>(table);
    bind_builtin<BuiltinId::delete_save_at, &delete_save_at>(table);
    bind_builtin<BuiltinId::delete_save, &delete_save>(table);
    bind_builtin<BuiltinId::get_free_save_index, &get_free_save_id>(table);
    bind_builtin<BuiltinId::resolve_handle, &resolve_handle>(table);
    bind_builtin<BuiltinId::write_storage_file, &write_storage_file>(table);
    bind_builtin<BuiltinId::store_storage_object, &store_storage_object>(table);
    bind_builtin<BuiltinId::restore_storage_object, &restore_storage_object>(table);
    bind_builtin<BuiltinId::resolve_handle_twin, &resolve_handle>(table);
    bind_builtin<BuiltinId::check_handle, &check_handle>(table);
    bind_builtin<BuiltinId::save_to_profile, &save_to_profile_builtin>(table);
    bind_builtin<BuiltinId::load_from_profile, &load_from_profile_builtin>(table);
}

}  // namespace zolt::storage
