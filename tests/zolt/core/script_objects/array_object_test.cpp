#include "zolt/core/script_objects/array_object.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/byte_streams.h"
#include "support/child_process.h"
#include "support/server_ring.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_buffers.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using Words = std::vector<uint32_t>;

Words words_of(const ArrayObject& array) {
    return Words(array.get_elements(), array.get_elements() + array.get_length());
}

uint32_t free_bytes() {
    uint32_t total = 0;
    array_server.get_pool().for_each_free_block([&](void*, uint32_t size) { total += size; });
    return total;
}

uint32_t largest_free_block() {
    uint32_t largest = 0;
    array_server.get_pool().for_each_free_block([&](void*, uint32_t size) { largest = std::max(largest, size); });
    return largest;
}

class ArrayTest : public ::testing::Test {
protected:
    void SetUp() override { array_server.register_server(); }
    void TearDown() override {
        test::unregister_all_servers();
        // Every array gave its storage back.
        EXPECT_EQ(largest_free_block(), array_pool_size);
    }
    static ArrayObject* create(const Words& words) {
        ArrayObject* array = array_server.create_array(static_cast<uint32_t>(words.size()));
        for (const uint32_t word : words) {
            array->append_element(word);
        }
        return array;
    }
};

TEST_F(ArrayTest, ElementOperationsGrowExactlyAndAnswerTheWordThatWasThere) {
    enum Operation { get, set, insert, remove, append };
    struct Case {
        const char* name;
        Words before;
        Operation operation;
        uint32_t index;
        uint32_t value;
        uint32_t answer;
        Words after;
        uint32_t capacity;
    };
    const Case cases[] = {
        {"set past the end of an empty array", {}, set, 5, 7, 0, {0, 0, 0, 0, 0, 7}, 6},
        {"set inside", {1, 2, 3}, set, 1, 9, 2, {1, 9, 3}, 3},
        {"set at the length", {1, 2}, set, 2, 9, 0, {1, 2, 9}, 3},
        {"insert at the front", {1, 2}, insert, 0, 9, 1, {9, 1, 2}, 3},
        {"insert in the middle", {1, 2, 3}, insert, 2, 9, 3, {1, 2, 9, 3}, 4},
        {"insert at the length", {1, 2}, insert, 2, 9, 0, {1, 2, 9}, 3},
        {"insert past the length", {1}, insert, 3, 9, 0, {1, 0, 0, 9}, 4},
        {"remove past the length", {1, 2, 3}, remove, 5, 0, 0, {1, 2, 3}, 3},
        {"remove at the length", {1, 2, 3}, remove, 3, 0, 0, {1, 2, 3}, 3},
        {"remove the first", {1, 2, 3}, remove, 0, 0, 1, {2, 3}, 3},
        {"remove the last", {1, 2, 3}, remove, 2, 0, 3, {1, 2}, 3},
        {"append to a full array", {1, 2}, append, 0, 9, 0, {1, 2, 9}, 3},
        {"get inside", {1, 2, 3}, get, 2, 0, 3, {1, 2, 3}, 3},
        {"get at the length", {1, 2, 3}, get, 3, 0, 0, {1, 2, 3}, 3},
        {"set beyond what the pool holds", {1}, set, array_word_limit, 9, 0, {1}, 1},
        {"set at the last index", {1}, set, 0xFFFFFFFF, 9, 0, {1}, 1},
        {"insert beyond what the pool holds", {1}, insert, 0xFFFFFFFE, 9, 0, {1}, 1},
    };
    for (const Case& entry : cases) {
        ArrayObject* array = create(entry.before);
        uint32_t answer = 0;
        switch (entry.operation) {
        case get:
            answer = array->get_element(entry.index);
            break;
        case set:
            answer = array->set_element(entry.index, entry.value);
            break;
        case insert:
            answer = array->insert_element(entry.index, entry.value);
            break;
        case remove:
            answer = array->remove_element(entry.index);
            break;
        case append:
            answer = array->append_element(entry.value);
            break;
        }
        EXPECT_EQ(answer, entry.answer) << entry.name;
        EXPECT_EQ(words_of(*array), entry.after) << entry.name;
        EXPECT_EQ(array->get_capacity(), entry.capacity) << entry.name;
        EXPECT_EQ(free_bytes(), array_pool_size - (entry.capacity * 4 + 7) / 8 * 8) << entry.name;
        destroy_object(array);
    }
}

