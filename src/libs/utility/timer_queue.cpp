#include "libs/utility/timer_queue.h"

#include <algorithm>
#include <cinttypes>

#include "libs/utility/fatal_error.h"

namespace zolt {

namespace {

struct RingShape {
    uint32_t first_slot;
    uint32_t index_mask;
    uint32_t shift;
};

constexpr RingShape ring_shapes[TimerQueue::ring_count] = {
    {0, 255, 0}, {256, 63, 8}, {320, 63, 14}, {384, 63, 20}, {448, 63, 26},
};

void append_to_list(Timer& head, Timer& timer) {
    timer.next = &head;
    timer.previous = head.previous;
    head.previous->next = &timer;
    head.previous = &timer;
}

}  // namespace

TimerQueue::TimerQueue() {
    for (uint32_t ring = 0; ring < ring_count; ++ring) {
        const RingShape& shape = ring_shapes[ring];
        rings_[ring] = {&slots_[shape.first_slot], 0, shape.index_mask, shape.shift, 0};
        for (uint32_t index = 0; index <= shape.index_mask; ++index) {
            slots_[shape.first_slot + index] = {nullptr, &rings_[ring]};
        }
    }
}

void TimerQueue::insert_timer(Timer& timer, bool at_front) {
    if (timer.slot != nullptr) {
        ZOLT_PANIC("timer 0x%08" PRIx32 " is already queued", timer.user_word);
    }
    const uint32_t distance = timer.due_time - time_;
    TimerRing* ring = &rings_[0];
    // Ring 4 takes every distance, so the walk always ends there.
    while ((distance >> ring->shift) > ring->index_mask) {
        ++ring;
    }
    TimerSlot& slot = ring->slots[(timer.due_time >> ring->shift) & ring->index_mask];
    if (slot.head == nullptr) {
        timer.next = &timer;
        timer.previous = &timer;
        slot.head = &timer;
    } else {
        append_to_list(*slot.head, timer);
        if (at_front) {
            slot.head = &timer;
        }
    }
    timer.slot = &slot;
    ++ring->timer_count;
}

void TimerQueue::remove_timer(Timer& timer) {
    TimerSlot* const slot = timer.slot;
    if (slot == nullptr) {
        return;
    }
    if (timer.next == &timer) {
        slot->head = nullptr;
    } else {
        timer.previous->next = timer.next;
        timer.next->previous = timer.previous;
        if (slot->head == &timer) {
            slot->head = timer.next;
        }
    }
    timer.next = &timer;
    timer.previous = &timer;
    timer.slot = nullptr;
    --slot->ring->timer_count;
}

Timer* TimerQueue::advance(uint32_t target) {
    TimerRing& first_ring = rings_[0];
    while (time_ != target) {
        ++advance_step_count_;
        Timer* const due = first_ring.slots[first_ring.current_index].head;
        if (due != nullptr) {
            return due;
        }
        if (first_ring.timer_count != 0 && first_ring.current_index != first_ring.index_mask) {
            // While ring 0 holds timers nothing is skipped, and below its last
            // slot no ring turns over: such steps only move one tick. Busy
            // clocks spend their time here, so each pass is one step.
            const TimerSlot* const slots = first_ring.slots;
            const uint32_t last_index = first_ring.index_mask;
            uint32_t index = first_ring.current_index;
            uint32_t time = time_;
            uint64_t steps = 0;
            do {
                ++time;
                ++index;
                ++steps;
            } while (index != last_index && time != target && slots[index].head == nullptr);
            time_ = time;
            first_ring.current_index = index;
            advance_step_count_ += steps - 1;
            continue;
        }
        skip_empty_rings(target);
        ++time_;
        step_rings();
    }
    return nullptr;
}

void TimerQueue::skip_empty_rings(uint32_t target) {
    for (TimerRing& ring : rings_) {
        if (ring.timer_count != 0) {
            return;
        }
        uint32_t skipped = (target - time_ - 1) >> ring.shift;
        if (skipped == 0) {
            return;
        }
        skipped = std::min(skipped, ring.index_mask - ring.current_index);
        ring.current_index += skipped;
        time_ += skipped << ring.shift;
    }
}

void TimerQueue::step_rings() {
    TimerRing& first_ring = rings_[0];
    first_ring.current_index = (first_ring.current_index + 1) & first_ring.index_mask;
    if (first_ring.current_index != 0) {
        return;
    }
    // Lower rings cascade first, so timers from farther out, which were
    // inserted earlier, end up ahead of them.
    for (uint32_t index = 1; index < ring_count; ++index) {
        TimerRing& ring = rings_[index];
        ring.current_index = (ring.current_index + 1) & ring.index_mask;
        cascade_slot(ring.slots[ring.current_index]);
        if (ring.current_index != 0) {
            return;
        }
    }
}

void TimerQueue::cascade_slot(TimerSlot& slot) {
    // Taking from the end and inserting at the front keeps the slot's order.
    // A timer never lands in the slot it left: its distance is now below the
    // span of one slot of this ring.
    while (slot.head != nullptr) {
        Timer& timer = *slot.head->previous;
        remove_timer(timer);
        insert_timer(timer, true);
    }
}

void TimerQueue::take_due_timers(uint32_t target, Timer& taken) {
    while (Timer* const timer = advance(target)) {
        remove_timer(*timer);
        append_to_list(taken, *timer);
    }
}

void TimerQueue::rebase(uint32_t delta) {
    // Advancing once around the whole time range meets every timer in the
    // order it would come out; the two halves cover every distance.
    Timer taken;
    const uint32_t start = time_;
    take_due_timers(start + 0x80000000u, taken);
    take_due_timers(start, taken);

    time_ = start + delta;
    for (TimerRing& ring : rings_) {
        ring.current_index = (time_ >> ring.shift) & ring.index_mask;
    }
    Timer* timer = taken.next;
    while (timer != &taken) {
        Timer* const following = timer->next;
        timer->next = timer;
        timer->previous = timer;
        timer->due_time += delta;
        insert_timer(*timer, false);
        timer = following;
    }
}

void TimerQueue::for_each_timer(uint32_t ring, TimerCallback callback, void* data) const {
    if (ring >= ring_count) {
        ZOLT_PANIC("timer ring %" PRIu32 " does not exist", ring);
    }
    const TimerRing& walked = rings_[ring];
    for (uint32_t index = 0; index <= walked.index_mask; ++index) {
        const Timer* const head = walked.slots[index].head;
        if (head == nullptr) {
            continue;
        }
        const Timer* timer = head;
        do {
            callback(timer->user_word, data);
            timer = timer->next;
        } while (timer != head);
    }
}

}  // namespace zolt
