#include "libs/utility/timer_queue.h"

#include <gtest/gtest.h>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "support/child_process.h"

namespace zolt {
namespace {

std::vector<uint32_t> list_ring(const TimerQueue& queue, uint32_t ring) {
    std::vector<uint32_t> user_words;
    queue.for_each_timer(
        ring, [](uint32_t user_word, void* data) { static_cast<std::vector<uint32_t>*>(data)->push_back(user_word); },
        &user_words);
    return user_words;
}

int find_ring(const TimerQueue& queue, uint32_t user_word) {
    for (uint32_t ring = 0; ring < TimerQueue::ring_count; ++ring) {
        for (uint32_t word : list_ring(queue, ring)) {
            if (word == user_word) {
                return static_cast<int>(ring);
            }
        }
    }
    return -1;
}

struct Fired {
    uint32_t user_word;
    uint32_t time;
    bool operator==(const Fired&) const = default;
};

// Takes every timer due before target, in the order the queue hands them out.
std::vector<Fired> fire_until(TimerQueue& queue, uint32_t target) {
    std::vector<Fired> fired;
    while (Timer* timer = queue.advance(target)) {
        EXPECT_EQ(timer->due_time, queue.get_time());
        fired.push_back({timer->user_word, queue.get_time()});
        TimerQueue::remove_timer(*timer);
    }
    EXPECT_EQ(queue.get_time(), target);
    return fired;
}

// Once around the whole time range; times are given relative to the start.
std::vector<Fired> fire_all(TimerQueue& queue) {
    const uint32_t start = queue.get_time();
    std::vector<Fired> fired = fire_until(queue, start + 0x80000000u);
    for (const Fired& f : fire_until(queue, start)) {
        fired.push_back(f);
    }
    for (Fired& f : fired) {
        f.time -= start;
    }
    return fired;
}

void schedule(TimerQueue& queue, Timer& timer, uint32_t user_word, uint32_t due_time, bool at_front = false) {
    timer.user_word = user_word;
    timer.due_time = due_time;
    queue.insert_timer(timer, at_front);
}

TEST(TimerQueue, TimerDueNowComesOutBeforeTimeMovesAndStaysQueued) {
    TimerQueue queue;
    Timer timer;
    schedule(queue, timer, 1, 0);
    EXPECT_EQ(queue.advance(0), nullptr) << "advancing to the current time hands out nothing";
    EXPECT_EQ(queue.advance(10), &timer);
    EXPECT_EQ(queue.get_time(), 0u);
    EXPECT_EQ(queue.advance(10), &timer) << "a timer the caller keeps comes out again";
    TimerQueue::remove_timer(timer);
    EXPECT_FALSE(timer.is_queued());
    EXPECT_EQ(queue.advance(10), nullptr);
    EXPECT_EQ(queue.get_time(), 10u);
}

TEST(TimerQueue, DistanceChoosesTheRingAndTheTimerFiresExactlyAtItsDueTime) {
    struct Case {
        uint32_t distance;
        int ring;
    };
    const Case cases[] = {
        {0, 0},
        {255, 0},
        {256, 1},
        {300, 1},
        {16383, 1},
        {16384, 2},
        {(1u << 20) - 1, 2},
        {1u << 20, 3},
        {(1u << 26) - 1, 3},
        {1u << 26, 4},
        {0xFFFFFFFFu, 4},
    };
    // Slots are absolute positions, so start away from zero and near the wrap.
    for (uint32_t start : {0u, 0x1234567u, 0xFFFFFF80u}) {
        for (const Case& c : cases) {
            TimerQueue queue;
            queue.rebase(start);
            Timer timer;
            schedule(queue, timer, 7, start + c.distance);
            EXPECT_EQ(find_ring(queue, 7), c.ring) << "distance " << c.distance;
            EXPECT_EQ(fire_all(queue), (std::vector<Fired>{{7, c.distance}})) << "distance " << c.distance;
        }
    }
}

TEST(TimerQueue, TimerInRingOneDropsToRingZeroWhenItsSlotComesUp) {
    TimerQueue queue;
    Timer timer;
    schedule(queue, timer, 1, 300);
    EXPECT_EQ(list_ring(queue, 1), std::vector<uint32_t>{1});
    EXPECT_EQ(queue.advance(255), nullptr);
    EXPECT_EQ(list_ring(queue, 1), std::vector<uint32_t>{1});
    EXPECT_EQ(queue.advance(256), nullptr);
    EXPECT_EQ(list_ring(queue, 0), std::vector<uint32_t>{1});
    EXPECT_TRUE(list_ring(queue, 1).empty());
    EXPECT_EQ(fire_until(queue, 1000), (std::vector<Fired>{{1, 300}}));
}

TEST(TimerQueue, OrderAmongTimersDueAtTheSameTime) {
    {
        TimerQueue queue;
        Timer a, b, c, d;
        schedule(queue, a, 1, 0, false);
        schedule(queue, b, 2, 0, true);
        schedule(queue, c, 3, 0, false);
        schedule(queue, d, 4, 0, true);
        EXPECT_EQ(fire_until(queue, 1), (std::vector<Fired>{{4, 0}, {2, 0}, {1, 0}, {3, 0}}));
    }
    {
        // Timers moving down from an outer ring go ahead of those already in
        // the slot, even one inserted at the front.
        TimerQueue queue;
        Timer outer, front, back;
        schedule(queue, outer, 1, 300);
        EXPECT_EQ(queue.advance(100), nullptr);
        schedule(queue, front, 2, 300, true);
        schedule(queue, back, 3, 300);
        EXPECT_EQ(fire_until(queue, 301), (std::vector<Fired>{{1, 300}, {2, 300}, {3, 300}}));
    }
    {
        // Inserted at the end, timers keep first-in first-out order whichever
        // rings they pass through.
        TimerQueue queue;
        Timer timers[5];
        schedule(queue, timers[0], 0, 20000);  // ring 2
        EXPECT_EQ(queue.advance(4000), nullptr);
        schedule(queue, timers[1], 1, 20000);  // ring 1, behind the one cascaded from ring 2
        EXPECT_EQ(queue.advance(19800), nullptr);
        schedule(queue, timers[2], 2, 20000);  // ring 0
        schedule(queue, timers[3], 3, 20000);
        EXPECT_EQ(fire_until(queue, 20001), (std::vector<Fired>{{0, 20000}, {1, 20000}, {2, 20000}, {3, 20000}}));
    }
    {
        // At time 16384 ring 1 turns over to slot 0 and ring 2 moves on in the
        // same tick; the timer from ring 2 was inserted first and stays first.
        TimerQueue queue;
        Timer first, second;
        schedule(queue, first, 1, 16394);  // ring 2
        EXPECT_EQ(queue.advance(10000), nullptr);
        schedule(queue, second, 2, 16394);  // ring 1, slot 0
        EXPECT_EQ(fire_until(queue, 20000), (std::vector<Fired>{{1, 16394}, {2, 16394}}));
    }
}

TEST(TimerQueue, AdvancingSkipsEmptyStretchesWholeSlotsAtATime) {
    {
        TimerQueue queue;
        EXPECT_EQ(queue.advance(1000000), nullptr);
        EXPECT_EQ(queue.get_time(), 1000000u);
        EXPECT_LE(queue.get_advance_step_count(), 1000u);
    }
    {
        TimerQueue queue;
        queue.rebase(5);
        EXPECT_EQ(queue.advance(4), nullptr);
        EXPECT_LE(queue.get_advance_step_count(), 1000u) << "once around the whole range";
    }
    {
        // Only rings that hold timers are walked slot by slot.
        TimerQueue queue;
        Timer timer;
        schedule(queue, timer, 1, 3000000000u);
        EXPECT_EQ(fire_until(queue, 3000000001u), (std::vector<Fired>{{1, 3000000000u}}));
        EXPECT_LE(queue.get_advance_step_count(), 1000u);
    }
}

// Unsigned distances: a due time already past waits for the wrap. Callers
// clamp late due times to the queue's time.
TEST(TimerQueue, DueTimeBeforeQueueTimeComesOutOnlyAfterTheWrap) {
    TimerQueue queue;
    EXPECT_EQ(queue.advance(1000), nullptr);
    Timer late;
    schedule(queue, late, 9, 999);
    EXPECT_EQ(list_ring(queue, 4), std::vector<uint32_t>{9});
    EXPECT_EQ(queue.advance(999), nullptr) << "2^32 - 1 ticks later it is not yet due";
    EXPECT_EQ(queue.advance(1000), &late);
    EXPECT_EQ(queue.get_time(), 999u);
}

TEST(TimerQueue, RebaseKeepsRemainingDelaysAndOrder) {
    struct Entry {
        uint32_t distance;
        bool at_front;
    };
    const Entry entries[] = {
        {0, false},     {0, true},         {5, false},           {300, false},         {300, false},
        {70000, false}, {1u << 27, false}, {0xFFFFFFFEu, false}, {0xFFFFFFFFu, false}, {0xFFFFFFFFu, false},
    };
    for (uint32_t delta : {0u, 1u, 255u, 0x12345678u, 0x80000000u, 0xFFFFFFFFu}) {
        TimerQueue reference;
        TimerQueue rebased;
        Timer reference_timers[std::size(entries)];
        Timer rebased_timers[std::size(entries)];
        const uint32_t start = 0xFFFFFF00u;
        reference.rebase(start);
        rebased.rebase(start);
        for (uint32_t i = 0; i < std::size(entries); ++i) {
            schedule(reference, reference_timers[i], i, start + entries[i].distance, entries[i].at_front);
            schedule(rebased, rebased_timers[i], i, start + entries[i].distance, entries[i].at_front);
        }
        rebased.rebase(delta);
        EXPECT_EQ(rebased.get_time(), start + delta);
        for (uint32_t i = 0; i < std::size(entries); ++i) {
            EXPECT_EQ(rebased_timers[i].due_time, start + entries[i].distance + delta) << "delta " << delta;
        }
        EXPECT_EQ(fire_all(rebased), fire_all(reference)) << "delta " << delta;
    }
}

TEST(TimerQueue, ForEachTimerWalksSlotsInOrderEachFromItsHead) {
    TimerQueue queue;
    Timer timers[5];
    schedule(queue, timers[0], 1, 7);
    schedule(queue, timers[1], 2, 3);
    schedule(queue, timers[2], 3, 3, true);
    schedule(queue, timers[3], 4, 3);
    schedule(queue, timers[4], 5, 400);
    EXPECT_EQ(list_ring(queue, 0), (std::vector<uint32_t>{3, 2, 4, 1}));
    EXPECT_EQ(list_ring(queue, 1), std::vector<uint32_t>{5});
    for (uint32_t ring = 2; ring < TimerQueue::ring_count; ++ring) {
        EXPECT_TRUE(list_ring(queue, ring).empty());
    }
    TimerQueue::remove_timer(timers[2]);
    TimerQueue::remove_timer(timers[3]);
    EXPECT_EQ(list_ring(queue, 0), (std::vector<uint32_t>{2, 1}));
    TimerQueue::remove_timer(timers[3]);
    EXPECT_EQ(list_ring(queue, 0), (std::vector<uint32_t>{2, 1})) << "removing an unqueued timer does nothing";
}

TEST(TimerQueue, MisuseIsAFatalError) {
    const test::ChildResult twice = test::run_in_child([] {
        TimerQueue queue;
        Timer timer;
        schedule(queue, timer, 0x2A, 10);
        queue.insert_timer(timer, false);
    });
    EXPECT_EQ(twice.exit_code, ExitCode::crash);
    EXPECT_NE(twice.standard_error.find("timer 0x0000002a is already queued"), std::string::npos)
        << twice.standard_error;

    const test::ChildResult bad_ring = test::run_in_child([] {
        TimerQueue queue;
        queue.for_each_timer(
            5, [](uint32_t, void*) {}, nullptr);
    });
    EXPECT_EQ(bad_ring.exit_code, ExitCode::crash);
    EXPECT_NE(bad_ring.standard_error.find("timer ring 5 does not exist"), std::string::npos)
        << bad_ring.standard_error;
}

// The model keeps unwrapped 64-bit due times in a multimap: insertion at the
// end goes behind equal keys, at the front ahead of them. The queue's time is
// the model's time plus the sum of the rebase deltas, modulo 2^32.
class TimerQueueModelRun {
public:
    explicit TimerQueueModelRun(uint32_t seed) : random_(seed) {}

