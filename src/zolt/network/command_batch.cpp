#include "zolt/network/command_batch.h"

#include <bit>

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/network/game_server.h"
#include "zolt/network/system_messages.h"
#include "zolt/network/transport_formats.h"
#include "zolt/network/user_messages.h"

namespace zolt::network {

namespace {

constexpr uint32_t command_record_message = 0x260000;
constexpr uint32_t command_bits = 7;

struct CommandRecord {
    uint32_t command = 0;
    float first_value = 0.0f;
    float second_value = 0.0f;
    uint32_t word = 0;
};

uint32_t read_word(const core::ServerObject& object, uint32_t id) {
    core::Property property;
    return object.get_property(id, property) ? property.get_u32() : 0;
}

float read_float(const core::ServerObject& object, uint32_t id) {
    core::Property property;
    return object.get_property(id, property) ? property.get_float() : 0.0f;
}

void put_word(core::Message& message, uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id & 0xFF000000u, value);
    message.set_property(id, property);
}

void put_float(core::Message& message, uint32_t id, float value) {
    core::Property property;
    property.set_float(id & 0xFF000000u, value);
    message.set_property(id, property);
}

// A changed bit, then the value when it changed.
bool write_changed(NetworkStream& stream, bool changed, uint32_t bits, uint32_t value) {
    return stream.write_bits(1, changed ? 1 : 0) && (!changed || stream.write_bits(bits, value));
}

// Reads n bits of the system message being dispatched, never past its end.
bool read_field(Connection& link, NetworkStream& stream, uint32_t n, uint32_t* value) {
    return link.get_message_bits_left() >= n && stream.read_checked(n, value);
}

bool read_changed(Connection& link, NetworkStream& stream, uint32_t bits, uint32_t* value) {
    uint32_t changed = 0;
    return read_field(link, stream, 1, &changed) && (changed == 0 || read_field(link, stream, bits, value));
}

}  // namespace

bool send_command_batch(core::ObjectHandle target, core::ObjectHandle first_record, bool reliable) {
    Connection& link = get_connection(client_connection_index);
    CommandRecord records[command_batch_capacity];
    uint32_t count = 0;
    for (core::ObjectHandle handle = first_record; count < command_batch_capacity;) {
        const core::ServerObject* const object = core::resolve_handle(handle);
        if (object == nullptr) {
            break;
        }
        records[count].command = read_word(*object, command_record_property::command) & 0x7Fu;
        records[count].first_value = read_float(*object, command_record_property::first_value);
        records[count].second_value = read_float(*object, command_record_property::second_value);
        records[count].word = read_word(*object, command_record_property::word);
        ++count;
        handle = read_word(*object, command_record_property::next);
    }
    if (count == 0 || !link.is_connected() || !link.begin_system_message(SystemMessageId::command_batch)) {
        return false;
    }
    NetworkStream& stream = get_send_stream();
    bool written = TransportFormatManager::write_handle(stream, target) && stream.write_bits(5, count);
    CommandRecord previous;
    for (uint32_t index = 0; index < count && written; ++index) {
        const CommandRecord& record = records[index];
        // Floats compare by their bits, so a changed sign of zero is sent.
        const uint32_t first = std::bit_cast<uint32_t>(record.first_value);
        const uint32_t second = std::bit_cast<uint32_t>(record.second_value);
        written = write_changed(stream, record.command != previous.command, command_bits, record.command) &&
                  write_changed(stream, first != std::bit_cast<uint32_t>(previous.first_value), 32, first) &&
                  write_changed(stream, second != std::bit_cast<uint32_t>(previous.second_value), 32, second) &&
                  stream.write_bits(32, record.word);
        previous = record;
    }
    return written && link.finish_message(reliable);
}

bool on_command_batch(Connection& link, NetworkStream& stream) {
    core::ObjectHandle target = 0;
    uint32_t count = 0;
    if (!TransportFormatManager::read_handle(stream, &target) || !read_field(link, stream, 5, &count)) {
        return false;
    }
    // The whole batch is read before anything is made of it, and never past
    // its own message.
    CommandRecord records[command_batch_capacity];
    CommandRecord record;
    for (uint32_t index = 0; index < count; ++index) {
        uint32_t first = std::bit_cast<uint32_t>(record.first_value);
        uint32_t second = std::bit_cast<uint32_t>(record.second_value);
        if (!read_changed(link, stream, command_bits, &record.command) ||
            !read_changed(link, stream, 32, &first) || !read_changed(link, stream, 32, &second) ||
            !read_field(link, stream, 32, &record.word)) {
            return false;
        }
        record.first_value = std::bit_cast<float>(first);
        record.second_value = std::bit_cast<float>(second);
        records[index] = record;
    }
    link.skip_rest_of_message();
    if (!link.is_delivering()) {
        return true;
    }
    const uint32_t clock = get_network_message_clock();
    const uint32_t clock_number = clock < core::clock_count ? clock : 0;
    for (uint32_t index = 0; index < count; ++index) {
        // A peer's batches may not use up the messages the game needs.
        if (!core::message_server.is_registered() || !has_room_for_a_message()) {
            return false;
        }
        auto* const message = static_cast<core::Message*>(core::message_server.create_object_internal(
            command_record_message | clock_number << core::message_clock_shift));
        message->set_recipient(target);
        message->set_delivery_mode(static_cast<uint32_t>(servers::DeliveryMode::from_client));
        put_word(*message, command_record_property::command, records[index].command);
        put_float(*message, command_record_property::first_value, records[index].first_value);
        put_float(*message, command_record_property::second_value, records[index].second_value);
        put_word(*message, command_record_property::word, records[index].word);
        put_word(*message, command_record_property::last, index + 1 == count ? 1 : 0);
        core::queue_message_on_clock(0, core::event_server.make_clock_selector(clock_number), message);
    }
    return true;
}

}  // namespace zolt::network
