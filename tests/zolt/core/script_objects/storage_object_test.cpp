#include "zolt/core/script_objects/storage_object.h"
#include "support/world_round_trip.h"

#include <gtest/gtest.h>

#include <vector>

#include <algorithm>
#include <cstring>
#include "zolt/core/script_objects/storage_server.h"

#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_buffers.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

class StorageTest : public ::testing::Test {
protected:
    StorageTest() { storage_server.register_server(); }
    ~StorageTest() override { storage_server.unregister_server(); }

    static Property value(uint32_t word) {
        Property property;
        property.set_u32(property_type::unsigned_integer << 24, word);
        return property;
    }
};

TEST_F(StorageTest, FieldsOfEveryWidthLandInTheirBitsAndReadBackWithTheirSign) {
    struct Case {
        const char* name;
        uint32_t id;
        uint32_t written;
        uint32_t word0;  // word 0 after the write
        uint32_t read;
        uint32_t value_type;
    };
    const Case cases[] = {
        {"bit 5 keeps only the low bit", 0x18000005, 3, 0x20, 1, property_type::unsigned_integer},
        {"2-bit field 3 is bits 6-7", 0x17000003, 0xFF, 0xC0, 3, property_type::unsigned_integer},
        {"4-bit field 7 is the top nibble", 0x16000007, 0xA, 0xA0000000, 0xA, property_type::unsigned_integer},
        {"unsigned byte 2", 0x14000002, 0x1FE, 0x00FE0000, 0xFE, property_type::unsigned_integer},
        {"signed byte 1 sign-extends", 0x15000001, 0x80, 0x8000, 0xFFFFFF80, property_type::signed_integer},
        {"signed 16 bits of field 1 are bits 16-31", 0x13000001, 0xFFFE, 0xFFFE0000, 0xFFFFFFFE,
         property_type::signed_integer},
        {"unsigned 16 bits", 0x12000001, 0x8001, 0x80010000, 0x8001, property_type::unsigned_integer},
        {"signed 32 bits", 0x11000000, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, property_type::signed_integer},
        {"unsigned 32 bits", 0x10000000, 0x12345678, 0x12345678, 0x12345678, property_type::unsigned_integer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto* const storage = static_cast<Storage*>(storage_server.create_object_internal(0));
        ASSERT_TRUE(storage->set_property(c.id, value(c.written)));
        EXPECT_EQ(storage->get_words()[0], c.word0);
        Property read;
        ASSERT_TRUE(storage->get_property(c.id, read));
        EXPECT_EQ(read.get_u32(), c.read);
        EXPECT_EQ(read.id >> 24, c.value_type);
        destroy_object(storage);
    }
}

TEST_F(StorageTest, AFieldBeyondTheBlockGrowsTheChainAndDestroyingTheFirstBlockDestroysIt) {
    auto* const storage = static_cast<Storage*>(storage_server.create_object_internal(0));
    Property read;
    EXPECT_FALSE(storage->get_property(0x10000080, read));
    ASSERT_TRUE(storage->set_property(0x10000080, value(77)));
    EXPECT_EQ(storage_server.get_live_count(), 2u);
    const Storage* const second = find_storage(storage->get_next_block());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->get_words()[0], 77u);
    ASSERT_TRUE(storage->get_property(0x10000080, read));
    EXPECT_EQ(read.get_u32(), 77u);
    // Other ids are the base properties.
    ASSERT_TRUE(storage->get_property(1, read));
    EXPECT_EQ(read.get_u32(), storage->get_handle());

    destroy_object(storage);
    EXPECT_EQ(storage_server.get_live_count(), 0u);
}

