#include "zolt/core/object_server/server_base.h"

#include <gtest/gtest.h>

#include "support/child_process.h"
#include "support/server_ring.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/object_server/test_servers.h"
#include "zolt/renderer/backend/rendering_command.h"

namespace zolt::core {
namespace {

using test::TestObject;
using test::TestServer;

class ServerFrameworkTest : public ::testing::Test {
protected:
    void SetUp() override { test::finalized.clear(); }
    void TearDown() override {
        test::unregister_all_servers();
        set_rendering_command_runner(nullptr);
        set_in_rendering_command(false);
    }
};

TEST_F(ServerFrameworkTest, HandlesFollowTheGenerationRuleAndSlotsAreReusedFirstInFirstOut) {
    TestServer<4> server(server_type::placement);
    server.register_server();
    TestObject* first = server.create();
    EXPECT_EQ(first->get_handle(), 0x05100000u);
    EXPECT_EQ(first->get_context_handle(), 0x05100000u);
    server.destroy_object_internal(first);
    EXPECT_EQ(get_object(0x05100000u), nullptr);

    std::vector<ObjectHandle> handles;
    for (int index = 0; index < 4; ++index) {
        handles.push_back(server.create()->get_handle());
    }
    EXPECT_EQ(handles, (std::vector<ObjectHandle>{0x05100001u, 0x05100002u, 0x05100003u, 0x09100000u}));
    EXPECT_NE(get_object(0x09100000u), nullptr);
    // One generation behind, or of an unregistered type, or 0: nothing.
    EXPECT_EQ(get_object(0x05100000u), nullptr);
    EXPECT_EQ(get_object(0x09200000u), nullptr);
    EXPECT_EQ(get_object(0), nullptr);
    EXPECT_EQ(server.get_high_water_count(), 4u);
}

TEST_F(ServerFrameworkTest, GenerationWrapsAfterSixtyFourCreations) {
    TestServer<1> server(server_type::placement);
    server.register_server();
    ObjectHandle handle = 0;
    for (int round = 0; round < 64; ++round) {
        TestObject* object = server.create();
        handle = object->get_handle();
        server.destroy_object_internal(object);
    }
    EXPECT_EQ(handle, 0x00100000u | (server_type::placement << 20));
    EXPECT_EQ(server.create()->get_handle(), 0x05100000u);
}

uint32_t command_runs[renderer::end_loading_screen_command + 1];
TestObject* held_object = nullptr;

TEST_F(ServerFrameworkTest, FullPoolRecoversDeadObjectsOnceTheRendererLetsGo) {
    TestServer<2> server(server_type::placement);
    server.register_server();
    TestObject* a = server.create();
    server.create();
    a->in_use_by_renderer = true;
    server.destroy_object_internal(a);
    EXPECT_TRUE(server.has_dead_objects());
    held_object = a;
    set_rendering_command_runner([](uint32_t command) {
        ++command_runs[command];
        held_object->in_use_by_renderer = false;
        release_all_dead_objects();
    });
    TestObject* c = server.create(7);
    EXPECT_EQ(c, a);
    EXPECT_EQ(c->get_handle(), 0x09100000u);
    EXPECT_EQ(command_runs[renderer::free_dead_objects_command], 1u);
    EXPECT_EQ(command_runs[renderer::free_all_dead_objects_command], 0u);
}

TEST_F(ServerFrameworkTest, ExhaustedPoolIsFatalAndTheRenderingThreadRecoveryEnds) {
    for (bool on_rendering_thread : {false, true}) {
        const test::ChildResult result = test::run_in_child([on_rendering_thread] {
            static TestServer<1> server(server_type::placement, "PlacementServer");
            server.register_server();
            TestObject* a = server.create();
            a->in_use_by_renderer = true;
            server.destroy_object_internal(a);
            set_in_rendering_command(on_rendering_thread);
            server.create();
        });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find("can't allocate more objects in PlacementServer"), std::string::npos)
            << result.standard_error;
    }
}

TEST_F(ServerFrameworkTest, DestroyingDestroysChildrenNewestFirstAndAllObjectsNewestFirst) {
    TestServer<8> server(server_type::placement);
    TestServer<8> other(server_type::dictionary);
    server.register_server();
    other.register_server();
    TestObject* parent = server.create();
    TestObject* c1 = other.create();
    TestObject* c2 = server.create();
    TestObject* c3 = other.create();
    TestObject* grandchild = server.create();
    for (TestObject* child : {c1, c2, c3}) {
        ASSERT_TRUE(ServerObject::change_owner(child, parent));
    }
    ASSERT_TRUE(ServerObject::change_owner(grandchild, c2));
    const std::vector<ObjectHandle> expected = {c3->get_handle(), grandchild->get_handle(), c2->get_handle(),
                                                c1->get_handle(), parent->get_handle()};
    destroy_object(parent);
    EXPECT_EQ(test::finalized, expected);
    EXPECT_EQ(server.get_live_count(), 0u);
    EXPECT_EQ(other.get_live_count(), 0u);

    test::finalized.clear();
    const ObjectHandle h1 = server.create()->get_handle();
    const ObjectHandle h2 = server.create()->get_handle();
    server.destroy_all_objects();
    EXPECT_EQ(test::finalized, (std::vector<ObjectHandle>{h2, h1}));
}

TEST_F(ServerFrameworkTest, SelfOwnedObjectWithChildrenLeavesNoOrphans) {
    TestServer<4> server(server_type::placement);
    server.register_server();
    TestObject* system_object = server.create();
    ServerObject::make_self_owned(system_object);
    TestObject* child = server.create();
    TestObject* other = server.create();
    ASSERT_TRUE(ServerObject::change_owner(child, system_object));
    // The walk up stops at a self-owned object.
    ASSERT_TRUE(ServerObject::change_owner(other, child));
    EXPECT_FALSE(ServerObject::set_owner(system_object, 0));
    EXPECT_FALSE(ServerObject::change_owner(system_object, other));
    destroy_object(system_object);
    EXPECT_EQ(server.get_live_count(), 0u);
    EXPECT_EQ(test::finalized.size(), 3u);
}

TEST_F(ServerFrameworkTest, OwnerChangesThatWouldMakeACycleAreRefused) {
    TestServer<4> server(server_type::placement);
    server.register_server();
    TestObject* a = server.create();
    TestObject* b = server.create();
    ASSERT_TRUE(ServerObject::set_owner(b, a->get_handle()));
    EXPECT_FALSE(ServerObject::set_owner(a, b->get_handle()));
    EXPECT_FALSE(ServerObject::set_owner(a, a->get_handle()));
    EXPECT_FALSE(ServerObject::set_owner(a, 0x05100003u));
    EXPECT_TRUE(ServerObject::set_owner(b, 0));
    EXPECT_EQ(b->get_owner(), nullptr);
    EXPECT_EQ(a->get_first_child(), nullptr);
}

TEST_F(ServerFrameworkTest, BaseProperties) {
    TestServer<4> server(server_type::placement);
    server.register_server();
    alias_server.register_server();
    TestObject* owner = server.create();
    TestObject* only = server.create();
    ServerObject::attach_to_owner(only, owner);

    Property answer;
    for (uint32_t id : {1u, 0x01000001u}) {
        ASSERT_TRUE(only->get_property(id, answer));
        EXPECT_EQ(answer.id, 0x03000000u);
        EXPECT_EQ(answer.get_u32(), only->get_handle());
    }
    for (uint32_t id : {7u, 8u}) {
        ASSERT_TRUE(only->get_property(id, answer));
        EXPECT_EQ(answer.get_u32(), 0u) << id;
    }
    ASSERT_TRUE(owner->get_property(5, answer));
    EXPECT_EQ(answer.get_u32(), only->get_handle());
    EXPECT_EQ(get_property_type(only, 3), 0x03000000u);
    EXPECT_EQ(get_property_type(only, 0x01000003u), 0x01000003u);
    EXPECT_EQ(get_property_type(only, 0x01000004u), 0u);
    EXPECT_FALSE(only->get_property(0x03000001u, answer));

    // Setters take typed ids only; an alias handle is resolved.
    Property value;
    value.set_u32(0x01000004u, make_alias_handle(12));
    ASSERT_TRUE(owner->set_property(0x01000004u, value));
    value.set_u32(0x01000002u, make_alias_handle(12));
    EXPECT_FALSE(only->set_property(2, value));
    ASSERT_TRUE(only->set_property(0x01000002u, value));
    EXPECT_EQ(only->get_context_handle(), owner->get_handle());
    value.set_u32(0x01000001u, 5);
    EXPECT_FALSE(only->set_property(0x01000001u, value));
}

TEST_F(ServerFrameworkTest, PropertyEquality) {
    auto vector3 = [](float x, float y, float z, float w) {
        Property property;
        const float lanes[4] = {x, y, z, w};
        property.set_floats(0x30000219u, lanes, 4);
        return property;
    };
    EXPECT_FALSE(vector3(1, 2, 3, 0) == vector3(1, 2, 4, 0));
    EXPECT_TRUE(vector3(1, 2, 3, 5) == vector3(1, 2, 3, 9));
    Property nan;
    nan.set_float(0x05000010u, std::numeric_limits<float>::quiet_NaN());
    EXPECT_FALSE(nan == nan);
    Property a, b;
    a.set_u32(0x03000001u, 4);
    b.set_u32(0x04000001u, 4);
    EXPECT_FALSE(a == b);
    const test::ChildResult result = test::run_in_child([] {
        Property invalid;
        invalid.set_u32(0x07000001u, 1);
        (void)(invalid == invalid);
    });
    EXPECT_NE(result.standard_error.find("Invalid property type 117440512"), std::string::npos);
}

TEST_F(ServerFrameworkTest, RegistrationRingAndRestartKeepOrder) {
    TestServer<2> a(server_type::string, "A");
    TestServer<2> b(server_type::alias + 20, "B");
    TestServer<2> c(server_type::code, "C");
    a.register_server();
    b.register_server();
    c.register_server();
    EXPECT_EQ(get_first_server(), &a);
    EXPECT_EQ(get_last_server(), &c);
    a.create();
    restart_servers();
    EXPECT_EQ(a.get_live_count(), 0u);
    EXPECT_EQ(get_first_server(), &a);
    EXPECT_EQ(a.get_next_server(), &b);
    EXPECT_EQ(get_last_server(), &c);
    c.unregister_server();
    EXPECT_EQ(get_server(server_type::code), nullptr);
    EXPECT_EQ(get_last_server(), &b);
}

}  // namespace
}  // namespace zolt::core

#include "zolt/core/object_server/server_statistics.h"

namespace zolt::core {
namespace {

TEST_F(ServerFrameworkTest, StatisticsOfAServerType) {
    static TestServer<2000> server(server_type::placement, "PlacementServer");
    server.register_server();
    for (int index = 0; index < 600; ++index) {
        server.create();
    }
    for (int index = 0; index < 100; ++index) {
        server.destroy_object_internal(server.get_live_list().get_tail());
    }
    EXPECT_FLOAT_EQ(get_server_usage(server_type::placement), 0.25f);
    EXPECT_FLOAT_EQ(get_server_peak_usage(server_type::placement), 0.3f);
    EXPECT_EQ(get_server_free_count(server_type::placement), 1500u);
    EXPECT_EQ(get_server_statistics(server_type::placement).object_size, sizeof(TestObject));
    EXPECT_STREQ(get_server_name(server_type::placement), "PlacementServer");
    for (uint32_t type : {0u, 30u, 58u, 63u, 200u}) {
        EXPECT_EQ(get_server_statistics(type).capacity, 0u);
        EXPECT_EQ(get_server_usage(type), 0.0f);
        EXPECT_EQ(get_server_name(type), nullptr);
    }
}

}  // namespace
}  // namespace zolt::core
