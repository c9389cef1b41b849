#pragma once
// The launcher's language: the "Language" value of the game's settings file
// when it holds one, else the user's locale.
#include <cstdint>
#include <string>

namespace zolt::launcher {

// settings_path names the file of the game's machine-wide settings
// ("Language=german" lines); locale is the user's locale name ("de_DE.UTF-8").
std::string determine_language(const std::string& settings_path, const char* locale);
std::string get_language_from_locale(const char* locale);
// The number the game program knows the language by: english 1, german 3,
// french 4, spanish 5, italian 6; any other name is english.
uint32_t get_language_number(const std::string& name);

}  // namespace zolt::launcher