TEST_F(ArrayTest, InsertIntoAnArrayWithRoomKeepsItsCapacity) {
    ArrayObject* array = array_server.create_array(8);
    array->append_element(1);
    array->append_element(2);
    const uint32_t* storage = array->get_elements();
    EXPECT_EQ(array->insert_element(0, 9), 1u);
    EXPECT_EQ(words_of(*array), (Words{9, 1, 2}));
    EXPECT_EQ(array->get_capacity(), 8u);
    EXPECT_EQ(array->get_elements(), storage);
}

Property make_word(uint32_t id, uint32_t word) {
    Property property;
    property.set_u32(id, word);
    return property;
}

TEST_F(ArrayTest, CapacityAndLengthProperties) {
    ArrayObject* array = create({4, 5, 6});
    ASSERT_TRUE(array->set_property(array_length_property, make_word(array_length_property, 1)));
    EXPECT_EQ(array->get_capacity(), 3u);
    EXPECT_EQ(words_of(*array), (Words{4}));
    ASSERT_TRUE(array->set_property(array_length_property, make_word(array_length_property, 5)));
    EXPECT_EQ(words_of(*array), (Words{4, 0, 0, 0, 0}));
    EXPECT_EQ(array->get_capacity(), 5u);

    Property out;
    for (const auto& [id, expected] : {std::pair{14u, 5u}, std::pair{array_capacity_property, 5u}, std::pair{26u, 5u},
                                       std::pair{array_length_property, 5u}}) {
        ASSERT_TRUE(array->get_property(id, out)) << id;
        EXPECT_EQ(out.id, 0x03000000u);
        EXPECT_EQ(out.get_u32(), expected);
    }
    ASSERT_TRUE(array->set_property(array_capacity_property, make_word(array_capacity_property, 2)));
    EXPECT_EQ(words_of(*array), (Words{4, 0}));
    EXPECT_EQ(array->get_capacity(), 2u);
    // Values no array could hold, and bare keys, change nothing.
    EXPECT_FALSE(array->set_property(array_capacity_property, make_word(array_capacity_property, 0xFFFFFFFF)));
    EXPECT_FALSE(array->set_property(array_length_property, make_word(array_length_property, 0xFFFFFFFF)));
    EXPECT_FALSE(
        array->set_property(array_capacity_property, make_word(array_capacity_property, array_word_limit + 1)));
    EXPECT_FALSE(array->set_property(14, make_word(14, 10)));
    EXPECT_EQ(words_of(*array), (Words{4, 0}));
    EXPECT_EQ(array->get_capacity(), 2u);
    ASSERT_TRUE(array->set_property(array_capacity_property, make_word(array_capacity_property, 0)));
    EXPECT_EQ(array->get_elements(), nullptr);
    EXPECT_EQ(array->get_length(), 0u);
    EXPECT_FALSE(array->remove_property(14));

    // A creation argument no array could hold gives an empty array.
    EXPECT_EQ(array_server.create_array(0xFFFFFFFF)->get_capacity(), 0u);
    // The largest array takes the whole pool.
    ArrayObject* largest = array_server.create_array(0);
    EXPECT_EQ(largest->set_element(array_word_limit - 1, 1), 0u);
    EXPECT_EQ(largest->get_length(), array_word_limit);
    EXPECT_EQ(free_bytes(), 0u);
}

