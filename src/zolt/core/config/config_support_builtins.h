#pragma once
// The bodies of the configuration builtins 135-147, the variable's number
// first as the builtins take it (config_builtins.cpp binds them). Variables
// are named by number; a value of another type than the variable's is
// converted or ignored, never written over the variable's storage
// (config_value_access.h). Setting an empty slot or a number outside
// 1-128 is fatal; reading one gives 0. Main thread only.
#include <cstdint>

namespace zolt {

// What the profile builtins need of the array server.
class ConfigArrayAccess {
public:
    // A new array of the words; answers its handle.
    virtual uint32_t create_array(const uint32_t* words, uint32_t word_count) = 0;
    // False when the handle names no array.
    virtual bool get_array_words(uint32_t handle, const uint32_t** words, uint32_t* word_count) = 0;
    virtual void destroy_array(uint32_t handle) = 0;

protected:
    ~ConfigArrayAccess() = default;
};

void set_config_bool(uint32_t number, uint32_t value);      // 135: value != 0
void set_config_unsigned(uint32_t number, uint32_t value);  // 136
void set_config_signed(uint32_t number, int32_t value);     // 137
void set_config_float(uint32_t number, float value);        // 138
void set_config_by_type(uint32_t number, float value);      // 139
bool builtin_get_config_bool(uint32_t number);              // 140
uint32_t builtin_get_config_u32(uint32_t number);           // 141
int32_t builtin_get_config_s32(uint32_t number);            // 142
float builtin_get_config_float(uint32_t number);            // 143
float builtin_get_config_as_float(uint32_t number);         // 144
bool builtin_save_config_file();                            // 145: true when written
// 146: the profile variables as text (NUL-terminated, zero-padded) in a new
// array; its handle. Text of 65535 characters or more is fatal.
uint32_t builtin_get_profile_config(ConfigArrayAccess& arrays);
// 147: applies the text in a configuration array and destroys the array; an
// empty array or one whose text lacks its NUL is left alone; a handle that
// names no array is fatal.
void builtin_set_profile_config(ConfigArrayAccess& arrays, uint32_t handle);

}  // namespace zolt
