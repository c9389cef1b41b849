#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/io/temporary_folder.h"
#include "support/child_process.h"
#include "zasm/lib/code_assembler.h"
#include "zasm/lib/code_disassembler.h"
#include "zasm/lib/zasm_command.h"
#include "zolt/builtins/builtin_list.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_test_support.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

using Bytes = std::vector<uint8_t>;
using core::OperandKind;

std::vector<AssembledCode> assemble(const std::string& source) {
    std::vector<AssembledCode> codes;
    std::string error;
    EXPECT_TRUE(assemble_code(source, "test.zasm", &codes, &error)) << error;
    return codes;
}

std::string disassemble(const AssembledCode& code) {
    std::string text;
    std::string error;
    EXPECT_TRUE(
        disassemble_code(code.resource_id, code.bytes.data(), static_cast<uint32_t>(code.bytes.size()), &text, &error))
        << error;
    return text;
}

// Assembles, disassembles and assembles again; answers the disassembly.
std::string expect_round_trip(const std::string& source) {
    const std::vector<AssembledCode> first = assemble(source);
    std::string text;
    for (const AssembledCode& code : first) {
        text += disassemble(code);
    }
    const std::vector<AssembledCode> second = assemble(text);
    EXPECT_EQ(first.size(), second.size());
    for (size_t index = 0; index < std::min(first.size(), second.size()); ++index) {
        EXPECT_EQ(first[index].resource_id, second[index].resource_id);
        EXPECT_EQ(first[index].bytes, second[index].bytes) << text;
    }
    // The text is stable too.
    std::string again;
    for (const AssembledCode& code : second) {
        again += disassemble(code);
    }
    EXPECT_EQ(again, text);
    return text;
}

std::string make_operand(uint32_t opcode, uint32_t variant) {
    const core::OpcodeInfo& info = core::opcode_table[opcode];
    static const char* const values[] = {"-11111", "1.5",   "0xDEADBEEF", "finish", "code(2, 300, 7)", "builtin(77)",
                                         "0",      "-2e-3", "65535",      "65536",  "-65536",          "start"};
    switch (info.operand) {
    case OperandKind::none:
        return "";
    case OperandKind::byte:
        return std::to_string((opcode * 7 + variant * 64) % 256);
    case OperandKind::signed_byte:
        return std::to_string(static_cast<int>(variant * 85) - 128);
    case OperandKind::text: {
        static const char* const texts[] = {"\"\"", "\"A \\\"quoted\\\" line\\n\\ttab \\\\ \xC3\xA9 \xF0\x9F\x98\x80\"",
                                            "\"lone \\uD800 surrogate\\r\"", "\"odd\""};
        return texts[variant];
    }
    default:
        break;
    }
    std::string operand;
    for (uint32_t word = 0; word < core::get_operand_word_count(info.operand); ++word) {
        operand += word == 0 ? "" : ", ";
        if ((info.flags & core::opcode_flag::code_offset) != 0) {
            operand += variant % 2 == 0 ? "finish" : "start";
        } else if ((info.flags & core::opcode_flag::code_reference) != 0) {
            operand += variant % 2 == 0 ? "builtin(188)" : "code(start)";
        } else {
            operand += values[(opcode + variant + word) % std::size(values)];
        }
    }
    return operand;
}

// Every opcode; those with aligned operands behind 0 to 3 nops, so that their
// operands meet every alignment. Code after an opcode that ends the flow is
// reached through an entry of its own.
std::string make_every_opcode_source() {
    std::string source = ".code 3 77 language 2\n.entry start\n.entry 0x7FFFFFFF\nstart:\n";
    for (uint32_t opcode = 0; opcode < core::opcode_count; ++opcode) {
        const core::OpcodeInfo& info = core::opcode_table[opcode];
        const bool is_aligned = info.operand != OperandKind::none && info.operand != OperandKind::byte &&
                                info.operand != OperandKind::signed_byte;
        for (uint32_t variant = 0; variant < (is_aligned ? 4u : 2u); ++variant) {
            for (uint32_t nop = 0; is_aligned && nop < variant; ++nop) {
                source += "    nop\n";
            }
            source += std::string("    ") + info.name + " " + make_operand(opcode, variant) + "\n";
            if ((info.flags & core::opcode_flag::ends_flow) != 0) {
                const std::string label = "after_" + std::to_string(opcode) + "_" + std::to_string(variant);
                source += ".entry " + label + "\n" + label + ":\n";
            }
        }
    }
    return source +
           "    .byte 1, 2, 3\n"
           "    .word 0x01020304, finish, code(0), builtin(9), -1.25\n"
           "    .byte 0xFF\n"
           "finish:\n"
           "    end_task\n";
}

