#include "launcher/language.h"

#include <strings.h>
#include <cstring>
#include <fstream>

namespace zolt::launcher {
namespace {

struct LanguageRow {
    const char* code;  // of the locale
    const char* name;
    uint32_t number;
};

constexpr LanguageRow language_rows[] = {
    {"en", "english", 1}, {"de", "german", 3}, {"fr", "french", 4}, {"es", "spanish", 5}, {"it", "italian", 6},
};

}  // namespace

std::string get_language_from_locale(const char* locale) {
    if (locale != nullptr && std::strlen(locale) >= 2 && (locale[2] == 0 || locale[2] == '_' || locale[2] == '.')) {
        for (const LanguageRow& row : language_rows) {
            if (strncasecmp(locale, row.code, 2) == 0) {
                return row.name;
            }
        }
    }
    return "english";
}

std::string determine_language(const std::string& settings_path, const char* locale) {
    std::ifstream settings(settings_path);
    std::string line;
    while (std::getline(settings, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        constexpr const char key[] = "Language=";
        if (line.compare(0, sizeof key - 1, key) == 0 && line.size() > sizeof key - 1) {
            return line.substr(sizeof key - 1);
        }
    }
    return get_language_from_locale(locale);
}

uint32_t get_language_number(const std::string& name) {
    for (const LanguageRow& row : language_rows) {
        if (strcasecmp(name.c_str(), row.name) == 0) {
            return row.number;
        }
    }
    return 1;
}

}  // namespace zolt::launcher