TEST_F(ArrayTest, FragmentedPoolCompactsForALargeArray) {
    std::vector<ArrayObject*> arrays;
    for (uint32_t index = 0; index < 64; ++index) {
        ArrayObject* array = array_server.create_array(2048);
        for (uint32_t word = 0; word < 2048; ++word) {
            array->append_element(index << 16 | word);
        }
        arrays.push_back(array);
    }
    EXPECT_EQ(free_bytes(), 0u);
    for (uint32_t index = 0; index < 64; index += 2) {
        destroy_object(arrays[index]);
    }
    ArrayObject* large = array_server.create_array(32 * 2048);
    ASSERT_EQ(large->get_capacity(), 32u * 2048);
    EXPECT_EQ(free_bytes(), 0u);
    for (uint32_t index = 1; index < 64; index += 2) {
        ASSERT_EQ(arrays[index]->get_length(), 2048u);
        for (uint32_t word = 0; word < 2048; ++word) {
            ASSERT_EQ(arrays[index]->get_element(word), index << 16 | word) << index;
        }
    }
}

// The pool holds, from its start: a hole of 1000 words, the array to grow
// (1500 words, full), another hole of 1000 words and a filler up to the end.
// Growing the array by one word fits only after compaction, which moves the
// array's own storage.
ArrayObject* build_fragmented_pool(ArrayObject*& filler) {
    ArrayObject* low_hole = array_server.create_array(1000);
    ArrayObject* array = array_server.create_array(1500);
    for (uint32_t word = 0; word < 1500; ++word) {
        array->append_element(word * 3);
    }
    ArrayObject* middle_hole = array_server.create_array(1000);
    filler = array_server.create_array(array_word_limit - 3500);
    filler->set_element(array_word_limit - 3501, 77);
    destroy_object(low_hole);
    destroy_object(middle_hole);
    return array;
}

TEST_F(ArrayTest, GrowthThatCompactsCopiesTheMovedWords) {
    struct Case {
        const char* name;
        uint32_t (*grow)(ArrayObject&);
        uint32_t answer;
        void (*model)(Words&);
    };
    const Case cases[] = {
        {"append", [](ArrayObject& array) { return array.append_element(5); }, 0,
         [](Words& words) { words.push_back(5); }},
        {"insert at the front", [](ArrayObject& array) { return array.insert_element(0, 5); }, 0,
         [](Words& words) { words.insert(words.begin(), 5); }},
        {"insert in the middle", [](ArrayObject& array) { return array.insert_element(700, 5); }, 2100,
         [](Words& words) { words.insert(words.begin() + 700, 5); }},
        {"set past the end", [](ArrayObject& array) { return array.set_element(1500, 5); }, 0,
         [](Words& words) { words.push_back(5); }},
    };
    for (const Case& entry : cases) {
        ArrayObject* filler = nullptr;
        ArrayObject* array = build_fragmented_pool(filler);
        Words expected = words_of(*array);
        entry.model(expected);
        const uint32_t* filler_before = filler->get_elements();
        EXPECT_EQ(entry.grow(*array), entry.answer) << entry.name;
        EXPECT_NE(filler->get_elements(), filler_before) << entry.name << ": compaction did not run";
        EXPECT_EQ(words_of(*array), expected) << entry.name;
        EXPECT_EQ(array->get_capacity(), 1501u) << entry.name;
        EXPECT_EQ(filler->get_element(array_word_limit - 3501), 77u) << entry.name;
        array_server.destroy_all_objects();
    }
}

TEST_F(ArrayTest, PoolThatStaysFullIsFatal) {
    const test::ChildResult result = test::run_in_child([] {
        array_server.create_array(array_word_limit / 2 + 1);
        array_server.create_array(array_word_limit / 2);
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: out of memory"), std::string::npos)
        << result.standard_error;
}

TEST_F(ArrayTest, SavedArraysLoadWithTheirWordsAndHandles) {
    ArrayObject* empty = array_server.create_array(0);
    ArrayObject* roomy = array_server.create_array(10);
    roomy->append_element(0xDEADBEEF);
    destroy_object(array_server.create_array(3));
    ArrayObject* full = create({1, 2, 3, 0xFFFFFFFF});
    struct Saved {
        ObjectHandle handle;
        Words words;
        uint32_t capacity;
    };
    std::vector<Saved> saved;
    for (const ArrayObject* array : {empty, roomy, full}) {
        saved.push_back({array->get_handle(), words_of(*array), array->get_capacity()});
    }
    const ObjectHandle next_free = array_server.get_free_list().get_head()->get_handle();
    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(2));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());

    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(2));
    ASSERT_TRUE(load_all_servers(load));
    EXPECT_EQ(array_server.get_live_count(), saved.size());
    for (const Saved& entry : saved) {
        const ArrayObject* loaded = array_server.get_typed_object(entry.handle);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(words_of(*loaded), entry.words);
        EXPECT_EQ(loaded->get_capacity(), entry.capacity);
    }
    EXPECT_EQ(free_bytes(), array_pool_size - 40 - 16);
    EXPECT_EQ(array_server.get_free_list().get_head()->get_handle(), next_free);
}

