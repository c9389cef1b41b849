#include "zolt/core/script/state_machine.h"
#include "support/world_round_trip.h"

#include <gtest/gtest.h>

#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/script/state_machine_builtins.h"
#include "zolt/core/script/task_test_support.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"
#include "zolt/storage/save_world_support.h"

namespace zolt::core {
namespace {

using test::ScriptWorld;

// Entries 4 and 5 are the tasks state machines start; entry 6 the
// definition of two states. The data comes first: a label names the place
// before the padding .word adds.
const std::string machine_code =
    ".code 0 1\n"
    ".entry idle\n.entry idle\n.entry idle\n.entry idle\n"
    ".entry transition_task\n"
    ".entry state_task\n"
    ".entry definition\n"
    ".entry broken_definition\n"
    "definition:\n"
    "    .word 0, states\n"
    "states:\n"
    "    .word 100, 101, 0x500, 2, transitions0\n"
    "    .word 110, 111, 0x510, 3, transitions1\n"
    "transitions0:\n"
    "    .word 0x00000010, 0x77, 1\n"
    "    .word 0x80000020, 0, 1\n"
    "transitions1:\n"
    "    .word 0x80000030, 0, 0\n"
    "    .word 0x7C00FFFF, 0x99, -1\n"
    "    .word 0x00000040, 0, -1\n"
    "broken_definition:\n"
    "    .word 0, broken_states\n"
    "broken_states:\n"
    "    .word 1, 2, 3, 1000000, transitions0\n"
    "idle:\n    end_task\n"
    "transition_task:\n    set_r0 0\n    wait\n    end_task\n"
    "state_task:\n    set_r0 0\n    wait\n    end_task\n";

constexpr uint32_t definition_reference = 0x4006;
constexpr uint32_t broken_definition_reference = 0x4007;

class StateMachineTest : public ::testing::Test {
protected:
    StateMachineTest() : world_({machine_code}) {
        dictionary_server.register_server();
        listener_server.register_server();
        message_server.register_server();
        state_machine_server.register_server();
    }
    ~StateMachineTest() override {
        state_machine_server.unregister_server();
        message_server.unregister_server();
        listener_server.unregister_server();
        dictionary_server.unregister_server();
    }

    static StateMachine* make_machine(uint32_t reference = definition_reference) {
        return static_cast<StateMachine*>(state_machine_server.create_object_internal(reference));
    }
    static bool set_state(StateMachine* machine, int32_t state) {
        Property value;
        value.set_u32(property_type::unsigned_integer << 24, static_cast<uint32_t>(state));
        return machine->set_property(state_machine_property::next_state, value);
    }
    static Message* make_message(uint32_t id) {
        return static_cast<Message*>(message_server.create_object_internal(id));
    }
    static Task* state_task(const StateMachine* machine) { return find_task(machine->get_state_task()); }
    static bool listens(uint32_t pattern, const StateMachine* machine) {
        return listener_server.find_listener(pattern, machine->get_handle()) != nullptr;
    }

    ScriptWorld world_;
};

TEST(StateMachinePattern, PatternsMatchByTheirBroadcastBitAndWildcards) {
    struct Case {
        uint32_t pattern;
        uint32_t id;
        bool matches;
    };
    const Case cases[] = {
        {0x00000010, 0x00000010, true},  {0x00000010, 0x80000010, true},  {0x80000010, 0x00000010, false},
        {0x80000010, 0x80000010, true},  {0x7C00FFFF, 0x00001234, true},  {0x7C00FFFF, 0x88001234, true},
        {0x7C00FFFF, 0x00011234, false}, {0x0400FFFF, 0x04005555, true},  {0x0400FFFF, 0x08005555, false},
        {0x7C000010, 0x14000010, true},  {0x7C000010, 0x14000011, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(does_pattern_match(c.pattern, c.id), c.matches) << std::hex << c.pattern << " " << c.id;
    }
}

TEST_F(StateMachineTest, SettingTheStateStartsTheStateTaskAndSwapsListeners) {
    StateMachine* const machine = make_machine();
    EXPECT_EQ(machine->get_state(), -1);
    ASSERT_TRUE(set_state(machine, 0));
    Task* const first = state_task(machine);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->get_state_machine(), machine->get_handle());
    EXPECT_EQ(first->get_argument(0), 0u);
    EXPECT_EQ(first->get_argument(1), no_transition_code_word);
    EXPECT_EQ(first->get_argument(3), no_transition_code_word);
    EXPECT_EQ(first->get_argument(5), 100u);
    EXPECT_EQ(first->get_argument(7), 101u);
    EXPECT_TRUE(listens(0x80000020, machine));
    const ObjectHandle first_handle = first->get_handle();

    ASSERT_TRUE(set_state(machine, 1));
    EXPECT_FALSE(test::is_alive(first_handle));
    Task* const second = state_task(machine);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->get_argument(1), 0x500u);
    EXPECT_EQ(second->get_argument(5), 110u);
    EXPECT_FALSE(listens(0x80000020, machine));
    EXPECT_TRUE(listens(0x80000030, machine));

