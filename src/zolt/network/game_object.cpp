#include "libs/utility/fatal_error.h"
#include "zolt/core/events/message.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/state_machine.h"
#include "zolt/core/script/task.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/network/game_server.h"

#include "zolt/core/script_objects/extra_properties.h"

namespace zolt::servers {

using core::Dictionary;
using core::dictionary_server;

namespace {

// Enough for the few properties most game objects carry; the table grows.

Dictionary* find_dictionary(ObjectHandle handle) {
    if (handle == 0 || !dictionary_server.is_registered()) {
        return nullptr;
    }
    return dictionary_server.get_typed_object(handle);
}

}  // namespace

void GameObject::initialize(uint32_t) {
    dictionary_ = 0;
    accepts_client_messages_ = false;
    network_key_ = 0;
}

void GameObject::finalize() {
    if (network_key_ != 0) {
        game_server.remove_key(*this);
    }
    core::destroy_extra_properties(dictionary_);
}

void GameObject::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    core::write_u32(stream, dictionary_);
    core::write_u8(stream, accepts_client_messages_ ? 1 : 0);
    core::write_u32(stream, network_key_);
}

bool GameObject::load(storage::LoadStream& stream) {
    uint8_t accepts = 0;
    uint32_t key = 0;
    if (!ServerObject::load(stream) || !core::read_u32(stream, dictionary_) || !core::read_u8(stream, accepts) ||
        !core::read_u32(stream, key) || accepts > 1) {
        return false;
    }
    accepts_client_messages_ = accepts != 0;
    network_key_ = 0;
    if (key != 0) {
        game_server.insert_key(*this, key);
    }
    return true;
}

core::Task* GameObject::create_task() {
    if (!core::task_server.is_registered()) {
        return nullptr;
    }
    core::Task* const task = core::task_server.start_task(game_object_handler_code_reference, core::clock_being_run, 0);
    if (task == nullptr) {
        return nullptr;
    }
    task->set_context_handle(get_handle());
    ServerObject::attach_to_owner(task, this);
    return task;
}

bool GameObject::handle_message(Message* message) {
    const ObjectHandle self = get_handle();
    const ObjectHandle message_handle = message->get_handle();
    bool handled = false;
    Property property;
    if (get_property(game_object_property::state_machine, property)) {
        if (core::StateMachine* const machine = core::find_state_machine(property.get_u32())) {
            handled = machine->handle_message(message);
        }
    }
    // The state machine may have ended this object.
    if (game_server.get_typed_object(self) != this) {
        return handled;
    }
    if (get_property(game_object_property::message_handler, property)) {
        const uint32_t code_reference = property.get_u32();
        if (core::Task* const task = create_task()) {
            task->set_argument(0, message_handle);
            task->set_argument(1, code_reference);
        }
        return true;
    }
    return handled;
}

bool GameObject::get_property(uint32_t id, Property& out) const {
    if (ServerObject::get_property(id, out)) {
        return true;
    }
    return core::get_extra_property(dictionary_, id, out);
}

bool GameObject::set_property(uint32_t id, const Property& value) {
    return ServerObject::set_property(id, value) || core::set_extra_property(dictionary_, id, value);
}

bool GameObject::remove_property(uint32_t id) {
    return core::remove_extra_property(dictionary_, id);
}

ObjectHandle GameObject::copy_properties() const {
    const Dictionary* const dictionary = find_dictionary(dictionary_);
    return dictionary != nullptr ? dictionary->copy() : 0;
}

bool GameObject::compare_properties(ObjectHandle other) const {
    const Dictionary* const dictionary = find_dictionary(dictionary_);
    return dictionary == nullptr || dictionary->equals(other);
}

}  // namespace zolt::servers
