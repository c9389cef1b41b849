#pragma once
// A peer played by the test: it sends packets of the link format with its
// own numbering and reads back what the game under test sent it, message by
// message. It stands for the other machine, which one process cannot run.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/online/fake_online_world.h"
#include "zolt/network/connection.h"
#include "zolt/network/peer_packets.h"

namespace zolt::test {

struct PeerMessage {
    // System id, or 0x100 + code for a control packet, or 0x200 + id for a
    // user message.
    uint32_t kind;
    std::vector<uint8_t> payload;
};

constexpr uint32_t control_kind = 0x100;

class ScriptedPeer {
public:
    ScriptedPeer(platform::FakePeerEndpoint& endpoint, platform::OnlineId remote)
        : endpoint_(endpoint), remote_(remote) {}

    void send_control(network::ControlCode code) { network::send_control_packet(endpoint_, code, remote_); }

    void send_system(network::SystemMessageId id, const std::vector<uint8_t>& fields, bool reliable = true) {
        std::vector<uint8_t> packet;
        const uint32_t number = ++sequence_;
        put_word(packet, number | (reliable ? network::reliable_packet_bit : 0));
        if (reliable) {
            last_reliable_ = number;
        } else {
            put_word(packet, last_reliable_);
        }
        const uint32_t length_bits = 8 + 8 * static_cast<uint32_t>(fields.size());
        packet.push_back(static_cast<uint8_t>(length_bits));
        packet.push_back(static_cast<uint8_t>(length_bits >> 8));
        packet.push_back(network::system_message_id);
        packet.push_back(static_cast<uint8_t>(id));
        packet.insert(packet.end(), fields.begin(), fields.end());
        ASSERT_TRUE(
            endpoint_.send_packet(remote_, packet.data(), static_cast<uint32_t>(packet.size()),
                                  reliable ? platform::PeerSendType::reliable : platform::PeerSendType::unreliable));
    }

    // Drains what arrived. The host sends merged player masks whenever they
    // change; tests of the other messages leave them out.
    std::vector<PeerMessage> receive(bool with_merged_masks = false) {
        std::vector<PeerMessage> messages;
        uint32_t size = 0;
        while (endpoint_.is_packet_available(&size)) {
            std::vector<uint8_t> bytes(size);
            platform::OnlineId sender = 0;
            EXPECT_TRUE(endpoint_.read_packet(bytes.data(), size, &size, &sender));
            if (size >= 4 && (bytes[3] & 0x80) != 0) {
                messages.push_back({control_kind + bytes[0], {}});
                continue;
            }
            const bool reliable = (bytes[3] & 0x40) != 0;
            const size_t header = reliable ? 4 : 8;
            EXPECT_GE(size, header + 3);
            const uint8_t id = bytes[header + 2];
            if (id == network::system_message_id) {
                if (!with_merged_masks &&
                    bytes[header + 3] == static_cast<uint8_t>(network::SystemMessageId::merged_mask)) {
                    continue;
                }
                messages.push_back({bytes[header + 3], std::vector<uint8_t>(bytes.begin() + header + 4, bytes.end())});
            } else {
                messages.push_back({0x200u + id, std::vector<uint8_t>(bytes.begin() + header + 3, bytes.end())});
            }
        }
        return messages;
    }

    static std::vector<uint32_t> kinds(const std::vector<PeerMessage>& messages) {
        std::vector<uint32_t> result;
        for (const PeerMessage& message : messages) {
            result.push_back(message.kind);
        }
        return result;
    }

    static std::vector<uint8_t> name_field(const std::string& name) {
        std::vector<uint8_t> bytes;
        put_word(bytes, static_cast<uint32_t>(name.size()));
        bytes.insert(bytes.end(), name.begin(), name.end());
        return bytes;
    }

    static void put_word(std::vector<uint8_t>& bytes, uint32_t word) {
        for (uint32_t i = 0; i < 4; ++i) {
            bytes.push_back(static_cast<uint8_t>(word >> (8 * i)));
        }
    }

private:
    platform::FakePeerEndpoint& endpoint_;
    platform::OnlineId remote_;
    uint32_t sequence_ = 0;
    uint32_t last_reliable_ = 0;
};

}  // namespace zolt::test
