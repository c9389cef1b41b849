#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/io/pack_list.h"
#include "libs/io/reference_unpacker.h"
#include "libs/io/resource_unpacker.h"
#include "libs/io/temporary_folder.h"
#include "libs/utility/crc32.h"
#include "support/child_process.h"
#include "zpack/lib/lz_packer.h"
#include "zpack/lib/pack_writer.h"
#include "zpack/lib/zpack_command.h"

namespace zolt::tools {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes make_random(uint32_t size, uint32_t seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(random());
    }
    return bytes;
}

Bytes make_text(uint32_t size) {
    const char* const words[] = {"the ",  "resource ", "loader ", "reads ", "every ", "pack ",   "named ",     "in ",
                                 "list ", "and ",      "checks ", "its ",   "CRC ",   "before ", "unpacking ", "\n"};
    std::mt19937 random(3);
    Bytes bytes;
    while (bytes.size() < size) {
        const char* word = words[random() % 16];
        bytes.insert(bytes.end(), word, word + std::strlen(word));
    }
    bytes.resize(size);
    return bytes;
}

// Vertices of a smooth surface (position, normal, texture coordinates) and
// the triangle indices over them, as a mesh resource holds them.
Bytes make_mesh(uint32_t side) {
    Bytes bytes;
    const auto put = [&](const void* value, size_t size) {
        const auto* start = static_cast<const uint8_t*>(value);
        bytes.insert(bytes.end(), start, start + size);
    };
    for (uint32_t row = 0; row < side; ++row) {
        for (uint32_t column = 0; column < side; ++column) {
            const float x = static_cast<float>(column) * 0.25f;
            const float y = static_cast<float>(row) * 0.25f;
            const float vertex[8] = {x,
                                     y,
                                     std::sin(x) * std::cos(y),
                                     0.0f,
                                     0.0f,
                                     1.0f,
                                     static_cast<float>(column) / static_cast<float>(side),
                                     static_cast<float>(row) / static_cast<float>(side)};
            put(vertex, sizeof vertex);
        }
    }
    for (uint32_t row = 0; row + 1 < side; ++row) {
        for (uint32_t column = 0; column + 1 < side; ++column) {
            const auto corner = static_cast<uint16_t>(row * side + column);
            const uint16_t triangles[6] = {corner,
                                           static_cast<uint16_t>(corner + 1),
                                           static_cast<uint16_t>(corner + side),
                                           static_cast<uint16_t>(corner + 1),
                                           static_cast<uint16_t>(corner + side + 1),
                                           static_cast<uint16_t>(corner + side)};
            put(triangles, sizeof triangles);
        }
    }
    return bytes;
}

// A compressible head and an incompressible tail: packing pays, but only if
// the in-place rule allows it.
Bytes make_head_and_tail(uint32_t head, uint32_t tail) {
    Bytes bytes(head, 'z');
    const Bytes noise = make_random(tail, 8);
    bytes.insert(bytes.end(), noise.begin(), noise.end());
    return bytes;
}

struct Corpus {
    std::string name;
    Bytes data;
    bool is_packed;  // expected of make_stored_bytes
};

std::vector<Corpus> make_corpora() {
    std::vector<Corpus> corpora = {
        {"random", make_random(50000, 1), false},
        {"text", make_text(100000), true},
        {"mesh", make_mesh(80), true},
        {"zeros", Bytes(100000, 0), true},
        {"repeat at 64 KiB", make_random(65536, 2), false},
        {"head and short tail", make_head_and_tail(5000, 300), true},
        {"head and long tail", make_head_and_tail(5000, 20000), false},
    };
    Bytes far = corpora[4].data;
    far.insert(far.end(), corpora[4].data.begin(), corpora[4].data.end());
    corpora[4].data = far;
    corpora[4].is_packed = true;
    return corpora;
}

Bytes decode_apart(const Bytes& stream, uint32_t size) {
    Bytes output(size);
    EXPECT_TRUE(decompress(size, stream.data(), static_cast<uint32_t>(stream.size()), output.data()));
    return output;
}

TEST(LzPacker, RoundTripsByteExactAndPacksWhatPays) {
    for (const Corpus& corpus : make_corpora()) {
        const auto size = static_cast<uint32_t>(corpus.data.size());
        const Bytes stream = pack_stream(corpus.data.data(), size);
        EXPECT_EQ(decode_apart(stream, size), corpus.data) << corpus.name;

        const StoredBytes stored = make_stored_bytes(corpus.data.data(), size, true);
        EXPECT_EQ(stored.is_packed, corpus.is_packed) << corpus.name;
        if (stored.is_packed) {
            EXPECT_LT(stored.bytes.size(), corpus.data.size()) << corpus.name;
            Bytes block(size);
            std::memcpy(block.data() + size - stored.bytes.size(), stored.bytes.data(), stored.bytes.size());
            EXPECT_TRUE(
                unpack_resource_in_place(block.data(), size, static_cast<uint32_t>(stored.bytes.size())).is_intact)
                << corpus.name;
            EXPECT_EQ(block, corpus.data) << corpus.name;
        } else {
            EXPECT_EQ(stored.bytes, corpus.data) << corpus.name;
        }
    }
}

