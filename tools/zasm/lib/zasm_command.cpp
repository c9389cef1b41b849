#include "zasm_command.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "code_assembler.h"
#include "code_disassembler.h"
#include "libs/io/pack_format.h"
#include "zolt/core/script/opcode_table.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

const char* const usage_text =
    "usage: zasm <command> ...\n"
    "\n"
    "  zasm assemble [--key <n>] [--list <pack list>] <out.pack> <source.zasm>...\n"
    "      Assembles the sources into one pack of code resources. --key sets\n"
    "      the pack key (default 0, loaded at start); --list also writes a pack\n"
    "      list naming the pack by its path from the list's folder.\n"
    "  zasm disassemble <pack> [<out.zasm>]\n"
    "      Writes the source of every code resource in the pack, to the\n"
    "      standard output without <out.zasm>. Assembling it gives the same\n"
    "      code resources again.\n"
    "  zasm --help\n"
    "      Prints this text and the opcodes.\n"
    "\n"
    "Source: one statement a line; ';' starts a comment.\n"
    "  .code <chain> <key> [language <n> | id <resource id>]\n"
    "      Starts a code resource: chain index 0-15, key 0-16383. Its resource id\n"
    "      is 0x10000000 | language << 24 | chain << 16 | key (language 0 unless\n"
    "      given: the code every language falls back to), or the id given.\n"
    "  .entry <label> | .entry <offset>\n"
    "      Appends an entry to the entry table, index 0 first.\n"
    "  <label>:\n"
    "      Names the code offset of what follows; labels belong to their .code.\n"
    "  <opcode> [<operand>]\n"
    "      An instruction, by the opcode's name below. Operand kinds:\n"
    "        b   a byte, 0 to 255\n"
    "        s   a signed byte, -128 to 127\n"
    "        wN  N values separated by commas, each a 32-bit word aligned to 4\n"
    "            bytes from the code start (the padding is zero)\n"
    "        t   a text literal in double quotes: UTF-8, with the escapes\n"
    "            \\\" \\\\ \\n \\r \\t and \\uXXXX for one UTF-16 unit\n"
    "  .byte <byte>, ...      data bytes, -128 to 255\n"
    "  .word <value>, ...     data words, aligned to 4 bytes with zero bytes\n"
    "Values: integers (123, -5, 0x7B), floats (1.5, -2e-3, 0.5f: the IEEE bits),\n"
    "a label (its code offset), code(<entry label>) or code(<entry index>) (a\n"
    "reference to an entry of this code), code(<chain>, <key>, <entry>),\n"
    "builtin(<name>) and builtin(<id>) (the code reference that calls the\n"
    "builtin, named as in the engine's builtin table, builtin_list.h).\n"
    "\n"
    "Exit code: 0 success, 1 failure, 2 wrong usage.\n";

int fail_usage() {
    std::fputs(usage_text, stderr);
    return exit_usage;
}

int fail(const std::string& message) {
    std::fprintf(stderr, "zasm: %s\n", message.c_str());
    return exit_failure;
}

const char* get_operand_kind_text(core::OperandKind kind) {
    switch (kind) {
    case core::OperandKind::none:
        return "";
    case core::OperandKind::byte:
        return "b";
    case core::OperandKind::signed_byte:
        return "s";
    case core::OperandKind::word1:
        return "w1";
    case core::OperandKind::word2:
        return "w2";
    case core::OperandKind::word3:
        return "w3";
    case core::OperandKind::word4:
        return "w4";
    case core::OperandKind::text:
        return "t";
    }
    return "";
}

void print_help() {
    std::fputs(usage_text, stdout);
    std::puts("\nOpcodes (number, name, operand kind):");
    constexpr uint32_t columns = 3;
    const uint32_t rows = (core::opcode_count + columns - 1) / columns;
    for (uint32_t row = 0; row < rows; ++row) {
        std::string line;
        for (uint32_t column = 0; column < columns; ++column) {
            const uint32_t opcode = column * rows + row;
            if (opcode < core::opcode_count) {
                const core::OpcodeInfo& info = core::opcode_table[opcode];
                char cell[48];
                std::snprintf(cell, sizeof cell, "  %3u %-26s%-3s", opcode, info.name,
                              get_operand_kind_text(info.operand));
                line += cell;
            }
        }
        line.erase(line.find_last_not_of(' ') + 1);
        std::puts(line.c_str());
    }
}

