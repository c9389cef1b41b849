#include "libs/io/pack_format.h"

#include <gtest/gtest.h>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "libs/io/pack_list.h"
#include "libs/utility/crc32.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::io {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t directory_offset = 56;

Bytes make_pack(uint32_t resource_count = 3) {
    tools::PackDescription description;
    description.key = 5;
    for (uint32_t index = 0; index < resource_count; ++index) {
        tools::PackResource resource;
        resource.id = 0x11000001 + index;
        const std::string text = index % 2 == 0 ? std::string(300, static_cast<char>('a' + index % 26)) : "as is";
        resource.data.assign(text.begin(), text.end());
        description.resources.push_back(resource);
    }
    Bytes pack;
    std::string error;
    EXPECT_TRUE(tools::build_pack(description, &pack, &error)) << error;
    return pack;
}

void put_word(Bytes& pack, size_t offset, uint32_t value) {
    std::memcpy(pack.data() + offset, &value, 4);
}
uint32_t get_word(const Bytes& pack, size_t offset) {
    uint32_t value;
    std::memcpy(&value, pack.data() + offset, 4);
    return value;
}
size_t entry_field(uint32_t entry, uint32_t field_offset) {
    return directory_offset + entry * 36 + field_offset;
}

// Verifies a copy of exactly the pack's size on the heap, so the sanitizers
// see any read past its end.
PackCheckResult verify_exact(const Bytes& pack) {
    auto* copy = new uint8_t[pack.size() + (pack.empty() ? 1 : 0)];
    std::memcpy(copy, pack.data(), pack.size());
    const PackCheckResult result = verify_pack(copy, pack.size());
    delete[] copy;
    return result;
}

std::string describe(const PackCheckResult& result) {
    char message[256];
    describe_pack_check(result, "data/levels.pack", 7, message, sizeof message);
    return message;
}

TEST(PackFormat, WrittenPackIsIntactAndReadsBack) {
    const Bytes pack = make_pack();
    EXPECT_EQ(verify_exact(pack).check, PackCheck::intact);
    const PackHeader header = read_pack_header(pack.data());
    EXPECT_EQ(std::memcmp(pack.data(), "ZOLT", 4), 0);
    EXPECT_EQ(std::memcmp(pack.data() + 8, "PACK", 4), 0);
    EXPECT_EQ(header.endian_marker, 0x12345678u);
    EXPECT_EQ(header.version, 0x10200000u);
    EXPECT_EQ(header.data_size, 16u);
    EXPECT_EQ(header.header_crc, compute_pack_header_crc(pack.data()));
    EXPECT_EQ(header.data_crc, compute_crc32(pack.data() + 40, 16));
    const PackDataBlock data_block = read_pack_data_block(pack.data() + 40);
    EXPECT_EQ(data_block.entry_count, 3u);
    EXPECT_EQ(data_block.pack_key, 5u);
    EXPECT_EQ(data_block.directory_crc, compute_crc32(pack.data() + data_block.directory_offset, 3 * 36));

    // The header CRC is taken over the header with its own field as 0.
    Bytes zeroed(pack.begin(), pack.begin() + 40);
    put_word(zeroed, 28, 0);
    EXPECT_EQ(header.header_crc, compute_crc32(zeroed.data(), 40));
}

