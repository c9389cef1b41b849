// Writes the seed corpus of every fuzz target into <out>/<target>/, and the
// dictionaries made from the engine's tables into <out>/dictionaries/, from the
// sample content's sources through the project's own assembler, pack writer,
// packer, configuration writer and servers.
//     fuzz_seed_writer <out folder> <source.zasm>...
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "libs/utility/config_test_table.h"
#include "libs/utility/config_text.h"
#include "support/fuzz_world.h"
#include "zasm/lib/code_assembler.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zpack/lib/lz_packer.h"
#include "zpack/lib/pack_writer.h"

namespace {

using namespace zolt;
using Bytes = std::vector<uint8_t>;

std::filesystem::path out_folder;
bool has_failed = false;

void write_seed(const std::string& target, const std::string& name, const void* data, size_t size) {
    const std::filesystem::path folder = out_folder / target;
    std::filesystem::create_directories(folder);
    std::string error;
    if (!tools::write_file((folder / name).string(), data, size, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
    }
}

void write_seed(const std::string& target, const std::string& name, const Bytes& bytes) {
    write_seed(target, name, bytes.data(), bytes.size());
}

void write_seed(const std::string& target, const std::string& name, const std::string& text) {
    write_seed(target, name, text.data(), text.size());
}

// The unpacker's input: the output size in two bytes, then the stream.
void write_unpacker_seed(const std::string& name, const Bytes& data) {
    const size_t size = data.size() < 0xFFFF ? data.size() : 0xFFFF;
    if (size == 0) {
        return;
    }
    Bytes seed = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8)};
    const Bytes stream = tools::pack_stream(data.data(), static_cast<uint32_t>(size));
    seed.insert(seed.end(), stream.begin(), stream.end());
    write_seed("resource_unpacker", name, seed);
}

void write_code_seeds(const std::vector<std::string>& sources) {
    tools::PackDescription description;
    std::vector<std::string> names;
    uint32_t number = 0;
    for (const std::string& path : sources) {
        Bytes text_bytes;
        std::string error;
        if (!tools::read_file(path, &text_bytes, &error)) {
            std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
            has_failed = true;
            continue;
        }
        const std::string text(text_bytes.begin(), text_bytes.end());
        const std::string stem = std::filesystem::path(path).stem().string();
        write_seed("zasm", stem + ".zasm", text);
        write_unpacker_seed(stem + ".zasm", text_bytes);
        std::vector<tools::AssembledCode> codes;
        if (!tools::assemble_code(text, path, &codes, &error)) {
            std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
            has_failed = true;
            continue;
        }
        for (const tools::AssembledCode& code : codes) {
            const std::string name = stem + "_" + std::to_string(number++);
            write_seed("code_resource", name, code.bytes);
            write_unpacker_seed(name, code.bytes);
            const core::CodeResourceHeader header = core::read_code_resource_header(code.bytes.data());
            // Eight bytes of task arguments, then the code.
            Bytes program(8, 0);
            program.insert(program.end(), code.bytes.begin() + header.code_offset, code.bytes.end());
            write_seed("interpreter", name, program);
            description.resources.push_back(tools::make_code_pack_resource(code));
        }
    }
    Bytes pack;
    std::string error;
    if (!tools::build_pack(description, &pack, &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
        return;
    }
    write_seed("pack", "content.pack", pack);
    tools::PackDescription empty;
    empty.key = 3;
    if (tools::build_pack(empty, &pack, &error)) {
        write_seed("pack", "empty.pack", pack);
    }
    std::string list;
    if (tools::format_pack_list({"game.pack", "levels/one.pack", "speech.pack"}, &list, &error)) {
        write_seed("pack", "pack.list", list);
    }
}

void write_config_seeds() {
    const auto config = test::TestConfig::make();
    std::string text =
        "flag = yes\ncount=7; offset -5\nscale = 1.5e0 label 'say \"hi\"' any_number=0x1F\n"
        "unknown_key = kept # comment\nmask = 0b101\nratio=\"0.25\"\n";
    parse_config_text(config->table, text.data(), static_cast<uint32_t>(text.size()), true);
    std::vector<char> storage(65536);
    StringBuffer buffer(storage.data(), static_cast<uint32_t>(storage.size()));
    dump_config_variables_to_buffer(config->table, buffer, ConfigDumpFilter::File, true);
    write_seed("config", "written.txt", std::string(buffer.get_text()));
    const char command_line[] =
        "--count\0"
        "9\0"
        "-label=x y\0"
        "flag\0"
        "h";
    write_seed("config", "command_line", command_line, sizeof command_line - 1);
}

void write_world_seeds() {
    fuzz::start_fuzz_world();
    Bytes bytes;
    fuzz::save_fuzz_world(bytes);
    write_seed("world_load", "empty_world", bytes);

    core::Placement* const root = core::placement_server.create_placement();
    core::Placement* const child = core::placement_server.create_placement();
    core::ServerObject::attach_to_owner(child, root);
    core::String* const name = core::string_server.create_string();
    const char16_t units[] = u"seed";
    name->append_utf16(units, 4);
    core::ServerObject::attach_to_owner(name, root);
    core::ArrayObject* const array = core::array_server.create_array(4);
    array->set_length(3);
    core::dictionary_server.create_dictionary(8);
    core::random_generator_server.create_object_internal(7);
    core::alias_server.set_alias(core::make_alias_handle(3), name->get_handle());
    fuzz::save_fuzz_world(bytes);
    write_seed("world_load", "small_world", bytes);
    // A seed the load refuses would leave the fuzzer at the first check.
    Bytes saved = bytes;
    if (!fuzz::load_fuzz_world(saved)) {
        std::fputs("fuzz_seed_writer: the saved world does not load\n", stderr);
        has_failed = true;
    }
    write_unpacker_seed("small_world", bytes);
}

// zasm's keywords: the opcode names from the one opcode table, then the
// directives and operand forms.
void write_zasm_dictionary() {
    std::string text;
    for (const core::OpcodeInfo& info : core::opcode_table) {
        text += "\"" + std::string(info.name) + "\"\n";
    }
    for (const char* keyword : {".code", ".entry", ".byte", ".word", "language", "id", "code(", "builtin(", ":", ",",
                                ";", "\"", "\\u", "0x", "1.5f"}) {
        std::string escaped;
        for (const char* character = keyword; *character != 0; ++character) {
            escaped +=
                *character == '"' || *character == '\\' ? std::string("\\") + *character : std::string(1, *character);
        }
        text += "\"" + escaped + "\"\n";
    }
    std::filesystem::create_directories(out_folder / "dictionaries");
    std::string error;
    if (!tools::write_file((out_folder / "dictionaries" / "zasm.dict").string(), text.data(), text.size(), &error)) {
        std::fprintf(stderr, "fuzz_seed_writer: %s\n", error.c_str());
        has_failed = true;
    }
}

}  // namespace

int main(int argument_count, char** arguments) {
    if (argument_count < 2) {
        std::fputs("usage: fuzz_seed_writer <out folder> <source.zasm>...\n", stderr);
        return 2;
    }
    out_folder = arguments[1];
    write_code_seeds(std::vector<std::string>(arguments + 2, arguments + argument_count));
    write_config_seeds();
    write_world_seeds();
    write_zasm_dictionary();
    return has_failed ? 1 : 0;
}
