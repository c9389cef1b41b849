#include "zolt/core/events/message_server.h"

#include "zolt/core/events/event_server.h"

namespace zolt::core {

MessageServer message_server;

namespace {

void deliver_fired_message(ObjectHandle handle) {
    if (Message* const message = message_server.get_typed_object(handle)) {
        Message::deliver(message);
    }
}

template <typename Test>
void destroy_live_messages_if(MessageServer& server, Test test) {
    const ObjectList& live = server.get_live_list();
    ServerObject* object = live.get_head();
    while (object != nullptr) {
        ServerObject* const next =
            ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
        auto* const message = static_cast<Message*>(object);
        if (!test(*message)) {
            object = next;
            continue;
        }
        const ObjectHandle next_handle = next != nullptr ? next->get_handle() : 0;
        destroy_object(message);
        // A message may own other messages; when the next one went too,
        // start over (the ones already passed still fail the test).
        object = next == nullptr || next->get_handle() == next_handle ? next : live.get_head();
    }
}

}  // namespace

void MessageServer::register_server() {
    PooledServer::register_server();
    set_event_message_deliverer(deliver_fired_message);
}

void MessageServer::unregister_server() {
    if (get_event_message_deliverer() == deliver_fired_message) {
        set_event_message_deliverer(nullptr);
    }
    PooledServer::unregister_server();
}

void MessageServer::free_delivered_messages() {
    destroy_live_messages_if(*this,
                             [](const Message& message) { return message.get_pending() == 0 && message.is_kept(); });
}

void MessageServer::destroy_unaddressed_messages() {
    destroy_live_messages_if(*this, [](const Message& message) {
        return message.get_kind() == 0 &&
               (message.get_recipient() == 0 || resolve_handle(message.get_recipient()) == nullptr);
    });
}

}  // namespace zolt::core
