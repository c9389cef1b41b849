#include <gtest/gtest.h>

#include "libs/utility/crc32.h"
#include "support/byte_streams.h"
#include "zolt/core/resources/resource_builtins.h"
#include "zolt/core/script/code_builtins.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::Bytes;
using test::CodeServers;
using test::make_code_resource;
using test::PackFolder;

Bytes read_code_bytes(const CodeObject* object) {
    return Bytes(object->get_resource_bytes(), object->get_resource_bytes() + object->get_resource_size());
}

Property get_selected_property(const CodeObject* object, uint32_t id) {
    Property property;
    EXPECT_TRUE(object->get_property(id, property));
    return property;
}

Property make_selected_value(uint32_t value) {
    Property property;
    property.set_u32(code_selected_property, value);
    return property;
}

TEST(CodeServer, LoadsCodeOnLookupAndReadsItsEntryTableAndCodeInPlace) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(0, 1, 6), make_code_resource(3, 7, 2)};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);

    EXPECT_EQ(code_server.get_type(), server_type::code);
    EXPECT_STREQ(code_server.get_name(), "CodeServer");
    ServerStatistics statistics{};
    ASSERT_TRUE(code_server.get_statistics(statistics));
    EXPECT_EQ(statistics.capacity, 100u);
    EXPECT_EQ(statistics.object_size, sizeof(CodeObject));

    CodeObject* const first = code_server.find_code_object(1, 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->get_chain_index(), 0u);
    EXPECT_EQ(first->get_key(), 1u);
    EXPECT_EQ(first->get_resource_id(), 0x10000001u);
    EXPECT_EQ(first->get_reference_count(), 0u);
    EXPECT_EQ(first->get_entry_count(), 6u);
    for (uint32_t index = 0; index < 6; ++index) {
        EXPECT_EQ(first->get_entry_offset(index), index);
    }
    EXPECT_EQ(first->get_entry_offset(6), 0xFFFFFFFFu);
    EXPECT_EQ(first->get_entry_offset(0x3FFF), 0xFFFFFFFFu);
    // Six nops and an end, right after the header and the table, in the
    // resource's own memory.
    EXPECT_EQ(first->get_code_size(), 7u);
    EXPECT_EQ(first->get_code_start(), first->get_resource_bytes() + 32 + 6 * 4);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first->get_code_start()) % 4, 0u);
    EXPECT_EQ(Bytes(first->get_code_start(), first->get_code_start() + 7), (Bytes{0, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(read_code_bytes(first), description.resources[0].data);

    // Found again without loading again, also through builtin 132.
    EXPECT_EQ(code_server.find_code_object(1, 0), first);
    EXPECT_EQ(get_code_object_handle(0, 1), first->get_handle());
    EXPECT_EQ(code_server.get_live_count(), 1u);
    EXPECT_EQ(get_code_object(first->get_handle()), first);

    const ObjectHandle other = get_code_object_handle(3, 7);
    ASSERT_NE(get_code_object(other), nullptr);
    EXPECT_EQ(get_code_object(other)->get_entry_count(), 2u);

    // What no pack holds, and arguments out of range, give nothing.
    EXPECT_EQ(code_server.find_code_object(2, 0), nullptr);
    EXPECT_EQ(get_code_object_handle(3, 8), 0u);
    EXPECT_EQ(get_code_object_handle(16, 1), 0u);
    EXPECT_EQ(get_code_object_handle(0, 1 + 0x4000), 0u);
    EXPECT_EQ(get_code_object(first->get_resource_handle()), nullptr);
    EXPECT_EQ(code_server.get_live_count(), 2u);
}

TEST(CodeServer, LanguageVariantsAreTriedCurrentThenZeroThenOne) {
    struct Case {
        std::vector<uint32_t> languages_present;
        uint32_t expected_language;  // 0x10 when nothing is found
    };
    const Case cases[] = {
        {{0xF, 3, 0, 1}, 0xF}, {{3, 0, 1}, 3}, {{1, 0}, 0}, {{0}, 0}, {{1}, 1}, {{2, 4, 13}, 0x10},
    };
    PackFolder packs;
    tools::PackDescription description;
    for (uint32_t index = 0; index < std::size(cases); ++index) {
        for (const uint32_t language : cases[index].languages_present) {
            description.resources.push_back(
                make_code_resource(5, 20 + index, 1 + language, "language " + std::to_string(language)));
        }
    }
    packs.add_pack("languages.pack", description);
    CodeServers servers(packs);
    test::LanguageScope language(3);

    for (uint32_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(index);
        const CodeObject* const object = code_server.find_code_object(20 + index, 5);
        if (cases[index].expected_language == 0x10) {
            EXPECT_EQ(object, nullptr);
            continue;
        }
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->get_resource_id(), make_code_resource_id(5, 20 + index, cases[index].expected_language));
        EXPECT_EQ(object->get_entry_count(), 1 + cases[index].expected_language);
    }
}

TEST(CodeServer, KeyZeroAnswersTheChainsSelectedObject) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(2, 1, 1), make_code_resource(2, 0, 2, "id 0x10020005"),
                             make_code_resource(4, 1, 3)};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);

    // Without a selected object, key 0 loads key 1, which becomes selected.
    EXPECT_EQ(code_server.get_selected_object(2), nullptr);
    CodeObject* const key_one = code_server.find_code_object(0, 2);
    ASSERT_NE(key_one, nullptr);
    EXPECT_EQ(key_one->get_key(), 1u);
    EXPECT_EQ(code_server.get_selected_object(2), key_one);
    EXPECT_TRUE(key_one->is_selected());

    // An object of key 0 loaded later is linked but not selected.
    auto* const key_zero = static_cast<CodeObject*>(code_server.create_object_internal(0x10020005));
    EXPECT_EQ(key_zero->get_key(), 0u);
    EXPECT_EQ(key_one->get_next_in_chain(), key_zero);
    EXPECT_EQ(code_server.find_code_object(0, 2), key_one);

    // Reading the selection: the bare key and the typed id.
    for (const uint32_t id : {28u, code_selected_property}) {
        EXPECT_EQ(get_selected_property(key_one, id).id, 0x04000000u);
        EXPECT_EQ(get_selected_property(key_one, id).get_u32(), 1u);
        EXPECT_EQ(get_selected_property(key_zero, id).get_u32(), 0u);
    }
    // Writing it: the typed id only.
    EXPECT_FALSE(key_zero->set_property(28, make_selected_value(1)));
    EXPECT_FALSE(key_zero->set_property(base_property::context, make_selected_value(1)));
    EXPECT_EQ(code_server.get_selected_object(2), key_one);
    EXPECT_TRUE(key_zero->set_property(code_selected_property, make_selected_value(0)));
    EXPECT_EQ(code_server.get_selected_object(2), key_one);
    EXPECT_TRUE(key_one->set_property(code_selected_property, make_selected_value(0)));
    EXPECT_EQ(code_server.get_selected_object(2), nullptr);
    // Nothing selected: key 0 walks the chain like any key.
    EXPECT_EQ(code_server.find_code_object(0, 2), key_zero);
    EXPECT_TRUE(key_zero->set_property(code_selected_property, make_selected_value(7)));
    EXPECT_EQ(code_server.get_selected_object(2), key_zero);
    EXPECT_FALSE(key_one->is_selected());

    // Another chain keeps its own selection.
    CodeObject* const chain_four = code_server.find_code_object(0, 4);
    ASSERT_NE(chain_four, nullptr);
    EXPECT_EQ(chain_four->get_entry_count(), 3u);
    EXPECT_EQ(code_server.get_selected_object(4), chain_four);

    // Destroying the selected object leaves its chain without one.
    code_server.destroy_object_internal(key_zero);
    EXPECT_EQ(code_server.get_selected_object(2), nullptr);
    EXPECT_EQ(code_server.get_chain_head(2), key_one);
    EXPECT_EQ(key_one->get_next_in_chain(), key_one);
}

