#include <gtest/gtest.h>
#include <fstream>

#include "support/child_process.h"
#include "zolt/core/resources/resource_builtins.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::Bytes;
using test::get_loader;
using test::make_random_bytes;
using test::make_resource;
using test::make_text_bytes;
using test::PackFolder;

constexpr uint32_t normal_id = 0x10000010;
constexpr uint32_t aligned_id = 0x10000011;
constexpr uint32_t deferred_id = 0x10000012;
constexpr uint32_t not_reopened_id = 0x10000013;
constexpr uint32_t keyed_id = 0x10000020;
constexpr uint32_t unmarked_id = 0x10000030;

// Key 0: a normal, an aligned, a deferred and a not-reopened resource; key
// 4: one more; key 6: resources that come and go below the others.
struct ServerPacks {
    PackFolder folder;
    tools::PackDescription start{0,
                                 io::pack_engine_version,
                                 {make_resource(normal_id, make_text_bytes(6000, 1)),
                                  make_resource(aligned_id, make_random_bytes(3000, 2), 6, 0, false, false),
                                  make_resource(deferred_id, make_text_bytes(8000, 3), 5, io::pool_type_deferred),
                                  make_resource(not_reopened_id, make_text_bytes(2000, 4), 0, 0, true)}};
    tools::PackDescription keyed{4, io::pack_engine_version, {make_resource(keyed_id, make_text_bytes(4000, 5), 6)}};
    tools::PackDescription transient{6, io::pack_engine_version, {}};
    std::string start_path;

    ServerPacks() {
        for (uint32_t index = 0; index < 4; ++index) {
            transient.resources.push_back(make_resource(unmarked_id + index, make_random_bytes(20000, index)));
        }
        folder.add_pack("transient.pack", transient);
        start_path = folder.add_pack("start.pack", start);
        folder.add_pack("keyed.pack", keyed);
        folder.write_pack_list();
    }
    const Bytes& data_of(uint32_t id) const {
        for (const auto* description : {&start, &keyed, &transient}) {
            for (const tools::PackResource& resource : description->resources) {
                if (resource.id == id) {
                    return resource.data;
                }
            }
        }
        static const Bytes none;
        return none;
    }
};

class RegisteredServer {
public:
    RegisteredServer() { resource_server.register_server(); }
    ~RegisteredServer() {
        if (resource_server.is_registered()) {
            resource_server.unregister_server();
        }
    }
};

Bytes read_object(const ResourceObject* object) {
    const auto* const data = static_cast<const uint8_t*>(object->get_data());
    return Bytes(data, data + object->get_info()->unpacked_size);
}

TEST(ResourceServer, SameIdAnswersTheSameObjectUntilItsLastHolderReleasesIt) {
    ServerPacks packs;
    RegisteredServer registered;
    EXPECT_EQ(resource_server.get_type(), server_type::resource);
    EXPECT_STREQ(resource_server.get_name(), "ResourceServer");
    EXPECT_EQ(resource_server.get_capacity(), 10000u);
    EXPECT_GT(resource_server.get_memory_size(), general_resource_pool_size + second_resource_pool_size);

    ResourceObject* const first = resource_server.open_resource(normal_id);
    ResourceObject* const second = resource_server.open_resource(normal_id);
    ASSERT_EQ(first, second);
    const ObjectHandle handle = first->get_handle();
    EXPECT_EQ(handle, (1u << 26) | (server_type::resource << 20));
    EXPECT_EQ(first->get_reference_count(), 2u);
    EXPECT_TRUE(first->owns_itself());
    EXPECT_EQ(read_object(first), packs.data_of(normal_id));
    const ResourceInfo& info = get_loader().get_resource_info(normal_id);
    EXPECT_EQ(first->get_info(), &info);
    EXPECT_EQ(info.get_state(), resource_state::from_pack | resource_state::open | resource_state::opened_once);
    EXPECT_EQ(info.data.object, first);
    EXPECT_EQ(resource_server.get_live_count(), 1u);

    Property property;
    EXPECT_TRUE(first->get_property(base_property::handle, property));
    EXPECT_FALSE(first->set_property(base_property::context, property));

    resource_server.destroy_object_internal(first);
    EXPECT_EQ(get_object(handle), first);
    EXPECT_EQ(first->get_reference_count(), 1u);
    resource_server.destroy_object_internal(first);
    EXPECT_EQ(get_object(handle), nullptr);
    EXPECT_EQ(resource_server.get_live_count(), 0u);
    resource_server.destroy_object_internal(first);
    EXPECT_EQ(resource_server.get_live_count(), 0u);
    EXPECT_EQ(first->get_reference_count(), 0u);

    // Closed, the resource keeps its memory and its bytes.
    EXPECT_EQ(info.get_state(), resource_state::from_pack | resource_state::in_memory | resource_state::opened_once);
    EXPECT_EQ(test::read_memory(info), packs.data_of(normal_id));
    EXPECT_EQ(is_resource_loaded(normal_id), 1u);
}

