#include "zolt/network/peer_packets.h"

#include "zolt/network/connection.h"

namespace zolt::network {
namespace {

// One buffer for every received packet: the size a peer announces never
// decides how much stack is taken. Anything larger than a ring is dropped.
uint8_t receive_buffer[65536 + 8];
PeerPacketCounts counts;

Connection* find_link(platform::OnlineId sender, bool as_host) {
    const uint32_t first = as_host ? 0 : client_connection_index;
    const uint32_t last = as_host ? player_slot_count : connection_count;
    for (uint32_t i = first; i < last; ++i) {
        Connection& link = get_connection(i);
        if (link.get_state() != ConnectionState::closed && !link.is_local() && link.get_remote_id() == sender) {
            return &link;
        }
    }
    return nullptr;
}

}  // namespace

bool send_control_packet(platform::PeerNetworking& networking, ControlCode code, platform::OnlineId remote) {
    const uint8_t packet[4] = {static_cast<uint8_t>(code), 0, 0, 0x80};
    return networking.send_packet(remote, packet, sizeof(packet), platform::PeerSendType::reliable);
}

bool receive_p2p_packet(platform::PeerNetworking& networking, bool as_host, ControlPacketHandler control_handler) {
    uint32_t announced = 0;
    if (!networking.is_packet_available(&announced)) {
        return false;
    }
    uint32_t size = 0;
    platform::OnlineId sender = 0;
    if (!networking.read_packet(receive_buffer, sizeof(receive_buffer), &size, &sender) || size != announced) {
        ++counts.dropped;
        return true;
    }
    if (size >= 4 && (receive_buffer[3] & 0x80) != 0) {
        ++counts.control;
        if (control_handler != nullptr) {
            control_handler(receive_buffer, size, sender);
        }
        return true;
    }
    Connection* link = find_link(sender, as_host);
    if (link == nullptr) {
        ++counts.dropped;
        networking.close_session(sender);
        return true;
    }
    ++counts.data;
    if (!link->receive_packet(receive_buffer, size)) {
        ++counts.dropped;
    }
    return true;
}

void receive_all_p2p_packets(platform::PeerNetworking& networking, bool as_host, ControlPacketHandler control_handler) {
    while (receive_p2p_packet(networking, as_host, control_handler)) {
    }
    for (uint32_t i = 0; i < connection_count; ++i) {
        Connection& link = get_connection(i);
        if (link.is_local()) {
            link.receive_pending_messages();
        }
    }
}

const PeerPacketCounts& get_peer_packet_counts() {
    return counts;
}

void clear_peer_packet_counts() {
    counts = {};
}

}  // namespace zolt::network
