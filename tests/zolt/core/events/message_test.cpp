#include <gtest/gtest.h>

#include "libs/system/time_base.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/events/message_test_support.h"
#include "zolt/core/program/frame_loop.h"
#include "zolt/core/script/script_context.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::broadcast_id;
using test::deliveries;
using test::recipients;
using test::with_clock;

constexpr uint32_t extra_property = 0x03000050;

using Messages = test::MessageWorld;

Property word(uint32_t type_word, uint32_t value) {
    Property property;
    property.set_u32(type_word, value);
    return property;
}

Event* first_event_of(const Message* message) {
    return static_cast<Event*>(message->get_first_child());
}

TEST_F(Messages, EachClockOfTheMaskDeliversOnceWithItsOwnClockBits) {
    enable({2, 3, 5});
    const uint32_t mask = get_clock_mask_bit(2) | get_clock_mask_bit(3) | get_clock_mask_bit(5);
    struct Case {
        bool answer;
        bool alive_after_run;
    };
    for (const Case c : {Case{false, false}, Case{true, true}}) {
        SCOPED_TRACE(c.answer);
        deliveries.clear();
        test::Recipient* const recipient = recipients.create(c.answer);
        // The posted id names clock 9 and the broadcast bit: delivery rewrites both.
        Message* const message =
            post_message_to_clocks(with_clock(0x1234, 9) | message_broadcast_bit, mask, 77, recipient->get_handle(), 0);
        ASSERT_NE(message, nullptr);
        const ObjectHandle handle = message->get_handle();
        EXPECT_EQ(message->get_pending(), 3u);
        EXPECT_EQ(message->get_sender(), 77u);
        frame();
        ASSERT_EQ(deliveries.size(), 3u);
        const uint32_t clocks[] = {2, 3, 5};
        for (uint32_t n = 0; n < 3; ++n) {
            EXPECT_EQ(deliveries[n].id, with_clock(0x1234, clocks[n]));
            EXPECT_EQ(deliveries[n].recipient, recipient->get_handle());
            // Only the last delivery may be changed by its handler.
            EXPECT_EQ(deliveries[n].locked, n < 2);
        }
        EXPECT_EQ(is_live_message(handle), c.alive_after_run);
        frame();
        EXPECT_FALSE(is_live_message(handle));
        EXPECT_EQ(event_server.get_live_count(), 0u);
    }
}

TEST_F(Messages, AnEarlierKeepHoldsTheMessageUntilTheNextFrame) {
    enable({2, 3});
    test::Recipient* const recipient = recipients.create(true);
    // The first handler keeps it, the second does not.
    recipient->action = [recipient](Message*) { recipient->answer = false; };
    Message* const message =
        post_message_to_clocks(1, get_clock_mask_bit(2) | get_clock_mask_bit(3), 0, recipient->get_handle(), 0);
    const ObjectHandle handle = message->get_handle();
    frame();
    EXPECT_EQ(deliveries.size(), 2u);
    EXPECT_TRUE(is_live_message(handle));
    frame();
    EXPECT_FALSE(is_live_message(handle));
}

TEST_F(Messages, ABroadcastGoesAtOnceUnlessAListenersTargetKeepsIt) {
    enable({4});
    for (const bool answer : {false, true}) {
        SCOPED_TRACE(answer);
        deliveries.clear();
        test::Recipient* const target = recipients.create(answer);
        Listener* const listener = listen(broadcast_id(0x77, 4), target->get_handle());
        const ObjectHandle handle = post_message(with_clock(0x77, 4), 5, 0, 0)->get_handle();
        frame();
        ASSERT_EQ(deliveries.size(), 1u);
        EXPECT_EQ(deliveries[0].id, broadcast_id(0x77, 4));
        EXPECT_TRUE(deliveries[0].locked);
        EXPECT_EQ(is_live_message(handle), answer);
        frame();
        EXPECT_FALSE(is_live_message(handle));
        destroy_object(listener);
    }
}

TEST_F(Messages, TheClockBeingRunIsTheClockOfNumber31) {
    // Outside a run that is clock 0.
    Message* const outside = post_message(with_clock(1, 31), 0, 0, 1000);
    ASSERT_NE(outside, nullptr);
    EXPECT_EQ(first_event_of(outside)->get_clock(), 0u);

    enable({3});
    test::Recipient* const recipient = recipients.create(false);
    ObjectHandle inside = 0;
    recipient->action = [&inside](Message*) { inside = post_message(with_clock(2, 31), 0, 0, 100000)->get_handle(); };
    post_message(with_clock(1, 3), 0, recipient->get_handle(), 0);
    frame();
    ASSERT_NE(message_server.get_typed_object(inside), nullptr);
    EXPECT_EQ(first_event_of(message_server.get_typed_object(inside))->get_clock(), 3u);
}

