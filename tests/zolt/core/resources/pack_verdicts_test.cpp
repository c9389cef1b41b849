#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "libs/utility/crc32.h"
#include "support/child_process.h"
#include "zasm/lib/zasm_command.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zpack/lib/zpack_command.h"

namespace zolt::core {
namespace {

using test::Bytes;
using test::make_random_bytes;
using test::make_resource;
using test::make_text_bytes;
using test::PackFolder;

constexpr uint32_t directory_offset = 56;
constexpr uint32_t entry_unpacked_size = 24;

void put_entry_word(Bytes& bytes, uint32_t entry, uint32_t field, uint32_t value) {
    std::memcpy(bytes.data() + directory_offset + entry * io::resource_entry_size + field, &value, sizeof value);
}

// Entry 0 packed text in language 1, entry 1 random bytes stored as they are.
tools::PackDescription make_pack(uint32_t first_id = 0x11000001, uint32_t second_id = 0x11000002) {
    return {0,
            io::pack_engine_version,
            {make_resource(first_id, make_text_bytes(3000, 1)), make_resource(second_id, make_random_bytes(500, 2))}};
}

Bytes make_pack_bytes(uint32_t first_id = 0x11000001, uint32_t second_id = 0x11000002) {
    return test::build_pack_bytes(make_pack(first_id, second_id));
}

// Each row a set of packs, listed in order; intact when the engine loads
// every resource of them.
struct PackSet {
    const char* name;
    std::function<std::vector<Bytes>()> make;
    bool is_intact;
};

const PackSet pack_sets[] = {
    {"good pack", [] { return std::vector<Bytes>{make_pack_bytes()}; }, true},
    {"two packs of distinct ids",
     [] {
         return std::vector<Bytes>{make_pack_bytes(), make_pack_bytes(0x11000003, 0x11000004)};
     },
     true},
    {"current-language id before its twin", [] { return std::vector<Bytes>{make_pack_bytes(0x1F000001, 0x11000001)}; },
     true},
    {"current-language id after its language-1 twin",
     [] { return std::vector<Bytes>{make_pack_bytes(0x11000001, 0x1F000001)}; }, false},
    {"current-language id after its twin in an earlier pack",
     [] {
         return std::vector<Bytes>{make_pack_bytes(), make_pack_bytes(0x1F000002, 0x11000005)};
     },
     false},
    {"id repeated in a later pack",
     [] {
         return std::vector<Bytes>{make_pack_bytes(), make_pack_bytes(0x11000007, 0x11000002)};
     },
     false},
    {"packed entry claiming 4 GB unpacked",
     [] {
         Bytes bytes = make_pack_bytes();
         put_entry_word(bytes, 0, entry_unpacked_size, 0xFFFFFF00);
         tools::seal_pack(&bytes);
         return std::vector<Bytes>{bytes};
     },
     false},
    {"stored entry claiming more than its pool",
     [] {
         Bytes bytes = make_pack_bytes();
         put_entry_word(bytes, 1, entry_unpacked_size, io::general_resource_pool_size + 1);
         tools::seal_pack(&bytes);
         return std::vector<Bytes>{bytes};
     },
     false},
    {"stored bytes damaged",
     [] {
         Bytes bytes = make_pack_bytes();
         bytes[bytes.size() - 100] ^= 0x20;
         return std::vector<Bytes>{bytes};
     },
     false},
    {"header damaged",
     [] {
         Bytes bytes = make_pack_bytes();
         bytes[5] ^= 0x01;
         return std::vector<Bytes>{bytes};
     },
     false},
};

int run_tool(int (*tool)(int, char**), std::vector<std::string> arguments) {
    std::vector<char*> pointers;
    for (std::string& argument : arguments) {
        pointers.push_back(argument.data());
    }
    pointers.push_back(nullptr);
    return tool(static_cast<int>(arguments.size()), pointers.data());
}

TEST(PackVerdicts, ZpackVerifyAgreesWithTheEngineOnEveryPackSet) {
    for (const PackSet& set : pack_sets) {
        SCOPED_TRACE(set.name);
        PackFolder packs;
        std::vector<std::string> arguments = {"zpack", "verify"};
        const std::vector<Bytes> contents = set.make();
        for (size_t index = 0; index < contents.size(); ++index) {
            arguments.push_back(packs.add_pack_bytes("pack" + std::to_string(index), contents[index]));
        }
        packs.write_pack_list();
        const test::ChildResult engine = test::run_in_child([] {
            test::get_loader().read_pack_list();
            test::get_loader().shutdown();
        });
        const test::ChildResult tool = test::run_in_child([&] { std::exit(run_tool(tools::run_zpack, arguments)); });
        EXPECT_EQ(engine.exited && engine.exit_code == 0, set.is_intact) << engine.standard_error;
        EXPECT_EQ(tool.exited && tool.exit_code == 0, set.is_intact) << tool.standard_error;
    }
}

TEST(PackVerdicts, ZasmRefusesAnUnpackedSizeTheEngineRefusesBeforeAllocatingIt) {
    PackFolder packs;
    Bytes bytes = make_pack_bytes();
    put_entry_word(bytes, 0, entry_unpacked_size, 0xFFFFFF00);
    tools::seal_pack(&bytes);
    const std::string path = packs.add_pack_bytes("huge.pack", bytes);
    const test::ChildResult result = test::run_in_child([&] {
        std::exit(run_tool(tools::run_zasm, {"zasm", "disassemble", path, path + ".zasm"}));
    });
    EXPECT_EQ(result.exit_code, 1) << result.standard_error;
    EXPECT_NE(result.standard_error.find("resource 0x11000001 of pack 0 unpacks to 4294967040 bytes, more than its "
                                         "pool's 314572800"),
              std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::core
