// The configuration text and command line. Any text read into a table and
// written out must read back to the same written text, and the input split at
// its NUL bytes is a command line, read into another table.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "libs/utility/config_command_line.h"
#include "libs/utility/config_test_table.h"
#include "libs/utility/config_text.h"
#include "support/fuzz_entry.h"

namespace {

using namespace zolt;

constexpr uint32_t dump_capacity = 1 << 18;
constexpr size_t max_argument_count = 64;

// Tables and buffers are large: built in place in storage kept for the whole
// run, not taken from the heap for every input.
class FreshConfig {
public:
    FreshConfig() { config_ = new (storage_) test::TestConfig; }
    ~FreshConfig() { config_->~TestConfig(); }
    FreshConfig(const FreshConfig&) = delete;
    FreshConfig& operator=(const FreshConfig&) = delete;
    test::TestConfig* operator->() { return config_; }

private:
    alignas(test::TestConfig) static inline unsigned char storage_[sizeof(test::TestConfig)];
    test::TestConfig* config_;
};

char dump_storage[dump_capacity];

std::string read_and_write(const char* data, size_t size) {
    FreshConfig config;
    std::vector<char> text(data, data + size);
    text.push_back('\0');
    parse_config_text(config->table, text.data(), static_cast<uint32_t>(size), true);
    StringBuffer buffer(dump_storage, dump_capacity);
    dump_config_variables_to_buffer(config->table, buffer, ConfigDumpFilter::File, true);
    return buffer.get_text();
}

void read_command_line(const char* data, size_t size) {
    std::vector<std::string> arguments;
    const char* const end = data + size;
    for (const char* start = data; start < end && arguments.size() < max_argument_count;) {
        const char* const stop = static_cast<const char*>(std::memchr(start, '\0', end - start));
        arguments.emplace_back(start, stop != nullptr ? stop : end);
        start = stop != nullptr ? stop + 1 : end;
    }
    std::vector<const char*> pointers;
    for (const std::string& argument : arguments) {
        pointers.push_back(argument.c_str());
    }
    FreshConfig config;
    parse_config_command_line(config->table, static_cast<int>(pointers.size()), pointers.data());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    // Warnings for values no quoting reads back are expected.
    test::WarningRecorder warnings;
    const auto* const text = reinterpret_cast<const char*>(data);
    const std::string written = read_and_write(text, size);
    fuzz::expect(read_and_write(written.data(), written.size()) == written,
                 "written configuration text reads back to other text");
    read_command_line(text, size);
    return 0;
}
