#include "libs/utility/text_conversion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zolt {
namespace {

TEST(TextConversion, ParseBool) {
    const std::pair<const char*, std::optional<bool>> cases[] = {
        {"0", false},          {"1", true},           {"false", false},        {"TRUE", true},
        {"no", false},         {"YES", true},         {"Off", false},          {"on", true},
        {"2", std::nullopt},   {"", std::nullopt},    {"maybe", std::nullopt}, {"yes ", std::nullopt},
        {" on", std::nullopt}, {"onn", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        bool value = false;
        const bool parsed = parse_bool(text, &value);
        EXPECT_EQ(parsed, expected.has_value()) << text;
        if (parsed && expected) {
            EXPECT_EQ(value, *expected) << text;
        }
    }
}

TEST(TextConversion, ParseUnsigned) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"0x1F", 31u},
        {"0X1f", 31u},
        {"0b101", 5u},
        {"0B11", 3u},
        {"12", 12u},
        {"007", 7u},
        {"4294967295", 4294967295u},
        {"0xFFFFFFFF", 4294967295u},
        {" 7", 7u},
        {"+5", 5u},
        // A minus sign negates modulo 2^32.
        {"-1", 4294967295u},
        {"-4294967295", 1u},
        {"0x-1", 4294967295u},
        {"12a", std::nullopt},
        {"4294967296", std::nullopt},
        {"-4294967296", std::nullopt},
        {"0x100000000", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
        {"0b", std::nullopt},
        {"0b102", std::nullopt},
        {"-", std::nullopt},
        {"1 ", std::nullopt},
        {" 0x1F", std::nullopt},
        {"0x0x1F", std::nullopt},
        {"99999999999999999999999", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        uint32_t value = 0xDEADBEEF;
        const bool parsed = parse_unsigned(text, &value);
        EXPECT_EQ(parsed, expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(0xDEADBEEF)) << text;
    }
}

TEST(TextConversion, ParseInt) {
    const std::pair<const char*, std::optional<int32_t>> cases[] = {
        {"0", 0},
        {"-5", -5},
        {" +12", 12},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"4294967295", std::nullopt},
        {"0x10", std::nullopt},
        {"1.5", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"5 ", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        int32_t value = 77;
        const bool parsed = parse_int(text, &value);
        EXPECT_EQ(parsed, expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(77)) << text;
    }
}

TEST(TextConversion, ParseU64IgnoresTrailingText) {
    const std::pair<const char*, std::optional<uint64_t>> cases[] = {
        {"109775241058209793", 109775241058209793ull},
        {"0xFFFFFFFFFFFFFFFF", UINT64_MAX},
        {"18446744073709551615", UINT64_MAX},
        {"123abc", 123ull},
        {"0x1Fg", 31ull},
        {"18446744073709551616", std::nullopt},
        {"0x10000000000000000", std::nullopt},
        {"abc", std::nullopt},
        {"", std::nullopt},
        {"0x", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        uint64_t value = 1;
        const bool parsed = parse_u64(text, &value);
        EXPECT_EQ(parsed, expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(1)) << text;
    }
}

TEST(TextConversion, ParseFloat) {
    const std::pair<const char*, std::optional<float>> cases[] = {
        {"1.5", 1.5f},
        {"-0.25", -0.25f},
        {"+2", 2.0f},
        {".5", 0.5f},
        {"5.", 5.0f},
        {"1e3", 1000.0f},
        {"2.5E-1", 0.25f},
        {" 3", 3.0f},
        {"3.4028234e38", 3.4028234e38f},
        {"-3.4028234e38", -3.4028234e38f},
        {"1e39", std::nullopt},
        {"-1e39", std::nullopt},
        {"3.4028236e38", std::nullopt},
        {"1e-400", std::nullopt},
        {"1e400", std::nullopt},
        {"inf", std::nullopt},
        {"nan", std::nullopt},
        {"0x1p3", std::nullopt},
        {"1e", std::nullopt},
        {".", std::nullopt},
        {"", std::nullopt},
        {"1.5x", std::nullopt},
        {"1.5 ", std::nullopt},
        {"1,5", std::nullopt},
        {"--1", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        float value = 9.0f;
        const bool parsed = parse_float(text, &value);
        EXPECT_EQ(parsed, expected.has_value()) << text;
        EXPECT_EQ(value, expected.value_or(9.0f)) << text;
    }
}

struct TokenList {
    std::vector<std::string> texts;
    std::vector<bool> quoted;
};

// Tokenizes a copy of text in a heap block of exactly its size, so that a
// read past the NUL is caught by the address sanitizer.
TokenList tokenize(const std::string& text) {
    const std::unique_ptr<char[]> block(new char[text.size() + 1]);
    std::memcpy(block.get(), text.c_str(), text.size() + 1);
    TokenList list;
    char* cursor = block.get();
    bool quoted = true;
    while (char* token = next_token(&cursor, &quoted)) {
        list.texts.emplace_back(token);
        list.quoted.push_back(quoted);
    }
    EXPECT_FALSE(quoted);
    EXPECT_EQ(*cursor, 0);
    // At the end it stays at the end.
    EXPECT_EQ(next_token(&cursor, &quoted), nullptr);
    return list;
}

TEST(TextConversion, NextToken) {
    struct Case {
        std::string text;
        std::vector<std::string> texts;
        std::vector<bool> quoted;
    };
    const Case cases[] = {
        {"\"a b\" c", {"a b", "c"}, {true, false}},
        {"'abc", {"'abc"}, {false}},
        {"'a b", {"'a", "b"}, {false, false}},
        {"  name\t=\tvalue ;  ", {"name", "=", "value", ";"}, {false, false, false, false}},
        {"'it \"is\"' \"x'y\"", {"it \"is\"", "x'y"}, {true, true}},
        {"\"\" x", {"", "x"}, {true, false}},
        {"\"a\"b", {"a", "b"}, {true, false}},
        {"a\"b c\"", {"a\"b", "c\""}, {false, false}},
        {"end", {"end"}, {false}},
        {"", {}, {}},
        {" \t ", {}, {}},
    };
    for (const Case& c : cases) {
        const TokenList list = tokenize(c.text);
        EXPECT_EQ(list.texts, c.texts) << c.text;
        EXPECT_EQ(list.quoted, c.quoted) << c.text;
    }
}

TEST(TextConversion, EqualsIgnoringCase) {
    EXPECT_TRUE(equals_ignoring_case("Multithreading_Mode", "multithreading_mode"));
    EXPECT_TRUE(equals_ignoring_case("", ""));
    EXPECT_FALSE(equals_ignoring_case("config", "config_"));
    EXPECT_FALSE(equals_ignoring_case("a[", "A{"));
}

}  // namespace
}  // namespace zolt
