#include "zolt/core/script_objects/dictionary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <random>
#include <unordered_map>
#include <vector>

#include "support/byte_streams.h"
#include "support/child_process.h"
#include "support/server_ring.h"
#include "zolt/core/object_server/inherited_property.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

constexpr uint32_t link_bits = 0x00FF0000u;

Property make_scalar(uint32_t id, uint32_t word) {
    Property property;
    property.set_u32(id, word);
    return property;
}

Property make_vector(uint32_t id, float x, float y = 0, float z = 0, float w = 0) {
    const float lanes[4] = {x, y, z, w};
    Property property;
    property.set_floats(id, lanes, 4);
    return property;
}

std::vector<uint32_t> block_words(const Dictionary& dictionary) {
    const uint32_t* block = dictionary.get_block();
    return {block, block + dictionary.get_block_size() / 4};
}

uint32_t largest_free_block() {
    uint32_t largest = 0;
    dictionary_server.get_pool().for_each_free_block([&](void*, uint32_t size) { largest = std::max(largest, size); });
    return largest;
}

class DictionaryTest : public ::testing::Test {
protected:
    void SetUp() override { dictionary_server.register_server(); }
    void TearDown() override {
        test::unregister_all_servers();
        // Every block went back, and the size-class lists with them.
        EXPECT_EQ(largest_free_block(), dictionary_pool_size);
    }
    static Dictionary* create(uint32_t bucket_count = 0) { return dictionary_server.create_dictionary(bucket_count); }
};

TEST_F(DictionaryTest, ScalarsAndVectorsAnswerByTypedIdOrBareKey) {
    Dictionary* dictionary = create();
    EXPECT_EQ(dictionary->get_bucket_count(), 1u);
    EXPECT_TRUE(dictionary->set_property(0x3000010, make_scalar(0x3000010, 77)));
    EXPECT_TRUE(dictionary->set_property(0x30000020, make_vector(0x30000020, 1, 2, 3)));

    Property out;
    ASSERT_TRUE(dictionary->get_property(0x3000010, out));
    EXPECT_EQ(out.id, 0x3000010u);
    EXPECT_EQ(out.get_u32(), 77u);
    ASSERT_TRUE(dictionary->get_property(0x20, out));
    EXPECT_EQ(out.id, 0x30000020u);
    EXPECT_EQ(out.get_vector().x, 1.0f);
    EXPECT_EQ(out.get_vector().z, 3.0f);
    EXPECT_EQ(out.value[3], 0u);
    // Bits 16-23 of an id are not part of what a dictionary keeps.
    EXPECT_TRUE(dictionary->get_property(0x3AB0010, out));
    EXPECT_FALSE(dictionary->get_property(0x4000010, out));
    EXPECT_FALSE(dictionary->get_property(0x3000011, out));

    // Overwriting a vector reuses its words.
    EXPECT_TRUE(dictionary->set_property(0x30000020, make_vector(0x30000020, 4, 5, 6)));
    EXPECT_EQ(dictionary->get_extra_used(), 3u);
    ASSERT_TRUE(dictionary->get_property(0x30000020, out));
    EXPECT_EQ(out.get_vector().y, 5.0f);
}

TEST_F(DictionaryTest, SecondInsertIntoOneBucketGrowsToThree) {
    Dictionary* dictionary = create(1);
    EXPECT_TRUE(dictionary->set_property(0x3000001, make_scalar(0x3000001, 10)));
    EXPECT_EQ(dictionary->get_bucket_count(), 1u);
    EXPECT_TRUE(dictionary->set_property(0x3000002, make_scalar(0x3000002, 20)));
    EXPECT_EQ(dictionary->get_bucket_count(), 3u);
    Property out;
    ASSERT_TRUE(dictionary->get_property(0x3000001, out));
    EXPECT_EQ(out.get_u32(), 10u);
    ASSERT_TRUE(dictionary->get_property(0x3000002, out));
    EXPECT_EQ(out.get_u32(), 20u);
}

TEST_F(DictionaryTest, SameKeyWithAnotherTypeIsRefusedAndTheBareKeyAnswersTheFirst) {
    Dictionary* dictionary = create();
    ASSERT_TRUE(dictionary->set_property(0x5000009, make_scalar(0x5000009, 0x3F800000)));
    const std::vector<uint32_t> before = block_words(*dictionary);
    EXPECT_FALSE(dictionary->set_property(0x3000009, make_scalar(0x3000009, 1)));
    EXPECT_FALSE(dictionary->set_property(0x30000009, make_vector(0x30000009, 1, 2, 3)));
    EXPECT_EQ(block_words(*dictionary), before);
    EXPECT_FALSE(dictionary->remove_property(0x3000009));
    Property out;
    ASSERT_TRUE(dictionary->get_property(9, out));
    EXPECT_EQ(out.id, 0x5000009u);
    EXPECT_EQ(out.get_float(), 1.0f);
}