TEST(CodeServer, SameChainAndKeyTwiceLinksBothAndLookupsTakeTheOneNearerTheHead) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(0, 1, 1), make_code_resource(0, 1, 2, "id 0x10000009"),
                             make_code_resource(0, 3, 3, "id 0x10000002")};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);

    CodeObject* const first = code_server.find_code_object(1, 0);
    auto* const second = static_cast<CodeObject*>(code_server.create_object_internal(0x10000009));
    EXPECT_EQ(code_server.get_chain_head(0), first);
    EXPECT_EQ(first->get_next_in_chain(), second);
    EXPECT_EQ(second->get_next_in_chain(), first);
    EXPECT_EQ(code_server.find_code_object(1, 0), first);
    code_server.destroy_object_internal(first);
    EXPECT_EQ(code_server.get_chain_head(0), second);
    EXPECT_EQ(code_server.find_code_object(1, 0), second);

    // The resource for key 2 declares key 3: it lands under key 3, and
    // looking key 2 up again answers the same object instead of a new one.
    CodeObject* const declared = code_server.find_code_object(2, 0);
    ASSERT_NE(declared, nullptr);
    EXPECT_EQ(declared->get_key(), 3u);
    EXPECT_EQ(code_server.find_code_object(2, 0), declared);
    EXPECT_EQ(code_server.find_code_object(3, 0), declared);
    EXPECT_EQ(code_server.get_live_count(), 2u);
}

