#include <gtest/gtest.h>
#include <cinttypes>
#include <cstdio>
#include <functional>

#include "libs/utility/crc32.h"
#include "platform/system/files.h"
#include "support/child_process.h"
#include "zolt/core/resources/resource_loader_test_support.h"

namespace zolt::core {
namespace {

using test::Bytes;
using test::get_loader;
using test::make_random_bytes;
using test::make_resource;
using test::make_text_bytes;
using test::PackFolder;

constexpr uint32_t directory_offset = 56;
constexpr uint32_t entry_stored_crc = 20;
constexpr uint32_t entry_unpacked_size = 24;
constexpr uint32_t entry_stored_size = 28;
constexpr uint32_t entry_offset = 32;

uint32_t get_word(const Bytes& bytes, uint32_t offset) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

void put_word(Bytes& bytes, uint32_t offset, uint32_t value) {
    std::memcpy(bytes.data() + offset, &value, sizeof value);
}

uint32_t get_entry_word(const Bytes& bytes, uint32_t entry, uint32_t field) {
    return get_word(bytes, directory_offset + entry * io::resource_entry_size + field);
}

void put_entry_word(Bytes& bytes, uint32_t entry, uint32_t field, uint32_t value) {
    put_word(bytes, directory_offset + entry * io::resource_entry_size + field, value);
}

template <typename... Arguments>
std::string format(const char* text, Arguments... arguments) {
    char buffer[1024];
    std::snprintf(buffer, sizeof buffer, text, arguments...);
    return buffer;
}

std::string describe(const io::PackCheckResult& result, const std::string& path, uint32_t pack_index) {
    char buffer[1024];
    io::describe_pack_check(result, path.c_str(), pack_index, buffer, sizeof buffer);
    return buffer;
}

// Entry 0 is packed text, entry 1 random bytes stored as they are.
tools::PackDescription make_good_pack(uint32_t key = 0) {
    return {
        key,
        io::pack_engine_version,
        {make_resource(0x10000001, make_text_bytes(3000, 1)), make_resource(0x10000002, make_random_bytes(500, 2))}};
}

Bytes make_good_pack_bytes(uint32_t key = 0) {
    return test::build_pack_bytes(make_good_pack(key));
}

void reseal(Bytes& bytes) {
    tools::seal_pack(&bytes);
}

struct BrokenPack {
    const char* name;
    // Adds the packs and answers the report line the loader must end with.
    std::function<std::string(PackFolder&)> prepare;
    ExitCode exit_code;
};

const BrokenPack broken_packs[] = {
    {"missing pack list",
     [](PackFolder& packs) {
         packs.point_at_missing_list();
         return "zolt: error: unable to open pack list " + packs.get_list_path();
     },
     ExitCode::crash},
    {"missing pack",
     [](PackFolder& packs) {
         packs.add_pack_bytes("good.pack", make_good_pack_bytes());
         packs.add_missing_pack("gone.pack");
         packs.write_pack_list();
         return "zolt: error: pack file " + packs.get_list_path().substr(0, packs.get_list_path().size() - 9) +
                "gone.pack not found";
     },
     ExitCode::crash},
    {"magic",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         bytes[0] = 'X';
         const std::string path = packs.add_pack_bytes("magic.pack", bytes);
         return "zolt: error: " + path + ": pack magic 0x544c4f58 does not match 0x544c4f5a";
     },
     ExitCode::crash},
    {"endian marker",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_word(bytes, 4, 0x78563412);
         const std::string path = packs.add_pack_bytes("endian.pack", bytes);
         return "zolt: error: " + path + ": pack endian type 0x78563412 does not match 0x12345678";
     },
     ExitCode::crash},
    {"file type",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         bytes[11] = 'X';
         const std::string path = packs.add_pack_bytes("type.pack", bytes);
         return "zolt: error: " + path + ": pack type 0x58434150 does not match 0x4b434150";
     },
     ExitCode::crash},
    {"version in the top 11 bits",
     [](PackFolder& packs) {
         tools::PackDescription description = make_good_pack();
         description.version = 0x10400000;
         packs.add_pack("version.pack", description);
         return std::string("zolt: error: pack version 0x10400000 does not work with engine version 0x10200000");
     },
     ExitCode::crash},
    {"header CRC",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         bytes[17] ^= 0x01;
         const std::string path = packs.add_pack_bytes("header.pack", bytes);
         return "zolt: error: " + path +
                format(": pack header CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32, get_word(bytes, 28),
                       io::compute_pack_header_crc(bytes.data()));
     },
     ExitCode::crash},
    {"data size of 1 byte",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_word(bytes, 36, 1);
         reseal(bytes);
         const std::string path = packs.add_pack_bytes("size1.pack", bytes);
         return "zolt: error: " + path + ": pack size 1 byte does not match 16 bytes";
     },
     ExitCode::crash},
    {"data size of 0 bytes",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_word(bytes, 36, 0);
         reseal(bytes);
         const std::string path = packs.add_pack_bytes("size0.pack", bytes);
         return "zolt: error: " + path + ": pack size 0 bytes does not match 16 bytes";
     },
     ExitCode::crash},
    {"data CRC",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_word(bytes, 52, 7);
         const std::string path = packs.add_pack_bytes("data.pack", bytes);
         return "zolt: error: " + path +
                format(": pack data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32, get_word(bytes, 32),
                       compute_crc32(bytes.data() + 40, 16));
     },
     ExitCode::crash},
    {"file shorter than its header",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         bytes.resize(20);
         packs.add_pack_bytes("short.pack", bytes);
         return std::string("zolt: error: IO error 536870914 encountered while reading from a file.");
     },
     ExitCode::file_input_output},
    {"entry count whose directory size overflows 32 bits",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_word(bytes, 40, 0x0E38E38F);
         reseal(bytes);
         const std::string path = packs.add_pack_bytes("count.pack", bytes);
         return "zolt: error: " +
                describe({io::PackCheck::too_many_entries, 0x0E38E38F, io::max_resource_count, 0}, path, 0);
     },
     ExitCode::crash},
    {"directory past the end of the file",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         const uint32_t offset = static_cast<uint32_t>(bytes.size()) - 40;
         put_word(bytes, 44, offset);
         reseal(bytes);
         const std::string path = packs.add_pack_bytes("extent.pack", bytes);
         return "zolt: error: " + describe({io::PackCheck::directory_outside_file, offset, 2, 0}, path, 0);
     },
     ExitCode::crash},
    {"directory CRC of the second pack",
     [](PackFolder& packs) {
         packs.add_pack("first.pack", tools::PackDescription{});
         Bytes bytes = make_good_pack_bytes();
         bytes[directory_offset + 4] ^= 0x10;
         packs.add_pack_bytes("directory.pack", bytes);
         return format("zolt: error: resource directory CRC 0x%08" PRIx32
                       " of pack 1 does not match the expected CRC 0x%08" PRIx32,
                       compute_crc32(bytes.data() + directory_offset, 72), get_word(bytes, 48));
     },
     ExitCode::crash},
    {"stored size above the unpacked size",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_entry_word(bytes, 1, entry_stored_size, 501);
         reseal(bytes);
         packs.add_pack_bytes("stored.pack", bytes);
         return "zolt: error: " + describe({io::PackCheck::stored_size_too_large, 501, 500, 0x10000002}, "", 0);
     },
     ExitCode::crash},
    {"stored bytes past the end of the file",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         put_entry_word(bytes, 1, entry_offset, 0x7FFFFF00);
         reseal(bytes);
         packs.add_pack_bytes("offset.pack", bytes);
         return "zolt: error: " +
                describe({io::PackCheck::stored_bytes_outside_file, 0x7FFFFF00, 500, 0x10000002}, "", 0);
     },
     ExitCode::crash},
    {"stored bytes CRC",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         const uint32_t offset = get_entry_word(bytes, 1, entry_offset);
         bytes[offset + 100] ^= 0x40;
         packs.add_pack_bytes("crc.pack", bytes);
         return format("zolt: error: resource 0x10000002 data CRC 0x%08" PRIx32 " does not match 0x%08" PRIx32,
                       compute_crc32(bytes.data() + offset, 500), get_entry_word(bytes, 1, entry_stored_crc));
     },
     ExitCode::crash},
    {"unpacked bytes CRC",
     [](PackFolder& packs) {
         Bytes bytes = make_good_pack_bytes();
         const uint32_t offset = get_entry_word(bytes, 0, entry_offset);
         const uint32_t stored_size = get_entry_word(bytes, 0, entry_stored_size);
         const uint32_t unpacked_crc = get_word(bytes, offset);
         put_word(bytes, offset, 0x12345678);
         put_entry_word(bytes, 0, entry_stored_crc, compute_crc32(bytes.data() + offset, stored_size));
         reseal(bytes);
         packs.add_pack_bytes("unpacked.pack", bytes);
         return format("zolt: error: resource 0x10000001 unpacked data CRC 0x%08" PRIx32 " does not match 0x12345678",
                       unpacked_crc);
     },
     ExitCode::crash},
    {"duplicate id in another pack",
     [](PackFolder& packs) {
         packs.add_pack("first.pack", make_good_pack());
         packs.add_pack("second.pack", make_good_pack());
         return std::string(
             "zolt: fatal error: Attempt to queue resource 0x10000001 for pack 1 while corresponding entry already "
             "exists in pack 0");
     },
     ExitCode::crash},
    {"more resources than the table holds",
     [](PackFolder& packs) {
         for (const uint32_t count : {6000u, 4001u}) {
             tools::PackDescription description;
             for (uint32_t index = 0; index < count; ++index) {
                 description.resources.push_back(
                     make_resource(0x20000000 + count * 0x10000 + index, {}, 0, io::pool_type_deferred));
             }
             packs.add_pack("many" + std::to_string(count) + ".pack", description);
         }
         return std::string("zolt: error: too many resources (10001)");
     },
     ExitCode::crash},
    {"513 packs",
     [](PackFolder& packs) {
         const Bytes bytes = test::build_pack_bytes(tools::PackDescription{});
         packs.list_by_name();
         for (uint32_t index = 0; index < 513; ++index) {
             packs.add_pack_bytes(std::to_string(index), bytes);
         }
         packs.write_pack_list();
         return "zolt: error: pack list " + packs.get_list_path() + " contains too many packs";
     },
     ExitCode::crash},
};