TEST_F(DictionaryTest, IdsOfNoValueTypeAreRefused) {
    Dictionary* dictionary = create();
    const std::vector<uint32_t> before = block_words(*dictionary);
    // A bare key would be stored with a zero type byte, the free-bucket mark;
    // the others are no value type, and 0x50-0x70 would need 5 to 7 words.
    for (uint32_t id :
         {0x00000005u, 0x00FF0005u, 0x06000005u, 0x10000005u, 0x43000005u, 0x50000005u, 0x70000005u, 0xFF000005u}) {
        EXPECT_FALSE(dictionary->set_property(id, make_scalar(id, 1))) << std::hex << id;
    }
    EXPECT_EQ(block_words(*dictionary), before);
    EXPECT_EQ(dictionary->count_properties(), 0u);
}

TEST_F(DictionaryTest, ThreeWordVectorUsesTheExtraAreaAndRemovalGivesItBack) {
    Dictionary* dictionary = create(3);
    ASSERT_TRUE(dictionary->set_property(0x3000001, make_scalar(0x3000001, 5)));
    ASSERT_TRUE(dictionary->set_property(0x30000002, make_vector(0x30000002, 1, 2, 3)));
    EXPECT_EQ(dictionary->get_extra_capacity(), 3u);
    EXPECT_EQ(dictionary->get_extra_used(), 3u);
    EXPECT_EQ(dictionary->get_block_size(), 3u * 8 + 3 * 4);
    // The value word indexes the block: the vector's words follow the buckets.
    const std::vector<uint32_t> words = block_words(*dictionary);
    float x;
    std::memcpy(&x, &words[6], 4);
    EXPECT_EQ(x, 1.0f);

    ASSERT_TRUE(dictionary->remove_property(0x30000002));
    EXPECT_EQ(dictionary->get_bucket_count(), 2u);
    EXPECT_EQ(dictionary->get_extra_capacity(), 0u);
    EXPECT_EQ(dictionary->get_extra_used(), 0u);
    Property out;
    EXPECT_FALSE(dictionary->get_property(0x30000002, out));
    ASSERT_TRUE(dictionary->get_property(1, out));
    EXPECT_EQ(out.get_u32(), 5u);
    // Removing the last entry keeps one bucket.
    ASSERT_TRUE(dictionary->remove_property(1));
    EXPECT_FALSE(dictionary->remove_property(0x3000001));
    EXPECT_EQ(dictionary->get_bucket_count(), 1u);
}

TEST_F(DictionaryTest, EntryDisplacedFromAnotherHomeMovesWhenItsHomeEntryArrives) {
    Dictionary* dictionary = create(3);
    // Keys 1 and 4 share home 1; 4 takes the free head, bucket 2, which is
    // the home of key 2. Bucket 0 is left, a free ring of one.
    ASSERT_TRUE(dictionary->set_property(0x3000001, make_scalar(0x3000001, 11)));
    ASSERT_TRUE(dictionary->set_property(0x3000004, make_scalar(0x3000004, 44)));
    EXPECT_EQ(block_words(*dictionary), (std::vector<uint32_t>{0, 0, 0x3020001, 11, 0x3010004, 44}));
    ASSERT_TRUE(dictionary->set_property(0x3000002, make_scalar(0x3000002, 22)));
    // Key 4 moved to bucket 0 and key 1 links to it there.
    EXPECT_EQ(block_words(*dictionary), (std::vector<uint32_t>{0x3010004, 44, 0x3000001, 11, 0x3020002, 22}));
    Property out;
    for (auto [key, value] : {std::pair{1u, 11u}, {2u, 22u}, {4u, 44u}}) {
        ASSERT_TRUE(dictionary->get_property(key, out)) << key;
        EXPECT_EQ(out.get_u32(), value);
    }
    EXPECT_TRUE(dictionary->remove_property(0x3000001));
    ASSERT_TRUE(dictionary->get_property(4, out));
    EXPECT_EQ(out.get_u32(), 44u);
}

