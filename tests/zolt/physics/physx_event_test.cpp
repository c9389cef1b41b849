#include <gtest/gtest.h>

#include "physx_test_support.h"

namespace zolt::test {
namespace {

namespace property = physics::actor_property;

using PhysXEvents = PhysXWorld;

constexpr uint32_t frictionless_material = 5;

uint32_t count_kind(core::ObjectHandle recipient, uint32_t kind) {
    uint32_t count = 0;
    for (const Delivery& delivery : deliveries) {
        count += delivery.recipient == recipient && (delivery.id & 0xFF0000) == kind ? 1 : 0;
    }
    return count;
}

TEST_F(PhysXEvents, TouchingPairPostsOneContactPerActorThenWaitsForTheRepeatInterval) {
    physics::PhysXActor* const ground = add_ground();
    physics::PhysXActor* const box = add_box({0, 0, 0.5f});
    // Spinning on a frictionless floor keeps the pair touching and moving.
    set_u32(box, property::material, frictionless_material);
    set_u32(ground, property::material, frictionless_material);
    Recipient* const box_recipient = recipients.create(false);
    Recipient* const ground_recipient = recipients.create(false);
    set_u32(box, property::recipient, box_recipient->get_handle());
    set_u32(ground, property::recipient, ground_recipient->get_handle());
    set_u32(box, property::event_word, clock_1_event_word);
    set_u32(ground, property::event_word, clock_1_event_word);
    std::vector<int> contact_steps;
    for (int step = 1; step <= 40; ++step) {
        set_vector(box, property::angular_velocity, {0, 0, 1});
        const size_t before = deliveries.size();
        step_main();
        frame();
        if (count_kind(box_recipient->get_handle(), physics::physics_message::contact) > 0 &&
            deliveries.size() > before) {
            EXPECT_EQ(deliveries.size() - before, 2u) << "one message per actor at step " << step;
            contact_steps.push_back(step);
        }
        deliveries.clear();
    }
    ASSERT_GE(contact_steps.size(), 2u);
    EXPECT_EQ(contact_steps[0], 1);
    // 18 steps of 1667 ticks are the first to reach 30000.
    EXPECT_EQ(contact_steps[1], 19);
}

TEST_F(PhysXEvents, OnlyActorsWithARecipientPostAndRestingPairsPostNothing) {
    physics::PhysXActor* const ground = add_ground();
    physics::PhysXActor* const box = add_box({0, 0, 0.5f});
    Recipient* const box_recipient = recipients.create(false);
    set_u32(box, property::recipient, box_recipient->get_handle());
    set_u32(box, property::event_word, clock_1_event_word);
    set_u32(box, property::material, frictionless_material);
    set_u32(ground, property::material, frictionless_material);
    // The first steps settle the box; what they report is no concern here.
    step_main(30);
    frame();
    deliveries.clear();
    physics::PhysXActor* const owner = box->get_contact_partner_count() != 0 ? box : ground;
    uint32_t settled_time = 0;
    const bool known =
        owner->find_contact_partner_time(owner == box ? ground->get_handle() : box->get_handle(), settled_time);
    step_main(30);
    frame();
    EXPECT_TRUE(deliveries.empty()) << "a resting pair posts nothing";
    uint32_t time = 0;
    EXPECT_EQ(owner->find_contact_partner_time(owner == box ? ground->get_handle() : box->get_handle(), time), known);
    EXPECT_EQ(time, settled_time) << "nor does it touch the partner table";

    set_vector(box, property::angular_velocity, {0, 0, 1});
    step_main();
    frame();
    EXPECT_EQ(deliveries.size(), 1u) << "the ground has no recipient";
    EXPECT_EQ(count_kind(box_recipient->get_handle(), physics::physics_message::contact), 1u);
}

TEST_F(PhysXEvents, FallingAsleepPostsOneMessage) {
    add_ground();
    physics::PhysXActor* const box = add_box({0, 0, 0.6f});
    Recipient* const recipient = recipients.create(false);
    set_u32(box, property::recipient, recipient->get_handle());
    set_u32(box, property::event_word, clock_1_event_word);
    int asleep_at = 0;
    for (int step = 1; step <= 400 && asleep_at == 0; ++step) {
        step_main();
        if (get(box, property::awake).get_u32() == 0) {
            asleep_at = step;
        }
    }
    ASSERT_NE(asleep_at, 0);
    step_main(20);
    frame();
    EXPECT_EQ(count_kind(recipient->get_handle(), physics::physics_message::fell_asleep), 1u);
}

TEST_F(PhysXEvents, DestroyedActorLeavesEveryPartnerTable) {
    physics::PhysXActor* const first = add_box({0, 0, 5});
    physics::PhysXActor* const second = add_box({3, 0, 5});
    physics::PhysXActor* const gone = add_box({6, 0, 5});
    first->record_contact_partner(gone->get_handle(), 10);
    second->record_contact_partner(gone->get_handle(), 20);
    second->record_contact_partner(first->get_handle(), 30);
    physics::physx_actor_server.destroy_object_internal(gone);
    uint32_t time = 0;
    EXPECT_FALSE(first->find_contact_partner_time(gone->get_handle(), time));
    EXPECT_EQ(first->get_contact_partner_count(), 0u);
    EXPECT_EQ(second->get_contact_partner_count(), 1u);
    EXPECT_TRUE(second->find_contact_partner_time(first->get_handle(), time));
}

TEST(PhysXPartnerTable, TheTwentySixthPartnerReplacesTheOldest) {
    physics::PhysXActor owner;
    owner.initialize(0);
    for (uint32_t partner = 1; partner <= 25; ++partner) {
        EXPECT_EQ(owner.record_contact_partner(partner, 100 + partner * 10), 0xFFFFFFFFu);
    }
    EXPECT_EQ(owner.record_contact_partner(7, 1000), 1000u - 170u) << "a known partner answers the time since";
    EXPECT_EQ(owner.record_contact_partner(26, 2000), 0xFFFFFFFFu);
    uint32_t time = 0;
    EXPECT_FALSE(owner.find_contact_partner_time(1, time)) << "partner 1 was the oldest";
    EXPECT_TRUE(owner.find_contact_partner_time(26, time));
    EXPECT_EQ(owner.get_contact_partner_count(), 25u);
}

}  // namespace
}  // namespace zolt::test
