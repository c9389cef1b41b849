#include "libs/utility/string_buffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace zolt {
namespace {

TEST(StringBuffer, AppendKeepsWhatFitsAndTheTerminator) {
    char storage[8];
    StringBuffer buffer(storage, sizeof storage);
    buffer.append("abcde");
    buffer.append("xyz");
    EXPECT_STREQ(buffer.get_text(), "abcdexy");
    EXPECT_EQ(buffer.get_length(), 7u);
    buffer.append_line_break();
    buffer.append_char('!');
    buffer.append_bool(true);
    buffer.append_format("%d", 12345);
    EXPECT_STREQ(buffer.get_text(), "abcdexy");
    EXPECT_EQ(buffer.get_length(), 7u);
}

TEST(StringBuffer, LineBreakTakesWhatRemains) {
    struct Case {
        uint32_t remaining;
        const char* expected_tail;
    };
    const Case cases[] = {{1, ""}, {2, "\r"}, {3, "\r\n"}, {4, "\r\n"}};
    for (const Case& c : cases) {
        char storage[16];
        StringBuffer buffer(storage, 4 + c.remaining);
        buffer.append("abcd");
        buffer.append_line_break();
        EXPECT_EQ(std::string(buffer.get_text()), std::string("abcd") + c.expected_tail) << c.remaining;
        EXPECT_LT(buffer.get_length(), buffer.get_capacity());
    }
}

TEST(StringBuffer, FormatIsCutAndLaterAppendsStayInside) {
    // Guard bytes after the storage catch a write past the capacity.
    char storage[12];
    std::memset(storage, '#', sizeof storage);
    StringBuffer buffer(storage, 8);
    buffer.append_format("%s-%u", "long text", 42u);
    EXPECT_STREQ(buffer.get_text(), "long te");
    EXPECT_EQ(buffer.get_length(), 7u);
    buffer.append_format("%u", 7u);
    buffer.append("more");
    buffer.append_char('x');
    EXPECT_EQ(buffer.get_length(), 7u);
    EXPECT_EQ(std::string(storage + 8, 4), "####");
}

TEST(StringBuffer, SmallAppendsInOrder) {
    char storage[32];
    StringBuffer buffer(storage, sizeof storage);
    buffer.append_bool(false);
    buffer.append_bool(true);
    buffer.append_char(' ');
    buffer.append_format("%.10g|%d", 0.8f, -7);
    buffer.append_line_break();
    EXPECT_STREQ(buffer.get_text(), "01 0.8000000119|-7\r\n");
}

}  // namespace
}  // namespace zolt