TEST(PackFormat, BrokenPacksFailTheCheckTheLoaderMeetsFirst) {
    const Bytes intact = make_pack();
    const uint32_t size = static_cast<uint32_t>(intact.size());
    const uint32_t first_id = get_word(intact, entry_field(0, 0));
    const uint32_t first_unpacked = get_word(intact, entry_field(0, 24));
    const uint32_t first_pool_size = get_resource_pool_size(get_word(intact, entry_field(0, 16)));
    struct Case {
        const char* fault;
        std::function<void(Bytes&)> damage;
        bool is_resealed;
        PackCheckResult expected;
    };
    const Case cases[] = {
        {"magic", [](Bytes& p) { std::memcpy(p.data(), "ZOLX", 4); }, true, {PackCheck::magic, 0x584C4F5A, pack_magic}},
        {"magic before a broken CRC",
         [](Bytes& p) { std::memcpy(p.data(), "ZOLX", 4); },
         false,
         {PackCheck::magic, 0x584C4F5A, pack_magic}},
        {"endian marker",
         [](Bytes& p) { put_word(p, 4, 0x78563412); },
         true,
         {PackCheck::endian_marker, 0x78563412, 0x12345678}},
        {"file type",
         [](Bytes& p) { std::memcpy(p.data() + 8, "SAVE", 4); },
         true,
         {PackCheck::file_type, 0x45564153, pack_file_type}},
        {"version top bits",
         [](Bytes& p) { put_word(p, 12, 0x10400000); },
         true,
         {PackCheck::version, 0x10400000, 0x10200000}},
        {"version low bits are free", [](Bytes& p) { put_word(p, 12, 0x103FFFFF); }, true, {}},
        {"header CRC", [](Bytes& p) { p[17] ^= 1; }, false, {PackCheck::header_crc}},
        {"data size", [](Bytes& p) { put_word(p, 36, 17); }, true, {PackCheck::data_size, 17, 16}},
        {"data CRC", [](Bytes& p) { put_word(p, 52, 6); }, false, {PackCheck::data_crc}},
        {"directory CRC", [](Bytes& p) { p[entry_field(2, 8)] ^= 0x40; }, false, {PackCheck::directory_crc}},
        {"duplicate id",
         [&](Bytes& p) { put_word(p, entry_field(2, 0), first_id); },
         true,
         {PackCheck::duplicate_id, 0, 0, first_id}},
        {"stored size larger than unpacked",
         [&](Bytes& p) { put_word(p, entry_field(0, 28), first_unpacked + 1); },
         true,
         {PackCheck::stored_size_too_large, first_unpacked + 1, first_unpacked, first_id}},
        {"offset past the end",
         [&](Bytes& p) { put_word(p, entry_field(0, 32), size - 1); },
         true,
         {PackCheck::stored_bytes_outside_file, size - 1, get_word(intact, entry_field(0, 28)), first_id}},
        {"size past the end",
         [&](Bytes& p) {
             put_word(p, entry_field(0, 24), size);
             put_word(p, entry_field(0, 28), size);
         },
         true,
         {PackCheck::stored_bytes_outside_file, get_word(intact, entry_field(0, 32)), size, first_id}},
        {"offset and size wrap past 4 GiB",
         [&](Bytes& p) {
             put_word(p, entry_field(0, 24), 0x100);
             put_word(p, entry_field(0, 28), 0x100);
             put_word(p, entry_field(0, 32), 0xFFFFFF80);
         },
         true,
         {PackCheck::stored_bytes_outside_file, 0xFFFFFF80, 0x100, first_id}},
        {"more than 10000 resources",
         [](Bytes& p) { put_word(p, 40, 10001); },
         true,
         {PackCheck::too_many_entries, 10001, 10000}},
        {"directory size wraps 32 bits",
         [](Bytes& p) { put_word(p, 40, 0x071C71C8); },
         true,
         {PackCheck::too_many_entries, 0x071C71C8, 10000}},
        {"directory past the end",
         [](Bytes& p) { put_word(p, 40, 9999); },
         true,
         {PackCheck::directory_outside_file, directory_offset, 9999}},
        {"directory offset wraps past 4 GiB",
         [](Bytes& p) { put_word(p, 44, 0xFFFFFFF0); },
         true,
         {PackCheck::directory_outside_file, 0xFFFFFFF0, 3}},
        {"empty pack reads no directory",
         [](Bytes& p) {
             put_word(p, 40, 0);
             put_word(p, 44, 0xFFFFFFFF);
         },
         true,
         {}},
        {"unpacked size beyond its pool",
         [&](Bytes& p) { put_word(p, entry_field(0, 24), first_pool_size + 1); },
         true,
         {PackCheck::unpacked_size_too_large, first_pool_size + 1, first_pool_size, first_id}},
        {"current-language id after its language-1 twin",
         [&](Bytes& p) { put_word(p, entry_field(2, 0), set_resource_language(first_id, current_language)); },
         true,
         {PackCheck::duplicate_id, 0, 0, set_resource_language(first_id, current_language)}},
        {"current-language id before its twin",
         [&](Bytes& p) {
             put_word(p, entry_field(0, 0), set_resource_language(get_word(p, entry_field(2, 0)), current_language));
         },
         true,
         {}},
        {"header cut short", [](Bytes& p) { p.resize(39); }, false, {PackCheck::file_too_short, 39, 40}},
        {"data block cut short", [](Bytes& p) { p.resize(50); }, false, {PackCheck::file_too_short, 50, 56}},
    };
    for (const Case& c : cases) {
        Bytes pack = intact;
        c.damage(pack);
        if (c.is_resealed) {
            tools::seal_pack(&pack);
        }
        const PackCheckResult result = verify_exact(pack);
        EXPECT_EQ(result.check, c.expected.check) << c.fault;
        if (c.expected.check == PackCheck::header_crc) {
            EXPECT_EQ(result.found, get_word(pack, 28)) << c.fault;
            EXPECT_EQ(result.expected, compute_pack_header_crc(pack.data())) << c.fault;
        } else if (c.expected.check == PackCheck::data_crc) {
            EXPECT_EQ(result.found, get_word(pack, 32)) << c.fault;
            EXPECT_EQ(result.expected, compute_crc32(pack.data() + 40, 16)) << c.fault;
        } else if (c.expected.check == PackCheck::directory_crc) {
            EXPECT_EQ(result.found, compute_crc32(pack.data() + directory_offset, 3 * 36)) << c.fault;
            EXPECT_EQ(result.expected, get_word(pack, 48)) << c.fault;
        } else {
            EXPECT_EQ(result.found, c.expected.found) << c.fault;
            EXPECT_EQ(result.expected, c.expected.expected) << c.fault;
            EXPECT_EQ(result.resource_id, c.expected.resource_id) << c.fault;
        }
    }
}

