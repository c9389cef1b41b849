#pragma once
// One link to one peer of a network game. It numbers the packets it sends,
// takes each received packet into its ring, checks the packet's order and
// framing, and hands the one message inside either to the system-message
// handlers of the network game or, as a user message, to the user-message
// reader. Network input is never fatal: anything malformed or out of order
// fails this link alone (state failed), and the network game drops the
// player or reports the lost connection on its next tick.
//
// There are 33 links: 32 host-side ones, one per player slot, and the client
// link to the host. The host's own player talks to slot 0 through an
// in-process pair that copies bytes from one ring to the other.
// Main thread only; the send stream is shared by all links, so a message is
// begun, filled and finished without interruption.
#include <cstdint>

#include "platform/online/online_ids.h"
#include "zolt/network/bit_stream.h"
#include "zolt/network/system_messages.h"

namespace zolt::network {

using platform::OnlineId;
using NetworkStream = BitStream<65536>;

enum class ConnectionState : uint32_t {
    closed = 0,
    // A peer-to-peer connection was requested.
    opening = 1,
    connected = 2,
    // The peer said goodbye or stopped answering.
    closing = 3,
    // A framing, order or send error.
    failed = 4,
};

constexpr uint32_t player_slot_count = 32;
constexpr uint32_t connection_count = player_slot_count + 1;
constexpr uint32_t client_connection_index = player_slot_count;
constexpr uint32_t no_player_slot = 255;
constexpr uint32_t persona_name_size = 32;
// Packet numbers stay below this; the link that reaches it fails.
constexpr uint32_t sequence_limit = 0x10000000;
constexpr uint32_t reliable_packet_bit = 0x40000000;
constexpr uint32_t message_length_limit = 0x10000;
constexpr uint32_t message_header_bits = 24;

class Connection;

// A handler reads its fields from the stream after the system id; false
// fails the link.
using SystemMessageHandler = bool (*)(Connection& link, NetworkStream& stream);
// Reads one user message's body of length_bits bits (a reader may use fewer,
// never more); false fails the link.
using UserMessageReader = bool (*)(Connection& link, NetworkStream& stream, uint32_t length_bits, bool type_implied,
                                   uint32_t format);

class Connection {
public:
    void reset();
    // Host side, for an accepted player.
    void open_to_user(OnlineId user_id, uint32_t slot);
    // Client link: sends the connect request; false when it could not go.
    bool connect_to_host(OnlineId host_id);
    // Joins two links in this process; both become connected.
    static void connect_local_pair(Connection& client, Connection& host_slot);
    void copy_identity(Connection& to) const;
    // Says goodbye when the peer is a valid id, then forgets it.
    void close();
    void set_state(ConnectionState state) { state_ = state; }
    void set_client_link(bool client_link) { client_link_ = client_link; }
    void set_delivering(bool delivering) { delivering_ = delivering; }
    void set_persona_name(const char* name);
    void set_player_id(OnlineId id) { player_id_ = id; }
    void set_remote_id(OnlineId id) { remote_id_ = id; }
    void set_score(int32_t score) { score_ = score; }
    void set_player_value(uint32_t value) { player_value_ = value; }

    ConnectionState get_state() const { return state_; }
    bool is_connected() const { return state_ == ConnectionState::connected; }
    bool is_client_link() const { return client_link_; }
    bool is_delivering() const { return delivering_; }
    bool is_local() const { return local_peer_ != nullptr; }
    OnlineId get_remote_id() const { return remote_id_; }
    OnlineId get_player_id() const { return player_id_; }
    uint32_t get_player_slot() const { return player_slot_; }
    const char* get_persona_name() const { return persona_name_; }
    int32_t get_score() const { return score_; }
    uint32_t get_player_value() const { return player_value_; }
    uint32_t get_send_sequence() const { return send_sequence_; }
    uint32_t get_last_sequence_received() const { return last_sequence_received_; }
    uint32_t get_last_reliable_sequence_received() const { return last_reliable_received_; }
    // Late or stale packets dropped without failing the link.
    uint32_t get_dropped_packet_count() const { return dropped_packet_count_; }
    NetworkStream& get_receive_ring() { return receive_ring_; }
    // For handlers that ignore a message out of turn: reads past the rest
    // of the message being dispatched.
    void skip_rest_of_message();
    // The bits of the system message being dispatched not read yet.
    uint32_t get_message_bits_left() {
        const uint32_t count = receive_ring_.get_bit_count();
        return count > message_end_bit_count_ ? count - message_end_bit_count_ : 0;
    }

    void mark_activity();
    // Ticks of 10 microseconds; now when the link is not connected.
    uint32_t get_last_activity_time();

    bool begin_message(uint8_t id);
    bool begin_system_message(SystemMessageId id);
    bool finish_message(bool reliable);
    bool send_packet(const uint8_t* bytes, uint32_t count, bool reliable);

    // Takes one received packet; false when it was refused or dropped.
    bool receive_packet(const uint8_t* bytes, uint32_t count);
    // Reads one message from the ring.
    bool receive_message();
    // In-process links: reads every message waiting in the ring.
    void receive_pending_messages();

    bool send_hello();
    bool send_refusal(RefusalReason reason);
    bool send_welcome(uint32_t slot, bool running, bool holds_private_place);
    bool send_clock_request(uint32_t time);
    bool send_clock_reply(uint32_t echoed, uint32_t host_time, uint32_t network_clock, uint32_t projected_clock);

    // The name field of system messages; false (and the stream unread past
    // the length) when the name is longer than the bits left or unreasonable.
    static bool read_player_name(Connection& link, NetworkStream& stream);

private:
    bool fail();
    bool dispatch_system_message(uint32_t length_bits);
    bool dispatch_user_message(uint32_t length_bits, uint8_t id);

    ConnectionState state_ = ConnectionState::closed;
    OnlineId remote_id_ = 0;
    OnlineId player_id_ = 0;
    uint32_t send_sequence_ = 0;
    uint32_t last_reliable_sent_ = 0;
    uint32_t last_sequence_received_ = 0;
    uint32_t last_reliable_received_ = 0;
    Connection* local_peer_ = nullptr;
    uint32_t player_slot_ = no_player_slot;
    bool client_link_ = false;
    bool delivering_ = false;
    char persona_name_[persona_name_size] = {};
    int32_t score_ = 0;
    uint32_t player_value_ = 0;
    NetworkStream receive_ring_;
    bool activity_stamped_ = false;
    uint32_t last_activity_time_ = 0;
    uint32_t dropped_packet_count_ = 0;
    // The ring's bit count once the message being dispatched is read.
    uint32_t message_end_bit_count_ = 0;
};

// The 33 links: 0-31 host-side per player slot, 32 the client link.
Connection& get_connection(uint32_t index);
// The one outgoing message buffer.
NetworkStream& get_send_stream();

// Installed by the network game; null clears. A message with no handler on
// the receiving side fails the link.
void set_system_message_handler(MessageSide side, SystemMessageId id, SystemMessageHandler handler);
void clear_system_message_handlers();
// Without a reader user messages are read past and dropped.
void set_user_message_reader(UserMessageReader reader);

}  // namespace zolt::network
