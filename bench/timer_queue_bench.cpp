#include <benchmark/benchmark.h>
#include <functional>
#include <memory>
#include <queue>
#include <random>
#include <vector>

#include "libs/utility/timer_queue.h"

// A clock's frame: timer_count timers, each re-inserted with the next delay
// from a shared table as it fires, and the time advanced by one frame period
// per iteration. Both sides fire the same timers in the same order.
namespace {

constexpr uint32_t frame_ticks = 1667;
constexpr uint32_t delay_table_mask = (1u << 16) - 1;

std::vector<uint32_t> make_delays(uint32_t longest_delay) {
    std::vector<uint32_t> delays(delay_table_mask + 1);
    std::mt19937 random(11);
    for (uint32_t& delay : delays) {
        delay = 1 + random() % longest_delay;
    }
    return delays;
}

void timer_queue_zolt(benchmark::State& state) {
    const auto timer_count = static_cast<uint32_t>(state.range(0));
    const std::vector<uint32_t> delays = make_delays(static_cast<uint32_t>(state.range(1)));
    auto queue = std::make_unique<zolt::TimerQueue>();
    auto timers = std::make_unique<zolt::Timer[]>(timer_count);
    uint32_t next_delay = 0;
    for (uint32_t index = 0; index < timer_count; ++index) {
        timers[index].user_word = index;
        timers[index].due_time = delays[next_delay++ & delay_table_mask];
        queue->insert_timer(timers[index], false);
    }
    uint32_t target = 0;
    int64_t fired = 0;
    for (auto _ : state) {
        target += frame_ticks;
        while (zolt::Timer* timer = queue->advance(target)) {
            zolt::TimerQueue::remove_timer(*timer);
            timer->due_time = queue->get_time() + delays[next_delay++ & delay_table_mask];
            queue->insert_timer(*timer, false);
            ++fired;
        }
    }
    state.SetItemsProcessed(fired);
}

struct PendingTimer {
    uint64_t due_time;
    uint64_t sequence;  // keeps first-in first-out order among equal due times
    uint32_t user_word;

    bool operator>(const PendingTimer& other) const {
        return due_time != other.due_time ? due_time > other.due_time : sequence > other.sequence;
    }
};

void timer_queue_priority_queue(benchmark::State& state) {
    const auto timer_count = static_cast<uint32_t>(state.range(0));
    const std::vector<uint32_t> delays = make_delays(static_cast<uint32_t>(state.range(1)));
    std::vector<PendingTimer> storage;
    storage.reserve(timer_count);
    std::priority_queue<PendingTimer, std::vector<PendingTimer>, std::greater<>> queue(std::greater<>{},
                                                                                       std::move(storage));
    uint32_t next_delay = 0;
    uint64_t sequence = 0;
    for (uint32_t index = 0; index < timer_count; ++index) {
        queue.push({delays[next_delay++ & delay_table_mask], sequence++, index});
    }
    uint64_t target = 0;
    int64_t fired = 0;
    for (auto _ : state) {
        target += frame_ticks;
        while (queue.top().due_time < target) {
            PendingTimer timer = queue.top();
            queue.pop();
            timer.due_time += delays[next_delay++ & delay_table_mask];
            timer.sequence = sequence++;
            queue.push(timer);
            ++fired;
        }
    }
    state.SetItemsProcessed(fired);
}

// Arguments: timer count, longest delay in ticks (0.2 s and 5 s).
BENCHMARK(timer_queue_zolt)
    ->Name("timer_queue/zolt")
    ->Args({10000, 20000})
    ->Args({10000, 500000})
    ->Args({100000, 20000})
    ->Args({100000, 500000});
BENCHMARK(timer_queue_priority_queue)
    ->Name("timer_queue/priority_queue")
    ->Args({10000, 20000})
    ->Args({10000, 500000})
    ->Args({100000, 20000})
    ->Args({100000, 500000});

}  // namespace
