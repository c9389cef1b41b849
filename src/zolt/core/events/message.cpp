#include "zolt/core/events/message.h"

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script_objects/dictionary_server.h"

namespace zolt::core {

namespace {

constexpr uint32_t bare_id_key = 0x21, bare_sender_key = 0x22, bare_recipient_key = 0x23;
constexpr uint32_t unsigned_type_word = property_type::unsigned_integer << 24;
// Enough for the few extra properties a poster sets; the table grows on demand.
constexpr uint32_t extra_property_buckets = 5;
NetworkMessageDeliverer network_message_deliverer = nullptr;

Dictionary* find_dictionary(ObjectHandle handle) {
    if (handle == 0 || !dictionary_server.is_registered()) {
        return nullptr;
    }
    return dictionary_server.get_typed_object(handle);
}

void write_u16(storage::SaveStream& stream, uint16_t value) {
    write_bytes(stream, &value, sizeof value);
}

bool read_u16(storage::LoadStream& stream, uint16_t& value) {
    return read_bytes(stream, &value, sizeof value);
}

uint32_t get_id_clock_number(uint32_t id) {
    return (id & message_clock_bits) >> message_clock_shift;
}

// The mask bit of the clock a clock number names (31 resolved), or 0.
uint32_t get_clock_number_mask(uint32_t clock_number) {
    const uint32_t clock = event_server.resolve_clock(clock_number);
    return clock < clock_count ? get_clock_mask_bit(clock) : 0;
}

constexpr uint32_t clock_mask_bits = 0xFFFFFFE0u;

}  // namespace

void Message::initialize(uint32_t id) {
    pending_ = 0;
    kept_ = 0;
    locked_ = 0;
    kind_ = 0;
    id_ = id;
    sender_ = 0;
    recipient_ = 0;
    dictionary_ = 0;
    delivery_mode_ = 0;
}

void Message::finalize() {
    if (Dictionary* const dictionary = find_dictionary(dictionary_)) {
        destroy_object(dictionary);
    }
    dictionary_ = 0;
}

void Message::save(storage::SaveStream& stream) {
    ServerObject::save(stream);
    write_u16(stream, pending_);
    write_u8(stream, kept_);
    write_u8(stream, locked_);
    write_u32(stream, kind_);
    write_u32(stream, id_);
    write_u32(stream, sender_);
    write_u32(stream, recipient_);
    write_u32(stream, dictionary_);
}

bool Message::load(storage::LoadStream& stream) {
    return ServerObject::load(stream) && read_u16(stream, pending_) && read_u8(stream, kept_) &&
           read_u8(stream, locked_) && read_u32(stream, kind_) && read_u32(stream, id_) && read_u32(stream, sender_) &&
           read_u32(stream, recipient_) && read_u32(stream, dictionary_);
}

bool Message::get_property(uint32_t id, Property& out) const {
    if (id == message_property::id || id == bare_id_key) {
        out.set_u32(unsigned_type_word, id_);
        return true;
    }
    if (id == message_property::sender || id == bare_sender_key) {
        out.set_u32(unsigned_type_word, sender_);
        return true;
    }
    if (id == message_property::recipient || id == bare_recipient_key) {
        out.set_u32(unsigned_type_word, recipient_);
        return true;
    }
    if (ServerObject::get_property(id, out)) {
        return true;
    }
    const Dictionary* const dictionary = find_dictionary(dictionary_);
    return dictionary != nullptr && dictionary->get_property(id, out);
}

bool Message::set_property(uint32_t id, const Property& value) {
    if (locked_ != 0) {
        return false;
    }
    switch (id) {
    case message_property::sender:
        sender_ = value.get_u32();
        return true;
    case message_property::recipient:
        recipient_ = value.get_u32();
        return true;
    case message_property::id:
        return false;
    default:
        break;
    }
    if (ServerObject::set_property(id, value)) {
        return true;
    }
    Dictionary* dictionary = find_dictionary(dictionary_);
    if (dictionary != nullptr) {
        return dictionary->set_property(id, value);
    }
    if (!dictionary_server.is_registered()) {
        return false;
    }
    dictionary = dictionary_server.create_dictionary(extra_property_buckets);
    if (!dictionary->set_property(id, value)) {
        // A refused first write leaves no empty dictionary behind.
        destroy_object(dictionary);
        return false;
    }
    dictionary_ = dictionary->get_handle();
    return true;
}

void Message::replace_dictionary(ObjectHandle dictionary) {
    if (dictionary == dictionary_) {
        return;
    }
    if (Dictionary* const old = find_dictionary(dictionary_)) {
        destroy_object(old);
    }
    dictionary_ = dictionary;
}

bool Message::remove_property(uint32_t id) {
    Dictionary* const dictionary = find_dictionary(dictionary_);
    return dictionary != nullptr && dictionary->remove_property(id);
}

void Message::deliver(Message* message) {
    const ObjectHandle handle = message->get_handle();
    uint32_t id = message->id_ & ~message_clock_bits;
    id |= (event_server.get_clock_being_run() << message_clock_shift) & message_clock_bits;
    bool kept = false;
    if (message->recipient_ == 0) {
        message->id_ = id | message_broadcast_bit;
        message->locked_ = 1;
        kept = listener_server.is_registered() && listener_server.dispatch(message) != 0;
    } else {
        message->id_ = id & ~message_broadcast_bit;
        // Only the last delivery may be changed by its handler, so earlier
        // recipients cannot alter what later ones read.
        message->locked_ = message->pending_ > 1 ? 1 : 0;
        if (message->delivery_mode_ != 0) {
            kept = network_message_deliverer != nullptr && network_message_deliverer(message);
        } else if (ServerObject* const recipient = resolve_handle(message->recipient_)) {
            kept = recipient->handle_message(message);
        }
    }
    // A handler may have destroyed the message.
    if (message_server.get_typed_object(handle) != message) {
        return;
    }
    // An earlier delivery's keep holds: its handler may still read the
    // message in this frame.
    if (kept) {
        message->kept_ = 1;
    }
    if (message->pending_ > 0) {
        --message->pending_;
    }
    if (message->pending_ == 0 && message->kept_ == 0) {
        destroy_object(message);
    }
}

void set_network_message_deliverer(NetworkMessageDeliverer deliverer) {
    network_message_deliverer = deliverer;
}

void queue_message_on_clock(uint32_t delay, uint32_t clock_selector, Message* message) {
    Event* const event = event_server.schedule_event(message->get_handle(), clock_selector, delay);
    ServerObject::attach_to_owner(event, message);
    ++message->pending_;
}

Message* post_message_to_clocks(uint32_t id, uint32_t clock_mask, ObjectHandle sender, ObjectHandle recipient,
                                uint32_t delay) {
    // A mask without clocks still makes the message: scripts may keep it
    // and builtin 189 or its owner's end disposes of it.
    if (!message_server.is_registered() || !event_server.is_registered()) {
        return nullptr;
    }
    auto* const message = static_cast<Message*>(message_server.create_object_internal(id));
    message->set_sender(sender);
    message->set_recipient(recipient);
    for (uint32_t clock = 0; clock < clock_count; ++clock) {
        if ((clock_mask & get_clock_mask_bit(clock)) != 0) {
            queue_message_on_clock(delay, event_server.make_clock_selector(clock), message);
        }
    }
    return message;
}

Message* post_message(uint32_t id, ObjectHandle sender, ObjectHandle recipient, uint32_t delay) {
    return post_message_to_clocks(id, get_clock_number_mask(get_id_clock_number(id)), sender, recipient, delay);
}

Message* post_message_to_enabled_clocks(uint32_t clock_selector, uint32_t id) {
    uint32_t mask = clock_selector;
    if ((clock_selector & 0x1F) == clock_being_run_number) {
        mask = get_clock_number_mask(clock_being_run_number);
    }
    mask &= event_server.get_enabled_mask() & clock_mask_bits;
    // Clocks already run in this frame would deliver only in the next one.
    mask &= ~(get_clock_mask_bit(event_server.get_clock_being_run()) - 1);
    if (mask == 0) {
        return nullptr;
    }
    return post_message_to_clocks(id, mask, 0, 0, 0);
}

void repost_message(Message* message, uint32_t delay) {
    const uint32_t clock = event_server.resolve_clock(get_id_clock_number(message->get_id()));
    if (clock < clock_count) {
        queue_message_on_clock(delay, event_server.make_clock_selector(clock), message);
    }
}

}  // namespace zolt::core
