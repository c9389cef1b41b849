#include "zolt/core/resources/data_table.h"

#include <gtest/gtest.h>

#include "support/builtin_call.h"
#include "zolt/core/resources/data_table_builtins.h"
#include "zolt/core/resources/resource_fixture.h"
#include "zolt/core/script_objects/array_server.h"

namespace zolt::core {
namespace {

using test::BuiltinCall;
using test::float_word;
using test::ResourceBytes;

constexpr uint32_t keyed_table_id = 0x10000050;
constexpr uint32_t counted_table_id = 0x10000051;

// Keys 100-105; 101 has no index, the others have 0-4 in order. Records of
// index i hold 10 i + 1, + 2, + 3. Sections 7 and 9 hold floats per index.
// Run table A: row 0 {3, 7} {2, 9}, row 1 {5, 11}; B: every row {5, 42};
// C: {2, 0.25} {3, -4}.
test::Bytes build_keyed_table() {
    ResourceBytes table;
    for (uint32_t word = 0; word < 9; ++word) {
        table.add_u32(0);
    }
    table.set_u32(data_table_header::first_key, 100);
    table.set_u32(data_table_header::key_count, 6);
    table.set_u32(data_table_header::key_index_or_count, table.size());
    for (const uint16_t index : {0, 0xFFFF, 1, 2, 3, 4}) {
        table.add_u16(index);
    }
    table.set_u32(data_table_header::records_or_byte_block, table.size());
    for (uint32_t index = 0; index < 5; ++index) {
        for (uint32_t word = 1; word <= 3; ++word) {
            table.add_u32(10 * index + word);
        }
    }
    const uint32_t directory = table.add_u32(2);
    table.set_u32(data_table_header::sections_or_records28, directory);
    table.add_u32(7);
    const uint32_t section_7_entry = table.add_u32(0);
    table.add_u32(9);
    const uint32_t section_9_entry = table.add_u32(0);
    table.set_u32(section_7_entry, table.size());
    for (uint32_t index = 0; index < 5; ++index) {
        table.add_f32(1.5f + static_cast<float>(index));
    }
    table.set_u32(section_9_entry, table.size());
    for (uint32_t index = 0; index < 5; ++index) {
        table.add_f32(9.0f + 0.5f * static_cast<float>(index));
    }
    const auto add_run_table = [&](uint32_t header_offset, const std::vector<std::vector<uint32_t>>& rows) {
        const uint32_t entries = table.size();
        table.set_u32(header_offset, entries);
        for (uint32_t row = 0; row < 5; ++row) {
            table.add_u32(0);
        }
        for (uint32_t row = 0; row < 5; ++row) {
            table.set_u32(entries + 4 * row, table.size());
            for (const uint32_t word : rows[row < rows.size() ? row : rows.size() - 1]) {
                table.add_u32(word);
            }
        }
    };
    add_run_table(data_table_header::run_table_a, {{3, 7, 2, 9}, {5, 11}});
    add_run_table(data_table_header::run_table_b, {{5, 42}});
    add_run_table(data_table_header::run_table_c, {{2, float_word(0.25f), 3, float_word(-4.0f)}});
    return table.get_bytes();
}

// Count 2; a byte block for keys 50-52 holding 5, 255, 7; two 28-byte
// records, the first {0x1234, 0x5678, 1-6}, the second {1, 2, 10-60}.
test::Bytes build_counted_table() {
    ResourceBytes table;
    table.add_u32(2);
    table.add_u32(12);
    const uint32_t records_entry = table.add_u32(0);
    table.add_u32(50);
    table.add_u32(3);
    table.add_u32(5 | 255 << 8 | 7 << 16);  // the fourth byte pads
    table.set_u32(records_entry, table.size());
    const struct {
        uint16_t first, second;
        float scale;
    } records[] = {{0x1234, 0x5678, 1.0f}, {1, 2, 10.0f}};
    for (const auto& record : records) {
        table.add_u16(record.first);
        table.add_u16(record.second);
        for (uint32_t lane = 1; lane <= 6; ++lane) {
            table.add_f32(record.scale * static_cast<float>(lane));
        }
    }
    return table.get_bytes();
}

class DataTableBuiltins : public ::testing::Test {
protected:
    DataTableBuiltins()
        : resources_({{keyed_table_id, build_keyed_table()}, {counted_table_id, build_counted_table()}}) {
        keyed_ = resource_server.open_resource(keyed_table_id)->get_handle();
        counted_ = resource_server.open_resource(counted_table_id)->get_handle();
    }

