#pragma once
// A hierarchical timing wheel of five rings (256 slots, then four rings of 64)
// that hands out timers in due-time order as its own time is advanced. Timers
// live inside their owners; the queue only links them, so nothing allocates.
// Main thread only.
//
// Distances are unsigned: a timer is due (due time - queue time) ticks ahead,
// modulo 2^32. A due time even one tick before the queue's time therefore
// comes out only after the time has wrapped, about 2^32 ticks later. Callers
// that mean "already late" clamp the due time to get_time() before inserting.
//
// Timers due at the same time come out in the order their slot holds them:
// insertion at the end behind the others, at the front ahead of them; timers
// that move down from an outer ring as their time nears keep their order and
// go ahead of the timers already in the slot. So a front insertion is ahead
// of every timer for its due time only when that time lies in ring 0's
// current turn (due now, or before the next multiple of 256).
#include <cstdint>
#include <type_traits>

namespace zolt {

class Timer;
struct TimerRing;

struct TimerSlot {
    Timer* head;
    TimerRing* ring;
};

struct TimerRing {
    TimerSlot* slots;
    uint32_t current_index;  // always (queue time >> shift) & index_mask
    uint32_t index_mask;
    uint32_t shift;
    uint32_t timer_count;
};

// The owner sets due_time (and user_word) before inserting and removes the
// timer before it goes away. The links and the slot belong to the queue while
// the timer is queued.
class Timer {
public:
    Timer() : next(this), previous(this) {}
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    bool is_queued() const { return slot != nullptr; }

    Timer* next;
    Timer* previous;
    uint32_t due_time = 0;
    TimerSlot* slot = nullptr;
    // A handle or index of the owner, never a pointer: it is 32 bits.
    uint32_t user_word = 0;
};

static_assert(std::is_same_v<decltype(Timer::user_word), uint32_t>);

class TimerQueue {
public:
    static constexpr uint32_t ring_count = 5;
    static constexpr uint32_t slot_count = 256 + 4 * 64;

    using TimerCallback = void (*)(uint32_t user_word, void* data);

    TimerQueue();
    TimerQueue(const TimerQueue&) = delete;
    TimerQueue& operator=(const TimerQueue&) = delete;

    uint32_t get_time() const { return time_; }

    // The timer must not be queued.
    void insert_timer(Timer& timer, bool at_front);

    // Unlinks the timer from its slot; nothing when it is not queued.
    static void remove_timer(Timer& timer);

    // Moves the time towards target and returns the first timer due before
    // target, with the time then equal to its due time; null once the time
    // equals target. The timer stays queued: the caller removes it (or it is
    // returned again) and calls advance again.
    Timer* advance(uint32_t target);

    // Moves the time by delta while every queued timer keeps its remaining
    // delay; timers due at the same time keep their order.
    void rebase(uint32_t delta);

    // Calls callback(user word, data) for every timer of the ring, slot by
    // slot, each slot from its head. The callback must not change the queue.
    void for_each_timer(uint32_t ring, TimerCallback callback, void* data) const;

    // Loop steps advance has taken since construction: each returns a timer
    // or moves the time, skipping whole slots of empty rings.
    uint64_t get_advance_step_count() const { return advance_step_count_; }

private:
    void skip_empty_rings(uint32_t target);
    void step_rings();
    void cascade_slot(TimerSlot& slot);
    void take_due_timers(uint32_t target, Timer& taken);

    uint32_t time_ = 0;
    TimerRing rings_[ring_count];
    TimerSlot slots_[slot_count];
    uint64_t advance_step_count_ = 0;
};

}  // namespace zolt
