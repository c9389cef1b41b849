#include "libs/utility/config_file.h"

#include <cstring>
#include <memory>
#include <string>

#include "libs/io/file_path.h"
#include "libs/io/whole_file.h"
#include "libs/utility/config_text.h"
#include "libs/utility/string_buffer.h"
#include "platform/system/files.h"

namespace zolt {
namespace {

void remove_file(const char* path) {
    char native_path[io::native_path_capacity];
    if (io::make_native_path(path, native_path)) {
        platform::delete_file(native_path);
    }
}

bool replace_file(const char* from, const char* to) {
    char native_from[io::native_path_capacity];
    char native_to[io::native_path_capacity];
    return io::make_native_path(from, native_from) && io::make_native_path(to, native_to) &&
           platform::rename_file(native_from, native_to) == 0;
}

}  // namespace

void load_config_file(ConfigVariableTable& table, bool must_exist, const char* path) {
    const std::unique_ptr<char[]> buffer(new char[config_file_buffer_size]);
    // The file may hold NUL bytes of its own: with the buffer filled first,
    // the last NUL is the one put after the file, which gives its length.
    std::memset(buffer.get(), 0xFF, config_file_buffer_size);
    if (!io::read_whole_file(buffer.get(), config_file_buffer_size, path, "config file", must_exist)) {
        return;
    }
    uint32_t length = config_file_buffer_size - 1;
    while (buffer[length] != 0) {
        --length;
    }
    parse_config_text(table, buffer.get(), length, true);
}

void load_config_file(bool must_exist, const char* path) {
    load_config_file(get_config_variable_table(), must_exist, path);
}

bool write_config_file(const ConfigVariableTable& table, const char* path) {
    const std::unique_ptr<char[]> storage(new char[config_file_buffer_size]);
    StringBuffer text(storage.get(), config_file_buffer_size);
    dump_config_variables_to_buffer(table, text, ConfigDumpFilter::File, true);
    if (text.get_length() >= config_file_buffer_size - 1) {
        return false;
    }
    const std::string temporary_path = std::string(path) + ".tmp";
    if (io::write_whole_file(temporary_path.c_str(), text.get_text(), text.get_length()) &&
        replace_file(temporary_path.c_str(), path)) {
        return true;
    }
    remove_file(temporary_path.c_str());
    return false;
}

bool write_config_file(const char* path) {
    return write_config_file(get_config_variable_table(), path);
}

}  // namespace zolt
