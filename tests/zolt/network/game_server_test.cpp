#include "zolt/network/game_server.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/world_round_trip.h"
#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/script/state_machine.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_test_support.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/network/game_builtins.h"

namespace zolt::servers {
namespace {

using core::Task;

// Entry 4 is the handler task of game objects and of state-machine
// transitions; entry 6 a machine whose state 0 goes to state 1 on 0x10.
const std::string game_code =
    ".code 0 1\n"
    ".entry idle\n.entry idle\n.entry idle\n.entry idle\n"
    ".entry handler_task\n"
    ".entry idle\n"
    ".entry definition\n"
    "definition:\n"
    "    .word 0, states\n"
    "states:\n"
    "    .word 0, 0, 0, 1, transitions0\n"
    "    .word 0, 0, 0, 0, transitions0\n"
    "transitions0:\n"
    "    .word 0x00000010, 0, 1\n"
    "idle:\n    end_task\n"
    "handler_task:\n    set_r0 0\n    wait\n    end_task\n";

constexpr uint32_t machine_reference = 0x4006;
constexpr uint32_t handler_code_reference = 0x12345;

class GameServerTest : public ::testing::Test {
protected:
    GameServerTest() : world_({game_code}) {
        core::dictionary_server.register_server();
        core::listener_server.register_server();
        core::message_server.register_server();
        core::state_machine_server.register_server();
        game_server.register_server();
    }
    ~GameServerTest() override {
        game_server.unregister_server();
        core::state_machine_server.unregister_server();
        core::message_server.unregister_server();
        core::listener_server.unregister_server();
        core::dictionary_server.unregister_server();
    }

    static GameObject* make_object() { return static_cast<GameObject*>(game_server.create_object_internal(0)); }
    static void set_handle_property(ServerObject* object, uint32_t id, uint32_t value) {
        Property property;
        property.set_u32(id & 0xFF000000u, value);
        ASSERT_TRUE(object->set_property(id, property));
    }
    static core::Message* make_message(uint32_t id, ObjectHandle recipient, DeliveryMode mode) {
        auto* const message = static_cast<core::Message*>(core::message_server.create_object_internal(id));
        message->set_recipient(recipient);
        message->set_delivery_mode(static_cast<uint32_t>(mode));
        return message;
    }
    // Live handler tasks owned by the object.
    static std::vector<Task*> tasks_of(const GameObject* object) {
        std::vector<Task*> tasks;
        for (uint32_t slot = 0; slot < core::task_capacity; ++slot) {
            Task& task = core::task_server.get_slot(slot);
            if (core::find_task(task.get_handle()) == &task && task.get_owner() == object) {
                tasks.push_back(&task);
            }
        }
        return tasks;
    }
    static bool is_live(ObjectHandle message) { return core::message_server.get_typed_object(message) != nullptr; }

