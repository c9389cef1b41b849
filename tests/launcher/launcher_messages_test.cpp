#include <gtest/gtest.h>

#include "launcher/error_codes.h"
#include "launcher/launcher_messages.h"
#include "launcher/report_buffer.h"

namespace zolt::launcher {
namespace {

TEST(LauncherMessages, FreeSpaceMessageCarriesItsNumbersAndCode) {
    const std::string text = format_launcher_string(LauncherString::too_little_free_space,
                                                    {"/home/player", 50u, 12u, 112u, describe_error_code(112)});
    EXPECT_NE(text.find("at least 50 MB of free disk space, but the device containing the folder '/home/player' has "
                        "only 12 MB free."),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Error code: F-112.\nError message: " + describe_error_code(112)), std::string::npos) << text;
}

TEST(LauncherMessages, InsertsGoWhereTheirNumbersSayAndMissingOnesAreLeftOut) {
    struct Case {
        const char* pattern;
        std::string expected;
    };
    const Case cases[] = {
        {"%2 before %1", "b before a"},   {"code %3!u!.", "code 7."},       {"100%% of %1", "100% of a"},
        {"%4 is missing", " is missing"}, {"a trailing %", "a trailing %"},
    };
    for (const Case& row : cases) {
        EXPECT_EQ(format_message(row.pattern, {"a", "b", 7u}), row.expected) << row.pattern;
    }
}

TEST(LauncherMessages, ErrorCodesOfTheFileCallsBecomeTheMessagesCodesAndAlwaysHaveAText) {
    EXPECT_EQ(get_error_code(ENOENT), file_not_found_code);
    EXPECT_EQ(get_error_code(ENOTDIR), path_not_found_code);
    EXPECT_EQ(get_error_code(EACCES), access_denied_code);
    EXPECT_EQ(get_error_code(ENOSPC), disk_full_code);
    EXPECT_EQ(get_error_code(ENAMETOOLONG), file_name_too_long_code);
    for (const uint32_t code : {2u, 3u, 5u, 112u, 183u, 206u, 1006u, 99999u, 0xFFFFFFFFu}) {
        EXPECT_FALSE(describe_error_code(code).empty()) << code;
    }
}

TEST(LauncherMessages, EveryTitleAndMessageTheLauncherShowsIsInTheTable) {
    for (uint32_t id : {1u,  3u,  4u,  32u, 33u, 34u, 35u, 37u, 38u, 39u, 48u, 49u, 50u, 51u, 52u,  53u, 54u,
                        55u, 56u, 57u, 58u, 59u, 60u, 61u, 64u, 65u, 66u, 67u, 68u, 81u, 86u, 117u, 118u}) {
        EXPECT_NE(find_launcher_string(id), nullptr) << id;
    }
    EXPECT_EQ(find_launcher_string(5), nullptr);
    EXPECT_STREQ(get_launcher_string(LauncherString::already_running), "Quorvane is already running.");
}

TEST(ReportBuffer, GrowsInWholeStepsAndKeepsItsText) {
    ReportBuffer report;
    EXPECT_EQ(report.get_capacity(), 16384u);
    report.append(std::u16string(16385, u'x'));
    EXPECT_EQ(report.get_capacity(), 32768u);
    report.append_utf8("\xC3\xA9\xF0\x9F\x98\x80\xFF");
    const std::u16string& text = report.get_text();
    ASSERT_EQ(text.size(), 16385u + 4u);
    EXPECT_EQ(text[16385], u'\u00e9');
    EXPECT_EQ(text[16386], 0xD83D);
    EXPECT_EQ(text[16387], 0xDE00);
    EXPECT_EQ(text[16388], 0xFFFD);
}

}  // namespace
}  // namespace zolt::launcher