    Property read;
    ASSERT_TRUE(machine->get_property(42, read));
    EXPECT_EQ(read.get_u32(), 0u);
    ASSERT_TRUE(machine->get_property(state_machine_property::next_state, read));
    EXPECT_EQ(read.get_u32(), 1u);
    ASSERT_TRUE(machine->get_property(45, read));
    EXPECT_EQ(read.get_u32(), 2u);
    // Read-only ids and states the definition does not have are refused.
    EXPECT_FALSE(machine->set_property(state_machine_property::state, read));
    EXPECT_FALSE(set_state(machine, 2));
    EXPECT_FALSE(set_state(machine, -1));
    EXPECT_EQ(machine->get_state(), 1);
    EXPECT_EQ(state_task(machine), second);
    // Other ids land in the property dictionary.
    Property extra;
    extra.set_u32(property_type::unsigned_integer << 24 | 0x777, 9);
    ASSERT_TRUE(machine->set_property(extra.id, extra));
    ASSERT_TRUE(machine->get_property(extra.id, read));
    EXPECT_EQ(read.get_u32(), 9u);
}

TEST_F(StateMachineTest, EachMessageIsHandledInTheStateTheMachineIsIn) {
    StateMachine* const machine = make_machine();
    ASSERT_TRUE(set_state(machine, 0));
    // State 0 knows only 0x10 and the broadcast 0x20.
    Message* const unknown = make_message(0x40);
    EXPECT_FALSE(machine->handle_message(unknown));
    EXPECT_EQ(machine->get_state(), 0);

    Message* const go = make_message(0x10);
    EXPECT_TRUE(machine->handle_message(go));
    EXPECT_EQ(machine->get_state(), 1);
    EXPECT_EQ(state_task(machine)->get_argument(0), go->get_handle());
    EXPECT_EQ(state_task(machine)->get_argument(3), 0x77u);

    // In state 1 the same id only starts code (the wildcard transition).
    const uint32_t tasks_before = task_server.get_live_count();
    const ObjectHandle state_task_before = machine->get_state_task();
    Message* const again = make_message(0x10);
    EXPECT_TRUE(machine->handle_message(again));
    EXPECT_EQ(machine->get_state(), 1);
    EXPECT_EQ(machine->get_state_task(), state_task_before);
    ASSERT_EQ(task_server.get_live_count(), tasks_before + 1);
    const auto* const code_task = static_cast<const Task*>(task_server.get_live_list().get_tail());
    EXPECT_EQ(code_task->get_argument(0), again->get_handle());
    EXPECT_EQ(code_task->get_argument(1), 0x99u);

    // A broadcast back to state 0.
    Message* const back = make_message(0x80000030);
    EXPECT_TRUE(machine->handle_message(back));
    EXPECT_EQ(machine->get_state(), 0);
    EXPECT_EQ(machine->get_transition_count(), 3u);
}

TEST_F(StateMachineTest, AMessageForAnEarlierStateStillReachesThePreHandlerAndTheFallbackTakesTheRest) {
    StateMachine* const machine = make_machine();
    StateMachine* const before = make_machine();
    StateMachine* const after = make_machine();
    // Two changes for the machine, one for each handler.
    ASSERT_TRUE(set_state(machine, 0));
    ASSERT_TRUE(set_state(machine, 0));
    ASSERT_TRUE(set_state(before, 0));
    ASSERT_TRUE(set_state(after, 0));
    Property link;
    link.set_u32(state_machine_property::pre_handler, before->get_handle());
    ASSERT_TRUE(machine->set_property(state_machine_property::pre_handler, link));
    link.set_u32(state_machine_property::fallback_handler, after->get_handle());
    ASSERT_TRUE(machine->set_property(state_machine_property::fallback_handler, link));

    Message* const stale = make_message(0x10);
    Property count;
    count.set_u32(state_machine_property::transition_count, 1);
    ASSERT_TRUE(stale->set_property(state_machine_property::transition_count, count));
    EXPECT_TRUE(machine->handle_message(stale));
    EXPECT_EQ(machine->get_state(), 0);
    EXPECT_EQ(before->get_state(), 1);
    // Not handled by its own transitions, so the fallback handler took it.
    EXPECT_EQ(after->get_state(), 1);

    // A message it handles itself does not reach the fallback.
    Message* const current = make_message(0x10);
    EXPECT_TRUE(machine->handle_message(current));
    EXPECT_EQ(machine->get_state(), 1);
    EXPECT_EQ(after->get_transition_count(), 2u);
    // A machine that is its own pre-handler is not asked again.
    link.set_u32(state_machine_property::pre_handler, machine->get_handle());
    ASSERT_TRUE(machine->set_property(state_machine_property::pre_handler, link));
    EXPECT_TRUE(machine->handle_message(make_message(0x80000030)));
    EXPECT_EQ(machine->get_state(), 0);
}

TEST_F(StateMachineTest, TheTransitionBuiltinsTellCodeFromStateChanges) {
    StateMachine* const machine = make_machine();
    const StateMachineHandle handle{machine->get_handle()};
    EXPECT_FALSE(has_state_transition(handle, 0x10));
    ASSERT_TRUE(set_state(machine, 1));
    EXPECT_TRUE(has_state_transition(handle, 0x1234));
    EXPECT_FALSE(has_state_transition_target(handle, 0x1234));
    EXPECT_TRUE(has_state_transition(handle, 0x80000030));
    EXPECT_TRUE(has_state_transition_target(handle, 0x80000030));
    EXPECT_FALSE(has_state_transition(handle, 0x00010000));
    EXPECT_FALSE(has_state_transition(StateMachineHandle{task_server.get_live_list().get_head()->get_handle()}, 0x10));
}

TEST_F(StateMachineTest, ABrokenDefinitionRefusesStatesAndDestroyingAMachineEndsItsTaskAndListeners) {
    StateMachine* const broken = make_machine(broken_definition_reference);
    EXPECT_FALSE(set_state(broken, 0));
    StateMachine* const missing = make_machine(0x4000 | 300);
    EXPECT_FALSE(set_state(missing, 0));

    StateMachine* const machine = make_machine();
    ASSERT_TRUE(set_state(machine, 0));
    const ObjectHandle task = machine->get_state_task();
    const uint32_t listeners = listener_server.get_live_count();
    destroy_object(machine);
    EXPECT_FALSE(test::is_alive(task));
    EXPECT_EQ(listener_server.get_live_count(), listeners - 1);
}

TEST_F(StateMachineTest, AMachineRoundTripsThroughASavedWorld) {
    StateMachine* const machine = make_machine();
    ASSERT_TRUE(set_state(machine, 0));
    ASSERT_TRUE(set_state(machine, 1));
    const ObjectHandle handle = machine->get_handle();
    const ObjectHandle task = machine->get_state_task();
    ASSERT_TRUE(zolt::test::save_and_load_world(0x10000000));
    StateMachine* const loaded = find_state_machine(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_state(), 1);
    EXPECT_EQ(loaded->get_previous_state(), 0);
    EXPECT_EQ(loaded->get_transition_count(), 2u);
    EXPECT_EQ(loaded->get_state_task(), task);
    EXPECT_TRUE(listens(0x80000030, loaded));
    EXPECT_TRUE(loaded->handle_message(make_message(0x80000030)));
    EXPECT_EQ(loaded->get_state(), 0);
}

}  // namespace
}  // namespace zolt::core

