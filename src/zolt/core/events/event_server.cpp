#include "zolt/core/events/event_server.h"
#include "zolt/core/events/network_clock_rate.h"

#include <cmath>
#include <cstring>
#include <initializer_list>

#include "libs/system/time_base.h"
#include "zolt/core/object_server/stream_words.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/backend/rendering_commands.h"

namespace zolt::core {

EventServer event_server;

namespace {

constexpr uint32_t ticks_per_second = 100000;
constexpr uint32_t seconds_per_day = 86400;
constexpr uint32_t outermost_ring = TimerQueue::ring_count - 1;

EventMessageDeliverer message_deliverer = nullptr;

ObjectHandle create_wake_event(ObjectHandle task, uint32_t clock_selector, uint32_t delay) {
    Event* const event = event_server.schedule_event(task, clock_selector, delay);
    return event != nullptr ? event->get_handle() : 0;
}

void retime_wake_event(ObjectHandle handle, uint32_t delay) {
    if (Event* const event = event_server.get_typed_object(handle)) {
        event_server.retime_event(*event, delay);
    }
}

void destroy_wake_event(ObjectHandle handle) {
    if (Event* const event = event_server.get_typed_object(handle)) {
        destroy_object(event);
    }
}

ObjectHandle get_first_due_event() {
    return event_server.get_first_due_event();
}

constexpr TaskClockHooks event_clock_hooks = {create_wake_event, retime_wake_event, destroy_wake_event,
                                              get_first_due_event};

uint32_t float_bits(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float bits_float(uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

struct PendingWriter {
    storage::SaveStream* stream;
    uint32_t clock_time;
};

void write_pending_event(uint32_t user_word, void* data) {
    auto* const writer = static_cast<PendingWriter*>(data);
    const Event* const event = event_server.get_typed_object(user_word);
    const uint32_t due = event != nullptr ? event->get_timer().due_time : writer->clock_time;
    write_u32(*writer->stream, user_word);
    write_u32(*writer->stream, due - writer->clock_time);
}

}  // namespace

void set_event_message_deliverer(EventMessageDeliverer deliverer) {
    message_deliverer = deliverer;
}

EventMessageDeliverer get_event_message_deliverer() {
    return message_deliverer;
}

uint32_t get_scaled_step(uint32_t frame_period, float scale) {
    const double product = static_cast<double>(frame_period) * static_cast<double>(scale);
    if (!(product > 0.0)) {
        return 0;
    }
    if (product >= 4294967295.0) {
        return 0xFFFFFFFF;
    }
    return static_cast<uint32_t>(product);
}

NetworkClockRate& get_network_clock_rate() {
    static NetworkClockRate network_clock_rate{no_clock, 1.0f};
    return network_clock_rate;
}

uint32_t get_clock_frame_period() {
    const uint32_t period = renderer::get_frame_pacing_state().frame_period;
    if (period != 0) {
        return period;
    }
    const uint32_t rate = renderer::initial_frame_rate != 0 ? renderer::initial_frame_rate : 1;
    return renderer::get_frame_period(rate);
}

void EventServer::register_server() {
    PooledServer::register_server();
    reset_clocks();
    set_task_clock_hooks(&event_clock_hooks);
    // Bits 16 to 18 of the enabled clocks ask the frame for viewports,
    // movies and the 2D displays.
    renderer::rendering_command_hooks.read_event_flags = [] { return event_server.get_enabled_mask(); };
}

void EventServer::unregister_server() {
    if (&get_task_clock_hooks() == &event_clock_hooks) {
        set_task_clock_hooks(nullptr);
    }
    renderer::rendering_command_hooks.read_event_flags = nullptr;
    PooledServer::unregister_server();
    current_slot_ = nullptr;
}

void EventServer::reset_clocks() {
    clock_being_run_ = 0;
    enabled_mask_ = 0;
    next_enabled_mask_ = 0;
    scale_1_mask_ = 0;
    scale_1_ = 1.0f;
    scale_2_mask_ = 0;
    scale_2_ = 1.0f;
    get_network_clock_rate() = {no_clock, 1.0f};
    current_slot_ = nullptr;
    // Clock 0's first step measures from here, not from the machine's start.
    last_time_base_ = get_time();
    const uint32_t period = get_clock_frame_period();
    for (Clock& clock : clocks_) {
        // Events are gone by now, so the empty wheel only moves back to 0.
        clock.queue.rebase(0u - clock.queue.get_time());
        clock.target = 0;
        clock.previous_target = 0;
        clock.last_step = 0;
        clock.seconds = 0;
        clock.sub_second = 0;
        clock.step = period;
    }
}

uint32_t EventServer::resolve_clock(uint32_t clock) const {
    if (clock == clock_being_run_number) {
        return clock_being_run_;
    }
    return clock < clock_count ? clock : no_clock;
}

const Clock* EventServer::find_clock(uint32_t clock) const {
    const uint32_t index = resolve_clock(clock & 0x1F);
    return index < clock_count ? &clocks_[index] : nullptr;
}

void EventServer::insert_event(Event& event, uint32_t delay) {
    Clock& clock = clocks_[event.get_clock()];
    const uint32_t now = clock.queue.get_time();
    Timer& timer = event.get_timer();
    timer.user_word = event.get_handle();
    bool at_front = false;
    if (delay == delay_now_first) {
        timer.due_time = now;
        at_front = true;
    } else if (delay == delay_clock_target) {
        // The wheel reads a time behind its own as 2^32 ticks ahead.
        timer.due_time = static_cast<int32_t>(clock.target - now) < 0 ? now : clock.target;
    } else {
        timer.due_time = now + delay;
    }
    clock.queue.insert_timer(timer, at_front);
}

Event* EventServer::schedule_event(ObjectHandle target, uint32_t clock_selector, uint32_t delay) {
    auto* const event = static_cast<Event*>(create_object_internal(clock_selector));
    if (event == nullptr) {
        return nullptr;
    }
    event->set_context_handle(target);
    if (event->get_clock() < clock_count) {
        insert_event(*event, delay);
    }
    return event;
}

void EventServer::retime_event(Event& event, uint32_t delay) {
    TimerQueue::remove_timer(event.get_timer());
    if (event.get_clock() < clock_count) {
        insert_event(event, delay);
    }
}

void EventServer::update_clocks() {
    const uint32_t period = get_clock_frame_period();
    for (uint32_t index = 1; index < clock_count; ++index) {
        const uint32_t bit = get_clock_mask_bit(index);
        if ((scale_2_mask_ & bit) != 0) {
            clocks_[index].step = get_scaled_step(period, scale_2_);
        } else if ((scale_1_mask_ & bit) != 0) {
            clocks_[index].step = get_scaled_step(period, scale_1_);
        } else {
            clocks_[index].step = period;
        }
    }
    const NetworkClockRate& network = get_network_clock_rate();
    if (network.clock != 0 && network.clock < clock_count) {
        clocks_[network.clock].step = get_scaled_step(clocks_[network.clock].step, network.rate);
    }
    const uint32_t now = get_time();
    clocks_[0].step = now - last_time_base_;
    last_time_base_ = now;
    for (uint32_t index = 0; index < clock_count; ++index) {
        if ((enabled_mask_ & get_clock_mask_bit(index)) == 0) {
            continue;
        }
        Clock& clock = clocks_[index];
        clock.previous_target = clock.target;
        clock.target += clock.step;
        const uint64_t ticks = uint64_t{clock.sub_second} + clock.last_step;
        clock.seconds += static_cast<uint32_t>(ticks / ticks_per_second);
        clock.sub_second = static_cast<uint32_t>(ticks % ticks_per_second);
        clock.last_step = clock.step;
    }
}

uint32_t EventServer::run_clocks() {
    for (; clock_being_run_ < clock_count; ++clock_being_run_) {
        if ((enabled_mask_ & get_clock_mask_bit(clock_being_run_)) == 0) {
            continue;
        }
        Clock& clock = clocks_[clock_being_run_];
        while (Timer* const timer = clock.queue.advance(clock.target)) {
            current_slot_ = timer->slot;
            Event* const event = get_typed_object(timer->user_word);
            if (event == nullptr || &event->get_timer() != timer) {
                TimerQueue::remove_timer(*timer);
                continue;
            }
            const uint32_t answer = event->fire();
            if (answer != 0) {
                return answer;
            }
        }
        current_slot_ = nullptr;
    }
    enabled_mask_ = next_enabled_mask_;
    clock_being_run_ = 0;
    current_slot_ = nullptr;
    return 0;
}

ObjectHandle EventServer::get_first_due_event() const {
    if (current_slot_ == nullptr || current_slot_->head == nullptr) {
        return 0;
    }
    const Timer* const head = current_slot_->head;
    if (head->due_time != clocks_[clock_being_run_].queue.get_time()) {
        return 0;
    }
    return head->user_word;
}

void EventServer::set_clock_time(uint32_t clock_number, uint32_t time) {
    const uint32_t index = resolve_clock(clock_number & 0x1F);
    if (index >= clock_count) {
        return;
    }
    Clock& clock = clocks_[index];
    const uint32_t delta = time - clock.queue.get_time();
    if (delta == 0) {
        return;
    }
    clock.target += delta;
    clock.previous_target += delta;
    clock.queue.rebase(delta);
}

uint32_t EventServer::get_clock_time(uint32_t clock) const {
    const Clock* const found = find_clock(clock);
    return found != nullptr ? found->queue.get_time() : 0;
}

uint32_t EventServer::make_clock_selector(uint32_t clock) const {
    const uint32_t index = resolve_clock(clock & 0x1F);
    return index < clock_count ? index | get_clock_mask_bit(index) : 0;
}

uint64_t EventServer::get_ticks_past_seconds(const Clock& clock) const {
    return uint64_t{clock.sub_second} + static_cast<uint32_t>(clock.queue.get_time() - clock.previous_target);
}

uint32_t EventServer::get_whole_seconds(uint32_t clock) const {
    const Clock* const found = find_clock(clock);
    if (found == nullptr) {
        return 0;
    }
    return static_cast<uint32_t>(get_ticks_past_seconds(*found) / ticks_per_second) + found->seconds;
}

float EventServer::get_second_fraction(uint32_t clock) const {
    const Clock* const found = find_clock(clock);
    if (found == nullptr) {
        return 0.0f;
    }
    return static_cast<float>(get_ticks_past_seconds(*found) % ticks_per_second) * 0.00001f;
}

float EventServer::get_time_of_day(uint32_t clock) const {
    const Clock* const found = find_clock(clock);
    if (found == nullptr) {
        return 0.0f;
    }
    const uint64_t ticks = get_ticks_past_seconds(*found);
    const uint32_t seconds = static_cast<uint32_t>(ticks / ticks_per_second) + found->seconds;
    return static_cast<float>(ticks % ticks_per_second) * 0.00001f + static_cast<float>(seconds % seconds_per_day);
}

void EventServer::save(storage::SaveStream& stream) {
    PooledServer::save(stream);
    write_u32(stream, clock_being_run_);
    write_u32(stream, enabled_mask_);
    write_u32(stream, next_enabled_mask_);
    write_u32(stream, scale_1_mask_);
    write_u32(stream, float_bits(scale_1_));
    write_u32(stream, scale_2_mask_);
    for (const Clock& clock : clocks_) {
        for (uint32_t word : {clock.queue.get_time(), clock.target, clock.previous_target, clock.step, clock.last_step,
                              clock.seconds, clock.sub_second}) {
            write_u32(stream, word);
        }
    }
    for (const Clock& clock : clocks_) {
        PendingWriter writer = {&stream, clock.queue.get_time()};
        for (uint32_t ring = outermost_ring + 1; ring-- > 0;) {
            clock.queue.for_each_timer(ring, write_pending_event, &writer);
        }
    }
    write_u32(stream, 0);
}

bool EventServer::load(storage::LoadStream& stream) {
    if (!PooledServer::load(stream)) {
        return false;
    }
    uint32_t control[6];
    for (uint32_t& word : control) {
        if (!read_u32(stream, word)) {
            return false;
        }
    }
    if (control[0] >= clock_count) {
        return false;
    }
    clock_being_run_ = control[0];
    enabled_mask_ = control[1];
    next_enabled_mask_ = control[2];
    scale_1_mask_ = control[3];
    scale_1_ = bits_float(control[4]);
    scale_2_mask_ = control[5];
    scale_2_ = 1.0f;
    current_slot_ = nullptr;
    for (Clock& clock : clocks_) {
        uint32_t words[7];
        for (uint32_t& word : words) {
            if (!read_u32(stream, word)) {
                return false;
            }
        }
        if (words[6] >= ticks_per_second) {
            return false;
        }
        // Any event still queued from before would be moved along with the time.
        if (clock.queue.get_time() != words[0]) {
            for (uint32_t ring = 0; ring < TimerQueue::ring_count; ++ring) {
                bool any = false;
                clock.queue.for_each_timer(
                    ring, [](uint32_t, void* found) { *static_cast<bool*>(found) = true; }, &any);
                if (any) {
                    return false;
                }
            }
            clock.queue.rebase(words[0] - clock.queue.get_time());
        }
        clock.target = words[1];
        clock.previous_target = words[2];
        clock.step = words[3];
        clock.last_step = words[4];
        clock.seconds = words[5];
        clock.sub_second = words[6];
    }
    for (;;) {
        uint32_t handle = 0;
        uint32_t delay = 0;
        if (!read_u32(stream, handle)) {
            return false;
        }
        if (handle == 0) {
            break;
        }
        if (!read_u32(stream, delay)) {
            return false;
        }
        // Only a live event of a clock, queued once.
        Event* const event = get_typed_object(handle);
        if (event == nullptr || event->get_clock() >= clock_count || event->get_timer().is_queued()) {
            return false;
        }
        Clock& clock = clocks_[event->get_clock()];
        event->get_timer().due_time = clock.queue.get_time() + delay;
        event->get_timer().user_word = handle;
        clock.queue.insert_timer(event->get_timer(), false);
    }
    const uint32_t period = get_clock_frame_period();
    for (Clock& clock : clocks_) {
        clock.step = period;
    }
    return true;
}

}  // namespace zolt::core