TEST_F(DictionaryTest, GrowthPastTheEightBitLimitsIsRefusedAndChangesNothing) {
    Dictionary* dictionary = create();
    for (uint32_t key = 0; key < dictionary_bucket_limit; ++key) {
        ASSERT_TRUE(dictionary->set_property(0x3000000 | key * 7, make_scalar(0x3000000 | key * 7, key)));
    }
    EXPECT_EQ(dictionary->get_bucket_count(), 255u);
    std::vector<uint32_t> before = block_words(*dictionary);
    EXPECT_FALSE(dictionary->set_property(0x3001000, make_scalar(0x3001000, 1)));
    EXPECT_EQ(block_words(*dictionary), before);
    EXPECT_EQ(dictionary->get_bucket_count(), 255u);
    // Existing entries can still change.
    EXPECT_TRUE(dictionary->set_property(0x3000007, make_scalar(0x3000007, 99)));

    Dictionary* vectors = create();
    for (uint32_t key = 0; key < 63; ++key) {
        ASSERT_TRUE(vectors->set_property(0x40000000 | key, make_vector(0x40000000 | key, 1, 2, 3, 4)));
    }
    EXPECT_EQ(vectors->get_extra_used(), 252u);
    before = block_words(*vectors);
    EXPECT_FALSE(vectors->set_property(0x40000100, make_vector(0x40000100, 1, 2, 3, 4)));
    EXPECT_EQ(block_words(*vectors), before);
    EXPECT_TRUE(vectors->set_property(0x30000100, make_vector(0x30000100, 1, 2, 3)));
    EXPECT_EQ(vectors->get_extra_used(), 255u);
    EXPECT_TRUE(vectors->set_property(0x5000200, make_scalar(0x5000200, 0)));
}

TEST_F(DictionaryTest, CreationArgumentBeyondTheLimitGivesOneBucket) {
    EXPECT_EQ(create(255)->get_bucket_count(), 255u);
    EXPECT_EQ(create(256)->get_bucket_count(), 1u);
    EXPECT_EQ(create(0xFFFFFFFF)->get_bucket_count(), 1u);
}

// Keys as a script might use them: spread over the 16 bits, with the
// excluded keys 240-250 among them.
std::vector<uint32_t> make_model_keys() {
    std::vector<uint32_t> keys;
    for (uint32_t index = 0; index < 300; ++index) {
        keys.push_back((index * 2654435761u >> 7) & 0xFFFFu);
    }
    for (uint32_t key = 238; key <= 252; ++key) {
        keys.push_back(key);
    }
    return keys;
}

constexpr std::array<uint32_t, 10> value_types = {0x01, 0x02, 0x03, 0x04, 0x05, 0x20, 0x30, 0x40, 0x41, 0x42};

struct ModelEntry {
    uint32_t id;
    std::array<uint32_t, 4> words;
};

struct ModelDictionary {
    Dictionary* dictionary;
    std::unordered_map<uint32_t, ModelEntry> entries;
    uint32_t bucket_count = 1;
    uint32_t extra_used = 0;
};

bool model_matches(const ModelEntry& entry, uint32_t id) {
    return is_bare_property_key(id) || ((entry.id ^ id) & ~link_bits) == 0;
}