TEST_F(StorageTest, AFieldIndexThatWouldExhaustThePoolIsRefused) {
    auto* const storage = static_cast<Storage*>(storage_server.create_object_internal(0));
    // Bit 65535 needs 16 blocks; 32-bit field 65535 needs 512.
    ASSERT_TRUE(storage->set_property(0x1800FFFF, value(1)));
    EXPECT_EQ(storage_server.get_live_count(), 16u);
    ASSERT_TRUE(storage->set_property(0x1000FFFF, value(1)));
    EXPECT_EQ(storage_server.get_live_count(), 512u);
    auto* const other = static_cast<Storage*>(storage_server.create_object_internal(0));
    EXPECT_FALSE(other->set_property(0x1000FFFF, value(1)));
    EXPECT_EQ(storage_server.get_live_count(), 513u);
}

TEST_F(StorageTest, BytesGoInBlockByBlockAndReadBackWithZerosPastTheChain) {
    auto* const storage = static_cast<Storage*>(storage_server.create_object_internal(0));
    std::vector<uint8_t> bytes(1024);
    for (size_t index = 0; index < bytes.size(); ++index) {
        bytes[index] = static_cast<uint8_t>(index * 7 + 1);
    }
    write_storage_bytes(storage, bytes.data(), 1024);
    EXPECT_EQ(storage_server.get_live_count(), 2u);
    std::vector<uint8_t> read(4096, 0xEE);
    read_storage_bytes(4096, storage, read.data());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), read.begin()));
    EXPECT_TRUE(std::all_of(read.begin() + 1024, read.end(), [](uint8_t byte) { return byte == 0; }));
}

TEST_F(StorageTest, ChainsRoundTripThroughASaveAndLoopingChainsAreRefused) {
    auto* const storage = static_cast<Storage*>(storage_server.create_object_internal(0));
    ASSERT_TRUE(storage->set_property(0x10000081, value(0xCAFE)));
    ASSERT_TRUE(storage->set_property(0x14000003, value(0x42)));
    const ObjectHandle handle = storage->get_handle();
    const ObjectHandle next = storage->get_next_block();
    ASSERT_TRUE(zolt::test::save_and_load_world(0x10000000));
    Storage* const loaded = find_storage(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_next_block(), next);
    Property read;
    ASSERT_TRUE(loaded->get_property(0x10000081, read));
    EXPECT_EQ(read.get_u32(), 0xCAFEu);
    ASSERT_TRUE(loaded->get_property(0x14000003, read));
    EXPECT_EQ(read.get_u32(), 0x42u);

    // The second block pointing back at the first makes a loop.
    storage::MemorySaveStream stream;
    ASSERT_TRUE(stream.open(0x10000000));
    save_all_servers(stream);
    ASSERT_TRUE(stream.finish());
    std::vector<uint8_t> bytes(storage::get_memory_save_slot(0), storage::get_memory_save_slot(0) + 16384);
    // Server record: type, free handles..., 0, then objects {handle, context, next, data}.
    bool patched = false;
    for (size_t at = 0; at + 12 <= bytes.size(); at += 4) {
        uint32_t words[3];
        std::memcpy(words, &bytes[at], 12);
        if (words[0] == next && words[1] == next && words[2] == 0) {
            std::memcpy(storage::get_memory_save_slot(0) + at + 8, &handle, 4);
            patched = true;
            break;
        }
    }
    ASSERT_TRUE(patched);
    storage::MemoryLoadStream broken;
    ASSERT_TRUE(broken.open(0x10000000));
    EXPECT_FALSE(load_all_servers(broken));
    // The refused blocks were destroyed once each: the whole pool is free.
    EXPECT_EQ(storage_server.get_live_count(), 0u);
    std::vector<ObjectHandle> handles;
    while (Storage* const block = storage_server.create_block()) {
        handles.push_back(block->get_handle());
    }
    std::sort(handles.begin(), handles.end());
    EXPECT_EQ(handles.size(), storage_capacity);
    EXPECT_EQ(std::adjacent_find(handles.begin(), handles.end()), handles.end());
}

}  // namespace
}  // namespace zolt::core
