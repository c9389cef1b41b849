#pragma once
// A message world for the message and listener tests: the event, dictionary,
// listener and message servers registered, plus a server of recipients that
// record every message handed to them and answer as told. A recipient's
// action runs inside its handler, so tests can change the world mid-delivery.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "zolt/core/events/event_server.h"
#include "zolt/core/events/listener_server.h"
#include "zolt/core/events/message.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::test {

constexpr uint32_t recipient_server_type = 40;

struct Delivery {
    core::ObjectHandle recipient;
    core::ObjectHandle message;
    uint32_t id;
    bool locked;
};

inline std::vector<Delivery> deliveries;

class Recipient final : public core::ServerObject {
public:
    void initialize(uint32_t argument) override {
        answer = argument != 0;
        action = nullptr;
    }
    void finalize() override { action = nullptr; }
    bool handle_message(core::Message* message) override {
        deliveries.push_back({get_handle(), message->get_handle(), message->get_id(), message->is_locked()});
        if (action) {
            // The action may destroy this recipient; keep what we answer.
            const bool kept = answer;
            std::function<void(core::Message*)> run = action;
            run(message);
            return kept;
        }
        return answer;
    }

    bool answer = false;
    std::function<void(core::Message*)> action;
};

class RecipientServer final : public core::PooledServer<Recipient, 64> {
public:
    RecipientServer() : PooledServer(recipient_server_type) {}
    const char* get_name() const override { return "RecipientServer"; }
    Recipient* create(bool answer) { return static_cast<Recipient*>(create_object_internal(answer ? 1 : 0)); }
};

inline RecipientServer recipients;

inline uint32_t clock_selector(uint32_t clock) {
    return clock | core::get_clock_mask_bit(clock);
}

inline uint32_t with_clock(uint32_t number, uint32_t clock) {
    return number | clock << core::message_clock_shift;
}

// The id a broadcast of that number carries when the clock delivers it.
inline uint32_t broadcast_id(uint32_t number, uint32_t clock) {
    return with_clock(number, clock) | core::message_broadcast_bit;
}

class MessageWorld : public ::testing::Test {
protected:
    void SetUp() override {
        saved_rate_ = renderer::initial_frame_rate;
        renderer::initial_frame_rate = 60;
        deliveries.clear();
        core::event_server.register_server();
        core::dictionary_server.register_server();
        core::listener_server.register_server();
        core::message_server.register_server();
        recipients.register_server();
    }
    void TearDown() override {
        recipients.unregister_server();
        core::message_server.unregister_server();
        core::listener_server.unregister_server();
        core::dictionary_server.unregister_server();
        core::event_server.unregister_server();
        renderer::initial_frame_rate = saved_rate_;
    }

    // The clocks take part from the next frame on.
    static void enable(std::initializer_list<uint32_t> clocks) {
        for (uint32_t clock : clocks) {
            core::event_server.set_next_enabled_mask(core::event_server.get_next_enabled_mask() |
                                                     core::get_clock_mask_bit(clock));
        }
        ASSERT_EQ(core::event_server.run_clocks(), 0u);
    }
    // Frame-loop states 0 and 1.
    static void frame() {
        core::event_server.update_clocks();
        core::message_server.free_delivered_messages();
        ASSERT_EQ(core::event_server.run_clocks(), 0u);
    }
    static bool is_live_message(core::ObjectHandle handle) {
        return core::message_server.get_typed_object(handle) != nullptr;
    }
    static core::Listener* listen(uint32_t pattern, core::ObjectHandle target, core::ObjectHandle sender = 0) {
        auto* const listener = static_cast<core::Listener*>(core::listener_server.create_object_internal(pattern));
        listener->set_target(target);
        listener->set_sender_filter(sender);
        return listener;
    }
    static std::vector<core::ObjectHandle> receivers() {
        std::vector<core::ObjectHandle> handles;
        for (const Delivery& delivery : deliveries) {
            handles.push_back(delivery.recipient);
        }
        return handles;
    }

private:
    uint32_t saved_rate_ = 0;
};

}  // namespace zolt::test