TEST(CodeServer, CodeThatCallFramesHoldIsNeitherReleasedNorDestroyed) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(0, 1, 1), make_code_resource(0, 2, 1), make_code_resource(0, 3, 1),
                             make_code_resource(1, 1, 1), make_code_resource(1, 2, 1)};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);

    CodeObject* const selected = code_server.find_code_object(1, 0);
    CodeObject* const held = code_server.find_code_object(2, 0);
    const ObjectHandle unused = code_server.find_code_object(3, 0)->get_handle();
    CodeObject* const other_selected = code_server.find_code_object(1, 1);
    const ObjectHandle other_unused = code_server.find_code_object(2, 1)->get_handle();
    held->add_reference();
    held->add_reference();
    held->release_reference();
    EXPECT_EQ(held->get_reference_count(), 1u);

    release_unused_code_objects();
    EXPECT_EQ(get_code_object(unused), nullptr);
    EXPECT_EQ(get_code_object(other_unused), nullptr);
    EXPECT_EQ(code_server.get_live_count(), 3u);
    EXPECT_EQ(get_code_object(selected->get_handle()), selected);
    EXPECT_EQ(get_code_object(other_selected->get_handle()), other_selected);
    EXPECT_EQ(get_code_object(held->get_handle()), held);

    // Destroying held code, also with its owner, only takes it from the owner.
    ServerObject::attach_to_owner(held, other_selected);
    destroy_object(other_selected);
    EXPECT_EQ(get_code_object(other_selected->get_handle()), nullptr);
    EXPECT_EQ(get_code_object(held->get_handle()), held);
    EXPECT_EQ(held->get_owner(), nullptr);
    destroy_object(held);
    EXPECT_EQ(get_code_object(held->get_handle()), held);

    held->release_reference();
    held->release_reference();
    EXPECT_EQ(held->get_reference_count(), 0u);
    const ObjectHandle held_handle = held->get_handle();
    release_unused_code_objects();
    EXPECT_EQ(get_code_object(held_handle), nullptr);

    // Unregistering takes everything, held or not.
    code_server.find_code_object(2, 0)->add_reference();
    code_server.unregister_server();
    EXPECT_EQ(code_server.get_live_count(), 0u);
    EXPECT_EQ(code_server.get_chain_head(0), nullptr);
    EXPECT_EQ(code_server.get_selected_object(0), nullptr);
    EXPECT_EQ(resource_server.get_live_count(), 0u);
}

TEST(CodeServer, CodeCrcRunsOverWholeResourcesChainZeroFirstInChainOrder) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(0, 1, 4), make_code_resource(0, 2, 1), make_code_resource(9, 4, 2)};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);

    EXPECT_EQ(compute_code_crc(), crc32_start);
    code_server.find_code_object(4, 9);
    code_server.find_code_object(2, 0);
    code_server.find_code_object(1, 0);
    uint32_t expected = crc32_start;
    for (const uint32_t index : {1, 0, 2}) {
        update_crc32(expected, description.resources[index].data.size(), description.resources[index].data.data());
    }
    EXPECT_EQ(compute_code_crc(), expected);
    EXPECT_EQ(code_server.get_code_crc(), expected);
}

TEST(CodeServer, CodeFollowsItsResourceWhenResourcesMove) {
    PackFolder packs;
    tools::PackDescription transient{6, io::pack_engine_version, {}};
    transient.resources.push_back(test::make_resource(0x10000300, test::make_random_bytes(50000, 1)));
    tools::PackDescription keyed{4, io::pack_engine_version, {make_code_resource(0, 1, 3)}};
    packs.add_pack("transient.pack", transient);
    packs.add_pack("keyed.pack", keyed);
    CodeServers servers(packs);
    mark_resource_packs(6, 0xFFFFFFFF);
    apply_resource_marks(1);
    mark_resource_packs(4, 0xFFFFFFFF);
    apply_resource_marks(1);

    CodeObject* const object = code_server.find_code_object(1, 0);
    const uint8_t* const before = object->get_code_start();
    unmark_resource_packs(6, 0xFFFFFFFF);
    resource_server.get_loader().shake_resources();
    notify_all_resources_moved();
    EXPECT_LT(object->get_code_start(), before);
    EXPECT_EQ(object->get_code_start(), object->get_resource_bytes() + 32 + 3 * 4);
    EXPECT_EQ(read_code_bytes(object), keyed.resources[0].data);
    EXPECT_EQ(object->get_entry_offset(2), 2u);
}