    void run(int operation_count) {
        rebase(0xFFFFF000u);  // start close to the wrap
        for (int operation = 0; operation < operation_count && !::testing::Test::HasFatalFailure(); ++operation) {
            const uint32_t choice = random_() % 100;
            if (choice < 40) {
                insert_random_timer();
            } else if (choice < 55) {
                remove_random_timer();
            } else if (choice < 95) {
                advance_randomly();
            } else {
                const uint32_t deltas[] = {0, 1, 0xFFFFFFFFu, static_cast<uint32_t>(random_())};
                rebase(deltas[random_() % 4]);
            }
            check_counts();
        }
    }

private:
    static constexpr uint32_t timer_count = 48;
    using Model = std::multimap<uint64_t, uint32_t>;

    uint32_t queue_time_of(uint64_t model_time) const { return static_cast<uint32_t>(model_time) + offset_; }

    uint32_t pick_distance() {
        static constexpr uint32_t boundaries[] = {
            1,        255,         256,         257,         16383, 16384, (1u << 20) - 1, 1u << 20, (1u << 26) - 1,
            1u << 26, 0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu,
        };
        switch (random_() % 10) {
        case 0:
            return 0;
        case 7: {
            // Shares a due time with a queued timer, which may sit in another ring.
            const uint32_t other = random_() % timer_count;
            return timers_[other].is_queued() ? static_cast<uint32_t>(entries_[other]->first - now_) : 0;
        }
        case 8:
        case 9: {
            // Just past one of the next two turns of an outer ring: over
            // time these due times are reached from several rings at once.
            static constexpr uint32_t offsets[] = {0, 5, 255};
            const uint32_t shift = 8 + 6 * static_cast<uint32_t>(random_() % 4);
            const uint64_t time = queue_.get_time();
            const uint64_t turn = ((time >> shift) + 1 + random_() % 2) << shift;
            return static_cast<uint32_t>(turn - time + offsets[random_() % 3]);
        }
        case 1:
            return boundaries[random_() % std::size(boundaries)];
        case 2:
            return random_() % 512;
        case 3:
            return random_() % (1u << 21);
        case 4:
            return static_cast<uint32_t>(random_());
        case 5:
            return 0u - (1 + random_() % 1000);  // a due time already past
        default:
            return random_() % 64;
        }
    }