// The name after the prefix, followed by a blank or the end of the line.
bool has_name(const std::string& text, const char* name, const char* prefix = "\n    ") {
    const std::string line = std::string(prefix) + name;
    for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) {
        const char next = text[at + line.size()];
        if (next == '\n' || next == ' ') {
            return true;
        }
    }
    return false;
}

TEST(Zasm, EveryOpcodeAssemblesDisassemblesAndAssemblesToTheSameBytes) {
    const std::string source = make_every_opcode_source();
    const std::string text = expect_round_trip(source);
    for (uint32_t opcode = 0; opcode < core::opcode_count; ++opcode) {
        EXPECT_TRUE(has_name(text, core::opcode_table[opcode].name)) << core::opcode_table[opcode].name;
    }
    EXPECT_NE(text.find(".code 3 77 language 2\n"), std::string::npos);
    EXPECT_NE(text.find(".entry 0x7FFFFFFF\n"), std::string::npos);
    EXPECT_NE(text.find("call builtin(quit)\n"), std::string::npos);
    EXPECT_NE(text.find("call code(3, 77, 0)\n"), std::string::npos);
    EXPECT_NE(text.find("\"lone \\uD800 surrogate\\r\""), std::string::npos);
    EXPECT_NE(text.find("\\u00E9 \\uD83D\\uDE00\""), std::string::npos);

    // The resource the engine reads: its header, and the code it checks.
    const AssembledCode code = assemble(source)[0];
    EXPECT_EQ(code.resource_id, 0x12030000u | 77u);
    const core::CodeResourceCheckResult check =
        core::check_code_resource(code.bytes.data(), static_cast<uint32_t>(code.bytes.size()));
    EXPECT_EQ(check.check, core::CodeResourceCheck::intact);
    EXPECT_EQ(check.header.identity, core::make_code_identity(3, 77));
}

// Names and numbers are one table: every row's name gives the call its id gives.
TEST(Zasm, BuiltinsByNameAssembleAsByNumber) {
    std::string by_name = ".code 0 1\n";
    std::string by_number = ".code 0 1\n";
    for (const core::BuiltinRow& row : core::builtin_rows) {
        by_name += "    call builtin(" + std::string(row.name) + ")\n";
        by_number += "    call builtin(" + std::to_string(row.id) + ")\n";
    }
    EXPECT_EQ(assemble(by_name)[0].bytes, assemble(by_number)[0].bytes);
    EXPECT_EQ(assemble(".code 0 1\n  call builtin(quit)\n")[0].bytes,
              assemble(".code 0 1\n  call builtin(188)\n")[0].bytes);

    // Ids outside the table keep their numbers.
    const std::string text = expect_round_trip(
        ".code 0 1\n.entry start\nstart:\n  call builtin(0)\n  call builtin(702)\n  call builtin(701)\n  end_task\n");
    EXPECT_NE(text.find("call builtin(0)\n    call builtin(702)\n    call builtin(load_from_profile)\n"),
              std::string::npos)
        << text;
}

