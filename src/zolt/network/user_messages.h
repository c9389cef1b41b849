#pragma once
// Script messages between machines: a user message carries a Message of the
// sender's type to a target (a network key from the host, a game-object
// handle from a client, alias 12 when null) with its properties written by a
// transport format. The receiver rebuilds the Message and queues it on its
// clock, later when it carries a delivery time on the network clock. Main
// thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/network/connection.h"

namespace zolt::core {
class ServerObject;
}  // namespace zolt::core

namespace zolt::network {

// A time on the network clock at which the message is due.
constexpr uint32_t delivery_time_property = 0x300025D;
constexpr uint32_t null_target_alias = 0x10000C;
constexpr uint32_t no_network_clock = 0xFFFFFFFF;
// Further than this ahead a delivery time is not believed: such a message
// would hold a pooled object for as long as the peer likes.
constexpr uint32_t delivery_time_horizon = 1000000;
// Messages a peer cannot make: this many stay free for the game itself.
constexpr uint32_t network_message_reserve = 256;

// Ticks of 10 microseconds, times 100, added to every received message's delay.
extern uint32_t net_message_delay;

// Whether a peer may still make a message: a reserve stays for the game.
bool has_room_for_a_message();

// The clock of timed messages, chosen by the scripts; none at first.
void set_network_message_clock(uint32_t clock);
uint32_t get_network_message_clock();

// Builds the message body through the transport formats and sends it.
bool send_user_message(Connection& link, core::ObjectHandle target, uint32_t format, uint32_t message_type,
                       const core::ServerObject& source, bool reliable);
// The link's user-message reader: false fails the link.
bool read_user_message(Connection& link, NetworkStream& stream, uint32_t length_bits, bool type_implied,
                       uint32_t format);

}  // namespace zolt::network