TEST_F(DictionaryTest, RandomOperationsMatchAnUnorderedMapModel) {
    const std::vector<uint32_t> keys = make_model_keys();
    std::mt19937 random(20240611);
    std::vector<ModelDictionary> models(4);
    for (ModelDictionary& model : models) {
        model.dictionary = create();
    }
    uint32_t refused_for_limits = 0;
    uint32_t refused_for_type = 0;
    for (uint32_t operation = 0; operation < 100000; ++operation) {
        ModelDictionary& model = models[random() % models.size()];
        Dictionary& dictionary = *model.dictionary;
        const uint32_t key = keys[random() % keys.size()];
        // Each key mostly keeps one type; a few writes use another.
        const uint32_t type =
            random() % 8 != 0 ? value_types[key % value_types.size()] : value_types[random() % value_types.size()];
        const uint32_t id = type << 24 | (random() % 4 == 0 ? (random() & 0xFF) << 16 : 0) | key;
        const bool growing = operation / 5000 % 2 == 0;
        const uint32_t choice = random() % 100;
        const auto found = model.entries.find(key);
        if (choice < (growing ? 55u : 30u)) {
            Property value;
            value.id = id;
            const uint32_t components = get_property_component_count(id);
            for (uint32_t lane = 0; lane < 4; ++lane) {
                // Never a float that is not a number: copies must compare equal.
                value.value[lane] = lane < std::max(components, 1u) ? static_cast<uint32_t>(random()) & 0x7F7FFFFFu : 0;
            }
            bool expected = true;
            if (found != model.entries.end()) {
                expected = ((found->second.id ^ id) & ~link_bits) == 0;
                refused_for_type += expected ? 0 : 1;
                if (expected) {
                    std::memcpy(found->second.words.data(), value.value, sizeof value.value);
                }
            } else {
                const bool full = model.entries.size() == model.bucket_count;
                expected = model.extra_used + components <= 255 && (!full || model.bucket_count + 2 <= 255);
                refused_for_limits += expected ? 0 : 1;
                if (expected) {
                    model.bucket_count += full ? 2 : 0;
                    model.extra_used += components;
                    ModelEntry entry{id & ~link_bits, {}};
                    std::memcpy(entry.words.data(), value.value, sizeof value.value);
                    model.entries.emplace(key, entry);
                }
            }
            ASSERT_EQ(dictionary.set_property(id, value), expected) << "operation " << operation;
        } else if (choice < 80) {
            const uint32_t asked = random() % 3 == 0 ? key | (random() & 0xFF) << 16 : id;
            const bool expected = found != model.entries.end() && model_matches(found->second, asked);
            Property out;
            ASSERT_EQ(dictionary.get_property(asked, out), expected) << "operation " << operation;
            if (expected) {
                const ModelEntry& entry = found->second;
                EXPECT_EQ(out.id, entry.id);
                const uint32_t components = get_property_component_count(entry.id);
                for (uint32_t lane = 0; lane < 4; ++lane) {
                    EXPECT_EQ(out.value[lane], lane < std::max(components, 1u) ? entry.words[lane] : 0u);
                }
            }
        } else {
            const uint32_t asked = random() % 3 == 0 ? key : id;
            const bool expected = found != model.entries.end() && model_matches(found->second, asked);
            ASSERT_EQ(dictionary.remove_property(asked), expected) << "operation " << operation;
            if (expected) {
                model.extra_used -= get_property_component_count(found->second.id);
                model.entries.erase(found);
                model.bucket_count = std::max(model.bucket_count - 1, 1u);
            }
        }
        ASSERT_EQ(dictionary.get_bucket_count(), model.bucket_count) << "operation " << operation;
        ASSERT_EQ(dictionary.get_extra_used(), model.extra_used) << "operation " << operation;
        if (operation % 997 == 0) {
            ASSERT_TRUE(is_valid_dictionary_block(dictionary.get_block(), dictionary.get_bucket_count(),
                                                  dictionary.get_free_head(), dictionary.get_extra_capacity(),
                                                  dictionary.get_extra_used()));
            uint32_t counted = 0;
            for (const auto& [entry_key, entry] : model.entries) {
                counted += entry_key >= 240 && entry_key <= 250 ? 0 : 1;
            }
            EXPECT_EQ(dictionary.count_properties(), counted);
            const ObjectHandle copy = dictionary.copy();
            if (counted != 0) {
                Dictionary* copied = dictionary_server.get_typed_object(copy);
                ASSERT_NE(copied, nullptr);
                EXPECT_TRUE(dictionary.equals(copy));
                EXPECT_TRUE(copied->equals(dictionary.get_handle()));
                destroy_object(copied);
            } else {
                EXPECT_EQ(copy, 0u);
            }
        }
        if (operation % 33331 == 33330) {
            dictionary.clear();
            model.entries.clear();
            model.bucket_count = 1;
            model.extra_used = 0;
        }
    }
    // The walk reached both limits and the type refusal.
    EXPECT_GT(refused_for_limits, 0u);
    EXPECT_GT(refused_for_type, 0u);
}

TEST_F(DictionaryTest, CountCopyAndClearLeaveOutKeys240To250) {
    Dictionary* excluded_only = create();
    for (uint32_t key : {240u, 245u, 250u}) {
        ASSERT_TRUE(excluded_only->set_property(0x3000000 | key, make_scalar(0x3000000 | key, key)));
    }
    EXPECT_EQ(excluded_only->count_properties(), 0u);
    EXPECT_EQ(excluded_only->copy(), 0u);

    ASSERT_TRUE(excluded_only->set_property(0x30000251, make_vector(0x30000251, 7, 8, 9)));
    ASSERT_TRUE(excluded_only->set_property(0x3000239, make_scalar(0x3000239, 3)));
    EXPECT_EQ(excluded_only->count_properties(), 2u);
    Dictionary* copy = dictionary_server.get_typed_object(excluded_only->copy());
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->get_bucket_count(), 2u);
    EXPECT_EQ(copy->count_properties(), 2u);
    Property out;
    EXPECT_FALSE(copy->get_property(245, out));
    ASSERT_TRUE(copy->get_property(0x30000251, out));
    EXPECT_EQ(out.get_vector().z, 9.0f);

    excluded_only->clear();
    EXPECT_EQ(excluded_only->get_bucket_count(), 1u);
    EXPECT_EQ(excluded_only->get_extra_capacity(), 0u);
    EXPECT_FALSE(excluded_only->get_property(0x3000239, out));
}