    test::RegisteredResources resources_;
    ObjectHandle keyed_ = 0;
    ObjectHandle counted_ = 0;
    BuiltinCall builtin;
};

TEST_F(DataTableBuiltins, KeyedRecordsSectionsAndRunsOfTheFixture) {
    const struct {
        uint32_t id;
        std::initializer_list<uint32_t> keys;  // after the table handle, top first
        uint32_t expected;
    } words[] = {
        {38, {99}, 0},       {38, {100}, 1},       {38, {101}, 0},      {38, {105}, 1},      {38, {106}, 0},
        {35, {103}, 21},     {36, {103}, 22},      {37, {105}, 43},     {35, {101}, 0},      {39, {7}, 1},
        {39, {9}, 1},        {39, {8}, 0},         {32, {100, 100}, 7}, {32, {100, 103}, 7}, {32, {100, 104}, 9},
        {32, {100, 105}, 9}, {32, {102, 105}, 11}, {32, {101, 100}, 0}, {32, {100, 106}, 0}, {33, {105, 103}, 42},
    };
    for (const auto& row : words) {
        std::vector<uint32_t> arguments{keyed_};
        arguments.insert(arguments.end(), row.keys);
        builtin.context.stack_index = 0;
        for (auto word = arguments.rbegin(); word != arguments.rend(); ++word) {
            builtin.context.stack[builtin.context.stack_index++] = *word;
        }
        call_builtin(builtin.context, row.id);
        EXPECT_EQ(builtin.word(), row.expected) << row.id << " key " << *row.keys.begin();
    }
    EXPECT_EQ(builtin.call(34, {keyed_, 100, 102}).lane(), 0.25f);
    EXPECT_EQ(builtin.call(34, {keyed_, 100, 103}).lane(), -4.0f);
    EXPECT_EQ(builtin.call(40, {keyed_, 9, 102}).lane(), 9.5f);
    EXPECT_EQ(builtin.call(40, {keyed_, 7, 105}).lane(), 5.5f);
    EXPECT_EQ(builtin.call(40, {keyed_, 8, 102}).lane(), 0.0f);
    EXPECT_EQ(builtin.call(40, {keyed_, 9, 101}).lane(), 0.0f);
    // The word at offset 0: here the key index's offset.
    EXPECT_EQ(builtin.call(42, {keyed_}).word(), 36u);
}

TEST_F(DataTableBuiltins, ByteBlockAndTwentyEightByteRecordsOfTheFixture) {
    const struct {
        uint32_t key;
        uint32_t expected;
    } bytes[] = {{49, 255}, {50, 5}, {51, 255}, {52, 7}, {53, 255}};
    for (const auto& row : bytes) {
        EXPECT_EQ(builtin.call(41, {counted_, row.key}).word(), row.expected) << row.key;
    }
    EXPECT_EQ(builtin.call(42, {counted_}).word(), 2u);
    EXPECT_EQ(builtin.call(43, {counted_, 0}).word(), 0x1234u);
    EXPECT_EQ(builtin.call(44, {counted_, 0}).word(), 0x5678u);
    EXPECT_EQ(builtin.call(43, {counted_, 1}).word(), 1u);
    EXPECT_EQ(builtin.call(44, {counted_, 2}).word(), 0u);
    builtin.call(45, {counted_, 1});
    EXPECT_EQ((std::vector<float>{builtin.lane(0), builtin.lane(2), builtin.lane(4), builtin.lane(6)}),
              (std::vector<float>{10, 20, 30, 40}));
    builtin.call(46, {counted_, 0});
    EXPECT_EQ((std::vector<float>{builtin.lane(0), builtin.lane(2), builtin.lane(4), builtin.lane(6)}),
              (std::vector<float>{4, 5, 6, 3}));
    builtin.call(46, {counted_, 2});
    EXPECT_EQ(builtin.lane(6), 0.0f);
}

TEST_F(DataTableBuiltins, HandlesOfOtherObjectsAndStaleHandlesGiveTheNeutralResult) {
    array_server.register_server();
    const ObjectHandle array = array_server.create_array(16)->get_handle();
    resource_server.destroy_object_now(static_cast<ResourceObject*>(get_object(counted_)));
    for (const ObjectHandle handle : {array, counted_, ObjectHandle{0}, ObjectHandle{0xFFFFFFFF}}) {
        SCOPED_TRACE(handle);
        for (uint32_t id = 32; id <= 46; ++id) {
            builtin.call(id, {handle, 50, 0});
            EXPECT_EQ(builtin.word(0), id == 41 ? 255u : 0u) << id;
            if (id == 45 || id == 46) {
                EXPECT_EQ(builtin.word(6), 0u);
            }
        }
    }
    array_server.unregister_server();
}

TEST(DataTableView, OffsetsAndRunsLeavingTheDataAnswerNotFound) {
    ResourceBytes table;
    for (uint32_t word = 0; word < 9; ++word) {
        table.add_u32(0xFFFFFFF0);
    }
    table.set_u32(data_table_header::first_key, 0);
    const DataTableView outside(table.get_bytes().data(), table.size());
    EXPECT_FALSE(outside.find_key_index(5));
    EXPECT_FALSE(outside.find_section(1));
    EXPECT_FALSE(outside.find_record28(0));
    EXPECT_EQ(outside.get_byte(0), no_table_byte);

    // A key index inside the data whose row's runs end with the data.
    ResourceBytes cut;
    for (uint32_t word = 0; word < 9; ++word) {
        cut.add_u32(0);
    }
    cut.set_u32(data_table_header::key_count, 1);
    cut.set_u32(data_table_header::key_index_or_count, cut.add_u16(0));
    cut.add_u16(0);
    cut.set_u32(data_table_header::run_table_a, cut.size());
    cut.add_u32(cut.size() + 4);
    cut.add_u32(1);
    cut.add_u32(77);
    const DataTableView cut_view(cut.get_bytes().data(), cut.size());
    EXPECT_EQ(cut_view.find_run_value(data_table_header::run_table_a, 0, 0), 77u);
    const DataTableView shorter(cut.get_bytes().data(), cut.size() - 1);
    EXPECT_FALSE(shorter.find_run_value(data_table_header::run_table_a, 0, 0));
}

}  // namespace
}  // namespace zolt::core
