#include "zolt/network/connection.h"

#include <cstring>

#include "platform/online/online_client.h"
#include "platform/system/clock.h"

namespace zolt::network {
namespace {

Connection connections[connection_count];
NetworkStream send_stream;
SystemMessageHandler host_handlers[system_message_count] = {};
SystemMessageHandler client_handlers[system_message_count] = {};
UserMessageReader user_message_reader = nullptr;

// Names longer than this are not names; the field is still read past.
constexpr uint32_t player_name_length_limit = 256;
constexpr uint8_t connect_request_packet[4] = {1, 0, 0, 0x80};

uint32_t read_ticks() {
    return platform::read_milliseconds() * 100u;
}

platform::PeerNetworking* get_networking(bool client_link) {
    platform::OnlineClient& client = platform::get_online_client();
    return client_link ? client.get_client_networking() : client.get_game_server_networking();
}

}  // namespace

Connection& get_connection(uint32_t index) {
    return connections[index];
}

NetworkStream& get_send_stream() {
    return send_stream;
}

void set_system_message_handler(MessageSide side, SystemMessageId id, SystemMessageHandler handler) {
    const auto index = static_cast<uint32_t>(id);
    if (side == MessageSide::host || side == MessageSide::both) {
        host_handlers[index] = handler;
    }
    if (side == MessageSide::client || side == MessageSide::both) {
        client_handlers[index] = handler;
    }
}

void clear_system_message_handlers() {
    for (uint32_t i = 0; i < system_message_count; ++i) {
        host_handlers[i] = client_handlers[i] = nullptr;
    }
}

void set_user_message_reader(UserMessageReader reader) {
    user_message_reader = reader;
}

void Connection::reset() {
    state_ = ConnectionState::closed;
    local_peer_ = nullptr;
    player_slot_ = no_player_slot;
    client_link_ = false;
    delivering_ = false;
    receive_ring_.clear();
    activity_stamped_ = false;
}

void Connection::open_to_user(OnlineId user_id, uint32_t slot) {
    reset();
    state_ = ConnectionState::connected;
    remote_id_ = player_id_ = user_id;
    send_sequence_ = last_reliable_sent_ = last_sequence_received_ = last_reliable_received_ = 0;
    player_slot_ = slot;
    set_persona_name(platform::get_online_client().get_persona_name());
}

bool Connection::connect_to_host(OnlineId host_id) {
    platform::OnlineClient& client = platform::get_online_client();
    platform::PeerNetworking* networking = client.get_client_networking();
    if (networking == nullptr) {
        return false;
    }
    reset();
    client_link_ = true;
    remote_id_ = host_id;
    player_id_ = client.get_user_id();
    send_sequence_ = last_reliable_sent_ = last_sequence_received_ = last_reliable_received_ = 0;
    set_persona_name(client.get_persona_name());
    if (!networking->send_packet(host_id, connect_request_packet, sizeof(connect_request_packet),
                                 platform::PeerSendType::reliable)) {
        return false;
    }
    state_ = ConnectionState::opening;
    return true;
}

void Connection::connect_local_pair(Connection& client, Connection& host_slot) {
    client.reset();
    host_slot.reset();
    client.client_link_ = true;
    client.local_peer_ = &host_slot;
    host_slot.local_peer_ = &client;
    host_slot.player_slot_ = 0;
    client.state_ = host_slot.state_ = ConnectionState::connected;
}

void Connection::copy_identity(Connection& to) const {
    std::memcpy(to.persona_name_, persona_name_, sizeof(persona_name_));
    to.remote_id_ = remote_id_;
    to.player_id_ = player_id_;
    to.player_slot_ = player_slot_;
}

void Connection::close() {
    if (platform::is_valid_online_id(remote_id_) && begin_system_message(SystemMessageId::close)) {
        finish_message(true);
    }
    remote_id_ = player_id_ = 0;
    send_sequence_ = last_reliable_sent_ = last_sequence_received_ = last_reliable_received_ = 0;
    reset();
}

void Connection::set_persona_name(const char* name) {
    std::strncpy(persona_name_, name, persona_name_size - 1);
    persona_name_[persona_name_size - 1] = '\0';
}

void Connection::mark_activity() {
    activity_stamped_ = true;
    last_activity_time_ = read_ticks();
}

uint32_t Connection::get_last_activity_time() {
    if (!is_connected()) {
        return read_ticks();
    }
    if (!activity_stamped_) {
        mark_activity();
    }
    return last_activity_time_;
}

bool Connection::fail() {
    state_ = ConnectionState::failed;
    return false;
}

bool Connection::begin_message(uint8_t id) {
    if (!is_connected()) {
        return false;
    }
    send_stream.clear();
    send_stream.write_bits(16, 0);
    send_stream.write_bits(8, id);
    return true;
}

bool Connection::begin_system_message(SystemMessageId id) {
    return begin_message(system_message_id) && send_stream.write_bits(8, static_cast<uint8_t>(id));
}

bool Connection::finish_message(bool reliable) {
    send_stream.align_to_byte();
    const uint32_t length_bits = send_stream.get_bit_count() - message_header_bits;
    if (length_bits >= message_length_limit) {
        return fail();
    }
    send_stream.set_byte(0, static_cast<uint8_t>(length_bits));
    send_stream.set_byte(1, static_cast<uint8_t>(length_bits >> 8));
    const uint32_t byte_count = send_stream.get_bit_count() / 8;
    if (local_peer_ != nullptr) {
        if (!local_peer_->is_connected()) {
            return false;
        }
        // The peer's ring holds what it has not read yet; overwriting that
        // would garble its stream, so a full ring fails this link instead.
        if (!local_peer_->receive_ring_.write_bytes(byte_count, send_stream.get_data())) {
            return fail();
        }
        local_peer_->mark_activity();
        return true;
    }
    if (!send_packet(send_stream.get_data(), byte_count, reliable)) {
        return fail();
    }
    return true;
}

bool Connection::send_packet(const uint8_t* bytes, uint32_t count, bool reliable) {
    if (++send_sequence_ >= sequence_limit) {
        return false;
    }
    uint8_t packet[8 + message_header_bits / 8 + message_length_limit / 8];
    if (count > sizeof(packet) - 8) {
        return false;
    }
    uint32_t header[2] = {send_sequence_, last_reliable_sent_};
    uint32_t header_size = 8;
    if (reliable) {
        header[0] |= reliable_packet_bit;
        last_reliable_sent_ = send_sequence_;
        header_size = 4;
    }
    for (uint32_t i = 0; i < header_size; ++i) {
        packet[i] = static_cast<uint8_t>(header[i / 4] >> (8 * (i % 4)));
    }
    std::memcpy(packet + header_size, bytes, count);
    platform::PeerNetworking* networking = get_networking(client_link_);
    if (networking == nullptr) {
        return false;
    }
    return networking->send_packet(remote_id_, packet, header_size + count,
                                   reliable ? platform::PeerSendType::reliable : platform::PeerSendType::unreliable);
}

bool Connection::receive_packet(const uint8_t* bytes, uint32_t count) {
    if (!is_connected()) {
        ++dropped_packet_count_;
        return false;
    }
    if (count > NetworkStream::capacity_bits / 8 - receive_ring_.get_write_byte_position() ||
        !receive_ring_.write_bytes(count, bytes)) {
        return fail();
    }
    mark_activity();
    return receive_message();
}

bool Connection::receive_message() {
    if (!is_connected() || receive_ring_.get_bit_count() == 0) {
        return false;
    }
    const bool packet_framed = local_peer_ == nullptr;
    bool reliable = false;
    uint32_t number = 0;
    uint32_t named_reliable = 0;
    if (packet_framed) {
        uint32_t word = 0;
        if (!receive_ring_.read_checked(32, &word)) {
            return fail();
        }
        // Bits 28, 29 and 31 are never set by a sender; they would otherwise
        // slip into the number.
        if ((word & ~(reliable_packet_bit | (sequence_limit - 1))) != 0) {
            return fail();
        }
        reliable = (word & reliable_packet_bit) != 0;
        number = word & (sequence_limit - 1);
        if (!reliable && !receive_ring_.read_checked(32, &named_reliable)) {
            return fail();
        }
    }
    uint32_t length_bits = 0;
    uint32_t id = 0;
    if (!receive_ring_.read_checked(16, &length_bits) || !receive_ring_.read_checked(8, &id) ||
        receive_ring_.get_bit_count() < length_bits) {
        return fail();
    }
    if (packet_framed) {
        if (reliable) {
            if (number <= last_sequence_received_) {
                return fail();
            }
            last_reliable_received_ = number;
        } else if (number <= last_sequence_received_ || named_reliable != last_reliable_received_) {
            // Late, or ahead of a reliable packet not yet here: taking it
            // would make that reliable packet look out of order when it comes.
            ++dropped_packet_count_;
            receive_ring_.clear();
            return false;
        }
        last_sequence_received_ = number;
    }
    const bool handled = id == system_message_id ? dispatch_system_message(length_bits)
                                                 : dispatch_user_message(length_bits, static_cast<uint8_t>(id));
    if (packet_framed) {
        receive_ring_.clear();
    }
    return handled;
}

void Connection::receive_pending_messages() {
    while (is_connected() && receive_ring_.get_bit_count() > 0) {
        if (!receive_message()) {
            break;
        }
    }
}

bool Connection::dispatch_system_message(uint32_t length_bits) {
    if (length_bits < 8 || length_bits % 8 != 0) {
        return fail();
    }
    const uint32_t system_id = receive_ring_.read_bits(8);
    if (!is_system_message_length_valid(system_id, length_bits)) {
        return fail();
    }
    const SystemMessageHandler handler = client_link_ ? client_handlers[system_id] : host_handlers[system_id];
    message_end_bit_count_ = receive_ring_.get_bit_count() + 8 - length_bits;
    if (handler == nullptr) {
        return fail();
    }
    const uint32_t bits_before = receive_ring_.get_bit_count() + 8;
    if (!handler(*this, receive_ring_)) {
        return fail();
    }
    if (!is_connected()) {
        return true;
    }
    if (bits_before - receive_ring_.get_bit_count() != length_bits) {
        return fail();
    }
    return true;
}

void Connection::skip_rest_of_message() {
    if (receive_ring_.get_bit_count() > message_end_bit_count_) {
        receive_ring_.skip_bits(receive_ring_.get_bit_count() - message_end_bit_count_);
    }
}

bool Connection::dispatch_user_message(uint32_t length_bits, uint8_t id) {
    const uint32_t bits_before = receive_ring_.get_bit_count();
    if (user_message_reader != nullptr &&
        !user_message_reader(*this, receive_ring_, length_bits, (id & 0x80) != 0, id & 0x7Fu)) {
        return fail();
    }
    const uint32_t used = bits_before - receive_ring_.get_bit_count();
    if (used > length_bits) {
        return fail();
    }
    receive_ring_.skip_bits(length_bits - used);
    return true;
}

bool Connection::send_hello() {
    return begin_system_message(SystemMessageId::hello) && send_stream.write_bits(8, protocol_version) &&
           finish_message(true);
}

bool Connection::send_refusal(RefusalReason reason) {
    return begin_system_message(SystemMessageId::refusal) && send_stream.write_bits(8, static_cast<uint8_t>(reason)) &&
           finish_message(true);
}

bool Connection::send_welcome(uint32_t slot, bool running, bool holds_private_place) {
    return begin_system_message(SystemMessageId::welcome) && send_stream.write_bits(8, slot) &&
           send_stream.write_bits(8, running ? 1 : 0) && send_stream.write_bits(8, holds_private_place ? 1 : 0) &&
           finish_message(true);
}

bool Connection::send_clock_request(uint32_t time) {
    return begin_system_message(SystemMessageId::clock_request) && send_stream.write_bits(32, time) &&
           finish_message(false);
}

bool Connection::send_clock_reply(uint32_t echoed, uint32_t host_time, uint32_t network_clock,
                                  uint32_t projected_clock) {
    return begin_system_message(SystemMessageId::clock_reply) && send_stream.write_bits(32, echoed) &&
           send_stream.write_bits(32, host_time) && send_stream.write_bits(32, network_clock) &&
           send_stream.write_bits(32, projected_clock) && finish_message(false);
}

bool Connection::read_player_name(Connection& link, NetworkStream& stream) {
    uint32_t length = 0;
    if (!stream.read_checked(32, &length)) {
        return false;
    }
    // In 64 bits: a length near 2^29 must not wrap to a short skip.
    if (length > player_name_length_limit || static_cast<uint64_t>(length) * 8 > stream.get_bit_count()) {
        return false;
    }
    const uint32_t kept = length < persona_name_size - 1 ? length : persona_name_size - 1;
    for (uint32_t i = 0; i < kept; ++i) {
        link.persona_name_[i] = static_cast<char>(stream.read_bits(8));
    }
    link.persona_name_[kept] = '\0';
    stream.skip_bits((length - kept) * 8);
    return true;
}

}  // namespace zolt::network