// One array record as the server hands it to the object: the context
// handle, the capacity and the length, then the words.
std::vector<uint8_t> make_record(uint32_t capacity, uint32_t length, const Words& words) {
    std::vector<uint8_t> bytes(12 + words.size() * 4);
    const uint32_t header[3] = {0x07100000, capacity, length};
    std::memcpy(bytes.data(), header, sizeof header);
    if (!words.empty()) {
        std::memcpy(bytes.data() + 12, words.data(), words.size() * 4);
    }
    return bytes;
}

TEST_F(ArrayTest, LoadRefusesRecordsThatAreNotArrays) {
    {
        ArrayObject* array = array_server.create_array(0);
        test::ByteLoadStream stream(make_record(4, 2, {7, 8}));
        ASSERT_TRUE(array->load(stream));
        EXPECT_EQ(words_of(*array), (Words{7, 8}));
        EXPECT_EQ(array->get_capacity(), 4u);
        destroy_object(array);
    }
    struct Case {
        const char* name;
        std::vector<uint8_t> record;
    };
    std::vector<uint8_t> truncated = make_record(2, 0, {});
    truncated.resize(8);
    const Case cases[] = {
        {"length beyond the capacity", make_record(1, 2, {7, 8})},
        {"capacity beyond the pool", make_record(array_word_limit + 1, 0, {})},
        {"capacity whose bytes overflow a word", make_record(0x40000001, 1, {7})},
        {"words missing", make_record(3, 3, {7, 8})},
        {"length missing", truncated},
        {"more than the pool has left", make_record(array_word_limit / 2 + 1, 0, {})},
    };
    ArrayObject* occupant = array_server.create_array(array_word_limit / 2);
    for (const Case& entry : cases) {
        ArrayObject* array = array_server.create_array(0);
        test::ByteLoadStream stream(entry.record);
        EXPECT_FALSE(array->load(stream)) << entry.name;
        EXPECT_EQ(array->get_elements(), nullptr) << entry.name;
        EXPECT_EQ(array->get_capacity(), 0u) << entry.name;
        EXPECT_EQ(array->get_length(), 0u) << entry.name;
        destroy_object(array);
    }
    EXPECT_EQ(occupant->get_capacity(), array_word_limit / 2);
}

TEST_F(ArrayTest, WorldWithACraftedLengthIsRefusedWhole) {
    create({1, 2});
    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    // Type, the free slots up to their 0, then the record: handle, context,
    // capacity, length.
    uint8_t* const slot = storage::get_memory_save_slot(0);
    const size_t length_offset = 4 + (array_capacity - 1) * 4 + 4 + 12;
    uint32_t length = 0;
    std::memcpy(&length, slot + length_offset, 4);
    ASSERT_EQ(length, 2u);
    length = 3;
    std::memcpy(slot + length_offset, &length, 4);

    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    EXPECT_FALSE(load_all_servers(load));
    EXPECT_EQ(array_server.get_live_count(), 0u);
}

TEST_F(ArrayTest, ServerDescribesItself) {
    create({1});
    ServerStatistics statistics{};
    ASSERT_TRUE(array_server.get_statistics(statistics));
    EXPECT_EQ(statistics.live_count, 1u);
    EXPECT_EQ(statistics.capacity, 2000u);
    EXPECT_EQ(statistics.object_size, sizeof(ArrayObject));
    EXPECT_STREQ(array_server.get_name(), "ArrayServer");
    EXPECT_EQ(array_server.get_capacity(), 2000u);
    EXPECT_GE(array_server.get_memory_size(), array_pool_size);
}

}  // namespace
}  // namespace zolt::core
