#pragma once
// A state machine (server type 15): handles messages by the state it is in.
// Its states and transitions are a table in a code object: a definition
// entry whose word 1 is the state table's offset from the code start; each
// state record is five words {task word 0, task word 1, leave value,
// transition count, transition list offset}; each transition three
// {message pattern, code word, target state or -1}. Entering a state starts
// a task of entry 5 and listens for the broadcasts the state reacts to; a
// transition without a target but with a code word starts a task of entry 4.
// Every read of the table is bounded by the code, so a broken definition
// refuses state changes instead of reading outside it. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"

namespace zolt::core {

constexpr uint32_t state_machine_capacity = 10000;

namespace state_machine_property {
constexpr uint32_t previous_state = 0x300002A, state = 0x300002B, next_state = 0x300002C, transition_count = 0x300002D,
                   pre_handler = 0x100002E, fallback_handler = 0x100002F;
}  // namespace state_machine_property

// Entry points of chain 0, key 1 that state machines start.
constexpr uint32_t state_entry_code_reference = 0x4005;
constexpr uint32_t transition_code_reference = 0x4004;
// The code word of a state change that no transition made.
constexpr uint32_t no_transition_code_word = 0x4000;

struct StateTransition {
    uint32_t pattern;
    uint32_t code_word;
    int32_t target;
};

// Whether a transition's pattern takes a message id: bit 31 counts only when
// the pattern has it, and all-set clock bits or low 16 bits match anything.
bool does_pattern_match(uint32_t pattern, uint32_t message_id);

class StateMachine final : public ServerObject {
public:
    // The argument is the code reference of the definition.
    void initialize(uint32_t code_reference) override;
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    void resources_moved() override;
    bool handle_message(Message* message) override;
    bool get_property(uint32_t id, Property& out) const override;
    bool set_property(uint32_t id, const Property& value) override;
    bool remove_property(uint32_t id) override;

    // False, changing nothing, when the definition has no such state.
    bool change_state(int32_t new_state, ObjectHandle message, uint32_t code_word);
    // The first transition of the current state that takes the message id.
    bool find_transition(uint32_t message_id, StateTransition& out) const;

    int32_t get_state() const { return state_; }
    int32_t get_previous_state() const { return previous_state_; }
    ObjectHandle get_state_task() const { return state_task_; }
    uint32_t get_transition_count() const { return transition_count_; }

private:
    struct StateRecord {
        uint32_t words[5];
    };
    void resolve_definition();
    bool read_code_word(uint64_t offset, uint32_t& out) const;
    bool read_state(int32_t state, StateRecord& out) const;
    bool read_transition(const StateRecord& state, uint32_t index, StateTransition& out) const;
    void destroy_state_task();
    void add_listeners(const StateRecord& state);
    void remove_listeners(const StateRecord& state);
    // A task of the reference working for this machine's context, or null.
    ServerObject* start_task(uint32_t code_reference, uint32_t delay);
    bool ask_handler(ObjectHandle handler, Message* message);

    int32_t previous_state_ = -1;
    int32_t state_ = -1;
    ObjectHandle state_task_ = 0;
    uint32_t transition_count_ = 0;
    uint32_t code_reference_ = 0;
    // Handles and offsets only: the code may move.
    ObjectHandle code_object_ = 0;
    uint32_t definition_offset_ = 0xFFFFFFFF;
    ObjectHandle pre_handler_ = 0;
    ObjectHandle fallback_handler_ = 0;
    ObjectHandle dictionary_ = 0;
};

class StateMachineServer final : public PooledServer<StateMachine, state_machine_capacity> {
public:
    StateMachineServer() : PooledServer(server_type::state_machine) {}

    const char* get_name() const override { return "StateMachineServer"; }
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }
};

extern StateMachineServer state_machine_server;

// The live state machine the handle names, or null.
StateMachine* find_state_machine(ObjectHandle handle);

}  // namespace zolt::core