TEST_F(DictionaryTest, EqualsComparesBothWays) {
    const auto make = [](std::initializer_list<Property> properties) {
        Dictionary* dictionary = create();
        for (const Property& property : properties) {
            EXPECT_TRUE(dictionary->set_property(property.id, property));
        }
        return dictionary;
    };
    const float not_a_number = std::numeric_limits<float>::quiet_NaN();
    Dictionary* base = make({make_scalar(0x3000001, 1), make_vector(0x30000002, 1, 2, 3)});
    struct Case {
        const char* name;
        Dictionary* other;
        bool expected;
    };
    const Case cases[] = {
        {"same content, other order", make({make_vector(0x30000002, 1, 2, 3), make_scalar(0x3000001, 1)}), true},
        {"excluded keys are ignored",
         make({make_scalar(0x3000001, 1), make_vector(0x30000002, 1, 2, 3), make_scalar(0x3000000 | 245, 9)}), true},
        {"a property more",
         make({make_scalar(0x3000001, 1), make_vector(0x30000002, 1, 2, 3), make_scalar(0x3000003, 0)}), false},
        {"a property less", make({make_scalar(0x3000001, 1)}), false},
        {"another lane", make({make_scalar(0x3000001, 1), make_vector(0x30000002, 1, 2, 4)}), false},
        {"another type", make({make_scalar(0x4000001, 1), make_vector(0x30000002, 1, 2, 3)}), false},
    };
    for (const Case& entry : cases) {
        EXPECT_EQ(base->equals(entry.other->get_handle()), entry.expected) << entry.name;
        EXPECT_EQ(entry.other->equals(base->get_handle()), entry.expected) << entry.name;
    }
    Dictionary* with_nan = make({make_vector(0x20000005, not_a_number, 0)});
    EXPECT_FALSE(with_nan->equals(with_nan->get_handle()));
    EXPECT_FALSE(base->equals(0));
    // A handle of a server that is not registered.
    EXPECT_FALSE(base->equals(0x05100000u));
    // An empty dictionary has nothing that could differ.
    EXPECT_TRUE(create()->equals(0));
}

// A world round trip through the engine's memory save slot.
TEST_F(DictionaryTest, SavedWorldLoadsWithIdenticalBlocksAndHandles) {
    Dictionary* plain = create();
    Dictionary* mixed = create(5);
    create();
    destroy_object(dictionary_server.get_live_list().get_tail());
    for (uint32_t key = 1; key < 40; ++key) {
        const uint32_t id = (key % 3 == 0 ? 0x40000000u : 0x3000000u) | key * 13;
        ASSERT_TRUE(mixed->set_property(id, make_vector(id, static_cast<float>(key), 2, 3, 4)));
    }
    ASSERT_TRUE(mixed->remove_property(13 * 3));
    ASSERT_TRUE(plain->set_property(0x5000001, make_scalar(0x5000001, 0x40490FDB)));
    struct Snapshot {
        ObjectHandle handle;
        std::vector<uint32_t> words;
        uint32_t shape[4];
    };
    std::vector<Snapshot> before;
    for (const Dictionary* dictionary : {plain, mixed}) {
        before.push_back({dictionary->get_handle(),
                          block_words(*dictionary),
                          {dictionary->get_bucket_count(), dictionary->get_free_head(),
                           dictionary->get_extra_capacity(), dictionary->get_extra_used()}});
    }
    const std::vector<ObjectHandle> free_order = [] {
        std::vector<ObjectHandle> handles;
        const ObjectList& free = dictionary_server.get_free_list();
        ServerObject* object = free.get_head();
        for (int index = 0; index < 4; ++index, object = ObjectList::get_next(object)) {
            handles.push_back(object->get_handle());
        }
        return handles;
    }();

    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    ASSERT_TRUE(load_all_servers(load));

    EXPECT_EQ(dictionary_server.get_live_count(), 2u);
    for (const Snapshot& snapshot : before) {
        const Dictionary* loaded = dictionary_server.get_typed_object(snapshot.handle);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(block_words(*loaded), snapshot.words);
        EXPECT_EQ(loaded->get_bucket_count(), snapshot.shape[0]);
        EXPECT_EQ(loaded->get_free_head(), snapshot.shape[1]);
        EXPECT_EQ(loaded->get_extra_capacity(), snapshot.shape[2]);
        EXPECT_EQ(loaded->get_extra_used(), snapshot.shape[3]);
    }
    Dictionary* loaded_mixed = dictionary_server.get_typed_object(before[1].handle);
    Property out;
    ASSERT_TRUE(loaded_mixed->get_property(0x40000000u | 13 * 6, out));
    EXPECT_EQ(out.get_vector().x, 6.0f);
    EXPECT_TRUE(loaded_mixed->set_property(0x3000999, make_scalar(0x3000999, 1)));
    ServerObject* object = dictionary_server.get_free_list().get_head();
    for (const ObjectHandle handle : free_order) {
        EXPECT_EQ(object->get_handle(), handle);
        object = ObjectList::get_next(object);
    }
}

