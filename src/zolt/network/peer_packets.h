#pragma once
// Reading peer-to-peer packets and routing them: control packets (4 bytes,
// top bit of byte 3 set) to the control handler, data packets to the link
// whose peer sent them. Main thread only.
#include <cstdint>

#include "platform/online/peer_networking.h"

namespace zolt::network {

enum class ControlCode : uint8_t {
    connect_request = 1,
    accepted = 2,
    refused = 3,
    address_request = 4,
};

using ControlPacketHandler = void (*)(const uint8_t* packet, uint32_t size, platform::OnlineId sender);

struct PeerPacketCounts {
    // Unreadable, refused by their link or from nobody we play with.
    uint32_t dropped = 0;
    uint32_t control = 0;
    uint32_t data = 0;
};

bool send_control_packet(platform::PeerNetworking& networking, ControlCode code, platform::OnlineId remote);
// Reads one packet when one waits; false when none was read.
bool receive_p2p_packet(platform::PeerNetworking& networking, bool as_host, ControlPacketHandler control_handler);
// Reads every waiting packet, then lets in-process links read what they hold.
void receive_all_p2p_packets(platform::PeerNetworking& networking, bool as_host, ControlPacketHandler control_handler);
const PeerPacketCounts& get_peer_packet_counts();
void clear_peer_packet_counts();

}  // namespace zolt::network