TEST(ResourceServer, ReopeningALoadedResourceDoesNotReadThePack) {
    ServerPacks packs;
    RegisteredServer registered;
    ResourceObject* const object = resource_server.open_resource(aligned_id);
    void* const memory = object->get_data();
    resource_server.destroy_object_internal(object);
    // Any read of the pack from now on would come back short and be fatal.
    std::ofstream(packs.start_path, std::ios::binary | std::ios::trunc).flush();
    ResourceObject* const again = resource_server.open_resource(aligned_id);
    EXPECT_EQ(again->get_data(), memory);
    EXPECT_EQ(read_object(again), packs.data_of(aligned_id));
    resource_server.destroy_object_internal(again);
}

TEST(ResourceServer, DeferredResourceIsInMemoryOnlyWhileOpen) {
    ServerPacks packs;
    RegisteredServer registered;
    ResourceLoader& loader = get_loader();
    const auto free_before = test::get_free_blocks(loader.get_general_pool());
    EXPECT_EQ(apply_resource_marks(1), 1u);
    EXPECT_EQ(is_resource_loaded(deferred_id), 0u);

    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ResourceObject* const object = resource_server.open_resource(deferred_id);
        EXPECT_EQ(is_resource_loaded(deferred_id), 1u);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(object->get_data()) % 32, 0u);
        EXPECT_EQ(read_object(object), packs.data_of(deferred_id));
        EXPECT_EQ(resource_server.open_resource(deferred_id), object);
        resource_server.destroy_object_internal(object);
        EXPECT_EQ(is_resource_loaded(deferred_id), 1u);
        resource_server.destroy_object_internal(object);
        EXPECT_EQ(is_resource_loaded(deferred_id), 0u);
        const ResourceInfo& info = loader.get_resource_info(deferred_id);
        EXPECT_EQ(info.get_state(), resource_state::from_pack | resource_state::opened_once);
        EXPECT_EQ(test::get_free_blocks(loader.get_general_pool()), free_before);
    }
}

TEST(ResourceServer, UnregisterClosesEveryObjectWhateverItsHolders) {
    ServerPacks packs;
    RegisteredServer registered;
    for (int holder = 0; holder < 3; ++holder) {
        resource_server.open_resource(normal_id);
        resource_server.open_resource(deferred_id);
    }
    resource_server.open_resource(aligned_id);
    EXPECT_EQ(resource_server.get_live_count(), 3u);
    resource_server.unregister_server();
    EXPECT_EQ(resource_server.get_live_count(), 0u);
    EXPECT_EQ(get_loader().get_resource_count(), 0u);
    for (const auto* pool : {&get_loader().get_general_pool(), &get_loader().get_second_pool()}) {
        const auto blocks = test::get_free_blocks(*pool);
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(blocks[0].first, 0u);
    }
    // Registered again, everything is there as at the first start.
    resource_server.register_server();
    ResourceObject* const object = resource_server.open_resource(normal_id);
    EXPECT_EQ(object->get_reference_count(), 1u);
    EXPECT_EQ(read_object(object), packs.data_of(normal_id));
}