    void insert(uint32_t index) {
        const uint32_t distance = pick_distance();
        // The model's front insertion is ahead of every equal key; the queue's
        // is that only for due times in ring 0's current turn.
        const bool at_front = (random_() & 1) != 0 && distance <= 255 - (queue_.get_time() & 255);
        const uint64_t due = now_ + distance;
        schedule(queue_, timers_[index], index, queue_time_of(due), at_front);
        entries_[index] = at_front ? model_.emplace_hint(model_.lower_bound(due), due, index)
                                   : model_.emplace_hint(model_.upper_bound(due), due, index);
    }

    void remove(uint32_t index) {
        TimerQueue::remove_timer(timers_[index]);
        model_.erase(entries_[index]);
        entries_[index] = model_.end();
    }

    void insert_random_timer() {
        const uint32_t index = random_() % timer_count;
        if (!timers_[index].is_queued()) {
            insert(index);
        }
    }

    void remove_random_timer() {
        const uint32_t index = random_() % timer_count;
        if (timers_[index].is_queued()) {
            remove(index);
        }
    }

    void advance_randomly() {
        uint32_t step;
        switch (random_() % 7) {
        case 0:
            step = random_() % 2;
            break;
        case 1:
            step = random_() % 600;
            break;
        case 2:
            step = random_() % 20000;
            break;
        case 3:
            step = random_() % 200000;
            break;
        case 4:
            step = random_() % (1u << 22);
            break;
        default:
            step = static_cast<uint32_t>(random_());
            break;
        }
        const uint64_t target = now_ + step;
        for (;;) {
            Timer* const timer = queue_.advance(queue_time_of(target));
            if (model_.empty() || model_.begin()->first >= target) {
                ASSERT_EQ(timer, nullptr);
                now_ = target;
                ASSERT_EQ(queue_.get_time(), queue_time_of(now_));
                return;
            }
            const uint64_t due = model_.begin()->first;
            const uint32_t index = model_.begin()->second;
            ASSERT_EQ(timer, &timers_[index]) << "expected timer " << index << " due at " << due;
            now_ = due;
            ASSERT_EQ(queue_.get_time(), queue_time_of(now_));
            const uint32_t action = random_() % 100;
            if (action < 70) {
                remove(index);
            } else if (action < 85) {
                remove(index);
                insert(index);
            }
            // Otherwise the caller keeps it and it comes out again.
        }
    }

    void rebase(uint32_t delta) {
        queue_.rebase(delta);
        offset_ += delta;
        ASSERT_EQ(queue_.get_time(), queue_time_of(now_));
        for (const auto& [due, index] : model_) {
            ASSERT_EQ(timers_[index].due_time, queue_time_of(due));
        }
    }

    void check_counts() {
        size_t listed = 0;
        for (uint32_t ring = 0; ring < TimerQueue::ring_count; ++ring) {
            listed += list_ring(queue_, ring).size();
        }
        ASSERT_EQ(listed, model_.size());
    }

    std::mt19937_64 random_;
    TimerQueue queue_;
    Timer timers_[timer_count];
    Model model_;
    Model::iterator entries_[timer_count];
    uint64_t now_ = 0;
    uint32_t offset_ = 0;
};

TEST(TimerQueue, FiresInTheSameOrderAsAMultimapModel) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        TimerQueueModelRun run(seed);
        run.run(6000);
        if (HasFatalFailure()) {
            return;
        }
    }
}

}  // namespace
}  // namespace zolt