TEST(Zasm, InstructionsAndDataLieWhereTheEngineReadsThem) {
    const std::string source =
        ".code 2 5\n"
        ".entry start\n"
        ".entry tail\n"
        "start:\n"
        "    push_byte 200          ; a comment\n"
        "    push_signed_byte -2\n"
        "    set_r0 0x11223344\n"
        "    nop\n"
        "    push_words2 1, -1\n"
        "    append_text \"A\xF0\x9F\x98\x80\"\n"
        "    call builtin(132)\n"
        "    call code(tail)\n"
        "    jump start\n"
        "tail: .byte 7\n"
        "    .word tail, 0.5\n";
    const std::vector<AssembledCode> codes = assemble(source);
    ASSERT_EQ(codes.size(), 1u);
    EXPECT_EQ(codes[0].resource_id, 0x10020005u);
    const Bytes expected_code = {
        84,   200,  85,   0xFE,                          // byte operands right after their opcode
        48,   0,    0,    0,    0x44, 0x33, 0x22, 0x11,  // the word at the next boundary
        0,    79,   0,    0,    1,    0,    0,    0,    0xFF, 0xFF,
        0xFF, 0xFF, 17,   0,    0,    0,    3,    0,    0,    0,  // text: count, then the units
        0x41, 0,    0x3D, 0xD8, 0x00, 0xDE,                       // the next opcode follows at once
        37,   0,    0x84, 0,    0,    0xF0,                       // builtin 132, chain 15
        37,   0,    0,    0,    0x01, 0x40, 0x01, 0x20,           // chain 2, key 5, entry 1
        41,   0,    0,    0,    0,    0,    0,    0,    7,    0,
        0,    0,    60,   0,    0,    0,    0,    0,    0,    0x3F,  // words aligned with zero bytes
    };
    Bytes expected(40, 0);
    const core::CodeResourceHeader header = {
        0x20014000, 32, 2, 40, 40 + static_cast<uint32_t>(expected_code.size()), 0x4ABA5CE5, 0x00020004, 0x4ABA587D};
    core::write_code_resource_header(header, expected.data());
    expected[36] = 60;
    expected.insert(expected.end(), expected_code.begin(), expected_code.end());
    EXPECT_EQ(codes[0].bytes, expected);
    expect_round_trip(source);
}