TEST(PackFormat, RepeatedIdFailsAtItsSecondPlaceAfterEarlierEntryFaults) {
    Bytes pack = make_pack(5);
    // Entry 3 repeats entry 1; entry 2 breaks the size rule before it.
    const uint32_t stored_size = get_word(pack, entry_field(2, 28));
    put_word(pack, entry_field(3, 0), get_word(pack, entry_field(1, 0)));
    put_word(pack, entry_field(2, 28), get_word(pack, entry_field(2, 24)) + 1);
    tools::seal_pack(&pack);
    EXPECT_EQ(verify_exact(pack).check, PackCheck::stored_size_too_large);
    put_word(pack, entry_field(2, 28), stored_size);
    tools::seal_pack(&pack);
    const PackCheckResult result = verify_exact(pack);
    EXPECT_EQ(result.check, PackCheck::duplicate_id);
    EXPECT_EQ(result.resource_id, 0x11000002u);
}

TEST(PackFormat, CurrentLanguageIdsCollideAsTheLoaderLooksThemUp) {
    // Entry 2 becomes the current-language form of entry 1 put in language 5:
    // only a loader whose language is 5 takes one for the other; the tools
    // ask for every language.
    Bytes pack = make_pack(3);
    const uint32_t id = get_word(pack, entry_field(1, 0));
    put_word(pack, entry_field(1, 0), set_resource_language(id, 5));
    put_word(pack, entry_field(2, 0), set_resource_language(id, current_language));
    tools::seal_pack(&pack);
    EXPECT_EQ(verify_pack(pack.data(), pack.size(), 5).check, PackCheck::duplicate_id);
    EXPECT_EQ(verify_pack(pack.data(), pack.size(), 2).check, PackCheck::intact);
    EXPECT_EQ(verify_pack(pack.data(), pack.size(), any_language).check, PackCheck::duplicate_id);

    // Ids of packs queued before count as well, named by their pack; an
    // intact pack's ids join them.
    QueuedResourceIds queued = {{set_resource_language(id, 0), 4}};
    const Bytes other = make_pack(3);
    EXPECT_EQ(verify_pack(other.data(), other.size(), 2, &queued, 9).check, PackCheck::intact);
    EXPECT_EQ(queued.size(), 4u);
    EXPECT_EQ(queued[id], 9u);
    put_word(pack, entry_field(1, 0), set_resource_language(id, 6));
    tools::seal_pack(&pack);
    QueuedResourceIds earlier = {{set_resource_language(id, 0), 4}};
    const PackCheckResult repeated = verify_pack(pack.data(), pack.size(), 2, &earlier, 9);
    EXPECT_EQ(repeated.check, PackCheck::duplicate_id);
    EXPECT_EQ(repeated.expected, 4u);
}

