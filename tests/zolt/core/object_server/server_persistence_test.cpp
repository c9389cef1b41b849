#include <gtest/gtest.h>

#include "support/byte_streams.h"
#include "support/server_ring.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/test_servers.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::TestObject;
using test::TestServer;

struct World {
    TestServer<6> placements{server_type::placement, "PlacementServer"};
    TestServer<4> strings{server_type::string, "StringServer"};

    World() {
        placements.register_server();
        strings.register_server();
    }
    ~World() { test::unregister_all_servers(); }
};

struct Snapshot {
    std::vector<ObjectHandle> placement_live, placement_free, string_live, string_free;
    std::vector<std::pair<ObjectHandle, ObjectHandle>> owners;
    std::vector<uint32_t> payloads;
    bool operator==(const Snapshot&) const = default;
};

Snapshot take_snapshot(const World& world) {
    Snapshot snapshot{world.placements.live_handles(),
                      world.placements.free_handles(),
                      world.strings.live_handles(),
                      world.strings.free_handles(),
                      {},
                      {}};
    for (const auto* list : {&snapshot.placement_live, &snapshot.string_live}) {
        for (ObjectHandle handle : *list) {
            auto* object = static_cast<TestObject*>(get_object(handle));
            const ServerObject* owner = object->get_owner();
            snapshot.owners.emplace_back(handle, owner != nullptr ? owner->get_handle() : 0);
            snapshot.payloads.push_back(object->payload);
        }
    }
    return snapshot;
}

void save_world(uint32_t slot) {
    storage::MemorySaveStream stream;
    ASSERT_TRUE(stream.open(slot));
    save_all_servers(stream);
    ASSERT_TRUE(stream.finish());
}

TEST(ServerPersistence, SavedWorldLoadsWithEveryHandleLinkAndFreeSlotOrder) {
    World world;
    auto* root = world.placements.create(11);
    auto* a = world.placements.create(12);
    auto* b = world.strings.create(13);
    auto* c = world.placements.create(14);
    world.placements.destroy_object_internal(world.placements.create(99));
    world.strings.destroy_object_internal(world.strings.create(98));
    ServerObject::attach_to_owner(a, root);
    ServerObject::attach_to_owner(b, root);
    ServerObject::attach_to_owner(c, a);
    const Snapshot before = take_snapshot(world);
    save_world(0);

    world.placements.destroy_all_objects();
    world.strings.create(1);
    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(0));
    ASSERT_TRUE(load_all_servers(stream));
    EXPECT_EQ(take_snapshot(world), before);
    // Children keep their order, and the next creations reuse the same slots.
    auto* loaded_root = get_object(before.placement_live[0]);
    ASSERT_NE(loaded_root, nullptr);
    EXPECT_EQ(loaded_root->get_first_child()->get_handle(), before.placement_live[1]);
    EXPECT_EQ(loaded_root->get_last_child()->get_handle(), before.string_live[0]);
    EXPECT_EQ(world.placements.create()->get_handle(), before.placement_free[0] + handle_creation_step);
}

TEST(ServerPersistence, OwnerThatNoLongerResolvesDestroysItsChildren) {
    World world;
    const ObjectHandle child = world.strings.create(5)->get_handle();
    // Placements: all six slots free in order, no live objects. Strings: slot 0 live.
    std::vector<uint32_t> stream_words = {server_type::placement};
    for (uint32_t slot = 0; slot < 6; ++slot) {
        stream_words.push_back(make_free_slot_handle(server_type::placement, slot));
    }
    stream_words.insert(stream_words.end(), {0, 0, server_type::string});
    for (uint32_t slot = 1; slot < 4; ++slot) {
        stream_words.push_back(make_free_slot_handle(server_type::string, slot));
    }
    stream_words.insert(stream_words.end(), {0, child, child, 5, 0});
    // An owner record naming a placement that does not exist.
    stream_words.insert(stream_words.end(), {0x05100002u, child, 0, 0});
    test::WordLoadStream stream(stream_words);
    ASSERT_TRUE(load_all_servers(stream));
    EXPECT_EQ(get_object(child), nullptr);
    EXPECT_EQ(world.strings.get_live_count(), 0u);
}

TEST(ServerPersistence, BrokenSavedWorldsAreRefusedAndLeaveServersEmpty) {
    const uint32_t p = server_type::placement;
    const uint32_t s = server_type::string;
    auto free_slots = [](uint32_t type, uint32_t from, uint32_t to) {
        std::vector<uint32_t> words;
        for (uint32_t slot = from; slot < to; ++slot) {
            words.push_back(make_free_slot_handle(type, slot));
        }
        return words;
    };
    auto join = [](std::initializer_list<std::vector<uint32_t>> parts) {
        std::vector<uint32_t> words;
        for (const auto& part : parts) {
            words.insert(words.end(), part.begin(), part.end());
        }
        return words;
    };
    const std::vector<uint32_t> empty_strings = join({{s}, free_slots(s, 0, 4), {0, 0}});
    struct Case {
        const char* fault;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {"wrong server type", join({{s}, free_slots(p, 0, 6), {0, 0}, empty_strings, {0}})},
        {"free slot out of range", join({{p, make_free_slot_handle(p, 6)}, {0, 0}, empty_strings, {0}})},
        {"free slot of another type", join({{p, make_free_slot_handle(s, 0)}, {0, 0}, empty_strings, {0}})},
        {"slot listed twice",
         join({{p}, free_slots(p, 0, 6), {make_free_slot_handle(p, 2), 0, 0}, empty_strings, {0}})},
        {"live handle listed free too",
         join({{p}, free_slots(p, 0, 6), {0, 0x05100001u, 0x05100001u, 0, 0}, empty_strings, {0}})},
        {"live handle of another server", join({{p}, {0, 0x04800000u, 0x04800000u, 0, 0}, empty_strings, {0}})},
        {"live handle out of range", join({{p}, {0, 0x0510000Fu, 0x0510000Fu, 0, 0}, empty_strings, {0}})},
        {"owner cycle", join({{p},
                              free_slots(p, 2, 6),
                              {0, 0x05100000u, 0x05100000u, 1, 0x05100001u, 0x05100001u, 2, 0},
                              empty_strings,
                              {0x05100000u, 0x05100001u, 0, 0x05100001u, 0x05100000u, 0, 0}})},
        {"owner of itself", join({{p},
                                  free_slots(p, 1, 6),
                                  {0, 0x05100000u, 0x05100000u, 1, 0},
                                  empty_strings,
                                  {0x05100000u, 0x05100000u, 0, 0}})},
        {"truncated in an object", join({{p}, free_slots(p, 1, 6), {0, 0x05100000u, 0x05100000u}})},
        {"truncated in the links", join({{p}, free_slots(p, 0, 6), {0, 0}, empty_strings, {0x05100000u}})},
        {"empty", {}},
    };
    for (const Case& c : cases) {
        World world;
        world.placements.create();
        test::WordLoadStream stream(c.words);
        EXPECT_FALSE(load_all_servers(stream)) << c.fault;
        EXPECT_EQ(world.placements.get_live_count(), 0u) << c.fault;
        EXPECT_EQ(world.strings.get_live_count(), 0u) << c.fault;
        EXPECT_EQ(world.placements.free_handles().size(), 6u) << c.fault;
    }
}

}  // namespace
}  // namespace zolt::core
