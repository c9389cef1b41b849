#include "zolt/core/object_server/server_statistics_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/server_statistics.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {

namespace {

void write_server_name(StringHandle string, uint32_t server_type) {
    const char* const name = get_server_name(server_type);
    String* const object = get_string_object(string);
    if (name == nullptr || object == nullptr) {
        return;
    }
    object->clear();
    object->append_c_string(name);
}

uint32_t get_server_live_count(uint32_t server_type) {
    return get_server_statistics(server_type).live_count;
}

uint32_t get_server_capacity(uint32_t server_type) {
    return get_server_statistics(server_type).capacity;
}

uint32_t get_server_high_water_count(uint32_t server_type) {
    return get_server_statistics(server_type).high_water_count;
}

uint32_t get_server_object_size(uint32_t server_type) {
    return get_server_statistics(server_type).object_size;
}

}  // namespace

void bind_server_statistics_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::write_server_name, &write_server_name>(table);
    bind_builtin<BuiltinId::get_server_live_count, &get_server_live_count>(table);
    bind_builtin<BuiltinId::get_server_capacity, &get_server_capacity>(table);
    bind_builtin<BuiltinId::get_server_free_count, &get_server_free_count>(table);
    bind_builtin<BuiltinId::get_server_high_water_count, &get_server_high_water_count>(table);
    bind_builtin<BuiltinId::get_server_object_size, &get_server_object_size>(table);
    bind_builtin<BuiltinId::get_server_usage, &get_server_usage>(table);
    bind_builtin<BuiltinId::get_server_peak_usage, &get_server_peak_usage>(table);
}

}  // namespace zolt::core