TEST(PackFormat, DescribesEachFailureWithTheLoaderMessage) {
    const struct {
        PackCheckResult result;
        const char* message;
    } cases[] = {
        {{PackCheck::magic, 0x584C4F5A, pack_magic},
         "data/levels.pack: pack magic 0x584c4f5a does not match 0x544c4f5a"},
        {{PackCheck::endian_marker, 0x78563412, pack_endian_marker},
         "data/levels.pack: pack endian type 0x78563412 does not match 0x12345678"},
        {{PackCheck::file_type, 0x45564153, pack_file_type},
         "data/levels.pack: pack type 0x45564153 does not match 0x4b434150"},
        {{PackCheck::version, 0x10400000, pack_engine_version},
         "pack version 0x10400000 does not work with engine version 0x10200000"},
        {{PackCheck::header_crc, 0x1234, 0xABCD},
         "data/levels.pack: pack header CRC 0x00001234 does not match 0x0000abcd"},
        {{PackCheck::data_size, 17, 16}, "data/levels.pack: pack size 17 bytes does not match 16 bytes"},
        {{PackCheck::data_size, 1, 16}, "data/levels.pack: pack size 1 byte does not match 16 bytes"},
        {{PackCheck::data_crc, 0x1234, 0xABCD}, "data/levels.pack: pack data CRC 0x00001234 does not match 0x0000abcd"},
        {{PackCheck::directory_crc, 0x1234, 0xABCD},
         "resource directory CRC 0x00001234 of pack 7 does not match the expected CRC 0x0000abcd"},
        {{PackCheck::duplicate_id, 0, 7, 0x11000001},
         "Attempt to queue resource 0x11000001 for pack 7 while corresponding entry already exists in pack 7"},
        {{PackCheck::file_too_short, 39, 40}, "IO error 536870914 encountered while reading a file."},
        {{PackCheck::too_many_entries, 10001, 10000}, "data/levels.pack: pack entry count 10001 exceeds 10000"},
        {{PackCheck::stored_size_too_large, 301, 300, 0x11000001},
         "resource 0x11000001 of pack 7 stores 301 bytes, more than its 300 unpacked bytes"},
        {{PackCheck::unpacked_size_too_large, 0x50000001, 0x50000000, 0x11000001},
         "out of resource memory\nresource 0x11000001 of pack 7 unpacks to 1342177281 bytes, more than its pool's "
         "1342177280"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(describe(c.result), c.message);
    }
}

TEST(PackFormat, FuzzedPacksAreJudgedWithoutReadingOutsideThem) {
    const Bytes intact = make_pack(4);
    std::mt19937 random(99);
    uint32_t intact_count = 0;
    for (uint32_t round = 0; round < 100000; ++round) {
        Bytes pack = intact;
        for (uint32_t flips = 1 + random() % 4; flips > 0; --flips) {
            const size_t offset = random() % (round % 2 == 0 ? pack.size() : 56 + 4 * 36);
            pack[offset] = static_cast<uint8_t>(random() % 3 == 0 ? pack[offset] ^ (1u << random() % 8) : random());
        }
        if (random() % 8 == 0) {
            pack.resize(random() % pack.size());
        }
        if (random() % 2 == 0) {
            tools::seal_pack(&pack);
        }
        const PackCheckResult result = verify_exact(pack);
        if (result.check == PackCheck::intact) {
            ++intact_count;
            const PackDataBlock data_block = read_pack_data_block(pack.data() + 40);
            for (uint32_t entry = 0; entry < data_block.entry_count; ++entry) {
                const core::ResourceEntry fields =
                    read_resource_entry(pack.data() + data_block.directory_offset + entry * 36);
                ASSERT_LE(fields.stored_size, fields.unpacked_size);
                ASSERT_LE(uint64_t{fields.offset} + fields.stored_size, pack.size());
            }
        }
    }
    EXPECT_GT(intact_count, 0u);
}

TEST(PackList, SplitsNamesAtBlanksTabsAndLineBreaks) {
    char text[] = "  base.pack\tlevel one.pack\r\n\n  sounds.pack \n";
    PackList list;
    parse_pack_list(text, &list);
    ASSERT_EQ(list.count, 4u);
    EXPECT_STREQ(list.names[0], "base.pack");
    EXPECT_STREQ(list.names[1], "level");
    EXPECT_STREQ(list.names[2], "one.pack");
    EXPECT_STREQ(list.names[3], "sounds.pack");
    EXPECT_FALSE(list.has_too_many);

    char empty[] = " \r\n";
    parse_pack_list(empty, &list);
    EXPECT_EQ(list.count, 0u);
}

TEST(PackList, TakesFiveHundredTwelvePacksAndFlagsTheNext) {
    for (const uint32_t count : {512u, 513u}) {
        std::string text;
        for (uint32_t index = 0; index < count; ++index) {
            text += "p" + std::to_string(index) + "\n";
        }
        ASSERT_LT(text.size(), pack_list_capacity);
        std::vector<char> buffer(text.begin(), text.end());
        buffer.push_back('\0');
        PackList list;
        parse_pack_list(buffer.data(), &list);
        EXPECT_EQ(list.count, 512u);
        EXPECT_STREQ(list.names[511], "p511");
        EXPECT_EQ(list.has_too_many, count == 513) << count;
    }
}

}  // namespace
}  // namespace zolt::io