TEST(LzPacker, PackedBytesKeepTheInPlaceRuleOfTheByteByByteAlgorithm) {
    std::vector<Bytes> inputs;
    for (const Corpus& corpus : make_corpora()) {
        inputs.push_back(corpus.data);
    }
    // Tiny and small inputs of every texture, down to one byte.
    std::mt19937 random(21);
    for (uint32_t size = 1; size < 600; size += 1 + size / 8) {
        for (uint32_t alphabet : {1u, 2u, 4u, 16u, 256u}) {
            Bytes bytes(size);
            for (uint8_t& byte : bytes) {
                byte = static_cast<uint8_t>(random() % alphabet);
            }
            inputs.push_back(bytes);
        }
    }
    uint32_t packed_count = 0;
    for (const Bytes& data : inputs) {
        const auto size = static_cast<uint32_t>(data.size());
        const Bytes stream = pack_stream(data.data(), size);
        Bytes apart(size);
        apart.insert(apart.end(), stream.begin(), stream.end());
        const test::ReferenceOutcome apart_outcome = test::decompress_by_reference(apart, 0, size, size, apart.size());
        ASSERT_TRUE(apart_outcome.is_decoded) << size;
        EXPECT_FALSE(apart_outcome.has_read_past_stream) << "a one-byte last token, size " << size;
        ASSERT_EQ(Bytes(apart.begin(), apart.begin() + size), data) << size;

        const StoredBytes stored = make_stored_bytes(data.data(), size, true);
        if (!stored.is_packed) {
            continue;
        }
        ++packed_count;
        ASSERT_TRUE(is_in_place_safe(stored.bytes.data() + 4, static_cast<uint32_t>(stored.bytes.size() - 4), size));
        Bytes block(size);
        std::memcpy(block.data() + size - stored.bytes.size(), stored.bytes.data(), stored.bytes.size());
        const test::ReferenceOutcome outcome =
            test::decompress_by_reference(block, 0, size, size - stored.bytes.size() + 4, size);
        EXPECT_TRUE(outcome.is_decoded && !outcome.has_read_past_stream) << size;
        EXPECT_EQ(block, data) << size;
    }
    EXPECT_GT(packed_count, inputs.size() / 3);
}

TEST(LzPacker, InPlaceCheckAgreesWithDecodingInPlace) {
    // Streams of a packed head followed by literal runs: up to a point the
    // output overtakes nothing unread, past it the in-place result differs.
    const Bytes head = {0x80, 'a', 0xBF, 0xFF, 0x00, 0x00};  // 4102 bytes of 'a'
    for (uint32_t run_count = 1; run_count <= 3; ++run_count) {
        for (uint32_t run_length : {1u, 2u, 32u, 33u}) {
            Bytes stream = head;
            Bytes data(4102, 'a');
            for (uint32_t run = 0; run < run_count; ++run) {
                if (run_length > 32) {
                    stream.insert(stream.end(), {0xA0, static_cast<uint8_t>(run_length - 32)});
                } else {
                    stream.push_back(static_cast<uint8_t>(0x80 | (run_length - 1)));
                }
                for (uint32_t index = 0; index < run_length; ++index) {
                    stream.push_back(static_cast<uint8_t>('0' + run * 3 + index % 3));
                    data.push_back(stream.back());
                }
            }
            const auto size = static_cast<uint32_t>(data.size());
            Bytes block(size);
            std::memcpy(block.data() + size - stream.size(), stream.data(), stream.size());
            decompress(size, block.data() + size - stream.size(), static_cast<uint32_t>(stream.size()), block.data());
            const bool is_safe = is_in_place_safe(stream.data(), static_cast<uint32_t>(stream.size()), size);
            EXPECT_EQ(is_safe, run_count == 1) << run_count << " runs of " << run_length;
            if (is_safe) {
                EXPECT_EQ(block, data) << run_count << " runs of " << run_length;
            } else {
                EXPECT_NE(block, data) << run_count << " runs of " << run_length;
            }
        }
    }
}

PackResource make_resource(uint32_t id, uint32_t flags, Bytes data, bool allow_packing = true) {
    PackResource resource;
    resource.id = id;
    resource.flags = flags;
    resource.data = std::move(data);
    resource.allow_packing = allow_packing;
    return resource;
}

