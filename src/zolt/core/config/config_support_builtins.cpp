#include "zolt/core/config/config_support_builtins.h"

#include <cstring>
#include <memory>
#include <vector>

#include "libs/utility/config_file.h"
#include "libs/utility/config_text.h"
#include "libs/utility/config_value_access.h"
#include "libs/utility/fatal_error.h"
#include "libs/utility/string_buffer.h"
#include "zolt/core/config/config_support.h"

namespace zolt {

void set_config_bool(uint32_t number, uint32_t value) {
    set_config_variable_from_bool(get_config_variable_table(), number, value != 0);
}

void set_config_unsigned(uint32_t number, uint32_t value) {
    set_config_variable_from_unsigned(get_config_variable_table(), number, value);
}

void set_config_signed(uint32_t number, int32_t value) {
    set_config_variable_from_signed(get_config_variable_table(), number, value);
}

void set_config_float(uint32_t number, float value) {
    set_config_variable_from_float(get_config_variable_table(), number, value);
}

void set_config_by_type(uint32_t number, float value) {
    set_config_variable_from_float(get_config_variable_table(), number, value);
}

bool builtin_get_config_bool(uint32_t number) {
    return get_config_variable_as_bool(get_config_variable_table(), number);
}

uint32_t builtin_get_config_u32(uint32_t number) {
    return get_config_variable_as_unsigned(get_config_variable_table(), number);
}

int32_t builtin_get_config_s32(uint32_t number) {
    return get_config_variable_as_signed(get_config_variable_table(), number);
}

float builtin_get_config_float(uint32_t number) {
    return get_config_variable_as_float(get_config_variable_table(), number);
}

float builtin_get_config_as_float(uint32_t number) {
    return get_config_variable_as_float(get_config_variable_table(), number);
}

bool builtin_save_config_file() {
    return core::save_config_file();
}

uint32_t builtin_get_profile_config(ConfigArrayAccess& arrays) {
    const std::unique_ptr<char[]> storage(new char[config_file_buffer_size]);
    StringBuffer text(storage.get(), config_file_buffer_size);
    dump_config_variables_to_buffer(text, ConfigDumpFilter::Profile, false);
    const uint32_t length = text.get_length();
    if (length >= config_file_buffer_size - 1) {
        ZOLT_PANIC("Too many profile variables. Buffer size %u exceeded", config_file_buffer_size);
    }
    std::vector<uint32_t> words((length + 4) / 4, 0);
    std::memcpy(words.data(), text.get_text(), length + 1);
    return arrays.create_array(words.data(), static_cast<uint32_t>(words.size()));
}

void builtin_set_profile_config(ConfigArrayAccess& arrays, uint32_t handle) {
    const uint32_t* words = nullptr;
    uint32_t word_count = 0;
    if (!arrays.get_array_words(handle, &words, &word_count)) {
        ZOLT_PANIC("set_config_variables requires a configuration array");
    }
    if (word_count == 0) {
        return;
    }
    uint8_t last_word[4];
    std::memcpy(last_word, &words[word_count - 1], 4);
    if (last_word[0] != 0 && last_word[1] != 0 && last_word[2] != 0 && last_word[3] != 0) {
        return;
    }
    // The parser changes the text in place, and the array goes away anyway.
    std::vector<char> text(static_cast<size_t>(word_count) * 4);
    std::memcpy(text.data(), words, text.size());
    parse_config_text(text.data());
    arrays.destroy_array(handle);
}

}  // namespace zolt