TEST_F(Messages, AnIdOrMaskNamingNoClockMakesAMessageThatIsNeverDeliveredUntil189) {
    deliveries.clear();
    test::Recipient* const recipient = recipients.create(true);
    std::vector<ObjectHandle> handles;
    for (const uint32_t clock : {27u, 29u, 30u}) {
        Message* const message = post_message(with_clock(1, clock), 0, recipient->get_handle(), 0);
        ASSERT_NE(message, nullptr) << clock;
        handles.push_back(message->get_handle());
    }
    Message* const masked = post_message_to_clocks(1, 0x1F, 0, 0, 0);
    ASSERT_NE(masked, nullptr);
    handles.push_back(masked->get_handle());
    EXPECT_EQ(event_server.get_live_count(), 0u);
    frame();
    frame();
    EXPECT_TRUE(deliveries.empty());
    for (const ObjectHandle handle : handles) {
        EXPECT_TRUE(is_live_message(handle));
    }
    // The recipient lives, so only the broadcast goes.
    ScriptContext context{};
    call_builtin(context, 189);
    EXPECT_EQ(message_server.get_live_count(), 3u);
    EXPECT_FALSE(is_live_message(handles.back()));
}

TEST_F(Messages, EnabledClockPostingKeepsOnlyClocksStillToRunInThisFrame) {
    enable({2, 5});
    EXPECT_EQ(post_message_to_enabled_clocks(test::clock_selector(4), 1), nullptr);
    Message* const on_five = post_message_to_enabled_clocks(test::clock_selector(5), 1);
    ASSERT_NE(on_five, nullptr);
    EXPECT_EQ(first_event_of(on_five)->get_clock(), 5u);
    EXPECT_EQ(on_five->get_sender(), 0u);
    EXPECT_EQ(on_five->get_recipient(), 0u);
    EXPECT_EQ(message_server.get_live_count(), 1u);

    // While clock 5 runs, clock 2 has had its turn; 31 names clock 5.
    test::Recipient* const recipient = recipients.create(false);
    std::vector<uint32_t> posted_clocks;
    recipient->action = [&posted_clocks](Message*) {
        for (const uint32_t selector : {test::clock_selector(2), 31u}) {
            const Message* const posted = post_message_to_enabled_clocks(selector, 3);
            posted_clocks.push_back(posted != nullptr ? first_event_of(posted)->get_clock() : no_clock);
        }
    };
    post_message(with_clock(9, 5), 0, recipient->get_handle(), 0);
    frame();
    EXPECT_EQ(posted_clocks, (std::vector<uint32_t>{no_clock, 5}));
}

TEST_F(Messages, RepostingAddsADeliveryOnTheClockOfTheId) {
    enable({6});
    test::Recipient* const recipient = recipients.create(false);
    Message* const message = post_message(with_clock(3, 6), 0, recipient->get_handle(), 0);
    repost_message(message, 0);
    EXPECT_EQ(message->get_pending(), 2u);
    frame();
    EXPECT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(message_server.get_live_count(), 0u);
}

TEST_F(Messages, Builtin189DestroysMessagesWithoutALiveRecipient) {
    test::Recipient* const alive = recipients.create(false);
    test::Recipient* const gone = recipients.create(false);
    const ObjectHandle broadcast = post_message(with_clock(1, 7), 0, 0, 100)->get_handle();
    const ObjectHandle addressed = post_message(with_clock(2, 7), 0, alive->get_handle(), 100)->get_handle();
    const ObjectHandle orphaned = post_message(with_clock(3, 7), 0, gone->get_handle(), 100)->get_handle();
    Message* const network = post_message(with_clock(4, 7), 0, 0, 100);
    network->set_kind(1);
    destroy_object(gone);
    EXPECT_EQ(event_server.get_live_count(), 4u);

    ScriptContext context{};
    call_builtin(context, 189);
    EXPECT_FALSE(is_live_message(broadcast));
    EXPECT_TRUE(is_live_message(addressed));
    EXPECT_FALSE(is_live_message(orphaned));
    EXPECT_TRUE(is_live_message(network->get_handle()));
    // Their pending deliveries went with them.
    EXPECT_EQ(event_server.get_live_count(), 2u);
}

TEST_F(Messages, PropertyWritesAreRefusedWhileLocked) {
    enable({1});
    test::Recipient* const recipient = recipients.create(false);
    test::Recipient* const target = recipients.create(false);
    listen(broadcast_id(5, 1), target->get_handle());
    std::vector<bool> written;
    auto write_recipient = [&written](Message* message) {
        written.push_back(message->set_property(message_property::recipient, word(0x01000000, 0)));
    };
    recipient->action = write_recipient;
    target->action = write_recipient;
    post_message(with_clock(5, 1), 0, recipient->get_handle(), 0);
    post_message(with_clock(5, 1), 0, 0, 0);
    frame();
    EXPECT_EQ(written, (std::vector<bool>{true, false}));
}