TEST(ResourceLoaderPacks, BrokenPacksHaltWithTheirMessageAndExitCode) {
    for (const BrokenPack& broken : broken_packs) {
        SCOPED_TRACE(broken.name);
        PackFolder packs;
        const std::string expected = broken.prepare(packs);
        if (packs.get_list_path().empty()) {
            packs.write_pack_list();
        }
        const test::ChildResult result = test::run_in_child([&] {
            test::FolderScope inside(packs.get_folder());
            get_loader().read_pack_list();
            std::fprintf(stderr, "loaded\n");
        });
        EXPECT_TRUE(result.exited);
        EXPECT_EQ(result.exit_code, broken.exit_code) << result.standard_error;
        EXPECT_NE(result.standard_error.find(expected + "\n"), std::string::npos)
            << "expected: " << expected << "\nstderr: " << result.standard_error;
    }
}

TEST(ResourceLoaderPacks, FailingPackReadEndsWithExitCode42NamingThePack) {
    // After the pack list: the header, the data block, the directory, then
    // the stored bytes of the resources.
    for (const uint32_t calls_before : {1u, 3u, 4u}) {
        SCOPED_TRACE(calls_before);
        PackFolder packs;
        const std::string path = packs.add_pack_bytes("good.pack", make_good_pack_bytes());
        packs.write_pack_list();
        const test::ChildResult result = test::run_in_child([&] {
            platform::arm_file_fault({platform::FileCall::read, platform::FileFaultKind::fail, EIO, calls_before});
            get_loader().read_pack_list();
        });
        EXPECT_EQ(result.exit_code, ExitCode::file_input_output) << result.standard_error;
        EXPECT_NE(result.standard_error.find("zolt: error: IO error 5 encountered while reading from a file.\n" + path +
                                             ": Input/output error\n"),
                  std::string::npos)
            << result.standard_error;
    }
    // A stalled read only delays the load.
    PackFolder packs;
    packs.add_pack_bytes("good.pack", make_good_pack_bytes());
    platform::arm_file_fault({platform::FileCall::read, platform::FileFaultKind::stall, 50, 4});
    test::RunningLoader running(packs);
    EXPECT_EQ(test::read_memory(get_loader().get_resource_info(0x10000002)), make_random_bytes(500, 2));
}