TEST(PackWriter, WritesEveryKindOfEntryTheDirectoryCanHold) {
    PackDescription description;
    description.key = 0x00010002;
    description.version = 0x10200000 | 0x1234;
    const Bytes text = make_text(5000);
    for (uint32_t exponent = 0; exponent < 16; ++exponent) {
        description.resources.push_back(
            make_resource(0x10000100 + exponent, io::make_resource_flags(exponent, 0, false), text));
    }
    description.resources.push_back(
        make_resource(0x10000200, io::make_resource_flags(0, io::pool_type_deferred, false), text));
    description.resources.push_back(
        make_resource(0x10000201, io::make_resource_flags(3, io::pool_type_second, true), text));
    description.resources.push_back(make_resource(0x10000202, io::make_resource_flags(0, 2, false), text, false));
    description.resources.push_back(make_resource(0x10000203, 0, make_random(3000, 4)));
    description.resources.push_back(make_resource(0x10000204, 0, {}));
    // The current-language id first: after one in language 0 or 1 the
    // engine would take it for that one.
    for (uint32_t language : {io::current_language, 0u, 1u, 3u}) {
        description.resources.push_back(
            make_resource(io::set_resource_language(0x10000300, language), 0, make_random(64 + language, language)));
    }
    Bytes pack;
    std::string error;
    ASSERT_TRUE(build_pack(description, &pack, &error)) << error;
    ASSERT_EQ(io::verify_pack(pack.data(), pack.size()).check, io::PackCheck::intact);

    const io::PackHeader header = io::read_pack_header(pack.data());
    EXPECT_EQ(header.version, 0x10201234u);
    const io::PackDataBlock data_block = io::read_pack_data_block(pack.data() + 40);
    EXPECT_EQ(data_block.pack_key, 0x00010002u);
    ASSERT_EQ(data_block.entry_count, description.resources.size());
    for (uint32_t index = 0; index < data_block.entry_count; ++index) {
        const PackResource& resource = description.resources[index];
        const core::ResourceEntry entry =
            io::read_resource_entry(pack.data() + data_block.directory_offset + index * 36);
        EXPECT_EQ(entry.id, resource.id);
        EXPECT_EQ(entry.flags, resource.flags);
        EXPECT_EQ(entry.unpacked_size, resource.data.size());
        EXPECT_EQ(entry.stored_crc, compute_crc32(pack.data() + entry.offset, entry.stored_size));
        const bool is_packed = entry.stored_size < entry.unpacked_size;
        EXPECT_EQ(is_packed, resource.allow_packing && resource.data.size() == text.size()) << std::hex << entry.id;
        Bytes block(entry.unpacked_size);
        std::copy_n(pack.begin() + entry.offset, entry.stored_size, block.end() - entry.stored_size);
        if (is_packed) {
            ASSERT_TRUE(unpack_resource_in_place(block.data(), entry.unpacked_size, entry.stored_size).is_intact);
        }
        EXPECT_EQ(block, resource.data) << std::hex << entry.id;
    }
    const core::ResourceEntry second_pool =
        io::read_resource_entry(pack.data() + data_block.directory_offset + 17 * 36);
    EXPECT_EQ(second_pool.flags, 0x73u);
    EXPECT_EQ(io::get_pool_type(second_pool.flags), 3u);
    EXPECT_EQ(io::get_alignment_exponent(second_pool.flags), 3u);
}

// Runs zpack in a child process, since it prints to the standard streams.
test::ChildResult run_zpack_command(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "zpack");
    return test::run_in_child([&] {
        std::vector<char*> pointers;
        for (std::string& argument : arguments) {
            pointers.push_back(argument.data());
        }
        const int exit_code = run_zpack(static_cast<int>(pointers.size()), pointers.data());
        std::fflush(stdout);
        std::fflush(stderr);
        std::quick_exit(exit_code);
    });
}