TEST(ResourceServer, ShakeMovesOpenResourcesAndTheirRecordsWithTheirObjects) {
    ServerPacks packs;
    RegisteredServer registered;
    // Loaded first, the transient pack's records and memory lie below the
    // keyed pack's.
    mark_resource_packs(6, 0xFFFFFFFF);
    apply_resource_marks(1);
    mark_resource_packs(4, 0xFFFFFFFF);
    apply_resource_marks(1);
    ResourceObject* const object = resource_server.open_resource(keyed_id);
    const void* const memory_before = object->get_data();
    const ResourceInfo* const record_before = object->get_info();

    unmark_resource_packs(6, 0xFFFFFFFF);
    get_loader().shake_resources();
    EXPECT_LT(object->get_data(), memory_before);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(object->get_data()) % 64, 0u);
    EXPECT_EQ(read_object(object), packs.data_of(keyed_id));
    EXPECT_EQ(object->get_info(), &get_loader().get_resource_info(keyed_id));
    EXPECT_EQ(object->get_info()->data.object, object);
    EXPECT_LT(object->get_info(), record_before);
    EXPECT_EQ(find_resource(unmarked_id), 0u);
    EXPECT_EQ(test::read_memory(get_loader().get_resource_info(normal_id)), packs.data_of(normal_id));

    resource_server.destroy_object_internal(object);
    EXPECT_EQ(test::read_memory(get_loader().get_resource_info(keyed_id)), packs.data_of(keyed_id));
}

TEST(ResourceServer, FatalUses) {
    ServerPacks packs;
    struct Case {
        const char* name;
        void (*body)();
        const char* report;
    };
    const Case cases[] = {
        {"unknown id", [] { resource_server.open_resource(0x10FFFFFF); },
         "zolt: fatal error: resource 0x10ffffff not found\n"},
        {"open resource of an unmarked pack",
         [] {
             mark_resource_packs(6, 0xFFFFFFFF);
             apply_resource_marks(1);
             resource_server.open_resource(unmarked_id + 2);
             unmark_resource_packs(6, 0xFFFFFFFF);
             get_loader().shake_resources();
         },
         "zolt: fatal error: pack based resource 0x10000032 is still open during its unload\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ChildResult result = test::run_in_child([&] {
            resource_server.register_server();
            c.body();
        });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(c.report), std::string::npos) << result.standard_error;
    }
}

TEST(ResourceServer, SavedWorldReopensObjectsAndDropsThoseNotReopened) {
    ServerPacks packs;
    RegisteredServer registered;
    mark_resource_packs(4, 0xFFFFFFFF);
    apply_resource_marks(1);
    ResourceObject* const normal = resource_server.open_resource(normal_id);
    resource_server.open_resource(normal_id);
    const ObjectHandle normal_handle = normal->get_handle();
    const ObjectHandle deferred_handle = resource_server.open_resource(deferred_id)->get_handle();
    const ObjectHandle not_reopened_handle = resource_server.open_resource(not_reopened_id)->get_handle();
    const ObjectHandle keyed_handle = resource_server.open_resource(keyed_id)->get_handle();
    {
        storage::MemorySaveStream stream;
        ASSERT_TRUE(stream.open(1));
        save_all_servers(stream);
        ASSERT_TRUE(stream.finish());
    }
    resource_server.destroy_all_objects();
    unmark_resource_packs(4, 0xFFFFFFFF);
    get_loader().shake_resources();
    EXPECT_EQ(find_resource(keyed_id), 0u);

    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(1));
    ASSERT_TRUE(load_all_servers(stream));

    EXPECT_EQ(resource_server.get_live_count(), 3u);
    EXPECT_EQ(get_object(not_reopened_handle), nullptr);
    const ResourceInfo& not_reopened = get_loader().get_resource_info(not_reopened_id);
    EXPECT_FALSE(not_reopened.has_state(resource_state::open));
    struct Expected {
        ObjectHandle handle;
        uint32_t id;
        uint32_t holders;
    };
    for (const Expected& expected : {Expected{normal_handle, normal_id, 2}, Expected{deferred_handle, deferred_id, 1},
                                     Expected{keyed_handle, keyed_id, 1}}) {
        SCOPED_TRACE(::testing::Message() << std::hex << expected.id);
        auto* const object = static_cast<ResourceObject*>(get_object(expected.handle));
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->get_reference_count(), expected.holders);
        EXPECT_EQ(object->get_info(), &get_loader().get_resource_info(expected.id));
        EXPECT_EQ(object->get_info()->data.object, object);
        EXPECT_EQ(read_object(object), packs.data_of(expected.id));
        EXPECT_TRUE(object->owns_itself());
        EXPECT_EQ(is_resource_loaded(expected.id), 1u);
    }
    // A second open still finds the reopened object.
    EXPECT_EQ(resource_server.open_resource(normal_id)->get_handle(), normal_handle);
}

}  // namespace
}  // namespace zolt::core
