#pragma once
// The configuration file: read whole into a 64 KB buffer and parsed, keeping
// the keys nobody takes; written back through a temporary file of the
// writer's own beside it that then replaces it. Main thread only.
#include <cstdint>

#include "libs/utility/config_variable_table.h"

namespace zolt {

constexpr uint32_t config_file_buffer_size = 65536;

// A missing file is the fatal error "unable to open config file <path>" when
// it must exist, else nothing is read; a file that is there and cannot be
// opened (a FIFO, a folder...), one of 64 KB or more, or one that cannot be
// read, is fatal.
void load_config_file(ConfigVariableTable& table, bool must_exist, const char* path);
void load_config_file(bool must_exist, const char* path);

// Replaces path, which need not exist, with the file text (file filter, with
// hooks) through replace_whole_file. False, with the old file untouched and
// no temporary file left, when the text fills the buffer or a step fails.
bool write_config_file(const ConfigVariableTable& table, const char* path);
bool write_config_file(const char* path);

}  // namespace zolt
