#pragma once
// The event server (type 14): 20000 events and the 27 clocks they wait on.
// Each frame the clocks in the enabled mask advance by the frame period (two
// time scales for chosen clocks; clock 0 by real time), then run: every event
// due before a clock's target fires, clock by clock, in time order. A run
// stopped by a firing resumes with the same clock. Times are ticks of 10
// microseconds, differences modulo 2^32. Main thread only.
#include <cstdint>

#include "libs/utility/timer_queue.h"
#include "zolt/core/events/event.h"
#include "zolt/core/object_server/pooled_server.h"

namespace zolt::core {

constexpr uint32_t event_capacity = 20000;
constexpr uint32_t clock_being_run_number = 31;

struct Clock {
    TimerQueue queue;
    // The time up to which the clock runs in this frame.
    uint32_t target = 0;
    // The start of the current step.
    uint32_t previous_target = 0;
    uint32_t step = 0;
    uint32_t last_step = 0;
    // Completed steps: whole seconds and the ticks beyond them.
    uint32_t seconds = 0;
    uint32_t sub_second = 0;
};

// Delivers a message whose event fired; installed by the message server.
using EventMessageDeliverer = void (*)(ObjectHandle message);
void set_event_message_deliverer(EventMessageDeliverer deliverer);
EventMessageDeliverer get_event_message_deliverer();

class EventServer final : public PooledServer<Event, event_capacity> {
public:
    EventServer() : PooledServer(server_type::event) {}

    const char* get_name() const override { return "EventServer"; }
    // Also resets the clocks and installs the task clock hooks.
    void register_server() override;
    void unregister_server() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;
    uint32_t get_memory_size() const override { return static_cast<uint32_t>(sizeof(*this)); }

    // A new event for the target on the clock the selector names, queued by
    // the delay rules (-11111 due now in front, -11112 at the clock's target,
    // else now + delay behind the others due then).
    Event* schedule_event(ObjectHandle target, uint32_t clock_selector, uint32_t delay);
    // Takes the event out of its clock and queues it again by the delay rules.
    void retime_event(Event& event, uint32_t delay);

    // Frame-loop state 0.
    void update_clocks();
    // Frame-loop state 1: 0 when every enabled clock has run.
    uint32_t run_clocks();

    // 0 to 26, or 31 for the clock being run; anything else names no clock
    // (reads answer 0, writes do nothing).
    void set_clock_time(uint32_t clock, uint32_t time);
    uint32_t get_clock_time(uint32_t clock) const;
    uint32_t make_clock_selector(uint32_t clock) const;
    // The clock the number names, 31 resolved; no_clock when none.
    uint32_t resolve_clock(uint32_t clock) const;
    const Clock* find_clock(uint32_t clock) const;
    Clock& get_clock(uint32_t index) { return clocks_[index]; }

    uint32_t get_whole_seconds(uint32_t clock) const;
    float get_second_fraction(uint32_t clock) const;
    float get_time_of_day(uint32_t clock) const;

    // The first event of the current time slot of the clock being run, or 0.
    ObjectHandle get_first_due_event() const;

    uint32_t get_clock_being_run() const { return clock_being_run_; }
    uint32_t get_enabled_mask() const { return enabled_mask_; }
    uint32_t get_next_enabled_mask() const { return next_enabled_mask_; }
    void set_next_enabled_mask(uint32_t mask) { next_enabled_mask_ = mask; }
    uint32_t get_scale_1_mask() const { return scale_1_mask_; }
    void set_scale_1_mask(uint32_t mask) { scale_1_mask_ = mask; }
    float get_scale_1() const { return scale_1_; }
    void set_scale_1(float scale) { scale_1_ = scale; }
    uint32_t get_scale_2_mask() const { return scale_2_mask_; }
    void set_scale_2_mask(uint32_t mask) { scale_2_mask_ = mask; }
    float get_scale_2() const { return scale_2_; }
    void set_scale_2(float scale) { scale_2_ = scale; }

private:
    void reset_clocks();
    void insert_event(Event& event, uint32_t delay);
    // Ticks of completed steps and of the current one beyond the whole seconds.
    uint64_t get_ticks_past_seconds(const Clock& clock) const;

    Clock clocks_[clock_count];
    uint32_t clock_being_run_ = 0;
    uint32_t enabled_mask_ = 0;
    uint32_t next_enabled_mask_ = 0;
    uint32_t scale_1_mask_ = 0;
    float scale_1_ = 1.0f;
    uint32_t scale_2_mask_ = 0;
    float scale_2_ = 1.0f;
    uint32_t last_time_base_ = 0;
    // The slot of the event fired last in the current run; null between runs.
    const TimerSlot* current_slot_ = nullptr;
};

extern EventServer event_server;

// The clock's mask bit: 0x20 for clock 0.
constexpr uint32_t get_clock_mask_bit(uint32_t index) {
    return 1u << (5 + index);
}

// The step of a scaled clock: P x scale truncated, kept within 0 to 2^32 - 1
// (NaN gives 0).
uint32_t get_scaled_step(uint32_t frame_period, float scale);

// The frame period in ticks the clocks advance by.
uint32_t get_clock_frame_period();

}  // namespace zolt::core