TEST_F(Messages, ExtraPropertiesLiveInADictionaryMadeOnTheFirstWrite) {
    Message* const message = post_message(with_clock(0x42, 8), 3, 4, 100);
    Property out;
    ASSERT_TRUE(message->get_property(0x21, out));
    EXPECT_EQ(out.id, 0x03000000u);
    EXPECT_EQ(out.get_u32(), with_clock(0x42, 8));
    ASSERT_TRUE(message->get_property(message_property::sender, out));
    EXPECT_EQ(out.get_u32(), 3u);
    ASSERT_TRUE(message->get_property(0x23, out));
    EXPECT_EQ(out.get_u32(), 4u);
    EXPECT_FALSE(message->set_property(message_property::id, word(0x03000000, 9)));
    EXPECT_FALSE(message->get_property(extra_property, out));

    // A write the dictionary refuses leaves no dictionary behind.
    EXPECT_FALSE(message->set_property(0x50, word(0, 1)));
    EXPECT_EQ(dictionary_server.get_live_count(), 0u);
    EXPECT_TRUE(message->set_property(base_property::context, word(0x03000000, 12)));
    EXPECT_EQ(message->get_context_handle(), 12u);
    EXPECT_EQ(dictionary_server.get_live_count(), 0u);

    ASSERT_TRUE(message->set_property(extra_property, word(extra_property, 99)));
    EXPECT_EQ(dictionary_server.get_live_count(), 1u);
    ASSERT_TRUE(message->get_property(extra_property, out));
    EXPECT_EQ(out.get_u32(), 99u);
    EXPECT_TRUE(message->remove_property(extra_property));
    EXPECT_FALSE(message->get_property(extra_property, out));
    ASSERT_TRUE(message->set_property(extra_property, word(extra_property, 98)));
    destroy_object(message);
    EXPECT_EQ(dictionary_server.get_live_count(), 0u);
}

TEST_F(Messages, SavedMessagesComeBackWithTheirPropertiesAndDeliveries) {
    enable({2});
    test::Recipient* const recipient = recipients.create(false);
    Message* const message = post_message(with_clock(0x99, 2), 6, recipient->get_handle(), 2000);
    repost_message(message, 4000);
    ASSERT_TRUE(message->set_property(extra_property, word(extra_property, 1234)));
    const ObjectHandle handle = message->get_handle();

    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    destroy_object(message);
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    ASSERT_TRUE(load_all_servers(load));

    Message* const loaded = message_server.get_typed_object(handle);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_pending(), 2u);
    EXPECT_EQ(loaded->get_id(), with_clock(0x99, 2));
    EXPECT_EQ(loaded->get_sender(), 6u);
    EXPECT_EQ(loaded->get_recipient(), recipient->get_handle());
    Property out;
    ASSERT_TRUE(loaded->get_property(extra_property, out));
    EXPECT_EQ(out.get_u32(), 1234u);
    for (int n = 0; n < 3; ++n) {
        frame();
    }
    EXPECT_EQ(deliveries.size(), 2u);
    EXPECT_FALSE(is_live_message(handle));
    EXPECT_EQ(dictionary_server.get_live_count(), 0u);
}

TEST_F(Messages, AHandlerMayDestroyTheMessageItIsGiven) {
    enable({2, 3});
    test::Recipient* const recipient = recipients.create(false);
    recipient->action = [](Message* message) { destroy_object(message); };
    post_message_to_clocks(1, get_clock_mask_bit(2) | get_clock_mask_bit(3), 0, recipient->get_handle(), 0);
    frame();
    // Its second delivery went with it.
    EXPECT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(message_server.get_live_count(), 0u);
    EXPECT_EQ(event_server.get_live_count(), 0u);
}

void stop_step(Thread*) {}
Thread stopper(stop_step);

void stop_after_first_state(FrameLoopState, void*) {
    // Another due thread makes the frame loop give way after this state.
    schedule_thread(&stopper, get_time() - 1);
}

TEST_F(Messages, FrameLoopClockAdvanceFreesKeptMessages) {
    enable({3});
    test::Recipient* const recipient = recipients.create(true);
    const ObjectHandle handle = post_message(with_clock(1, 3), 0, recipient->get_handle(), 0)->get_handle();
    ASSERT_EQ(event_server.run_clocks(), 0u);
    event_server.update_clocks();
    ASSERT_EQ(event_server.run_clocks(), 0u);
    ASSERT_EQ(deliveries.size(), 1u);
    ASSERT_TRUE(is_live_message(handle));

    Thread& frame_loop = get_frame_loop_thread();
    const FrameLoopState saved_state = get_frame_loop_state();
    set_frame_loop_state(FrameLoopState::advance_clocks);
    set_frame_loop_observer(stop_after_first_state, nullptr);
    schedule_thread(&frame_loop, get_time());
    run_due_thread();
    set_frame_loop_observer(nullptr, nullptr);
    unlink_thread(&stopper);
    unlink_thread(&frame_loop);
    EXPECT_EQ(get_frame_loop_state(), FrameLoopState::run_clocks);
    set_frame_loop_state(saved_state);
    EXPECT_FALSE(is_live_message(handle));
}

}  // namespace
}  // namespace zolt::core
