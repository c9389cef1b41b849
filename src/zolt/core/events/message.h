#pragma once
// A message (server type 10): an id, a sender, an optional recipient and any
// extra properties, delivered once per queued delivery event. A message with
// a recipient goes to that object's handle_message; one without is a
// broadcast that goes to the matching listeners. Whoever handles it may keep
// it until the next frame-loop state 0; otherwise it goes after its last
// delivery. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

namespace message_property {
constexpr uint32_t id = 0x03000021, sender = 0x01000022, recipient = 0x01000023;
}  // namespace message_property

// Message id bits: the number in 0-25, the clock in 26-30, broadcast in 31.
constexpr uint32_t message_clock_shift = 26;
constexpr uint32_t message_clock_bits = 0x7C000000u;
constexpr uint32_t message_broadcast_bit = 0x80000000u;

class Message final : public ServerObject {
public:
    void initialize(uint32_t id) override;
    // Destroys the dictionary of extra properties.
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    bool get_property(uint32_t id, Property& out) const override;
    // False while locked.
    bool set_property(uint32_t id, const Property& value) override;
    bool remove_property(uint32_t id) override;

    // One delivery, after its event has gone: to the recipient, or to the
    // listeners when there is none. May destroy the message.
    static void deliver(Message* message);

    uint16_t get_pending() const { return pending_; }
    bool is_kept() const { return kept_ != 0; }
    bool is_locked() const { return locked_ != 0; }
    uint32_t get_kind() const { return kind_; }
    void set_kind(uint32_t kind) { kind_ = kind; }
    uint32_t get_id() const { return id_; }
    ObjectHandle get_sender() const { return sender_; }
    void set_sender(ObjectHandle sender) { sender_ = sender; }
    ObjectHandle get_recipient() const { return recipient_; }
    void set_recipient(ObjectHandle recipient) { recipient_ = recipient; }
    ObjectHandle get_dictionary() const { return dictionary_; }
    // Makes the dictionary the message's own, destroying the one it had.
    void replace_dictionary(ObjectHandle dictionary);
    // 0 normal; 1 and 2 name the recipient the way network messages do.
    uint32_t get_delivery_mode() const { return delivery_mode_; }
    void set_delivery_mode(uint32_t mode) { delivery_mode_ = mode; }

private:
    friend void queue_message_on_clock(uint32_t delay, uint32_t clock_selector, Message* message);

    uint16_t pending_ = 0;
    uint8_t kept_ = 0;
    uint8_t locked_ = 0;
    uint32_t kind_ = 0;
    uint32_t id_ = 0;
    ObjectHandle sender_ = 0;
    ObjectHandle recipient_ = 0;
    ObjectHandle dictionary_ = 0;
    uint32_t delivery_mode_ = 0;
};

// Delivers a message with a delivery mode and says whether it was kept;
// installed by the game server while it is registered. Without one such
// messages reach nobody.
using NetworkMessageDeliverer = bool (*)(Message* message);
void set_network_message_deliverer(NetworkMessageDeliverer deliverer);

// Returns the new message, or nullptr when the selector leaves no clock
// (nothing created). Keeps the selector's clocks enabled in this frame and not
// behind the clock being run; sender, recipient and delay 0.
Message* post_message_to_enabled_clocks(uint32_t clock_selector, uint32_t id);
// One delivery on the clock of the id's bits 26-30 (31: the clock being run;
// 27-30: none, so the message is created but never delivered).
Message* post_message(uint32_t id, ObjectHandle sender, ObjectHandle recipient, uint32_t delay);
// One delivery on every clock whose bit 5 + i is set in the mask.
Message* post_message_to_clocks(uint32_t id, uint32_t clock_mask, ObjectHandle sender, ObjectHandle recipient,
                                uint32_t delay);
// One more delivery on the clock of the message's id.
void repost_message(Message* message, uint32_t delay);
// A delivery event on the clock, owned by the message, by the event delay rules.
void queue_message_on_clock(uint32_t delay, uint32_t clock_selector, Message* message);

}  // namespace zolt::core