// One dictionary record as the server hands it to the object: the context
// handle, the four shape bytes, then the block.
std::vector<uint8_t> make_record(uint32_t context, std::array<uint8_t, 4> shape, const std::vector<uint32_t>& words) {
    std::vector<uint8_t> bytes(4 + 4 + words.size() * 4);
    std::memcpy(bytes.data(), &context, 4);
    std::memcpy(bytes.data() + 4, shape.data(), 4);
    if (!words.empty()) {
        std::memcpy(bytes.data() + 8, words.data(), words.size() * 4);
    }
    return bytes;
}

TEST_F(DictionaryTest, LoadRefusesBlocksThatAreNotConsistentTables) {
    // A valid table to break: 3 buckets holding keys 1 (a three-word vector
    // in bucket 1) and 4 (in bucket 0, chained from 1), bucket 2 free.
    const std::vector<uint32_t> valid = {0x3010004, 44, 0x30000001, 6, 4, 4, 0x3F800000, 0x40000000, 0x40400000};
    const std::array<uint8_t, 4> valid_shape = {3, 2, 3, 3};
    {
        Dictionary* dictionary = create();
        dictionary->finalize();
        test::ByteLoadStream stream(make_record(0x05100000, valid_shape, valid));
        ASSERT_TRUE(dictionary->load(stream));
        Property out;
        ASSERT_TRUE(dictionary->get_property(1, out));
        EXPECT_EQ(out.get_vector().z, 3.0f);
        ASSERT_TRUE(dictionary->get_property(0x3000004, out));
        EXPECT_EQ(out.get_u32(), 44u);
    }
    struct Case {
        const char* name;
        std::array<uint8_t, 4> shape;
        std::vector<uint32_t> words;
        size_t truncate_by = 0;
    };
    auto with = [&](size_t index, uint32_t word) {
        std::vector<uint32_t> words = valid;
        words[index] = word;
        return words;
    };
    const Case cases[] = {
        {"no buckets", {0, 0, 3, 3}, valid},
        {"free head past the buckets", {3, 3, 3, 3}, valid},
        {"free head on an entry while a bucket is free", {3, 0, 3, 3}, valid},
        {"more extra words used than there are", {3, 2, 2, 3}, {valid.begin(), valid.end() - 1}},
        {"extra words used that no entry owns",
         {3, 2, 4, 4},
         [&] {
             std::vector<uint32_t> words = valid;
             words.push_back(0);
             return words;
         }()},
        {"truncated block", valid_shape, valid, 4},
        {"truncated shape", valid_shape, {}, 3},
        {"link past the buckets", valid_shape, with(0, 0x3030004)},
        {"chain that does not come back to its home", valid_shape, with(0, 0x3000004)},
        {"entry outside its home chain", valid_shape, with(0, 0x3010003)},
        {"entry whose home bucket is free", {3, 1, 0, 0}, {0x3000004, 44, 4, 4, 2, 2}},
        {"home bucket held by another chain", {3, 0, 0, 0}, {0x3010006, 6, 0x3000003, 3, 0x3020004, 4}},
        {"two entries with one key", valid_shape, with(0, 0x3010001)},
        {"no value type", valid_shape, with(0, 0x6010004)},
        {"vector words outside the extra area", valid_shape, with(3, 7)},
        {"vector words inside the buckets", valid_shape, with(3, 2)},
        {"free bucket linking out of range", valid_shape, with(4, 6)},
        {"free bucket linking to an odd word", valid_shape, with(5, 3)},
        {"free list through an entry", {3, 2, 0, 0}, {0x3010004, 44, 0x3000001, 5, 2, 0}},
        {"free ring that misses a free bucket", {3, 1, 0, 0}, {0x3000000, 5, 2, 2, 0, 0}},
    };
    for (const Case& entry : cases) {
        std::vector<uint8_t> bytes = make_record(0x05100000, entry.shape, entry.words);
        bytes.resize(bytes.size() - entry.truncate_by);
        Dictionary* dictionary = create();
        dictionary->finalize();
        test::ByteLoadStream stream(std::move(bytes));
        EXPECT_FALSE(dictionary->load(stream)) << entry.name;
        EXPECT_EQ(dictionary->get_block(), nullptr) << entry.name;
        Property out;
        EXPECT_FALSE(dictionary->get_property(1, out)) << entry.name;
        EXPECT_FALSE(dictionary->set_property(0x3000001, make_scalar(0x3000001, 1))) << entry.name;
        destroy_object(dictionary);
    }
}

