#include "zolt/core/events/listener_server.h"

#include "libs/utility/ring_list.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"

namespace zolt::core {

ListenerServer listener_server;

namespace {
constexpr uint32_t number_wildcard = 0xFFFF, group_wildcard = 0x3FF0000, full_wildcard = 0x3FFFFFF;
}  // namespace

void ListenerServer::unregister_server() {
    PooledServer::unregister_server();
    deferred_ = nullptr;
    dispatching_ = false;
    cursor_ = last_ = nullptr;
}

void ListenerServer::append_to_list(Listener*& head, Listener* listener) {
    listener->list_ = &head;
    RingList<Listener, &Listener::next_listener_, &Listener::previous_listener_>::append(head, listener);
}

void ListenerServer::remove_from_list(Listener*& head, Listener* listener) {
    RingList<Listener, &Listener::next_listener_, &Listener::previous_listener_>::remove(head, listener);
    listener->next_listener_ = listener->previous_listener_ = listener;
    listener->list_ = nullptr;
}

void ListenerServer::add_listener(Listener* listener) {
    append_to_list(dispatching_ ? deferred_ : buckets_[listener->pattern_ % listener_bucket_count], listener);
}

void ListenerServer::remove_listener(Listener* listener) {
    if (listener->list_ == nullptr) {
        return;
    }
    if (listener == cursor_) {
        cursor_ = listener == last_ ? nullptr : listener->next_listener_;
    }
    if (listener == last_) {
        last_ = cursor_ != nullptr ? listener->previous_listener_ : nullptr;
    }
    remove_from_list(*listener->list_, listener);
}

bool ListenerServer::dispatch_pattern(uint32_t pattern, Message* message, uint32_t& count) {
    Listener* const head = buckets_[pattern % listener_bucket_count];
    if (head == nullptr) {
        return true;
    }
    const ObjectHandle message_handle = message->get_handle();
    cursor_ = head;
    last_ = head->previous_listener_;
    while (cursor_ != nullptr) {
        Listener* const listener = cursor_;
        cursor_ = listener == last_ ? nullptr : listener->next_listener_;
        if (listener->pattern_ != pattern) {
            continue;
        }
        if (listener->sender_filter_ != 0 && listener->sender_filter_ != message->get_sender()) {
            continue;
        }
        ServerObject* const target = resolve_handle(listener->target_);
        if (target == nullptr) {
            continue;
        }
        if (target->handle_message(message)) {
            ++count;
        }
        // Later handlers must not see a message a handler destroyed.
        if (message->get_handle() != message_handle) {
            return false;
        }
    }
    return true;
}

uint32_t ListenerServer::dispatch(Message* message) {
    const bool outer = !dispatching_;
    Listener* const saved_cursor = cursor_;
    Listener* const saved_last = last_;
    dispatching_ = true;

    const uint32_t id = message->get_id();
    uint32_t patterns[4];
    uint32_t pattern_count = 0;
    patterns[pattern_count++] = id;
    if ((id & 0xFFFFu) != 0) {
        patterns[pattern_count++] = id | number_wildcard;
        patterns[pattern_count++] = id | group_wildcard;
    }
    patterns[pattern_count++] = id | full_wildcard;

    uint32_t count = 0;
    for (uint32_t index = 0; index < pattern_count; ++index) {
        // An id equal to one of its own wildcards would call those listeners twice.
        bool walked = false;
        for (uint32_t earlier = 0; earlier < index; ++earlier) {
            walked = walked || patterns[earlier] == patterns[index];
        }
        if (!walked && !dispatch_pattern(patterns[index], message, count)) {
            break;
        }
    }

    cursor_ = saved_cursor;
    last_ = saved_last;
    if (outer) {
        dispatching_ = false;
        while (Listener* const listener = deferred_) {
            remove_from_list(deferred_, listener);
            add_listener(listener);
        }
    }
    return count;
}

Listener* ListenerServer::find_listener(uint32_t pattern, ObjectHandle target) {
    auto find_in = [&](Listener* head) -> Listener* {
        for (Listener* listener = head; listener != nullptr;) {
            if (listener->pattern_ == pattern && listener->target_ == target && listener->sender_filter_ == 0) {
                return listener;
            }
            listener = listener->next_listener_ != head ? listener->next_listener_ : nullptr;
        }
        return nullptr;
    };
    if (Listener* const found = find_in(buckets_[pattern % listener_bucket_count])) {
        return found;
    }
    // A listener made during a dispatch still counts as made.
    return find_in(deferred_);
}

}  // namespace zolt::core
