#include "libs/utility/config_file.h"

#include <cstring>
#include <memory>

#include "libs/io/whole_file.h"
#include "libs/utility/config_text.h"
#include "libs/utility/string_buffer.h"

namespace zolt {

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
    return io::replace_whole_file(path, text.get_text(), text.get_length());
}

bool write_config_file(const char* path) {
    return write_config_file(get_config_variable_table(), path);
}

}  // namespace zolt