TEST(Zpack, BuildsListsAndVerifiesPacksFromAManifestAndAFolder) {
    test::TemporaryFolder folder;
    const Bytes text = make_text(4000);
    folder.write_file("code.bin", std::string(text.begin(), text.end()));
    folder.write_file("noise.bin", std::string(100, '\x7f') + "xyz");
    folder.write_file("manifest.txt",
                      "# the level pack\n"
                      "key 0x20\n"
                      "0x11000001 code.bin align=4 not-reopened\n"
                      "0x12000002 noise.bin deferred stored   # kept as is\n"
                      "0x1F000003 code.bin second-pool\n");
    const std::string pack = folder.get_path("level.pack");
    test::ChildResult result = run_zpack_command({"build", folder.get_path("manifest.txt"), pack});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;

    result = run_zpack_command({"list", pack});
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_NE(result.standard_output.find("key 0x00000020, 3 entries"), std::string::npos) << result.standard_output;
    EXPECT_NE(result.standard_output.find("0x11000001  0x0044     16     0        4000"), std::string::npos)
        << result.standard_output;
    EXPECT_NE(result.standard_output.find("0x12000002  0x0010      1     1         103         103"), std::string::npos)
        << result.standard_output;
    EXPECT_NE(result.standard_output.find("0x1f000003  0x0030"), std::string::npos) << result.standard_output;

    const std::string files = folder.get_path("files");
    std::filesystem::create_directories(files);
    folder.write_file("files/10000001.code", std::string(text.begin(), text.end()));
    folder.write_file("files/10000002", "two");
    const std::string second = folder.get_path("base.pack");
    result = run_zpack_command({"build", "--key", "0", files, second});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;

    result = run_zpack_command({"verify", pack, second});
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    EXPECT_EQ(result.standard_output,
              pack + ": ok, 3 resources, 2 packed\n" + second + ": ok, 2 resources, 1 packed\n");

    const std::string list = folder.get_path("pack.list");
    result = run_zpack_command({"packlist", list, second, pack});
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    std::string list_text = test::read_file_bytes(list);
    io::PackList names;
    io::parse_pack_list(list_text.data(), &names);
    ASSERT_EQ(names.count, 2u);
    EXPECT_EQ(names.names[0], second);
    EXPECT_EQ(names.names[1], pack);
}

TEST(Zpack, RefusesWhatTheEngineWouldRefuse) {
    test::TemporaryFolder folder;
    folder.write_file("a.bin", "aaaa");
    folder.write_file("twice.txt", "1 a.bin\n1 a.bin\n");
    folder.write_file("bad option.txt", "1 a.bin align=16\n");
    std::filesystem::create_directories(folder.get_path("files"));
    folder.write_file("files/not-an-id.bin", "x");
    std::vector<std::string> too_many = {"packlist", folder.get_path("pack.list")};
    for (uint32_t index = 0; index < 513; ++index) {
        too_many.push_back("p" + std::to_string(index));
    }
    const struct {
        std::vector<std::string> arguments;
        int exit_code;
        std::string message;
    } cases[] = {
        {{"build", folder.get_path("twice.txt"), folder.get_path("out.pack")},
         1,
         "zpack: Attempt to queue resource 0x00000001 for pack 0 while corresponding entry already exists in pack 0\n"},
        {{"build", folder.get_path("bad option.txt"), folder.get_path("out.pack")},
         1,
         "zpack: " + folder.get_path("bad option.txt") + ":1: alignment exponent out of 0 to 15\n"},
        {{"build", folder.get_path("files"), folder.get_path("out.pack")},
         1,
         "zpack: " + folder.get_path("files/not-an-id.bin") +
             ": the name does not start with a resource id of eight hexadecimal digits\n"},
        {too_many, 1, "zpack: a pack list names at most 512 packs\n"},
        {{"packlist", folder.get_path("pack.list"), "two words"},
         1,
         "zpack: the pack name \"two words\" cannot stand in a pack list\n"},
        {{"verify", folder.get_path("a.bin")}, 1, "zpack: IO error 536870914 encountered while reading a file.\n"},
        {{"frobnicate"}, 2, ""},
    };
    for (const auto& c : cases) {
        const test::ChildResult result = run_zpack_command(c.arguments);
        EXPECT_EQ(result.exit_code, c.exit_code) << c.arguments[0];
        if (!c.message.empty()) {
            EXPECT_EQ(result.standard_error, c.message);
        }
    }
    EXPECT_FALSE(std::filesystem::exists(folder.get_path("out.pack")));
    EXPECT_FALSE(std::filesystem::exists(folder.get_path("pack.list")));
}

TEST(Zpack, VerifyRefusesACorruptPackedStreamUnderAValidStoredCrc) {
    const Bytes text = make_text(3000);
    PackDescription description;
    description.resources.push_back(make_resource(0x10000001, 0, text));
    Bytes pack;
    std::string error;
    ASSERT_TRUE(build_pack(description, &pack, &error));
    core::ResourceEntry entry = io::read_resource_entry(pack.data() + 56);
    ASSERT_LT(entry.stored_size, entry.unpacked_size);

    // A crafted pack: the stream starts with a back reference, and the
    // stored CRC is made to match.
    pack[entry.offset + 4] = 0x00;
    entry.stored_crc = compute_crc32(pack.data() + entry.offset, entry.stored_size);
    io::write_resource_entry(entry, pack.data() + 56);
    seal_pack(&pack);
    test::TemporaryFolder folder;
    const std::string path = folder.get_path("crafted.pack");
    ASSERT_TRUE(write_file(path, pack.data(), pack.size(), &error));

    const test::ChildResult result = run_zpack_command({"verify", path});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_NE(result.standard_error.find("zpack: resource 0x10000001 unpacked data CRC 0x"), std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::tools