TEST(ResourceLoaderPacks, BrokenStreamIsAnUnpackedCrcErrorWithoutStrayAccess) {
    // Every stream byte replaced by far back references: the decoder must
    // refuse them inside the block (a sanitized build reports any stray access).
    for (const uint8_t filler : {uint8_t{0x0F}, uint8_t{0xBF}, uint8_t{0xFF}, uint8_t{0xAF}}) {
        SCOPED_TRACE(static_cast<int>(filler));
        PackFolder packs;
        Bytes bytes = make_good_pack_bytes();
        const uint32_t offset = get_entry_word(bytes, 0, entry_offset);
        const uint32_t stored_size = get_entry_word(bytes, 0, entry_stored_size);
        std::fill(bytes.begin() + offset + 4, bytes.begin() + offset + stored_size, filler);
        put_entry_word(bytes, 0, entry_stored_crc, compute_crc32(bytes.data() + offset, stored_size));
        reseal(bytes);
        packs.add_pack_bytes("stream.pack", bytes);
        packs.write_pack_list();
        const test::ChildResult result = test::run_in_child([] { get_loader().read_pack_list(); });
        EXPECT_EQ(result.exit_code, ExitCode::crash) << result.standard_error;
        EXPECT_NE(result.standard_error.find("zolt: error: resource 0x10000001 unpacked data CRC 0x"),
                  std::string::npos)
            << result.standard_error;
        EXPECT_NE(result.standard_error.find(format(" does not match 0x%08" PRIx32 "\n", get_word(bytes, offset))),
                  std::string::npos)
            << result.standard_error;
    }
}

TEST(ResourceLoaderPacks, PackListOf512PacksOpensThemAll) {
    PackFolder packs;
    const Bytes empty = test::build_pack_bytes(tools::PackDescription{9, io::pack_engine_version, {}});
    packs.list_by_name();
    for (uint32_t index = 0; index < 511; ++index) {
        packs.add_pack_bytes(std::to_string(index), empty);
    }
    const tools::PackDescription last = make_good_pack();
    packs.add_pack("last", last);
    test::FolderScope inside(packs.get_folder());
    test::RunningLoader running(packs);
    EXPECT_EQ(get_loader().get_pack_count(), 512u);
    EXPECT_EQ(get_loader().get_pack(511).flags, pack_flag::marked | pack_flag::directory_read);
    EXPECT_EQ(get_loader().get_pack(0).flags, 0u);
    EXPECT_EQ(test::read_memory(get_loader().get_resource_info(0x10000001)), last.resources[0].data);
}

}  // namespace
}  // namespace zolt::core