namespace zolt::core {
namespace {

// Posted broadcasts reach a state machine through the listeners its states
// make, on the clock they are delivered on (the frame clock 1 here, which
// moves on every frame).
TEST(StateMachineDelivery, PostedBroadcastsChangeTheStateThroughTheStatesListeners) {
    test::SaveWorld world;
    auto* const machine = static_cast<StateMachine*>(state_machine_server.create_object_internal(test::machine_entry));
    Property value;
    value.set_u32(state_machine_property::next_state, 0);
    ASSERT_TRUE(machine->set_property(state_machine_property::next_state, value));
    // Broadcast 0x20: the state's listener takes it to state 1.
    ASSERT_NE(post_message(0x84000020, 0, 0, 0), nullptr);
    test::SaveWorld::frames(2);
    EXPECT_EQ(machine->get_state(), 1);
    // State 1 listens for 0x30 instead; 0x20 is no longer heard.
    ASSERT_NE(post_message(0x84000020, 0, 0, 0), nullptr);
    test::SaveWorld::frames(2);
    EXPECT_EQ(machine->get_state(), 1);
    ASSERT_NE(post_message(0x84000030, 0, 0, 0), nullptr);
    test::SaveWorld::frames(2);
    EXPECT_EQ(machine->get_state(), 0);
    EXPECT_EQ(machine->get_transition_count(), 3u);
}

}  // namespace
}  // namespace zolt::core
