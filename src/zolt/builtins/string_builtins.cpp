#include "zolt/builtins/string_builtins.h"

#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {

void clear_string(ObjectHandle string) {
    if (String* const object = get_string_object(string)) {
        object->clear();
    }
}

uint32_t find_character(uint32_t start, uint32_t unit, ObjectHandle string) {
    const String* const object = get_string_object(string);
    return object != nullptr ? object->find_character(start, static_cast<char16_t>(unit)) : 0;
}

uint32_t character_at(uint32_t index, ObjectHandle string) {
    const String* const object = get_string_object(string);
    return object != nullptr ? object->character_at(index) : 0;
}

}  // namespace zolt::core
