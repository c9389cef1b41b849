#include "libs/utility/config_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libs/utility/config_test_table.h"

namespace zolt {
namespace {

using test::TestConfig;

void parse(TestConfig& config, std::string text, bool keep_unknown_keys = true) {
    parse_config_text(config.table, text.data(), static_cast<uint32_t>(text.size()), keep_unknown_keys);
}

std::string dump(const TestConfig& config, ConfigDumpFilter filter = ConfigDumpFilter::File) {
    std::vector<char> storage(65536);
    StringBuffer buffer(storage.data(), static_cast<uint32_t>(storage.size()));
    dump_config_variables_to_buffer(config.table, buffer, filter, true);
    return buffer.get_text();
}

std::string describe_unknown_keys(const TestConfig& config) {
    std::string text;
    config.table.get_unknown_keys().for_each(
        [&text](const char* name, const char* value) { text += std::string(name) + "=" + value + "|"; });
    return text;
}

struct Expected {
    bool flag = false;
    uint32_t count = 5;
    int32_t offset = -3;
    float scale = 0.5f;
    std::string label = ".";
    std::string unknown_keys;
};

Expected make_expected(void (*change)(Expected&)) {
    Expected expected;
    change(expected);
    return expected;
}

TEST(ConfigText, TextsReadToTheExpectedVariables) {
    struct Case {
        const char* text;
        Expected expected;
    };
    const Case cases[] = {
        {"count = 7 ;", make_expected([](Expected& e) { e.count = 7; })},
        {"count 7", make_expected([](Expected& e) { e.count = 7; })},
        {"count\n=\n7\n;\nflag 1", make_expected([](Expected& e) { e.count = 7, e.flag = true; })},
        {"count\n7\nflag = on", make_expected([](Expected& e) { e.count = 7, e.flag = true; })},
        {"count\t=\t7\r\nflag = 1\r\n", make_expected([](Expected& e) { e.count = 7, e.flag = true; })},
        {"count 7 ; flag 1 ; offset = 9", make_expected([](Expected& e) { e.count = 7, e.flag = true, e.offset = 9; })},
        {"count = 7 offset = 9", make_expected([](Expected& e) { e.count = 7, e.offset = 9; })},
        // A semicolon glued to a value ends it.
        {"count = 7;\nflag = 1;", make_expected([](Expected& e) { e.count = 7, e.flag = true; })},
        {"label = a;b", make_expected([](Expected& e) { e.label = "a;b"; })},
        {"label = x;;", make_expected([](Expected& e) { e.label = "x;"; })},
        // name=value in one token is split, and never shifts later lines.
        {"count=7\nflag=yes\nlabel=a=b\noffset = 4",
         make_expected([](Expected& e) { e.count = 7, e.flag = true, e.label = "a=b", e.offset = 4; })},
        {"count =7\nflag= 1", make_expected([](Expected& e) { e.count = 7, e.flag = true; })},
        {"count=\n8", make_expected([](Expected& e) { e.count = 8; })},
        {"count=7;flag=1", make_expected([](Expected& e) {})},
        // An odd line leaves the lines after it alone.
        {"garbage\ncount = 6\nflag = 1", make_expected([](Expected& e) { e.count = 6, e.flag = true; })},
        {"count =\nflag = 1", make_expected([](Expected& e) { e.flag = true; })},
        {"count\nflag 1", make_expected([](Expected& e) { e.flag = true; })},
        {"garbage\nwindow_width = 800\ncount = 6",
         make_expected([](Expected& e) { e.count = 6, e.unknown_keys = "window_width=800|"; })},
        // Quotes.
        {"label = \"C:\\My Games\\save\"", make_expected([](Expected& e) { e.label = "C:\\My Games\\save"; })},
        {"label = 'say \"hi\"'", make_expected([](Expected& e) { e.label = "say \"hi\""; })},
        {"label = \"it's\" ;", make_expected([](Expected& e) { e.label = "it's"; })},
        {"label = \"\"", make_expected([](Expected& e) { e.label = ""; })},
        {"label = 'unterminated", make_expected([](Expected& e) { e.label = "'unterminated"; })},
        {"label = \"a b;\"", make_expected([](Expected& e) { e.label = "a b;"; })},
        {"\"count\" = \"9\"", make_expected([](Expected& e) { e.count = 9; })},
        {"count = \"7;\"", make_expected([](Expected& e) {})},
        // Comments may start at any token.
        {"# count = 7\nflag = 1", make_expected([](Expected& e) { e.flag = true; })},
        {"count = 4 # = 8\nflag # 1\n1", make_expected([](Expected& e) { e.count = 4, e.flag = true; })},
        {"count = 4 ; #x\n#\n\n\n offset = 2", make_expected([](Expected& e) { e.count = 4, e.offset = 2; })},
        {"label = \"#not a comment\"", make_expected([](Expected& e) { e.label = "#not a comment"; })},
        // Values that do not parse or lie outside the range are ignored.
        {"count = 11\nflag = maybe\nscale = 2.5\noffset = 1.5", make_expected([](Expected& e) {})},
        {"count = 0\ncount = 10", make_expected([](Expected& e) { e.count = 10; })},
        {"count = ;\nflag = 1", make_expected([](Expected& e) { e.flag = true; })},
        {"COUNT = 3\nFlag = TRUE", make_expected([](Expected& e) { e.count = 3, e.flag = true; })},
        {"", make_expected([](Expected& e) {})},
        {"=\n;\n= = =\n;;;", make_expected([](Expected& e) { e.unknown_keys = "===|"; })},
        {"KEY_A = jump\nKEY_B fire ;\n\"my key\" = 'a \"b\"'",
         make_expected([](Expected& e) { e.unknown_keys = "KEY_A=jump|KEY_B=fire|my key=a \"b\"|"; })},
    };
    for (const Case& c : cases) {
        auto config = TestConfig::make();
        parse(*config, c.text);
        EXPECT_EQ(config->flag, c.expected.flag) << c.text;
        EXPECT_EQ(config->count, c.expected.count) << c.text;
        EXPECT_EQ(config->offset, c.expected.offset) << c.text;
        EXPECT_EQ(config->scale, c.expected.scale) << c.text;
        EXPECT_EQ(std::string(config->label), c.expected.label) << c.text;
        EXPECT_EQ(describe_unknown_keys(*config), c.expected.unknown_keys) << c.text;
    }
}

TEST(ConfigText, NulBytesEndLinesOnly) {
    auto config = TestConfig::make();
    parse(*config, std::string("count = 7\0flag = 1\0", 20));
    EXPECT_EQ(config->count, 7u);
    EXPECT_TRUE(config->flag);
}

TEST(ConfigText, FileDumpWritesChangedVariablesThenUnknownKeys) {
    auto config = TestConfig::make();
    EXPECT_EQ(dump(*config), "offset = -3\r\n");
    parse(*config,
          "window_width = 800\ncount = 7\nlabel = \"a b\"\nhidden = x\nscale = 1.5\nratio = 0.1\nmask = 0xFF\n"
          "KEY_A = 'x y'");
    EXPECT_EQ(dump(*config),
              "count = 7\r\n"
              "offset = -3\r\n"
              "scale = 1.5\r\n"
              "label = \"a b\"\r\n"
              "mask = 255\r\n"
              "ratio = 0.1000000015\r\n"
              "window_width = 800\r\n"
              "KEY_A = \"x y\"\r\n");
}

TEST(ConfigText, ProfileDumpTakesProfileVariablesOnly) {
    auto config = TestConfig::make();
    parse(*config, "count = 7\nwindow_width = 800\nmask = 3");
    EXPECT_EQ(dump(*config, ConfigDumpFilter::Profile), "scale = 0.5\r\nmask = 3\r\n");
}

TEST(ConfigText, TextValuesAreQuotedSoTheyReadBack) {
    struct Case {
        const char* value;
        const char* written;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"/home/me/.config/zolt", "/home/me/.config/zolt"},
        {"C:\\My Games", "\"C:\\My Games\""},
        {"it's", "\"it's\""},
        {"say \"hi\"", "'say \"hi\"'"},
        {"\"", "'\"'"},
        {"", "\"\""},
        {"#hash", "\"#hash\""},
        {"ends;", "\"ends;\""},
        {";", "\";\""},
        {"a=b", "a=b"},
        {"tab\there", "\"tab\there\""},
        {"a\"b'c", "a\"b'c"},
    };
    for (const Case& c : cases) {
        auto config = TestConfig::make();
        config->label = c.value;
        EXPECT_EQ(dump(*config), std::string("offset = -3\r\nlabel = ") + c.written + "\r\n") << c.value;
        auto read_back = TestConfig::make();
        parse(*read_back, dump(*config));
        EXPECT_EQ(std::string(read_back->label), c.value);
    }
}

TEST(ConfigText, TextThatNoQuotingReadsBackIsLeftOutWithAWarning) {
    test::WarningRecorder recorder;
    const char* values[] = {"both \"quote\" 'kinds'", "'\"", "line\nbreak", "cr\r"};
    for (const char* value : values) {
        auto config = TestConfig::make();
        config->label = value;
        EXPECT_EQ(dump(*config), "offset = -3\r\n") << value;
    }
    EXPECT_EQ(recorder.warnings.size(), std::size(values));
    // An unknown key whose name no quoting reads back is left out too.
    auto config = TestConfig::make();
    config->table.get_unknown_keys().set("a \"b' c", "1");
    config->table.get_unknown_keys().set("fine", "2");
    EXPECT_EQ(dump(*config), "offset = -3\r\nfine = 2\r\n");
}

TEST(ConfigText, UnknownKeyNamesAreQuotedWhenNeeded) {
    auto config = TestConfig::make();
    parse(*config, "\"my key\" = 1\n\"a=b\" = 2\n'#x' = 3\n\"\" = 4");
    const std::string written = dump(*config);
    EXPECT_EQ(written, "offset = -3\r\n\"my key\" = 1\r\n\"a=b\" = 2\r\n\"#x\" = 3\r\n\"\" = 4\r\n");
    auto read_back = TestConfig::make();
    parse(*read_back, written);
    EXPECT_EQ(describe_unknown_keys(*read_back), describe_unknown_keys(*config));
}

TEST(ConfigText, WhatIsWrittenReadsBackTheSame) {
    auto config = TestConfig::make();
    parse(*config,
          "flag = 1\ncount = 10\noffset = -100\nscale = 1.9999999\nlabel = 'quoted \"value\" here'\n"
          "any_number = 4294967295\nmask = 0b1011\nratio = -3.4028234e38\nunknown = \"x y\"\nother=z");
    const std::string written = dump(*config);
    auto read_back = TestConfig::make();
    parse(*read_back, written);
    EXPECT_EQ(read_back->flag, config->flag);
    EXPECT_EQ(read_back->count, config->count);
    EXPECT_EQ(read_back->offset, config->offset);
    EXPECT_EQ(read_back->scale, config->scale);
    EXPECT_EQ(std::string(read_back->label), std::string(config->label));
    EXPECT_EQ(read_back->any_number, config->any_number);
    EXPECT_EQ(read_back->mask, config->mask);
    EXPECT_EQ(read_back->ratio, config->ratio);
    EXPECT_EQ(describe_unknown_keys(*read_back), "unknown=x y|other=z|");
    EXPECT_EQ(dump(*read_back), written);
}

void dump_bindings(StringBuffer& buffer) {
    buffer.append("KEY_SPACE = jump");
    buffer.append_line_break();
}

TEST(ConfigText, HookLinesFollowTheVariables) {
    auto config = TestConfig::make();
    ConfigHook hook;
    hook.dump = dump_bindings;
    config->table.register_hook(&hook);
    parse(*config, "stray = 1");
    EXPECT_EQ(dump(*config), "offset = -3\r\nKEY_SPACE = jump\r\nstray = 1\r\n");
    EXPECT_EQ(dump(*config, ConfigDumpFilter::Profile), "scale = 0.5\r\nmask = 0\r\nKEY_SPACE = jump\r\n");
    config->table.unregister_hook(&hook);
}

TEST(ConfigText, ProgramTableTextIgnoresUnknownNames) {
    const uint32_t before = get_config_variable_table().get_unknown_keys().get_count();
    char text[] = "surely_no_such_variable = 1";
    parse_config_text(text);
    EXPECT_EQ(get_config_variable_table().get_unknown_keys().get_count(), before);
}

}  // namespace
}  // namespace zolt
