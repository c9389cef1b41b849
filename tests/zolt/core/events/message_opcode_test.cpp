#include <gtest/gtest.h>

#include <string>

#include "zolt/core/events/message_test_support.h"
#include "zolt/core/script/task_test_support.h"

namespace zolt::core {
namespace {

using test::deliveries;
using test::recipients;
using test::with_clock;

TEST(MessageOpcode, PostsOnBehalfOfTheTasksContextAndAnswersTheMessage) {
    const uint32_t saved_rate = renderer::initial_frame_rate;
    renderer::initial_frame_rate = 60;
    deliveries.clear();
    {
        const std::string source =
            ".code 0 1\n.entry start\nstart:\n"
            "    set_r0 " +
            std::to_string(with_clock(0x55, 3)) +
            "\n"
            "    set_r4 0\n"
            "    post_message\n"
            "    push_r0\n"
            "    pop_r5\n"
            "    set_r0 " +
            std::to_string(with_clock(0x56, 29)) +
            "\n"
            "    post_message\n"
            "    push_r0\n"
            "    pop_r6\n"
            "    set_r0 0x7FFFFFFF\n"
            "    wait\n"
            "    end_task\n";
        test::ScriptWorld world({source});
        event_server.register_server();
        dictionary_server.register_server();
        listener_server.register_server();
        message_server.register_server();
        recipients.register_server();
        event_server.set_next_enabled_mask(get_clock_mask_bit(3));
        ASSERT_EQ(event_server.run_clocks(), 0u);

        test::Recipient* const recipient = recipients.create(true);
        Task* const task = task_server.start_task(0x4000, test::clock_selector(3), 0);
        ASSERT_NE(task, nullptr);
        task->set_argument(2, recipient->get_handle());
        task->set_argument(6, 0xDEAD);
        event_server.update_clocks();
        ASSERT_EQ(event_server.run_clocks(), 0u);

        const ObjectHandle posted = task->get_argument(5);
        ASSERT_EQ(deliveries.size(), 1u);
        EXPECT_EQ(deliveries[0].message, posted);
        EXPECT_EQ(deliveries[0].id, with_clock(0x55, 3));
        const Message* const message = message_server.get_typed_object(posted);
        ASSERT_NE(message, nullptr);
        EXPECT_EQ(message->get_sender(), task->get_context_handle());
        EXPECT_EQ(message->get_context_handle(), task->get_context_handle());
        EXPECT_EQ(message->get_recipient(), recipient->get_handle());
        // An id whose clock bits name no clock makes a message that is
        // never delivered.
        const Message* const undelivered = message_server.get_typed_object(task->get_argument(6));
        ASSERT_NE(undelivered, nullptr);
        EXPECT_EQ(undelivered->get_pending(), 0u);
        EXPECT_EQ(message_server.get_live_count(), 2u);

        recipients.unregister_server();
        message_server.unregister_server();
        listener_server.unregister_server();
        dictionary_server.unregister_server();
        event_server.unregister_server();
    }
    renderer::initial_frame_rate = saved_rate;
}

}  // namespace
}  // namespace zolt::core
