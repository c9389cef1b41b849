#include <gtest/gtest.h>

#include "zolt/core/events/message_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::core {
namespace {

using test::broadcast_id;
using test::deliveries;
using test::recipients;
using test::with_clock;

using Listeners = test::MessageWorld;

constexpr uint32_t clock = 4;

void broadcast(uint32_t number, ObjectHandle sender = 0) {
    ASSERT_NE(post_message(with_clock(number, clock), sender, 0, 0), nullptr);
}

TEST_F(Listeners, WildcardsMatchTheNumberTheGroupOrBoth) {
    enable({clock, 5});
    struct Pattern {
        const char* name;
        uint32_t pattern;
    };
    const Pattern patterns[] = {
        {"exact", broadcast_id(0x0123456, clock)},     {"any number", broadcast_id(0x012FFFF, clock)},
        {"any group", broadcast_id(0x3FF3456, clock)}, {"anything", broadcast_id(0x3FFFFFF, clock)},
        {"other clock", broadcast_id(0x3FFFFFF, 5)},   {"not broadcast", with_clock(0x3FFFFFF, clock)},
    };
    std::vector<ObjectHandle> targets;
    for (const Pattern& pattern : patterns) {
        targets.push_back(recipients.create(false)->get_handle());
        listen(pattern.pattern, targets.back());
    }
    struct Case {
        uint32_t number;
        std::vector<int> reached;
    };
    const Case cases[] = {
        {0x0123456, {0, 1, 2, 3}},
        {0x0120000, {3}},     // low 16 bits 0: the exact id and the full wildcard only
        {0x0129999, {1, 3}},  // same group, another number
        {0x0773456, {2, 3}},  // same number, another group
        // An id equal to its own wildcard reaches each listener once.
        {0x012FFFF, {1, 3}},
        {0x3FFFFFF, {3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.number);
        deliveries.clear();
        broadcast(c.number);
        frame();
        std::vector<ObjectHandle> expected;
        for (const int index : c.reached) {
            expected.push_back(targets[static_cast<size_t>(index)]);
        }
        EXPECT_EQ(receivers(), expected);
    }
}

TEST_F(Listeners, ASenderFilterIgnoresOtherSenders) {
    enable({clock});
    const ObjectHandle any = recipients.create(false)->get_handle();
    const ObjectHandle only_seven = recipients.create(false)->get_handle();
    listen(broadcast_id(1, clock), any);
    listen(broadcast_id(1, clock), only_seven, 7);
    broadcast(1, 8);
    broadcast(1, 7);
    frame();
    EXPECT_EQ(receivers(), (std::vector<ObjectHandle>{any, any, only_seven}));
}

TEST_F(Listeners, HandlersMayDestroyListenersOfTheBucketBeingWalked) {
    enable({clock});
    struct Case {
        const char* name;
        int destroyed_by_first;
        std::vector<int> reached;
    };
    // Listeners 0 to 3 share one pattern; 1021 apart share its bucket too.
    for (const Case& c : {Case{"next", 1, {0, 2, 3}}, Case{"self", 0, {0, 1, 2, 3}}, Case{"last", 3, {0, 1, 2}},
                          Case{"earlier", -1, {0, 1, 2, 3}}}) {
        SCOPED_TRACE(c.name);
        deliveries.clear();
        std::vector<ObjectHandle> targets;
        std::vector<Listener*> listeners;
        const ObjectHandle before = recipients.create(false)->get_handle();
        Listener* const earlier = listen(broadcast_id(2, clock) - listener_bucket_count, before);
        for (int n = 0; n < 4; ++n) {
            targets.push_back(recipients.create(false)->get_handle());
            listeners.push_back(listen(broadcast_id(2, clock), targets.back()));
            if (n == 1) {
                listen(broadcast_id(2, clock) + listener_bucket_count, before);
            }
        }
        Listener* const victim =
            c.destroyed_by_first >= 0 ? listeners[static_cast<size_t>(c.destroyed_by_first)] : earlier;
        static_cast<test::Recipient*>(get_object(targets[0]))->action = [victim](Message*) { destroy_object(victim); };
        broadcast(2);
        frame();
        std::vector<ObjectHandle> expected;
        for (const int index : c.reached) {
            expected.push_back(targets[static_cast<size_t>(index)]);
        }
        EXPECT_EQ(receivers(), expected);
        listener_server.destroy_all_objects();
        recipients.destroy_all_objects();
    }
}

TEST_F(Listeners, AListenerMadeInAHandlerHearsOnlyTheNextBroadcast) {
    enable({clock});
    test::Recipient* const first = recipients.create(false);
    const ObjectHandle late = recipients.create(false)->get_handle();
    listen(broadcast_id(3, clock), first->get_handle());
    Listener* made = nullptr;
    first->action = [&made, late](Message*) {
        if (made == nullptr) {
            made = listen(broadcast_id(3, clock), late);
            // Found although it waits for the dispatch to end.
            EXPECT_EQ(listener_server.find_listener(broadcast_id(3, clock), late), made);
        }
    };
    broadcast(3);
    frame();
    EXPECT_EQ(receivers(), (std::vector<ObjectHandle>{first->get_handle()}));
    deliveries.clear();
    broadcast(3);
    frame();
    EXPECT_EQ(receivers(), (std::vector<ObjectHandle>{first->get_handle(), late}));
}

TEST_F(Listeners, SamePatternListenersHearInCreationOrderAndAfterALoadInSavedOrder) {
    enable({clock});
    const uint32_t pattern = broadcast_id(6, clock);
    std::vector<ObjectHandle> targets;
    for (int n = 0; n < 4; ++n) {
        targets.push_back(recipients.create(false)->get_handle());
    }
    Listener* const dropped = listen(pattern, targets[0]);
    listen(pattern, targets[1]);
    listen(pattern, targets[2], 9);
    destroy_object(dropped);
    // Takes the freed slot, yet comes last.
    listen(pattern, targets[3]);
    const std::vector<ObjectHandle> order{targets[1], targets[2], targets[3]};
    broadcast(6, 9);
    frame();
    EXPECT_EQ(receivers(), order);

    storage::MemorySaveStream save;
    ASSERT_TRUE(save.open(0));
    save_all_servers(save);
    ASSERT_TRUE(save.finish());
    listener_server.destroy_all_objects();
    storage::MemoryLoadStream load;
    ASSERT_TRUE(load.open(0));
    ASSERT_TRUE(load_all_servers(load));
    EXPECT_EQ(listener_server.get_live_count(), 3u);
    deliveries.clear();
    broadcast(6, 9);
    frame();
    EXPECT_EQ(receivers(), order);
    deliveries.clear();
    broadcast(6, 8);
    frame();
    EXPECT_EQ(receivers(), (std::vector<ObjectHandle>{targets[1], targets[3]}));
}

TEST_F(Listeners, TargetsThatAreGoneAreSkippedAndTheListenerStays) {
    enable({clock});
    test::Recipient* const gone = recipients.create(true);
    const ObjectHandle alive = recipients.create(false)->get_handle();
    listen(broadcast_id(4, clock), gone->get_handle());
    listen(broadcast_id(4, clock), alive);
    destroy_object(gone);
    broadcast(4);
    frame();
    EXPECT_EQ(receivers(), (std::vector<ObjectHandle>{alive}));
    EXPECT_EQ(listener_server.get_live_count(), 2u);
    // Nobody kept it.
    EXPECT_EQ(message_server.get_live_count(), 0u);
}

TEST_F(Listeners, AMessageDestroyedByAHandlerReachesNoFurtherListener) {
    enable({clock});
    test::Recipient* const first = recipients.create(true);
    const ObjectHandle second = recipients.create(true)->get_handle();
    first->action = [](Message* message) { destroy_object(message); };
    listen(broadcast_id(5, clock), first->get_handle());
    listen(broadcast_id(5, clock) | 0x3FFFFFF, second);
    broadcast(5);
    frame();
    EXPECT_EQ(receivers(), (std::vector<ObjectHandle>{first->get_handle()}));
    EXPECT_EQ(message_server.get_live_count(), 0u);
}

TEST_F(Listeners, PropertiesAndFindListener) {
    const uint32_t pattern = broadcast_id(7, clock);
    Listener* const filtered = listen(pattern, 50, 3);
    Listener* const plain = listen(pattern, 50);
    listen(pattern, 51);
    EXPECT_EQ(listener_server.find_listener(pattern, 50), plain);
    EXPECT_EQ(listener_server.find_listener(pattern, 52), nullptr);
    EXPECT_EQ(listener_server.find_listener(pattern + 1, 50), nullptr);

    Property out;
    for (const uint32_t id : {0x0Fu, listener_property::pattern}) {
        ASSERT_TRUE(filtered->get_property(id, out));
        EXPECT_EQ(out.id, 0x03000000u);
        EXPECT_EQ(out.get_u32(), pattern);
    }
    ASSERT_TRUE(filtered->get_property(0x22, out));
    EXPECT_EQ(out.get_u32(), 3u);
    ASSERT_TRUE(filtered->get_property(listener_property::target, out));
    EXPECT_EQ(out.get_u32(), 50u);
    Property value;
    value.set_u32(0x01000000, 60);
    EXPECT_TRUE(filtered->set_property(listener_property::target, value));
    EXPECT_TRUE(filtered->set_property(listener_property::sender_filter, value));
    value.set_u32(0x03000000, 1);
    EXPECT_FALSE(filtered->set_property(listener_property::pattern, value));
    EXPECT_EQ(filtered->get_target(), 60u);
    EXPECT_EQ(filtered->get_sender_filter(), 60u);
    EXPECT_EQ(filtered->get_pattern(), pattern);
}

}  // namespace
}  // namespace zolt::core
