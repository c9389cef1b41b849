#include "libs/utility/config_command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/utility/config_test_table.h"

namespace zolt {
namespace {

using test::TestConfig;

TEST(ConfigCommandLine, ArgumentsSetVariables) {
    struct Case {
        std::vector<const char*> arguments;
        uint32_t count;
        int32_t offset;
        bool flag;
        std::string label;
    };
    const Case cases[] = {
        {{"label", "D:\\Settings\\Config.txt"}, 5, -3, false, "D:\\Settings\\Config.txt"},
        {{"--label=D:\\Settings\\Config.txt"}, 5, -3, false, "D:\\Settings\\Config.txt"},
        {{"--LABEL=x.txt", "-count", "7", "offset=-9"}, 7, -9, false, "x.txt"},
        {{"---count", "7"}, 5, -3, false, "."},
        {{"count", "11", "offset", "abc"}, 5, -3, false, "."},
        {{"label", ""}, 5, -3, false, ""},
        {{"label="}, 5, -3, false, ""},
        {{"label"}, 5, -3, false, ""},
        {{"label", "a=b", "count", "2"}, 2, -3, false, "a=b"},
        // A missing value does not swallow a setting that follows.
        {{"--flag", "--count=8"}, 8, -3, false, "."},
        {{"--flag", "count=8"}, 8, -3, false, "."},
        {{"--flag", "--count", "8"}, 8, -3, false, "."},
        {{"--label", "-count", "3"}, 3, -3, false, ""},
        // Anything else is a value: negative numbers, paths with '=' or dashes.
        {{"--offset", "-5", "flag", "1"}, 5, -5, true, "."},
        {{"label", "/tmp/a=b/Config.txt"}, 5, -3, false, "/tmp/a=b/Config.txt"},
        {{"label", "-not-a-variable"}, 5, -3, false, "-not-a-variable"},
        // Help and its value are passed over.
        {{"-h", "count", "4"}, 5, -3, false, "."},
        {{"--?", "--count=4"}, 4, -3, false, "."},
        {{"+connect", "10.1.2.3:27015", "count", "6"}, 6, -3, false, "."},
    };
    for (const Case& c : cases) {
        auto config = TestConfig::make();
        parse_config_command_line(config->table, static_cast<int>(c.arguments.size()), c.arguments.data());
        const std::string shown = c.arguments.empty() ? "" : c.arguments[0];
        EXPECT_EQ(config->count, c.count) << shown;
        EXPECT_EQ(config->offset, c.offset) << shown;
        EXPECT_EQ(config->flag, c.flag) << shown;
        EXPECT_EQ(std::string(config->label), c.label) << shown;
        EXPECT_EQ(config->table.get_unknown_keys().get_count(), 0u) << shown;
    }
}

}  // namespace
}  // namespace zolt