TEST_F(DictionaryTest, WorldWithACraftedDictionaryIsRefusedWhole) {
    Dictionary* dictionary = create(2);
    ASSERT_TRUE(dictionary->set_property(0x3000001, make_scalar(0x3000001, 1)));
    test::ByteSaveStream save;
    save_all_servers(save);
    std::vector<uint8_t> bytes = save.get_bytes();
    // Type, the free slots up to their 0, then the record: handle, context,
    // shape. A bucket count of 0 would make every home a division by zero.
    const uint32_t free_words = dictionary_capacity - 1;
    const size_t shape_offset = 4 + free_words * 4 + 4 + 8;
    ASSERT_EQ(bytes[shape_offset], 2u);
    bytes[shape_offset] = 0;
    test::ByteLoadStream load(bytes);
    EXPECT_FALSE(load_all_servers(load));
    EXPECT_EQ(dictionary_server.get_live_count(), 0u);
    EXPECT_EQ(largest_free_block(), dictionary_pool_size);
}

// Fills the pool with 19997 dictionaries of 200 bytes, then puts the
// dictionary to test on top in a 216-byte block, with its first 200-byte
// block just below it freed to the size-class list: what is left is that
// hole and a tail of 184 bytes.
Dictionary* build_nearly_full_pool() {
    for (uint32_t index = 0; index < 19997; ++index) {
        Dictionary* filler = dictionary_server.create_dictionary(25);
        filler->set_property(0x3000000, make_scalar(0x3000000, index));
    }
    Dictionary* top = dictionary_server.create_dictionary(25);
    for (uint32_t key = 1; key <= 20; ++key) {
        top->set_property(0x3000000 | key, make_scalar(0x3000000 | key, key * 100));
    }
    top->set_property(0x40000100, make_vector(0x40000100, 1, 2, 3, 4));
    return top;
}

TEST_F(DictionaryTest, RebuildThatNeedsCompactionReadsTheMovedBlock) {
    Dictionary* top = build_nearly_full_pool();
    ASSERT_EQ(top->get_block_size(), 216u);
    const uint32_t* old_block = top->get_block();
    // 232 bytes fit neither the 200-byte hole nor the tail: the block slides
    // down over the hole, and the new block lands where the old one was.
    ASSERT_TRUE(top->set_property(0x40000101, make_vector(0x40000101, 5, 6, 7, 8)));
    EXPECT_EQ(top->get_block_size(), 232u);
    // The new block starts 16 bytes into where the block was before it moved.
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(top->get_block()) - reinterpret_cast<const uint8_t*>(old_block), 16);
    Property out;
    for (uint32_t key = 1; key <= 20; ++key) {
        ASSERT_TRUE(top->get_property(key, out)) << key;
        EXPECT_EQ(out.get_u32(), key * 100);
    }
    ASSERT_TRUE(top->get_property(0x40000100, out));
    EXPECT_EQ(out.get_vector().w, 4.0f);
    ASSERT_TRUE(top->get_property(0x40000101, out));
    EXPECT_EQ(out.get_vector().x, 5.0f);
    // The fillers stayed where they were and kept their contents.
    uint32_t index = 0;
    const ObjectList& live = dictionary_server.get_live_list();
    for (ServerObject* object = live.get_head(); index < 19997; object = ObjectList::get_next(object), ++index) {
        ASSERT_TRUE(object->get_property(0x3000000, out));
        ASSERT_EQ(out.get_u32(), index);
    }
    // What is left is one free block after the new one.
    uint32_t free_blocks = 0;
    dictionary_server.get_pool().for_each_free_block([&](void*, uint32_t) { ++free_blocks; });
    EXPECT_EQ(free_blocks, 1u);
    EXPECT_EQ(largest_free_block(), 4000000u - 19997 * 200 - 216 - 232);
}

