#include "zolt/core/input/input_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/input/input.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {

namespace {

int32_t get_local_user_code_of_slot(uint32_t slot) {
    return static_cast<int32_t>(get_local_user_code(slot));
}

int32_t get_local_user_slot_of_code(uint32_t code) {
    return static_cast<int32_t>(get_local_user_slot(code));
}

bool is_input_active_for_user(uint32_t code, int32_t user) {
    return is_input_active(code, static_cast<uint32_t>(user));
}

uint32_t get_user_action_binding(uint32_t action_code, uint32_t slot, int32_t user) {
    return get_action_binding_for_user(action_code, slot, static_cast<uint32_t>(user));
}

void add_user_action_binding(uint32_t action_code, uint32_t code, int32_t user) {
    add_action_binding_for_user(action_code, code, static_cast<uint32_t>(user));
}

bool write_input_name_into(StringHandle string, uint32_t code) {
    String* const object = get_string_object(string);
    return object != nullptr && write_input_name(code, object);
}

}  // namespace

void bind_input_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::get_local_user_code, &get_local_user_code_of_slot>(table);
    bind_builtin<BuiltinId::get_local_user_slot, &get_local_user_slot_of_code>(table);
    bind_builtin<BuiltinId::poll_input, &poll_input>(table);
    bind_builtin<BuiltinId::is_input_active, &is_input_active_for_user>(table);
    bind_builtin<BuiltinId::get_action_binding, &get_user_action_binding>(table);
    bind_builtin<BuiltinId::add_action_binding, &add_user_action_binding>(table);
    bind_builtin<BuiltinId::write_input_name, &write_input_name_into>(table);
    bind_builtin<BuiltinId::set_input_level, &set_input_level>(table);
}

}  // namespace zolt::core