bool parse_u32(const std::string& text, uint32_t* value) {
    char* end = nullptr;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 0);
    if (text.empty() || *end != '\0' || text[0] == '-' || parsed > UINT32_MAX) {
        return false;
    }
    *value = static_cast<uint32_t>(parsed);
    return true;
}

int assemble(const std::vector<std::string>& arguments) {
    PackDescription description;
    std::string list_path;
    std::vector<std::string> paths;
    for (size_t index = 0; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (argument == "--key" && index + 1 < arguments.size()) {
            if (!parse_u32(arguments[++index], &description.key)) {
                return fail_usage();
            }
        } else if (argument == "--list" && index + 1 < arguments.size()) {
            list_path = arguments[++index];
        } else if (argument.starts_with("--")) {
            return fail_usage();
        } else {
            paths.push_back(argument);
        }
    }
    if (paths.size() < 2) {
        return fail_usage();
    }
    const std::string pack_path = paths[0];
    std::vector<AssembledCode> codes;
    std::string errors;
    for (size_t index = 1; index < paths.size(); ++index) {
        std::vector<uint8_t> source;
        std::string error;
        if (!read_file(paths[index], &source, &error)) {
            return fail(error);
        }
        if (!assemble_code(std::string(source.begin(), source.end()), paths[index], &codes, &error)) {
            errors += error;
        }
    }
    if (!errors.empty()) {
        std::fputs(errors.c_str(), stderr);
        return exit_failure;
    }
    for (size_t index = 0; index < codes.size(); ++index) {
        for (size_t other = 0; other < index; ++other) {
            if (codes[other].resource_id == codes[index].resource_id) {
                char message[96];
                std::snprintf(message, sizeof message, "resource 0x%08X is defined twice", codes[index].resource_id);
                return fail(message);
            }
        }
        description.resources.push_back(make_code_pack_resource(codes[index]));
    }
    std::vector<uint8_t> pack;
    std::string error;
    if (!build_pack(description, &pack, &error)) {
        return fail(error);
    }
    const io::PackCheckResult check = io::verify_pack(pack.data(), pack.size());
    if (check.check != io::PackCheck::intact) {
        char message[512];
        io::describe_pack_check(check, pack_path.c_str(), 0, message, sizeof message);
        return fail(message);
    }
    if (!write_file(pack_path, pack.data(), pack.size(), &error)) {
        return fail(error);
    }
    if (!list_path.empty()) {
        const std::filesystem::path list_folder = std::filesystem::absolute(list_path).parent_path();
        const std::string name = std::filesystem::absolute(pack_path).lexically_relative(list_folder).generic_string();
        std::string text;
        if (!format_pack_list({name}, &text, &error) || !write_file(list_path, text.data(), text.size(), &error)) {
            return fail(error);
        }
    }
    return 0;
}

int disassemble(const std::vector<std::string>& arguments) {
    if (arguments.empty() || arguments.size() > 2) {
        return fail_usage();
    }
    std::vector<uint8_t> pack;
    std::string error;
    if (!read_file(arguments[0], &pack, &error)) {
        return fail(error);
    }
    std::string text;
    if (!disassemble_pack(pack, &text, &error)) {
        return fail(arguments[0] + ": " + error);
    }
    if (arguments.size() == 1) {
        std::fputs(text.c_str(), stdout);
        return 0;
    }
    return write_file(arguments[1], text.data(), text.size(), &error) ? 0 : fail(error);
}

}  // namespace

int run_zasm(int argument_count, char** arguments) {
    if (argument_count < 2) {
        return fail_usage();
    }
    const std::string command = arguments[1];
    const std::vector<std::string> rest(arguments + 2, arguments + argument_count);
    if (command == "--help" || command == "-h" || command == "help") {
        print_help();
        return 0;
    }
    if (command == "assemble") {
        return assemble(rest);
    }
    if (command == "disassemble") {
        return disassemble(rest);
    }
    return fail_usage();
}

}  // namespace zolt::tools
