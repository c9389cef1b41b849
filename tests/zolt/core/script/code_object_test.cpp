#include <gtest/gtest.h>

#include <cstring>

#include "support/child_process.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_test_support.h"

namespace zolt::core {
namespace {

using test::Bytes;

// A valid code resource of chain 0, key 1: two entries and two bytes of code.
Bytes make_valid_bytes() {
    return test::assemble_one(".code 0 1\n.entry a\n.entry b\na: nop\nb: end_task\n").bytes;
}

Bytes with_word(Bytes bytes, uint32_t offset, uint32_t word) {
    std::memcpy(bytes.data() + offset, &word, sizeof word);
    return bytes;
}

TEST(CodeObject, AssembledResourceHasTheLayoutTheEngineReads) {
    const Bytes bytes = make_valid_bytes();
    ASSERT_EQ(bytes.size(), 32u + 8u + 2u);
    const CodeResourceHeader header = read_code_resource_header(bytes.data());
    EXPECT_EQ(header.identity, 0x00004000u);
    EXPECT_EQ(header.entry_table_offset, 32u);
    EXPECT_EQ(header.entry_count, 2u);
    EXPECT_EQ(header.code_offset, 40u);
    EXPECT_EQ(header.code_end_offset, 42u);
    EXPECT_EQ(header.constants_version, 0x4ABA5CE5u);
    EXPECT_EQ(header.instruction_set_version, 0x00020004u);
    EXPECT_EQ(header.builtins_version, 0x4ABA587Du);
    EXPECT_EQ(read_code_entry(bytes.data() + 32, 0), 0u);
    EXPECT_EQ(read_code_entry(bytes.data() + 32, 1), 1u);
    EXPECT_EQ(check_code_resource(bytes.data(), static_cast<uint32_t>(bytes.size())).check, CodeResourceCheck::intact);
}

// Each broken resource ends the program when its code is first looked up,
// with the error routine's report and exit code 43, before any of it runs.
TEST(CodeObject, BrokenCodeResourcesAreFatalWhenLoaded) {
    const Bytes valid = make_valid_bytes();
    struct Case {
        const char* name;
        Bytes bytes;
        const char* report;
    };
    Bytes too_short(valid.begin(), valid.begin() + 28);
    const Case cases[] = {
        {"constants version", with_word(valid, 20, 0x4ABA5CE6),
         "zolt: error: the version of code object constants 0x4aba5ce6 within resource 0x10000001 does not "
         "match 0x4aba5ce5 used by engine\n"},
        {"instruction set version", with_word(valid, 24, 0x00020003),
         "zolt: error: the version of code object instruction set 0x00020003 within resource 0x10000001 does not "
         "match 0x00020004 used by engine\n"},
        {"builtins version", with_word(valid, 28, 0),
         "zolt: error: the version of code object builtins 0x00000000 within resource 0x10000001 does not match "
         "0x4aba587d used by engine\n"},
        // The versions are checked first, in this order.
        {"all versions", with_word(with_word(with_word(valid, 28, 1), 24, 2), 20, 3),
         "zolt: error: the version of code object constants 0x00000003"},
        {"too short", too_short, "zolt: error: code resource 0x10000001 has 28 bytes, fewer than its 32-byte header\n"},
        {"entry table past the end", with_word(valid, 8, 3),
         "zolt: error: the entry table of code resource 0x10000001 (offset 32, 3 entries) does not fit its 42 "
         "bytes\n"},
        {"entry count that wraps", with_word(valid, 8, 0x40000000),
         "zolt: error: the entry table of code resource 0x10000001 (offset 32, 1073741824 entries)"},
        {"entry table offset past the end", with_word(valid, 4, 0xFFFFFFFC),
         "zolt: error: the entry table of code resource 0x10000001 (offset 4294967292, 2 entries)"},
        {"code end past the end", with_word(valid, 16, 43),
         "zolt: error: the code of code resource 0x10000001 (offsets 40 to 43) does not fit its 42 bytes\n"},
        {"code end before the code", with_word(valid, 12, 44),
         "zolt: error: the code of code resource 0x10000001 (offsets 44 to 42) does not fit its 42 bytes\n"},
        {"code offset not aligned", with_word(valid, 12, 38),
         "zolt: error: the code of code resource 0x10000001 starts at offset 38, not a multiple of 4\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::PackFolder packs;
        tools::PackDescription description;
        description.resources = {test::make_raw_code_resource(0x10000001, c.bytes)};
        packs.add_pack("broken.pack", description);
        packs.write_pack_list();
        const test::ChildResult result = test::run_in_child([] {
            resource_server.register_server();
            code_server.register_server();
            code_server.find_code_object(1, 0);
        });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(c.report), std::string::npos) << result.standard_error;
    }
}

// The message names the resource that holds the bytes, with its language.
TEST(CodeObject, VersionMessageNamesTheLanguageVariantFound) {
    test::PackFolder packs;
    tools::PackDescription description;
    description.resources = {test::make_raw_code_resource(0x15000001, with_word(make_valid_bytes(), 24, 7))};
    packs.add_pack("broken.pack", description);
    packs.write_pack_list();
    const test::ChildResult result = test::run_in_child([] {
        test::LanguageScope language(5);
        resource_server.register_server();
        code_server.register_server();
        code_server.find_code_object(0, 0);
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("instruction set 0x00000007 within resource 0x15000001 does not match"),
              std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::core
