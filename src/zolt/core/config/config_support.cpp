#include "zolt/core/config/config_support.h"

#include "libs/utility/config_file.h"
#include "zolt/core/config/config_support_variables.h"

namespace zolt::core {
namespace {
constexpr const char default_config_file_path[] = "config.txt";
}  // namespace

const char* get_config_file_path() {
    if (config == nullptr) {
        return default_config_file_path;
    }
    return config[0] != 0 ? config : nullptr;
}

void load_startup_config_file() {
    if (const char* path = get_config_file_path(); path != nullptr) {
        load_config_file(config != nullptr, path);
    }
}

bool save_config_file() {
    const char* path = get_config_file_path();
    return path != nullptr && write_config_file(path);
}

}  // namespace zolt::core
