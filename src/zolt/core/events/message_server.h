#pragma once
// The message server: 10000 messages. It installs the event server's message
// deliverer and disposes of kept messages at frame-loop state 0. Main thread
// only.
#include <cstdint>

#include "zolt/core/events/message.h"
#include "zolt/core/object_server/pooled_server.h"

namespace zolt::core {

constexpr uint32_t message_capacity = 10000;

class MessageServer final : public PooledServer<Message, message_capacity> {
public:
    MessageServer() : PooledServer(server_type::message) {}

    const char* get_name() const override { return "MessageServer"; }
    // Also installs the delivery of fired message events.
    void register_server() override;
    void unregister_server() override;

    // Frame-loop state 0: destroys every kept message with nothing pending.
    void free_delivered_messages();
    // Builtin 189: destroys every plain message without a live recipient.
    void destroy_unaddressed_messages();
};

extern MessageServer message_server;

}  // namespace zolt::core