TEST(Zasm, WhatNoPathReachesOrTheAssemblerWouldWriteOtherwiseStaysData) {
    const std::string source =
        ".code 0 1\n"
        ".entry good\n"
        ".entry bad_opcode\n"
        ".entry bad_padding\n"
        ".entry 2\n"
        "good:\n"
        "    set_r0 5\n"
        "    jump 2\n"
        "bad_opcode:\n"
        "    .byte 248, 0\n"
        "bad_padding:\n"
        "    .byte 48, 1, 2, 3\n"
        "    .word 9\n"
        "    .word 0xFFFFFFFF\n"
        "    .byte 1, 2\n";
    const std::string text = expect_round_trip(source);
    EXPECT_NE(text.find("    set_r0 5\n    jump 0x00000002\n"), std::string::npos) << text;
    EXPECT_NE(text.find("entry1:\n    .byte 0xF8, 0x00\n"), std::string::npos) << text;
    EXPECT_NE(text.find("entry2:\n    .byte 0x30, 0x01\n"), std::string::npos) << text;
    EXPECT_NE(text.find(".entry 0x00000002\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("signal_semaphore"), std::string::npos) << text;
}

TEST(Zasm, SeveralCodeResourcesKeepTheirOwnLabelsAndIds) {
    const std::string source =
        ".code 0 1\n.entry main\nmain: call code(1, 2, 0)\n end_task\n"
        ".code 1 2 id 0x10FF0002\n.entry main\nmain: return_to_caller\n"
        ".code 1 2 language 13\n.entry main\n.entry main\nmain: jump main\n";
    const std::vector<AssembledCode> codes = assemble(source);
    ASSERT_EQ(codes.size(), 3u);
    EXPECT_EQ(codes[0].resource_id, 0x10000001u);
    EXPECT_EQ(codes[1].resource_id, 0x10FF0002u);
    EXPECT_EQ(codes[2].resource_id, 0x1D010002u);
    const std::string text = expect_round_trip(source);
    EXPECT_NE(text.find(".code 1 2 id 0x10FF0002\n"), std::string::npos);
    EXPECT_NE(text.find(".code 1 2 language 13\n.entry entry0\n.entry entry0\n"), std::string::npos);
}

TEST(Zasm, BrokenSourcesNameTheLineAndNothingIsAssembled) {
    struct Case {
        const char* source;
        const char* message;
    };
    const Case cases[] = {
        {"nop\n", "test.zasm:1: code before the first .code"},
        {".code 0 1\n  bogus\n", "test.zasm:2: unknown opcode \"bogus\""},
        {".code 0 1\n  push_byte 256\n", "test.zasm:2: a byte operand must be an integer from 0 to 255"},
        {".code 0 1\n  push_signed_byte 128\n", "a signed byte operand must be an integer from -128 to 127"},
        {".code 0 1\n  reserve 1.5\n", "test.zasm:2: a byte operand must be an integer"},
        {".code 0 1\n  jump nowhere\n", "test.zasm:2: label \"nowhere\" is not defined"},
        {".code 0 1\na: nop\na: nop\n", "test.zasm:3: label \"a\" is defined twice"},
        {".code 0 1\n  push_words2 1\n", "test.zasm:2: push_words2 takes 2 word operands"},
        {".code 0 1\n  push_word 1, 2\n", "test.zasm:2: push_word takes 1 word operand"},
        {".code 0 1\n  append_text \"\\q\"\n", "unknown escape \\q in a text literal"},
        {".code 0 1\n  append_text \"\\u12G4\"\n", "\\u in a text literal needs four hexadecimal digits"},
        {".code 0 1\n  append_text \"\xC3\"\n", "text literal is not well-formed UTF-8"},
        {".code 0 1\n  append_text \"open\n", "test.zasm:2: text literal without its closing quote"},
        {".code 0 1\n  append_text 5\n", "expected a text literal in double quotes"},
        {".code 16 1\n", "test.zasm:1: a chain index must be an integer from 0 to 15"},
        {".code 0 16384\n", "a key must be an integer from 0 to 16383"},
        {".code 0 1\n.code 0 1 language 0\n", "test.zasm:2: resource 0x10000001 is already defined on line 1"},
        {".code 0 1 language 2 id 5\n", "expected language <n> or id <resource id>, not both"},
        {".code 0 1\n  call code(missing)\n", "\"missing\" is not named by an .entry"},
        {".code 0 1\n  call code(16, 1, 1)\n", "a chain index must be an integer from 0 to 15"},
        {".code 0 1\n  call builtin(16384)\n", "a builtin id must be an integer from 0 to 16383"},
        {".code 0 1\n  call builtin(request_quit)\n", "test.zasm:2: no builtin is named \"request_quit\""},
        {".code 0 1\n  call builtin(quit, 1)\n", "expected builtin(<name>) or builtin(<id>)"},
        {".code 0 1\n  push_word 0x100000000\n", "does not fit 32 bits"},
        {".code 0 1\n  push_word -2147483649\n", "does not fit 32 bits"},
        {".code 0 1\n  push_word 1.5.2\n", "\"1.5.2\" is not a float number"},
        {".code 0 1\n  push_word 1e99\n", "\"1e99\" is not a float number"},
        {".code 0 1\n  push_word 12ab\n", "\"12ab\" is not a number"},
        {".code 0 1\n  end_task extra\n", "test.zasm:2: unexpected \"extra\""},
        {".code 0 1\n.entry\n", "expected .entry <label> or .entry <offset>"},
        {".code 0 1\n.align 4\n", "unknown directive \".align\""},
        {".code 0 1\n  .byte 256\n", "a byte must be an integer from -128 to 255"},
        {".code 0 1\n  nop @\n", "test.zasm:2: unexpected character '@'"},
        {".code 0 1\n.code: nop\n", "cannot name a label"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        std::vector<AssembledCode> codes;
        std::string error;
        EXPECT_FALSE(assemble_code(c.source, "test.zasm", &codes, &error));
        EXPECT_TRUE(codes.empty());
        EXPECT_NE(error.find(c.message), std::string::npos) << error;
    }
    // Every broken line is reported.
    std::vector<AssembledCode> codes;
    std::string error;
    EXPECT_FALSE(assemble_code(".code 0 1\n bogus\n jump nowhere\n push_byte -1\n", "test.zasm", &codes, &error));
    EXPECT_EQ(test::count_occurrences(error, "test.zasm:"), 3u) << error;
}

// Runs the command line in a child, so its output can be read.
test::ChildResult run_command(const std::vector<std::string>& arguments) {
    return test::run_in_child([&] {
        std::vector<char*> argv = {const_cast<char*>("zasm")};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        const int exit_code = run_zasm(static_cast<int>(argv.size()), argv.data());
        std::fflush(nullptr);
        // No exit handlers: the leak check would scan the engine's pools.
        std::_Exit(exit_code);
    });
}

class PackListScope {
public:
    explicit PackListScope(const std::string& path) : path_(path), saved_(pack_list) { pack_list = path_.c_str(); }
    ~PackListScope() { pack_list = saved_; }

private:
    std::string path_;
    const char* saved_;
};

// The engine's resource and code servers over a pack list, for one scope.
class LoadedCode {
public:
    explicit LoadedCode(const std::string& list_path) : scope_(list_path) {
        core::resource_server.register_server();
        core::code_server.register_server();
    }
    ~LoadedCode() {
        core::code_server.unregister_server();
        core::resource_server.unregister_server();
    }

private:
    PackListScope scope_;
};

TEST(Zasm, CommandWritesAPackAndPackListTheEngineLoadsAsCode) {
    test::TemporaryFolder folder;
    const std::string first = folder.write_file("first.zasm", ".code 0 1\n.entry a\n.entry b\na: nop\nb: end_task\n");
    const std::string second = folder.write_file("second.zasm", ".code 6 9 language 0\n.entry a\na: end_task\n");
    std::filesystem::create_directories(folder.get_folder() / "packs");
    const std::string pack_path = folder.get_path("packs/code.pack");
    const std::string list_path = folder.get_path("pack.list");

    test::ChildResult result = run_command({"assemble", "--list", list_path, pack_path, first, second});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    EXPECT_EQ(test::read_file_bytes(list_path), "packs/code.pack\n");
    std::vector<uint8_t> pack;
    std::string error;
    ASSERT_TRUE(read_file(pack_path, &pack, &error));
    EXPECT_EQ(io::verify_pack(pack.data(), pack.size()).check, io::PackCheck::intact);
    EXPECT_EQ(io::read_pack_data_block(pack.data() + io::pack_data_block_offset).pack_key, 0u);

    {
        // The list names the pack relative to its own folder.
        const std::filesystem::path saved = std::filesystem::current_path();
        std::filesystem::current_path(folder.get_folder());
        LoadedCode loaded(list_path);
        const core::CodeObject* const main = core::code_server.find_code_object(1, 0);
        ASSERT_NE(main, nullptr);
        EXPECT_EQ(main->get_entry_count(), 2u);
        EXPECT_EQ(main->get_entry_offset(1), 1u);
        EXPECT_EQ(main->get_code_start()[1], static_cast<uint8_t>(core::Opcode::end_task));
        const core::CodeObject* const other = core::code_server.find_code_object(9, 6);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(other->get_resource_id(), 0x10060009u);
        std::filesystem::current_path(saved);
    }

    // Disassembled and assembled again: the same pack.
    const std::string text_path = folder.get_path("code.zasm");
    result = run_command({"disassemble", pack_path, text_path});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    const std::string again_path = folder.get_path("again.pack");
    result = run_command({"assemble", again_path, text_path});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    std::vector<uint8_t> again;
    ASSERT_TRUE(read_file(again_path, &again, &error));
    EXPECT_EQ(again, pack);

    result = run_command({"assemble", "--key", "5", again_path, text_path});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    ASSERT_TRUE(read_file(again_path, &again, &error));
    EXPECT_EQ(io::read_pack_data_block(again.data() + io::pack_data_block_offset).pack_key, 5u);

    result = run_command({"disassemble", pack_path});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_output.find(".code 6 9\n.entry entry0\n\nentry0:\n    end_task\n"), std::string::npos)
        << result.standard_output;
}

TEST(Zasm, CommandFailuresAndHelp) {
    test::TemporaryFolder folder;
    const std::string broken = folder.write_file("broken.zasm", ".code 0 1\n  bogus\n");
    const std::string twice = folder.write_file("twice.zasm", ".code 0 1\n  end_task\n");
    const std::string pack_path = folder.get_path("out.pack");
    struct Case {
        std::vector<std::string> arguments;
        int exit_code;
        const char* message;
    };
    const Case cases[] = {
        {{}, 2, "usage: zasm"},
        {{"build"}, 2, "usage: zasm"},
        {{"assemble", pack_path}, 2, "usage: zasm"},
        {{"assemble", "--key", "x", pack_path, twice}, 2, "usage: zasm"},
        {{"assemble", pack_path, broken}, 1, "broken.zasm:2: unknown opcode \"bogus\""},
        {{"assemble", pack_path, twice, twice}, 1, "zasm: resource 0x10000001 is defined twice"},
        {{"assemble", pack_path, folder.get_path("missing.zasm")}, 1, "zasm: unable to open"},
        {{"disassemble", broken}, 1, "zasm: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.empty() ? "" : c.arguments[0]);
        const test::ChildResult result = run_command(c.arguments);
        EXPECT_EQ(result.exit_code, c.exit_code);
        EXPECT_NE(result.standard_error.find(c.message), std::string::npos) << result.standard_error;
    }
    EXPECT_FALSE(std::filesystem::exists(pack_path));

    const test::ChildResult help = run_command({"--help"});
    EXPECT_EQ(help.exit_code, 0);
    for (uint32_t opcode = 0; opcode < core::opcode_count; ++opcode) {
        EXPECT_TRUE(has_name(help.standard_output, core::opcode_table[opcode].name, " "))
            << core::opcode_table[opcode].name;
    }
}

TEST(SampleContent, PackListAndPackLoadTheFirstTask) {
    const std::string folder = ZOLT_CONTENT_PATH;
    std::vector<uint8_t> pack;
    std::string error;
    ASSERT_TRUE(read_file(folder + "/game.pack", &pack, &error)) << error;
    EXPECT_EQ(io::verify_pack(pack.data(), pack.size()).check, io::PackCheck::intact);
    EXPECT_EQ(test::read_file_bytes(folder + "/pack.list"), "game.pack\ntextures.pack\nsounds.pack\nfigure.pack\nlevel.pack\n");

    const std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    {
        LoadedCode loaded("pack.list");
        // Code reference 0x4001: chain 0, key 1, entry 1.
        const core::CodeObject* const game = core::code_server.find_code_object(1, 0);
        ASSERT_NE(game, nullptr);
        ASSERT_GE(game->get_entry_count(), 6u);
        EXPECT_LT(game->get_entry_offset(1), game->get_code_size());
    }
    std::filesystem::current_path(saved);
}

TEST(SampleContent, FirstTaskComputesThenCountsFramesInR1) {
    const std::string source = test::read_file_bytes(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/game.zasm");
    test::ScriptWorld world({source});
    core::Task* const task = world.start(0x4001);
    ASSERT_NE(task, nullptr);
    const core::ObjectHandle handle = task->get_handle();
    for (uint32_t frame = 1; frame <= 3; ++frame) {
        EXPECT_EQ(test::ScriptWorld::execute(task), 0u);
        // A wrong sum or product would have ended the task.
        ASSERT_TRUE(test::is_alive(handle));
        EXPECT_EQ(task->get_argument(1), frame);
    }
}

TEST(SampleContent, ZoltStartsInTheContentFolderAndEndsOnTerminateSignal) {
    test::ProgramRun run;
    run.arguments = {"-c", std::string("cd '") + ZOLT_CONTENT_PATH + "' && exec '" + ZOLT_BINARY_PATH + "'"};
    run.terminate_after_milliseconds = 1000;
    // A sanitized start and stop is slow on a loaded machine.
    run.timeout_milliseconds = 60000;
    const test::ChildResult result = test::run_program("/bin/sh", run);
    EXPECT_TRUE(result.exited);
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
}

}  // namespace
}  // namespace zolt::tools
