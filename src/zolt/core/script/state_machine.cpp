#include "zolt/core/script/state_machine.h"

#include "zolt/core/script_objects/extra_properties.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/dictionary_server.h"

namespace zolt::core {

StateMachineServer state_machine_server;

namespace {

constexpr uint32_t no_definition = 0xFFFFFFFF;
constexpr uint32_t broadcast_pattern_bit = 0x80000000u;
constexpr uint32_t pattern_clock_bits = 0x7C000000u;
constexpr uint32_t pattern_low_bits = 0xFFFFu;
constexpr uint32_t state_record_size = 20;
constexpr uint32_t transition_size = 12;
// Handlers that hand a message on to each other in a ring stop here.
constexpr uint32_t handler_depth_limit = 16;
uint32_t handler_depth = 0;

constexpr uint32_t property_keys[] = {42, 43, 44, 45, 46, 47};

bool is_wildcard_listener(uint32_t pattern) {
    return (pattern & broadcast_pattern_bit) != 0 &&
           ((pattern & pattern_clock_bits) == pattern_clock_bits || (pattern & pattern_low_bits) == pattern_low_bits);
}

void put_integer(Property& out, uint32_t value) {
    out.set_u32(property_type::unsigned_integer << 24, value);
}

}  // namespace

bool does_pattern_match(uint32_t pattern, uint32_t message_id) {
    uint32_t candidate = message_id;
    if ((pattern & broadcast_pattern_bit) == 0) {
        candidate &= ~broadcast_pattern_bit;
    }
    if ((pattern & pattern_clock_bits) == pattern_clock_bits) {
        candidate |= pattern_clock_bits;
    }
    if ((pattern & pattern_low_bits) == pattern_low_bits) {
        candidate |= pattern_low_bits;
    }
    return pattern == candidate;
}

StateMachine* find_state_machine(ObjectHandle handle) {
    if (get_handle_server_type(handle) != server_type::state_machine) {
        return nullptr;
    }
    return static_cast<StateMachine*>(get_object(handle));
}

void StateMachine::initialize(uint32_t code_reference) {
    previous_state_ = -1;
    state_ = -1;
    state_task_ = 0;
    transition_count_ = 0;
    pre_handler_ = 0;
    fallback_handler_ = 0;
    dictionary_ = 0;
    code_reference_ = code_reference;
    resolve_definition();
    if (CodeObject* const code_object = get_code_object(code_object_)) {
        code_object->add_reference();
    }
}

void StateMachine::finalize() {
    destroy_state_task();
    StateRecord state;
    if (state_ != -1 && read_state(state_, state)) {
        remove_listeners(state);
    }
    if (CodeObject* const code_object = get_code_object(code_object_)) {
        code_object->release_reference();
    }
    code_object_ = 0;
    destroy_extra_properties(dictionary_);
}

void StateMachine::resolve_definition() {
    code_object_ = 0;
    definition_offset_ = no_definition;
    CodeObject* const code_object =
        code_server.find_code_object(get_code_key(code_reference_), get_code_chain_index(code_reference_));
    if (code_object == nullptr) {
        return;
    }
    code_object_ = code_object->get_handle();
    definition_offset_ = code_object->get_entry_offset(get_code_entry_index(code_reference_));
}

void StateMachine::resources_moved() {
    // Only handles and offsets are kept; the code object may have been
    // replaced by another of the same key.
    resolve_definition();
}

bool StateMachine::read_code_word(uint64_t offset, uint32_t& out) const {
    const CodeObject* const code_object = get_code_object(code_object_);
    if (code_object == nullptr || offset + 4 > code_object->get_code_size()) {
        return false;
    }
    std::memcpy(&out, code_object->get_code_start() + offset, 4);
    return true;
}

bool StateMachine::read_state(int32_t state, StateRecord& out) const {
    uint32_t table = 0;
    if (state < 0 || definition_offset_ == no_definition || !read_code_word(uint64_t{definition_offset_} + 4, table)) {
        return false;
    }
    const uint64_t record = uint64_t{table} + uint64_t{static_cast<uint32_t>(state)} * state_record_size;
    for (uint32_t word = 0; word < 5; ++word) {
        if (!read_code_word(record + 4 * word, out.words[word])) {
            return false;
        }
    }
    // The transition list must lie in the code as a whole.
    const uint64_t list_end = uint64_t{out.words[4]} + uint64_t{out.words[3]} * transition_size;
    const CodeObject* const code_object = get_code_object(code_object_);
    return list_end <= code_object->get_code_size();
}

bool StateMachine::read_transition(const StateRecord& state, uint32_t index, StateTransition& out) const {
    const uint64_t at = uint64_t{state.words[4]} + uint64_t{index} * transition_size;
    uint32_t target = 0;
    if (!read_code_word(at, out.pattern) || !read_code_word(at + 4, out.code_word) || !read_code_word(at + 8, target)) {
        return false;
    }
    out.target = static_cast<int32_t>(target);
    return true;
}

bool StateMachine::find_transition(uint32_t message_id, StateTransition& out) const {
    StateRecord state;
    if (state_ == -1 || !read_state(state_, state)) {
        return false;
    }
    for (uint32_t index = 0; index < state.words[3]; ++index) {
        if (read_transition(state, index, out) && does_pattern_match(out.pattern, message_id)) {
            return true;
        }
    }
    return false;
}

void StateMachine::destroy_state_task() {
    Task* const task = find_task(state_task_);
    state_task_ = 0;
    if (task != nullptr && task->get_state_machine() == get_handle()) {
        destroy_object(task);
    }
}

void StateMachine::add_listeners(const StateRecord& state) {
    if (!listener_server.is_registered()) {
        return;
    }
    StateTransition transition;
    for (uint32_t index = 0; index < state.words[3]; ++index) {
        if (read_transition(state, index, transition) && (transition.pattern & broadcast_pattern_bit) != 0) {
            auto* const listener = static_cast<Listener*>(listener_server.create_object_internal(transition.pattern));
            listener->set_target(get_handle());
        }
    }
}

void StateMachine::remove_listeners(const StateRecord& state) {
    if (!listener_server.is_registered()) {
        return;
    }
    StateTransition transition;
    for (uint32_t index = 0; index < state.words[3]; ++index) {
        if (read_transition(state, index, transition) && (transition.pattern & broadcast_pattern_bit) != 0) {
            if (Listener* const listener = listener_server.find_listener(transition.pattern, get_handle())) {
                destroy_object(listener);
            }
        }
    }
}

ServerObject* StateMachine::start_task(uint32_t code_reference, uint32_t delay) {
    if (!task_server.is_registered()) {
        return nullptr;
    }
    Task* const task = task_server.start_task(code_reference, clock_being_run, delay);
    if (task == nullptr) {
        return nullptr;
    }
    task->set_context_handle(get_context_handle());
    if (ServerObject* const owner = get_object(get_context_handle())) {
        ServerObject::attach_to_owner(task, owner);
    }
    return task;
}

bool StateMachine::change_state(int32_t new_state, ObjectHandle message, uint32_t code_word) {
    StateRecord next;
    if (!read_state(new_state, next)) {
        return false;
    }
    destroy_state_task();
    const bool had_state = state_ != -1;
    StateRecord left{};
    const bool left_known = had_state && read_state(state_, left);
    previous_state_ = state_;
    state_ = new_state;
    ++transition_count_;
    if (left_known) {
        remove_listeners(left);
    }
    add_listeners(next);
    auto* const task = static_cast<Task*>(start_task(state_entry_code_reference, had_state ? delay_now_first : 0));
    if (task == nullptr) {
        return true;
    }
    task->set_state_machine(get_handle());
    state_task_ = task->get_handle();
    task->set_argument(0, message);
    task->set_argument(1, left_known ? left.words[2] : no_transition_code_word);
    task->set_argument(3, code_word);
    task->set_argument(5, next.words[0]);
    task->set_argument(7, next.words[1]);
    return true;
}

bool StateMachine::ask_handler(ObjectHandle handler, Message* message) {
    ServerObject* const object = handler != 0 ? resolve_handle(handler) : nullptr;
    if (object == nullptr || object == this || handler_depth >= handler_depth_limit) {
        return false;
    }
    ++handler_depth;
    const bool handled = object->handle_message(message);
    --handler_depth;
    return handled;
}

bool StateMachine::handle_message(Message* message) {
    const ObjectHandle self = get_handle();
    const ObjectHandle message_handle = message->get_handle();
    bool handled = ask_handler(pre_handler_, message);
    // The pre-handler may have destroyed this machine or the message.
    if (get_handle() != self || message->get_handle() != message_handle) {
        return handled;
    }
    bool own = false;
    Property count;
    const bool for_other_state =
        message->get_property(state_machine_property::transition_count, count) && count.get_u32() != transition_count_;
    StateTransition transition;
    if (!for_other_state && find_transition(message->get_id(), transition)) {
        if (transition.target != -1) {
            own = change_state(transition.target, message_handle, transition.code_word);
        } else if (transition.code_word != 0) {
            if (auto* const task = static_cast<Task*>(start_task(transition_code_reference, delay_now_first))) {
                task->set_argument(0, message_handle);
                task->set_argument(1, transition.code_word);
            }
            // Wildcard listeners go to the end of their buckets again, so one
            // broadcast does not reach this machine twice through them.
            StateRecord state;
            if (read_state(state_, state)) {
                StateTransition other;
                for (uint32_t index = 0; index < state.words[3]; ++index) {
                    if (read_transition(state, index, other) && is_wildcard_listener(other.pattern)) {
                        if (Listener* const listener = listener_server.find_listener(other.pattern, self)) {
                            destroy_object(listener);
                            auto* const fresh =
                                static_cast<Listener*>(listener_server.create_object_internal(other.pattern));
                            fresh->set_target(self);
                        }
                    }
                }
            }
            own = true;
        }
    }
    handled = handled || own;
    if (!own && get_handle() == self && message->get_handle() == message_handle) {
        handled = ask_handler(fallback_handler_, message) || handled;
    }
    return handled;
}

bool StateMachine::get_property(uint32_t id, Property& out) const {
    const uint32_t key = id & 0xFFFFFFu;
    const bool known_key =
        std::find(std::begin(property_keys), std::end(property_keys), key) != std::end(property_keys);
    if (known_key && (is_bare_property_key(id) || id == state_machine_property::previous_state ||
                      id == state_machine_property::state || id == state_machine_property::next_state ||
                      id == state_machine_property::transition_count || id == state_machine_property::pre_handler ||
                      id == state_machine_property::fallback_handler)) {
        switch (key) {
        case 42:
            put_integer(out, static_cast<uint32_t>(previous_state_));
            return true;
        case 43:
        case 44:
            put_integer(out, static_cast<uint32_t>(state_));
            return true;
        case 45:
            put_integer(out, transition_count_);
            return true;
        case 46:
            put_integer(out, pre_handler_);
            return true;
        default:
            put_integer(out, fallback_handler_);
            return true;
        }
    }
    return ServerObject::get_property(id, out) || get_extra_property(dictionary_, id, out);
}

bool StateMachine::set_property(uint32_t id, const Property& value) {
    switch (id) {
    case state_machine_property::next_state:
        return change_state(value.get_s32(), 0, no_transition_code_word);
    case state_machine_property::pre_handler:
        pre_handler_ = value.get_u32();
        return true;
    case state_machine_property::fallback_handler:
        fallback_handler_ = value.get_u32();
        return true;
    case state_machine_property::previous_state:
    case state_machine_property::state:
    case state_machine_property::transition_count:
        return false;
    default:
        break;
    }
    return ServerObject::set_property(id, value) || set_extra_property(dictionary_, id, value);
}

bool StateMachine::remove_property(uint32_t id) {
    return remove_extra_property(dictionary_, id);
}

void StateMachine::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u32(stream, static_cast<uint32_t>(previous_state_));
    write_u32(stream, static_cast<uint32_t>(state_));
    write_u32(stream, state_task_);
    write_u32(stream, transition_count_);
    write_u32(stream, code_reference_);
    write_u32(stream, pre_handler_);
    write_u32(stream, fallback_handler_);
    write_u32(stream, dictionary_);
}

bool StateMachine::load(storage::LoadStream& stream) {
    uint32_t words[8];
    if (!ServerObject::load(stream) || !read_bytes(stream, words, sizeof words)) {
        return false;
    }
    previous_state_ = static_cast<int32_t>(words[0]);
    state_ = static_cast<int32_t>(words[1]);
    state_task_ = words[2];
    transition_count_ = words[3];
    code_reference_ = words[4];
    pre_handler_ = words[5];
    fallback_handler_ = words[6];
    dictionary_ = words[7];
    resolve_definition();
    // A machine in a state its definition lacks could not leave it.
    StateRecord state;
    return state_ == -1 || read_state(state_, state);
}

}  // namespace zolt::core