TEST_F(DictionaryTest, CopyWhoseSourceMovesDuringCompactionIsComplete) {
    Dictionary* top = build_nearly_full_pool();
    for (uint32_t key = 21; key <= 24; ++key) {
        ASSERT_TRUE(top->set_property(0x3000000 | key, make_scalar(0x3000000 | key, key * 100)));
    }
    ASSERT_EQ(top->get_bucket_count(), 25u);
    // The copy starts in the first filler's block; the vector, in bucket 0,
    // makes it grow past every gap, so the source slides down and the copy's
    // new block covers where the source's buckets were.
    destroy_object(dictionary_server.get_live_list().get_head());
    const uint32_t* old_block = top->get_block();
    const ObjectHandle copy = top->copy();
    ASSERT_NE(copy, 0u);
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(old_block) - reinterpret_cast<const uint8_t*>(top->get_block()), 200);
    EXPECT_EQ(dictionary_server.get_typed_object(copy)->count_properties(), 25u);
    EXPECT_TRUE(top->equals(copy));
}

TEST_F(DictionaryTest, PoolThatStaysFullIsFatal) {
    const test::ChildResult result = test::run_in_child([] {
        for (uint32_t index = 0; index < 2000; ++index) {
            dictionary_server.create_dictionary(255);
        }
    });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find("zolt: fatal error: out of memory"), std::string::npos)
        << result.standard_error;
}

TEST_F(DictionaryTest, ServerDescribesItself) {
    create();
    create();
    ServerStatistics statistics{};
    ASSERT_TRUE(dictionary_server.get_statistics(statistics));
    EXPECT_EQ(statistics.live_count, 2u);
    EXPECT_EQ(statistics.capacity, 20000u);
    EXPECT_EQ(statistics.object_size, sizeof(Dictionary));
    EXPECT_STREQ(dictionary_server.get_name(), "DictionaryServer");
    EXPECT_EQ(get_server(server_type::dictionary), &dictionary_server);
}

TEST_F(DictionaryTest, InheritedLookupFollowsParentLinksAndStopsOnLoops) {
    Dictionary* child = create();
    Dictionary* parent = create();
    Dictionary* grandparent = create();
    const auto link = [](Dictionary* from, ObjectHandle to) {
        ASSERT_TRUE(from->set_property(parent_link_property, make_scalar(parent_link_property, to)));
    };
    link(child, parent->get_handle());
    link(parent, grandparent->get_handle());
    ASSERT_TRUE(grandparent->set_property(0x5000040, make_scalar(0x5000040, 123)));
    ASSERT_TRUE(child->set_property(0x3000041, make_scalar(0x3000041, 7)));

    Property out;
    EXPECT_EQ(find_inherited_property(child, 0x5000040, out), grandparent);
    EXPECT_EQ(out.get_u32(), 123u);
    EXPECT_TRUE(get_inherited_property(child, 0x3000041, out));
    EXPECT_EQ(out.get_u32(), 7u);
    EXPECT_FALSE(get_inherited_property(parent, 0x3000041, out));

    // A parent that is gone ends the walk.
    const ObjectHandle gone = grandparent->get_handle();
    destroy_object(grandparent);
    EXPECT_FALSE(get_inherited_property(child, 0x5000040, out));
    link(parent, gone);
    EXPECT_FALSE(get_inherited_property(child, 0x5000040, out));

    // Loops of any length end, also one that the walk enters late.
    std::vector<Dictionary*> ring;
    for (int index = 0; index < 7; ++index) {
        ring.push_back(create());
    }
    for (size_t index = 0; index < ring.size(); ++index) {
        link(ring[index], ring[(index + 1) % ring.size()]->get_handle());
    }
    link(parent, ring[3]->get_handle());
    EXPECT_FALSE(get_inherited_property(child, 0x5000040, out));
    link(ring[6], ring[6]->get_handle());
    EXPECT_FALSE(get_inherited_property(child, 0x5000040, out));
    ASSERT_TRUE(ring[5]->set_property(0x5000040, make_scalar(0x5000040, 55)));
    EXPECT_EQ(find_inherited_property(child, 0x5000040, out), ring[5]);
}

}  // namespace
}  // namespace zolt::core
