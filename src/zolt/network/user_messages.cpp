#include "zolt/network/user_messages.h"

#include "libs/utility/message_handler.h"
#include "zolt/core/events/event_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/object_server/server_statistics.h"
#include "zolt/network/game_server.h"
#include "zolt/network/transport_formats.h"

namespace zolt::network {

uint32_t net_message_delay = 0;

namespace {

uint32_t network_message_clock = no_network_clock;

}  // namespace

bool has_room_for_a_message() {
    core::ServerStatistics statistics{};
    core::message_server.get_statistics(statistics);
    return statistics.live_count + network_message_reserve < statistics.capacity;
}

void set_network_message_clock(uint32_t clock) {
    network_message_clock = clock;
}

uint32_t get_network_message_clock() {
    return network_message_clock;
}

bool send_user_message(Connection& link, core::ObjectHandle target, uint32_t format, uint32_t message_type,
                       const core::ServerObject& source, bool reliable) {
    const bool implied = transport_formats.is_type_implied(format, message_type);
    const uint8_t id = static_cast<uint8_t>((format & 0x7Fu) | (implied ? 0x80u : 0u));
    return link.begin_message(id) &&
           transport_formats.serialize_message(get_send_stream(), format, message_type, target, source) &&
           link.finish_message(reliable);
}

bool read_user_message(Connection& link, NetworkStream& stream, uint32_t length_bits, bool type_implied,
                       uint32_t format) {
    const uint32_t bits_before = stream.get_bit_count();
    core::ObjectHandle target = 0;
    if (!TransportFormatManager::read_handle(stream, &target)) {
        return false;
    }
    servers::DeliveryMode mode = servers::DeliveryMode::normal;
    if (target == 0) {
        target = null_target_alias;
    } else {
        mode = link.is_client_link() ? servers::DeliveryMode::from_host : servers::DeliveryMode::from_client;
    }
    uint32_t message_type = 0;
    if (type_implied) {
        if (format >= message_format_count || !transport_formats.get_format(format).active) {
            return false;
        }
        message_type = transport_formats.get_format(format).implied_type;
    } else if (!stream.read_checked(32, &message_type)) {
        return false;
    }
    // Clocks 27-30 do not exist and 31 means the one running, which a
    // message that waits in a queue cannot have: such a message would never
    // be delivered nor freed.
    const uint32_t clock = (message_type & core::message_clock_bits) >> core::message_clock_shift;
    if (clock >= core::clock_count || !core::message_server.is_registered() || !has_room_for_a_message()) {
        return false;
    }
    auto* const message = static_cast<core::Message*>(core::message_server.create_object_internal(message_type));
    message->set_recipient(target);
    message->set_delivery_mode(static_cast<uint32_t>(mode));
    if (!transport_formats.deserialize_object(format, *message, stream) ||
        bits_before - stream.get_bit_count() > length_bits) {
        core::destroy_object(message);
        return false;
    }
    uint32_t delay = 0;
    core::Property delivery_time;
    if (message->get_property(delivery_time_property, delivery_time)) {
        if (network_message_clock == no_network_clock) {
            report_message(MessageKind::Warning, nullptr, nullptr, 0,
                           "Received message %u for recipient 0x%08x with delivery time %u while network layer is "
                           "not set",
                           message_type, target, delivery_time.get_u32());
            core::destroy_object(message);
            return true;
        }
        if (clock != network_message_clock) {
            core::destroy_object(message);
            return false;
        }
        const auto ahead =
            static_cast<int32_t>(delivery_time.get_u32() - core::event_server.get_clock_time(network_message_clock));
        if (ahead > static_cast<int32_t>(delivery_time_horizon)) {
            core::destroy_object(message);
            return false;
        }
        delay = ahead > 0 ? static_cast<uint32_t>(ahead) : 0;
    }
    if (!link.is_delivering()) {
        core::destroy_object(message);
        return true;
    }
    core::queue_message_on_clock(delay + 100 * net_message_delay, core::event_server.make_clock_selector(clock),
                                 message);
    return true;
}

}  // namespace zolt::network
