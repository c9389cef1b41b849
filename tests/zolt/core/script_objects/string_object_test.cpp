#include "zolt/core/script_objects/string_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/byte_streams.h"
#include "support/child_process.h"
#include "support/server_ring.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/string_builtins.h"
#include "zolt/core/script_objects/string_object_numbers.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_buffers.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

std::u16string text_of(const String& string) {
    return string.get_length() != 0 ? std::u16string(string.get_text(), string.get_length()) : std::u16string();
}

uint32_t free_bytes() {
    uint32_t total = 0;
    string_server.get_pool().for_each_free_block([&](void*, uint32_t size) { total += size; });
    return total;
}

class StringTest : public ::testing::Test {
protected:
    void SetUp() override { string_server.register_server(); }
    void TearDown() override {
        set_group_separator(0);
        set_decimal_point(u'.');
        test::unregister_all_servers();
        // Every text went back to the pool.
        EXPECT_EQ(free_bytes(), string_pool_size);
    }
    static String* create(const std::u16string& text = u"") {
        String* string = string_server.create_string();
        string->append_utf16(text.data(), static_cast<uint32_t>(text.size()));
        return string;
    }
    static String* create_filled(uint32_t length, char16_t unit) { return create(std::u16string(length, unit)); }
};

TEST_F(StringTest, SubstringCountsFromTheEndAndClampsToTheSource) {
    struct Case {
        int32_t count;
        int32_t start;
        const char16_t* appended;
    };
    const Case cases[] = {
        {-1, 2, u"cde"},
        {2, 1, u"bc"},
        {0, -3, u"def"},
        {2, 2, u"cd"},
        {-1, 4, u"e"},
        {0, 0, u"abcdef"},
        {100, 3, u"def"},
        {3, -100, u""},
        {-6, 0, u""},
        {0, 6, u""},
        {1, 7, u""},
        {-7, 0, u""},
        {2147483647, 5, u"f"},
        {-2147483647 - 1, 0, u""},
        {2147483647, -2147483647 - 1, u"abcde"},
    };
    String* source = create(u"abcdef");
    for (const Case& entry : cases) {
        String* target = create(u"<");
        ASSERT_TRUE(target->append_substring(*source, entry.count, entry.start));
        EXPECT_EQ(text_of(*target), u"<" + std::u16string(entry.appended))
            << "count " << entry.count << " start " << entry.start;
        destroy_object(target);
    }
    EXPECT_EQ(text_of(*source), u"abcdef");
}

