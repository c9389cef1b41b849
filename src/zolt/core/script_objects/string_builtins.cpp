#include "zolt/core/script_objects/string_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script_objects/string_object_numbers.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {

void clear_string(StringHandle string) {
    if (String* const object = get_string_object(string)) {
        object->clear();
    }
}

uint32_t find_character(StringHandle string, char16_t unit, uint32_t start) {
    const String* const object = get_string_object(string);
    return object != nullptr ? object->find_character(start, unit) : 0;
}

char16_t character_at(StringHandle string, uint32_t index) {
    const String* const object = get_string_object(string);
    return object != nullptr ? object->character_at(index) : 0;
}

void bind_string_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::clear_string, &clear_string>(table);
    bind_builtin<BuiltinId::clear_string_twin, &clear_string>(table);
    bind_builtin<BuiltinId::set_group_separator, &set_group_separator>(table);
    bind_builtin<BuiltinId::get_group_separator, &get_group_separator>(table);
    bind_builtin<BuiltinId::set_decimal_point, &set_decimal_point>(table);
    bind_builtin<BuiltinId::get_decimal_point, &get_decimal_point>(table);
    bind_builtin<BuiltinId::find_character, &find_character>(table);
    bind_builtin<BuiltinId::character_at, &character_at>(table);
}

}  // namespace zolt::core