void save_world() {
    storage::MemorySaveStream stream;
    ASSERT_TRUE(stream.open(1));
    save_all_servers(stream);
    ASSERT_TRUE(stream.finish());
}

bool load_world() {
    storage::MemoryLoadStream stream;
    return stream.open(1) && load_all_servers(stream);
}

TEST(CodeServer, SavedWorldRestoresChainsCountsAndSelections) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(0, 1, 1), make_code_resource(0, 2, 2), make_code_resource(7, 3, 3)};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);

    CodeObject* const first = code_server.find_code_object(1, 0);
    CodeObject* const second = code_server.find_code_object(2, 0);
    CodeObject* const chain_seven = code_server.find_code_object(3, 7);
    second->set_property(code_selected_property, make_selected_value(1));
    chain_seven->set_property(code_selected_property, make_selected_value(0));
    second->add_reference();
    second->add_reference();
    first->set_context_handle(0x1234);
    const ObjectHandle first_handle = first->get_handle();
    const ObjectHandle second_handle = second->get_handle();
    const ObjectHandle chain_seven_handle = chain_seven->get_handle();
    save_world();

    code_server.destroy_all_objects();
    code_server.find_code_object(3, 7);
    ASSERT_TRUE(load_world());

    EXPECT_EQ(code_server.get_live_count(), 3u);
    CodeObject* const loaded_first = get_code_object(first_handle);
    CodeObject* const loaded_second = get_code_object(second_handle);
    CodeObject* const loaded_seven = get_code_object(chain_seven_handle);
    ASSERT_NE(loaded_first, nullptr);
    ASSERT_NE(loaded_second, nullptr);
    ASSERT_NE(loaded_seven, nullptr);
    EXPECT_EQ(code_server.get_chain_head(0), loaded_first);
    EXPECT_EQ(loaded_first->get_next_in_chain(), loaded_second);
    EXPECT_EQ(code_server.get_chain_head(7), loaded_seven);
    EXPECT_EQ(code_server.get_selected_object(0), loaded_second);
    EXPECT_EQ(code_server.get_selected_object(7), nullptr);
    EXPECT_EQ(loaded_second->get_reference_count(), 2u);
    EXPECT_EQ(loaded_first->get_context_handle(), 0x1234u);
    EXPECT_EQ(loaded_seven->get_entry_count(), 3u);
    EXPECT_EQ(read_code_bytes(loaded_second), description.resources[1].data);
    EXPECT_EQ(code_server.find_code_object(0, 0), loaded_second);
    // Each object holds its resource once more, as before the save.
    EXPECT_EQ(resource_server.get_live_count(), 3u);
}

TEST(CodeServer, LoadedSelectionsThatNameNoLiveCodeObjectAreNone) {
    PackFolder packs;
    tools::PackDescription description;
    description.resources = {make_code_resource(0, 1, 2)};
    packs.add_pack("code.pack", description);
    CodeServers servers(packs);
    const ObjectHandle resource = resource_server.open_resource(0x10000001)->get_handle();

    // Slot 0 live again (generation 1), then the 16 selections.
    const ObjectHandle code = make_free_slot_handle(server_type::code, 0) + handle_creation_step;
    std::vector<uint32_t> words = {server_type::code, 0, code, code, 0, resource, 0};
    const std::vector<uint32_t> selections = {code, resource, code + 1, code + (1u << 26)};
    words.insert(words.end(), selections.begin(), selections.end());
    words.resize(words.size() + 16 - selections.size(), 0);
    test::WordLoadStream stream(words);
    ASSERT_TRUE(code_server.load(stream));

    CodeObject* const loaded = get_code_object(code);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_entry_count(), 2u);
    EXPECT_EQ(code_server.get_chain_head(0), loaded);
    EXPECT_EQ(code_server.get_selected_object(0), loaded);
    for (uint32_t chain_index = 1; chain_index < code_chain_count; ++chain_index) {
        EXPECT_EQ(code_server.get_selected_object(chain_index), nullptr) << chain_index;
    }

    // A resource handle that names no resource object is a broken world.
    code_server.destroy_all_objects();
    std::vector<uint32_t> broken = {server_type::code, 0, code + (1u << 26), 0, 0, code, 0};
    broken.resize(broken.size() + 16, 0);
    test::WordLoadStream broken_stream(broken);
    EXPECT_FALSE(code_server.load(broken_stream));
}

}  // namespace
}  // namespace zolt::core