    test::ScriptWorld world_;
};

TEST_F(GameServerTest, KeysSharingABucketAreFoundAndRemovedApart) {
    GameObject* const five = make_object();
    GameObject* const other = make_object();
    game_server.insert_key(*five, 5);
    game_server.insert_key(*other, 30005);
    EXPECT_EQ(game_server.find_key(5), five->get_handle());
    EXPECT_EQ(game_server.find_key(30005), other->get_handle());
    EXPECT_EQ(game_server.find_key(60005), 0u);
    game_server.remove_key(*five);
    EXPECT_EQ(game_server.find_key(5), 0u);
    EXPECT_EQ(game_server.find_key(30005), other->get_handle());
    // Registering again moves the object to its new key.
    game_server.insert_key(*other, 77);
    EXPECT_EQ(game_server.find_key(30005), 0u);
    EXPECT_EQ(game_server.find_key(77), other->get_handle());
    EXPECT_EQ(game_server.get_free_key_entry_count(), game_key_entry_count - 1);
    core::destroy_object(other);
    EXPECT_EQ(game_server.find_key(77), 0u);
    EXPECT_EQ(game_server.get_free_key_entry_count(), game_key_entry_count);
}

TEST_F(GameServerTest, EndingOneOfTwoObjectsWithOneKeyKeepsTheOther) {
    GameObject* const first = make_object();
    GameObject* const second = make_object();
    game_server.insert_key(*first, 9);
    game_server.insert_key(*second, 9);
    core::destroy_object(second);
    EXPECT_EQ(game_server.find_key(9), first->get_handle());
}

TEST_F(GameServerTest, AHandlerPropertyStartsAnOwnedTaskWithTheMessage) {
    GameObject* const object = make_object();
    core::Message* const message = make_message(0x20, 0, DeliveryMode::normal);
    EXPECT_FALSE(object->handle_message(message));
    EXPECT_TRUE(tasks_of(object).empty());

    set_handle_property(object, game_object_property::message_handler, handler_code_reference);
    EXPECT_TRUE(object->handle_message(message));
    const std::vector<Task*> tasks = tasks_of(object);
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks[0]->get_context_handle(), object->get_handle());
    EXPECT_EQ(tasks[0]->get_argument(0), message->get_handle());
    EXPECT_EQ(tasks[0]->get_argument(1), handler_code_reference);
    // Ending the object ends its task.
    core::destroy_object(object);
    EXPECT_EQ(core::find_task(tasks[0]->get_handle()), nullptr);
}

TEST_F(GameServerTest, AStateMachineAndAHandlerBothRun) {
    GameObject* const object = make_object();
    auto* const machine =
        static_cast<core::StateMachine*>(core::state_machine_server.create_object_internal(machine_reference));
    Property state;
    state.set_u32(core::property_type::unsigned_integer << 24, 0);
    ASSERT_TRUE(machine->set_property(core::state_machine_property::next_state, state));
    set_handle_property(object, game_object_property::state_machine, machine->get_handle());
    set_handle_property(object, game_object_property::message_handler, handler_code_reference);
    EXPECT_TRUE(object->handle_message(make_message(0x10, object->get_handle(), DeliveryMode::normal)));
    EXPECT_EQ(machine->get_state(), 1);
    EXPECT_EQ(tasks_of(object).size(), 1u);
}

TEST_F(GameServerTest, NetworkMessagesReachOnlyTheObjectsTheyMayReach) {
    GameObject* const object = make_object();
    set_handle_property(object, game_object_property::message_handler, handler_code_reference);
    struct Case {
        const char* what;
        DeliveryMode mode;
        bool accepts;
        uint32_t key;
        bool by_key;
        bool reaches;
    };
    const Case cases[] = {
        {"client message to an object that does not accept them", DeliveryMode::from_client, false, 0, false, false},
        {"client message to an accepting object", DeliveryMode::from_client, true, 0, false, true},
        {"host message to an unregistered key", DeliveryMode::from_host, false, 0, true, false},
        {"host message to a registered key", DeliveryMode::from_host, false, 41, true, true},
        {"host message naming the handle, not the key", DeliveryMode::from_host, false, 41, false, false},
    };
    for (const Case& c : cases) {
        object->set_accepts_client_messages(c.accepts);
        game_server.insert_key(*object, c.key);
        const uint32_t recipient = c.by_key ? 41 : object->get_handle();
        core::Message* const message = make_message(0x20, recipient, c.mode);
        const ObjectHandle handle = message->get_handle();
        const size_t before = tasks_of(object).size();
        core::Message::deliver(message);
        EXPECT_EQ(tasks_of(object).size() - before, c.reaches ? 1u : 0u) << c.what;
        if (!c.reaches) {
            EXPECT_FALSE(is_live(handle)) << c.what;
        }
    }
}

TEST_F(GameServerTest, KeysAndFlagsComeBackWithASavedGame) {
    GameObject* const object = make_object();
    object->set_accepts_client_messages(true);
    game_server.insert_key(*object, 30007);
    set_handle_property(object, 0x3000500, 12);
    const ObjectHandle handle = object->get_handle();
    ASSERT_TRUE(zolt::test::save_and_load_world(0x10000000));
    GameObject* const loaded = find_game_object(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(game_server.find_key(30007), handle);
    EXPECT_EQ(loaded->get_network_key(), 30007u);
    EXPECT_TRUE(loaded->accepts_client_messages());
    Property property;
    ASSERT_TRUE(loaded->get_property(0x3000500, property));
    EXPECT_EQ(property.get_u32(), 12u);
    EXPECT_EQ(game_server.get_free_key_entry_count(), game_key_entry_count - 1);
}

TEST_F(GameServerTest, BuiltinsIgnoreBadHandlesAndKeyZero) {
    GameObject* const object = make_object();
    network::accept_client_messages({0x12345678});
    network::register_game_object_key(5, {0x12345678});
    network::register_game_object_key(0, {object->get_handle()});
    EXPECT_FALSE(object->accepts_client_messages());
    EXPECT_EQ(game_server.get_free_key_entry_count(), game_key_entry_count);
    network::accept_client_messages({object->get_handle()});
    network::register_game_object_key(5, {object->get_handle()});
    EXPECT_TRUE(object->accepts_client_messages());
    EXPECT_EQ(game_server.find_key(5), object->get_handle());
}

}  // namespace
}  // namespace zolt::servers