TEST_F(StringTest, AppendsKeepExactlyTheUnitsAndRaiseTheRevision) {
    String* string = create();
    EXPECT_EQ(string->get_text(), nullptr);
    const uint32_t first_revision = string->get_revision();
    const uint8_t latin1[] = {'a', 0xE9, 0xFF};
    ASSERT_TRUE(string->append_latin1(latin1, 3));
    ASSERT_TRUE(string->append_utf16_string(u"\u20AC!"));
    ASSERT_TRUE(string->append_c_string("\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_EQ(text_of(*string), u"a\u00E9\u00FF\u20AC!\u00E9\U0001F600");
    EXPECT_GT(string->get_revision(), first_revision);
    // Exactly the units, rounded by the pool only.
    EXPECT_EQ(free_bytes(), string_pool_size - 16);
    const uint32_t revision = string->get_revision();
    string->clear();
    EXPECT_EQ(string->get_length(), 0u);
    EXPECT_EQ(string->get_text(), nullptr);
    EXPECT_EQ(string->get_revision(), revision + 1);
    EXPECT_EQ(free_bytes(), string_pool_size);
}

TEST_F(StringTest, NumbersAppendWithTheProcessWideSettings) {
    EXPECT_EQ(get_group_separator(), 0u);
    EXPECT_EQ(get_decimal_point(), u'.');
    String* string = create();
    set_group_separator(u',');
    ASSERT_TRUE(string->append_unsigned(7, 3, false));
    ASSERT_TRUE(string->append_utf16_string(u" "));
    ASSERT_TRUE(string->append_signed(-1234567, true));
    ASSERT_TRUE(string->append_utf16_string(u" "));
    ASSERT_TRUE(string->append_float(1234.5f, 2, true));
    set_group_separator(u'.');
    set_decimal_point(u',');
    ASSERT_TRUE(string->append_utf16_string(u" "));
    ASSERT_TRUE(string->append_float(-1234567.25f, 1, true));
    EXPECT_EQ(text_of(*string), u"007 -1,234,567 1,234.50 -1.234.567,3");
}

TEST_F(StringTest, SelfAppendCopiesTheTextBeforeItWasFreed) {
    String* string = create(u"abc");
    ASSERT_TRUE(string->append_string(*string));
    EXPECT_EQ(text_of(*string), u"abcabc");
    ASSERT_TRUE(string->append_substring(*string, 2, -3));
    EXPECT_EQ(text_of(*string), u"abcabcab");
    EXPECT_EQ(free_bytes(), string_pool_size - 16);
}

// The pool holds, from its start: a 1504-byte hole, the source (200 units),
// another 1504-byte hole, the target (600 units) and a filler up to the end.
// Any growth of the target past 1504 bytes fits only after compaction, which
// moves the source, the target and the filler.
struct FragmentedPool {
    String* source;
    String* target;
    String* filler;
    std::u16string source_text;
    std::u16string target_text;
};

FragmentedPool build_fragmented_pool() {
    FragmentedPool pool;
    String* low_hole = string_server.create_string();
    low_hole->append_utf16(std::u16string(752, u'h').data(), 752);
    pool.source = string_server.create_string();
    for (uint32_t index = 0; index < 200; ++index) {
        pool.source_text.push_back(static_cast<char16_t>(u'A' + index % 26));
    }
    pool.source->append_utf16(pool.source_text.data(), 200);
    String* middle_hole = string_server.create_string();
    middle_hole->append_utf16(std::u16string(752, u'h').data(), 752);
    pool.target = string_server.create_string();
    for (uint32_t index = 0; index < 600; ++index) {
        pool.target_text.push_back(static_cast<char16_t>(u'a' + index % 26));
    }
    pool.target->append_utf16(pool.target_text.data(), 600);
    pool.filler = string_server.create_string();
    const std::u16string filler(47696, u'f');
    pool.filler->append_utf16(filler.data(), 47696);
    destroy_object(low_hole);
    destroy_object(middle_hole);
    return pool;
}

TEST_F(StringTest, AppendThatCompactsReadsTheMovedTexts) {
    struct Case {
        const char* name;
        bool (*append)(FragmentedPool&);
        std::u16string (*expected)(const FragmentedPool&);
    };
    const Case cases[] = {
        {"other string", [](FragmentedPool& pool) { return pool.target->append_string(*pool.source); },
         [](const FragmentedPool& pool) { return pool.target_text + pool.source_text; }},
        {"part of another string",
         [](FragmentedPool& pool) { return pool.target->append_substring(*pool.source, 0, -160); },
         [](const FragmentedPool& pool) { return pool.target_text + pool.source_text.substr(40); }},
        {"itself", [](FragmentedPool& pool) { return pool.target->append_string(*pool.target); },
         [](const FragmentedPool& pool) { return pool.target_text + pool.target_text; }},
        {"part of itself", [](FragmentedPool& pool) { return pool.target->append_substring(*pool.target, 300, 100); },
         [](const FragmentedPool& pool) { return pool.target_text + pool.target_text.substr(100, 300); }},
    };
    for (const Case& entry : cases) {
        FragmentedPool pool = build_fragmented_pool();
        const char16_t* source_before = pool.source->get_text();
        ASSERT_TRUE(entry.append(pool)) << entry.name;
        EXPECT_NE(pool.source->get_text(), source_before) << entry.name << ": compaction did not run";
        EXPECT_EQ(text_of(*pool.target), entry.expected(pool)) << entry.name;
        EXPECT_EQ(text_of(*pool.source), pool.source_text) << entry.name;
        EXPECT_EQ(text_of(*pool.filler), std::u16string(47696, u'f')) << entry.name;
        string_server.destroy_all_objects();
        EXPECT_EQ(free_bytes(), string_pool_size) << entry.name;
    }
}

TEST_F(StringTest, TextLongerThanThePoolIsRefusedAndATooFullPoolIsFatal) {
    String* string = create_filled(string_length_limit, u'x');
    EXPECT_FALSE(string->append_utf16(u"y", 1));
    EXPECT_FALSE(string->append_c_string("y"));
    EXPECT_EQ(string->get_length(), string_length_limit);
    EXPECT_EQ(string->get_text()[string_length_limit - 1], u'x');
    destroy_object(string);

    const test::ChildResult result = test::run_in_child([] {
        create_filled(30000, u'a');
        create_filled(30000, u'b');
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: out of memory"), std::string::npos)
        << result.standard_error;
}

TEST_F(StringTest, LengthPropertyReadsAndOnlyCuts) {
    String* string = create(u"abcdef");
    Property out;
    for (const uint32_t id : {52u, string_length_property}) {
        ASSERT_TRUE(string->get_property(id, out));
        EXPECT_EQ(out.id, 0x03000000u);
        EXPECT_EQ(out.get_u32(), 6u);
    }
    auto set_length = [&](uint32_t id, uint32_t length) {
        Property value;
        value.set_u32(id, length);
        return string->set_property(id, value);
    };
    const uint32_t revision = string->get_revision();
    EXPECT_FALSE(set_length(string_length_property, 7));
    EXPECT_FALSE(set_length(string_length_property, 0xFFFFFFFF));
    EXPECT_FALSE(set_length(52, 2));
    EXPECT_TRUE(set_length(string_length_property, 6));
    EXPECT_EQ(text_of(*string), u"abcdef");
    EXPECT_EQ(string->get_revision(), revision);
    EXPECT_TRUE(set_length(string_length_property, 4));
    EXPECT_EQ(text_of(*string), u"abcd");
    EXPECT_EQ(free_bytes(), string_pool_size - 8);
    EXPECT_TRUE(set_length(string_length_property, 0));
    EXPECT_EQ(string->get_text(), nullptr);
    // Base properties still answer.
    ASSERT_TRUE(string->get_property(1, out));
    EXPECT_EQ(out.get_u32(), string->get_handle());
}

TEST_F(StringTest, Utf8OutputKeepsWholeCharactersAndAnswersTheFullLength) {
    struct Case {
        std::u16string text;
        const char* expected;
        uint32_t full_length;
    };
    const Case cases[] = {
        {u"", "", 0},
        {std::u16string(40, u'a'), "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 40},
        {u"\u00E9\u20AC\U0001F600", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", 9},
        // 15 two-byte characters fill 30 bytes; the 16th no longer fits, nor
        // does the one-byte character after it.
        {std::u16string(16, u'\u00E9') + u"z",
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9"
         "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9",
         33},
        {std::u16string(28, u'a') + u"\U0001F600", "aaaaaaaaaaaaaaaaaaaaaaaaaaaa", 32},
        {std::u16string(27, u'a') + u"\U0001F600", "aaaaaaaaaaaaaaaaaaaaaaaaaaa\xF0\x9F\x98\x80", 31},
        // A unit of a pair on its own keeps its three-byte form.
        {u"\xD83D"
         u"a",
         "\xED\xA0\xBD"
         "a",
         4},
    };
    for (const Case& entry : cases) {
        String* string = create(entry.text);
        char buffer[string_utf8_buffer_size];
        std::memset(buffer, 0x55, sizeof buffer);
        EXPECT_EQ(string->to_utf8(buffer), entry.full_length);
        EXPECT_STREQ(buffer, entry.expected);
        destroy_object(string);
    }
}

TEST_F(StringTest, SavedStringsLoadWithTheirTextRevisionAndHandle) {
    String* empty = create();
    String* plain = create(u"plain text");
    String* doomed = create(u"destroyed");
    String* astral = create(u"\U0001F600 smile");
    destroy_object(doomed);
    struct Saved {
        ObjectHandle handle;
        std::u16string text;
        uint32_t revision;
    };
    std::vector<Saved> saved;
    for (const String* string : {empty, plain, astral}) {
        saved.push_back({string->get_handle(), text_of(*string), string->get_revision()});
    }
    const uint32_t used = string_pool_size - free_bytes();
    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(1));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    const ObjectHandle next_free = string_server.get_free_list().get_head()->get_handle();

    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(1));
    ASSERT_TRUE(load_all_servers(load));
    EXPECT_EQ(string_server.get_live_count(), saved.size());
    for (const Saved& entry : saved) {
        const String* loaded = string_server.get_typed_object(entry.handle);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(text_of(*loaded), entry.text);
        EXPECT_EQ(loaded->get_revision(), entry.revision);
    }
    EXPECT_EQ(string_pool_size - free_bytes(), used);
    EXPECT_EQ(string_server.get_free_list().get_head()->get_handle(), next_free);
}

// One string record as the server hands it to the object: the context
// handle, the length and the revision, then the units.
std::vector<uint8_t> make_record(uint32_t length, const std::u16string& units, size_t truncate_by = 0) {
    std::vector<uint8_t> bytes(12 + units.size() * 2);
    const uint32_t header[3] = {0x08100000, length, 5};
    std::memcpy(bytes.data(), header, sizeof header);
    std::memcpy(bytes.data() + 12, units.data(), units.size() * 2);
    bytes.resize(bytes.size() - truncate_by);
    return bytes;
}

TEST_F(StringTest, LoadRefusesRecordsThePoolCannotHoldOrTheStreamDoesNotCarry) {
    {
        String* string = create();
        test::ByteLoadStream stream(make_record(3, u"abc"));
        ASSERT_TRUE(string->load(stream));
        EXPECT_EQ(text_of(*string), u"abc");
        EXPECT_EQ(string->get_revision(), 5u);
        destroy_object(string);
    }
    struct Case {
        const char* name;
        std::vector<uint8_t> record;
    };
    const Case cases[] = {
        {"length beyond the pool", make_record(string_length_limit + 1, u"abc")},
        {"length near the top of the word", make_record(0x80000001u, u"abc")},
        {"units missing", make_record(4, u"abc")},
        {"revision missing", make_record(0, u"", 4)},
        {"length missing", make_record(0, u"", 8)},
        {"more than the pool has left", make_record(30000, std::u16string(30000, u'x'))},
    };
    String* occupant = create_filled(30000, u'o');
    for (const Case& entry : cases) {
        String* string = create();
        test::ByteLoadStream stream(entry.record);
        EXPECT_FALSE(string->load(stream)) << entry.name;
        EXPECT_EQ(string->get_length(), 0u) << entry.name;
        EXPECT_EQ(string->get_text(), nullptr) << entry.name;
        destroy_object(string);
    }
    EXPECT_EQ(text_of(*occupant), std::u16string(30000, u'o'));
}

TEST_F(StringTest, WorldWithACraftedLengthIsRefusedWhole) {
    String* string = create(u"abc");
    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    // Type, the free slots up to their 0, then the record: handle, context,
    // length.
    uint8_t* const slot = storage::get_memory_save_slot(0);
    const size_t length_offset = 4 + (string_capacity - 1) * 4 + 4 + 8;
    uint32_t length = 0;
    std::memcpy(&length, slot + length_offset, 4);
    ASSERT_EQ(length, 3u);
    length = 0x7FFFFFFF;
    std::memcpy(slot + length_offset, &length, 4);
    const ObjectHandle handle = string->get_handle();

    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    EXPECT_FALSE(load_all_servers(load));
    EXPECT_EQ(string_server.get_live_count(), 0u);
    EXPECT_EQ(get_string_object(handle), nullptr);
    EXPECT_EQ(free_bytes(), string_pool_size);
}

TEST_F(StringTest, BuiltinsGiveNeutralResultsForAnythingButAString) {
    alias_server.register_server();
    array_server.register_server();
    String* string = create(u"a,b,c");
    const ObjectHandle handle = string->get_handle();
    const ObjectHandle alias = make_alias_handle(3);
    ASSERT_TRUE(alias_server.set_alias(alias, handle));
    const ObjectHandle array = array_server.create_array(4)->get_handle();

    struct Case {
        uint32_t start;
        uint32_t unit;
        uint32_t found;
    };
    const Case finds[] = {{0, u',', 1},          {2, u',', 3}, {4, u',', 5},   {5, u',', 5},
                          {0xFFFFFFFF, u'a', 5}, {0, u'x', 5}, {0, 0x1002C, 1}};
    for (const Case& entry : finds) {
        EXPECT_EQ(find_character({handle}, entry.unit, entry.start), entry.found) << entry.start;
        EXPECT_EQ(find_character({alias}, entry.unit, entry.start), entry.found) << entry.start;
    }
    EXPECT_EQ(character_at({handle}, 2), u'b');
    EXPECT_EQ(character_at({alias}, 4), u'c');
    EXPECT_EQ(character_at({handle}, 5), 0u);
    EXPECT_EQ(character_at({handle}, 0xFFFFFFFF), 0u);

    const ObjectHandle stale = string_server.create_string()->get_handle();
    destroy_object(get_object(stale));
    for (const ObjectHandle wrong :
         {0u, stale, stale - (1u << 26), array, make_alias_handle(4), 0xFFFFFFFFu, handle | 0x3F00000u}) {
        EXPECT_EQ(find_character({wrong}, u'a', 0), 0u) << std::hex << wrong;
        EXPECT_EQ(character_at({wrong}, 0), 0u) << std::hex << wrong;
        clear_string({wrong});
        EXPECT_EQ(text_of(*string), u"a,b,c");
    }
    clear_string({alias});
    EXPECT_EQ(string->get_length(), 0u);
}

TEST_F(StringTest, ServerDescribesItself) {
    create();
    create(u"x");
    ServerStatistics statistics{};
    ASSERT_TRUE(string_server.get_statistics(statistics));
    EXPECT_EQ(statistics.live_count, 2u);
    EXPECT_EQ(statistics.high_water_count, string_server.get_high_water_count());
    EXPECT_EQ(statistics.capacity, 1000u);
    EXPECT_EQ(statistics.object_size, sizeof(String));
    EXPECT_STREQ(string_server.get_name(), "StringServer");
    EXPECT_EQ(string_server.get_capacity(), 1000u);
    EXPECT_GE(string_server.get_memory_size(), string_pool_size);
    EXPECT_EQ(create()->get_handle() >> 20 & 0x3F, server_type::string);
}

}  // namespace
}  // namespace zolt::core
