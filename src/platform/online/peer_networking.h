#pragma once
// Peer-to-peer packets between online ids, as the client and the hosted game
// server each offer them. Everything travels on one channel, so the packets
// of one peer arrive in the order they were sent when they go reliably;
// unreliable packets may be lost, duplicated or overtake one another, but
// never an earlier reliable one. Main thread only.
#include <cstdint>

#include "platform/online/online_ids.h"

namespace zolt::platform {

enum class PeerSendType : uint32_t {
    unreliable = 0,
    reliable = 2,
};

// The largest packet the links send: an 8-byte header, a 3-byte message
// header and a payload below 0x10000 bits.
constexpr uint32_t peer_packet_capacity = 8 + 3 + 8192;

class PeerNetworking {
public:
    virtual ~PeerNetworking() = default;

    // False when the packet cannot be sent (too large, nobody at that id).
    virtual bool send_packet(OnlineId remote, const uint8_t* bytes, uint32_t size, PeerSendType type) = 0;
    // True with the next packet's size when one waits.
    virtual bool is_packet_available(uint32_t* size) = 0;
    // Takes the next packet; false (and the packet is gone) when it does not
    // fit the capacity.
    virtual bool read_packet(uint8_t* bytes, uint32_t capacity, uint32_t* size, OnlineId* sender) = 0;
    // Lets packets of a peer that asked for a session through.
    virtual bool accept_session(OnlineId remote) = 0;
    virtual bool close_session(OnlineId remote) = 0;
    // The peer's IPv4 address, first octet in the top byte.
    virtual bool get_session_address(OnlineId remote, uint32_t* address) = 0;
};

}  // namespace zolt::platform
