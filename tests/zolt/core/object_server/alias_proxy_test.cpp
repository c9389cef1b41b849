#include <gtest/gtest.h>

#include "support/server_ring.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/proxy_server.h"
#include "zolt/core/object_server/test_servers.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::TestObject;
using test::TestServer;

// Answers one property of its own, so forwarding through a proxy shows.
class ShapeObject final : public ServerObject {
public:
    void initialize(uint32_t) override {}
    void finalize() override { ++finalized; }
    bool get_property(uint32_t id, Property& out) const override {
        if (id == 0x03000077u || id == 0x77u) {
            out.set_u32(0x03000000u, 4242);
            return true;
        }
        return ServerObject::get_property(id, out);
    }
    static inline int finalized = 0;
};

class ShapeServer final : public PooledServer<ShapeObject, 4> {
public:
    ShapeServer() : PooledServer(server_type::resource) {}
    const char* get_name() const override { return "ShapeServer"; }
};

class AliasProxyTest : public ::testing::Test {
protected:
    void SetUp() override {
        alias_server.register_server();
        proxy_server.register_server();
        objects.register_server();
    }
    void TearDown() override { test::unregister_all_servers(); }
    TestServer<4> objects{server_type::placement};
};

TEST_F(AliasProxyTest, AliasFollowsItsTargetAndRefusesRepointingWhileItLives) {
    const ObjectHandle alias = make_alias_handle(17);
    TestObject* first = objects.create();
    TestObject* second = objects.create();
    ASSERT_TRUE(alias_server.set_alias(alias, first->get_handle()));
    EXPECT_EQ(resolve_handle(alias), first);
    EXPECT_EQ(get_object(alias), first);
    EXPECT_FALSE(alias_server.set_alias(alias, second->get_handle()));
    EXPECT_TRUE(alias_server.set_alias(alias, first->get_handle()));

    objects.destroy_object_internal(first);
    EXPECT_EQ(resolve_handle(alias), nullptr);
    EXPECT_TRUE(alias_server.set_alias(alias, second->get_handle()));
    EXPECT_EQ(resolve_handle(alias), second);

    EXPECT_FALSE(alias_server.set_alias(alias, make_alias_handle(3)));
    EXPECT_FALSE(alias_server.set_alias(make_alias_handle(20000), second->get_handle()));
    EXPECT_FALSE(alias_server.set_alias(alias | (1u << 26), second->get_handle()));
    EXPECT_EQ(resolve_handle(make_alias_handle(20000)), nullptr);
    EXPECT_EQ(resolve_handle(make_alias_handle(5)), nullptr);

    // Property 4 points an alias at the object; 0 clears every alias of it.
    Property value;
    value.set_u32(base_property::alias, make_alias_handle(18));
    ASSERT_TRUE(second->set_property(base_property::alias, value));
    EXPECT_EQ(resolve_handle(make_alias_handle(18)), second);
    value.set_u32(base_property::alias, 0);
    ASSERT_TRUE(second->set_property(base_property::alias, value));
    EXPECT_EQ(alias_server.get_target(alias), 0u);
    EXPECT_EQ(alias_server.get_target(make_alias_handle(18)), 0u);
}

TEST_F(AliasProxyTest, PurgeAndClear) {
    TestObject* live = objects.create();
    TestObject* doomed = objects.create();
    alias_server.set_alias(make_alias_handle(1), live->get_handle());
    alias_server.set_alias(make_alias_handle(2), doomed->get_handle());
    objects.destroy_object_internal(doomed);
    alias_server.purge_aliases();
    EXPECT_EQ(alias_server.get_target(make_alias_handle(1)), live->get_handle());
    EXPECT_EQ(alias_server.get_target(make_alias_handle(2)), 0u);
    alias_server.clear_alias(make_alias_handle(1));
    EXPECT_EQ(alias_server.get_target(make_alias_handle(1)), 0u);
}

TEST_F(AliasProxyTest, ProxyForwardsPropertiesKeepsItsOwnBaseAndReleasesItsTarget) {
    ShapeServer shapes;
    shapes.register_server();
    ShapeObject* shared = static_cast<ShapeObject*>(shapes.create_object_internal(0));
    ServerObject::make_self_owned(shared);
    TestObject* holder = objects.create();
    ServerObject* proxy = proxy_server.create_object_internal(shared->get_handle());
    ASSERT_TRUE(ServerObject::change_owner(proxy, holder));

    Property answer;
    ASSERT_TRUE(proxy->get_property(0x77u, answer));
    EXPECT_EQ(answer.get_u32(), 4242u);
    ASSERT_TRUE(proxy->get_property(1, answer));
    EXPECT_EQ(answer.get_u32(), proxy->get_handle());
    ASSERT_TRUE(proxy->get_property(base_property::owner, answer));
    EXPECT_EQ(answer.get_u32(), holder->get_handle());
    EXPECT_EQ(resolve_handle(proxy->get_handle()), shared);
    EXPECT_EQ(get_object(proxy->get_handle()), proxy);

    ShapeObject::finalized = 0;
    destroy_object(holder);
    EXPECT_EQ(ShapeObject::finalized, 1);
    EXPECT_EQ(shapes.get_live_count(), 0u);
    EXPECT_FALSE(proxy->get_property(0x77u, answer));
}

TEST_F(AliasProxyTest, AliasSlotsAndProxiesSurviveSaveAndLoad) {
    TestObject* target = objects.create(3);
    ServerObject* proxy = proxy_server.create_object_internal(target->get_handle());
    alias_server.set_alias(make_alias_handle(19999), target->get_handle());
    alias_server.set_alias(make_alias_handle(0), proxy->get_handle());
    {
        storage::MemorySaveStream stream;
        ASSERT_TRUE(stream.open(1));
        save_all_servers(stream);
        ASSERT_TRUE(stream.finish());
    }
    const ObjectHandle proxy_handle = proxy->get_handle();
    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(1));
    ASSERT_TRUE(load_all_servers(stream));
    EXPECT_EQ(alias_server.get_target(make_alias_handle(19999)), target->get_handle());
    EXPECT_EQ(resolve_handle(make_alias_handle(0)), target);
    EXPECT_EQ(static_cast<Proxy*>(get_object(proxy_handle))->get_target(), target->get_handle());
}

// A load stream over a word list that ends where the list ends.
class WordLoadStream final : public storage::LoadStream {
public:
    explicit WordLoadStream(std::vector<uint32_t> words) : words_(std::move(words)) {
        set_buffer(reinterpret_cast<uint8_t*>(words_.data()), static_cast<uint32_t>(words_.size() * 4));
    }
    bool open(uint32_t) override { return true; }

private:
    std::vector<uint32_t> words_;
};

TEST_F(AliasProxyTest, SavedAliasRecordNamingASlotIsRefusedNotHalted) {
    const uint32_t alias = server_type::alias;
    const ObjectHandle handle = make_alias_handle(5);
    // The alias server has no objects, so neither list may name a slot.
    const std::vector<std::vector<uint32_t>> records = {
        {alias, handle + 1, 0, 0},
        {alias, 0, handle, 0},
    };
    for (const std::vector<uint32_t>& record : records) {
        WordLoadStream stream(record);
        EXPECT_FALSE(load_all_servers(stream));
    }
}

}  // namespace
}  // namespace zolt::core
