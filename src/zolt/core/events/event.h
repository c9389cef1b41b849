#pragma once
// An event: one later happening on one clock. Its context handle names the
// target, a task to run or a message to deliver; its timer sits in the
// clock's timing wheel while the event is pending, with the event's handle as
// the timer's user word. Main thread only.
#include <cstdint>

#include "libs/utility/timer_queue.h"
#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

constexpr uint32_t clock_count = 27;
// The clock of an event made with a clock number that names none (27 to 30):
// such an event is never queued.
constexpr uint32_t no_clock = clock_count;

class Event final : public ServerObject {
public:
    // The argument is a clock selector: bits 0-4 the clock, 31 the one being run.
    void initialize(uint32_t clock_selector) override;
    // Takes the timer out of its clock.
    void finalize() override;
    void save(storage::SaveStream& stream) override;
    bool load(storage::LoadStream& stream) override;

    // Runs the target. Non-zero when the clock run must stop: the
    // interpreter's answer, else 1 when another cooperative thread is due.
    uint32_t fire();

    uint32_t get_clock() const { return clock_; }
    Timer& get_timer() { return timer_; }
    const Timer& get_timer() const { return timer_; }

private:
    uint32_t clock_ = no_clock;
    Timer timer_;
};

}  // namespace zolt::core
