#include "zolt/core/events/event_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/events/event_server.h"

namespace zolt::core {

namespace {

constexpr uint32_t clock_bits_mask = 0x1F;

// What a clock read answers for a number that names no clock.
template <class Result, Result (*read)(const Clock& clock, uint32_t clock_number)>
Result read_clock(uint32_t clock_number) {
    const Clock* const clock = event_server.find_clock(clock_number);
    return clock != nullptr ? read(*clock, clock_number) : Result{};
}

uint32_t read_time(const Clock& clock, uint32_t) {
    return clock.queue.get_time();
}

uint32_t read_previous_target(const Clock& clock, uint32_t) {
    return clock.previous_target;
}

uint32_t read_last_due(const Clock& clock, uint32_t) {
    return clock.target - 1;
}

uint32_t read_target(const Clock& clock, uint32_t) {
    return clock.target;
}

uint32_t read_whole_seconds(const Clock&, uint32_t clock_number) {
    return event_server.get_whole_seconds(clock_number);
}

float read_second_fraction(const Clock&, uint32_t clock_number) {
    return event_server.get_second_fraction(clock_number);
}

float read_time_of_day(const Clock&, uint32_t clock_number) {
    return event_server.get_time_of_day(clock_number);
}

uint32_t read_step(const Clock& clock, uint32_t) {
    return clock.target - clock.previous_target;
}

// The same read of the clock being run.
template <class Result, Result (*read)(const Clock& clock, uint32_t clock_number)>
Result read_running_clock() {
    return read_clock<Result, read>(clock_being_run_number);
}

uint32_t make_clock_selector(uint32_t clock) {
    return event_server.make_clock_selector(clock);
}

uint32_t get_running_clock_selector() {
    return event_server.make_clock_selector(clock_being_run_number);
}

void set_clock_time(uint32_t clock, uint32_t time) {
    event_server.set_clock_time(clock, time);
}

void set_running_clock_time(uint32_t time) {
    event_server.set_clock_time(clock_being_run_number, time);
}

void set_enabled_clocks(uint32_t mask) {
    event_server.set_next_enabled_mask(mask);
}

void enable_clocks(uint32_t mask) {
    event_server.set_next_enabled_mask(event_server.get_next_enabled_mask() | mask);
}

void disable_clocks(uint32_t mask) {
    event_server.set_next_enabled_mask(event_server.get_next_enabled_mask() & ~mask);
}

uint32_t get_enabled_clocks() {
    return event_server.get_enabled_mask() & ~clock_bits_mask;
}

bool is_clock_enabled(uint32_t clock) {
    const uint32_t index = event_server.resolve_clock(clock & clock_bits_mask);
    return index < clock_count && (event_server.get_enabled_mask() & get_clock_mask_bit(index)) != 0;
}

bool is_clock_disabled(uint32_t clock) {
    return event_server.find_clock(clock) != nullptr && !is_clock_enabled(clock);
}

void set_scale_1_mask(uint32_t mask) {
    event_server.set_scale_1_mask(mask);
}

uint32_t get_scale_1_mask() {
    return event_server.get_scale_1_mask();
}

void set_scale_1(float scale) {
    event_server.set_scale_1(scale);
}

float get_scale_1() {
    return event_server.get_scale_1();
}

// The second scale restarts at 1 with every new mask.
void set_scale_2_mask(uint32_t mask) {
    event_server.set_scale_2_mask(mask);
    event_server.set_scale_2(1.0f);
}

uint32_t get_scale_2_mask() {
    return event_server.get_scale_2_mask();
}

float get_scale_2() {
    return event_server.get_scale_2();
}

}  // namespace

void bind_event_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::get_clock_selector, &make_clock_selector>(table);
    bind_builtin<BuiltinId::get_current_clock_selector, &get_running_clock_selector>(table);
    bind_builtin<BuiltinId::set_clock_time, &set_clock_time>(table);
    bind_builtin<BuiltinId::get_clock_time, &read_clock<uint32_t, &read_time>>(table);
    bind_builtin<BuiltinId::get_clock_previous_target, &read_clock<uint32_t, &read_previous_target>>(table);
    bind_builtin<BuiltinId::get_clock_last_tick, &read_clock<uint32_t, &read_last_due>>(table);
    bind_builtin<BuiltinId::get_clock_target, &read_clock<uint32_t, &read_target>>(table);
    bind_builtin<BuiltinId::get_clock_seconds, &read_clock<uint32_t, &read_whole_seconds>>(table);
    bind_builtin<BuiltinId::get_clock_second_fraction, &read_clock<float, &read_second_fraction>>(table);
    bind_builtin<BuiltinId::get_clock_time_of_day, &read_clock<float, &read_time_of_day>>(table);
    bind_builtin<BuiltinId::get_clock_step, &read_clock<uint32_t, &read_step>>(table);
    bind_builtin<BuiltinId::set_current_clock_time, &set_running_clock_time>(table);
    bind_builtin<BuiltinId::get_current_clock_time, &read_running_clock<uint32_t, &read_time>>(table);
    bind_builtin<BuiltinId::get_current_clock_previous_target, &read_running_clock<uint32_t, &read_previous_target>>(
        table);
    bind_builtin<BuiltinId::get_current_clock_last_tick, &read_running_clock<uint32_t, &read_last_due>>(table);
    bind_builtin<BuiltinId::get_current_clock_target, &read_running_clock<uint32_t, &read_target>>(table);
    bind_builtin<BuiltinId::get_current_clock_seconds, &read_running_clock<uint32_t, &read_whole_seconds>>(table);
    bind_builtin<BuiltinId::get_current_clock_second_fraction, &read_running_clock<float, &read_second_fraction>>(
        table);
    bind_builtin<BuiltinId::get_current_clock_time_of_day, &read_running_clock<float, &read_time_of_day>>(table);
    bind_builtin<BuiltinId::get_current_clock_step, &read_running_clock<uint32_t, &read_step>>(table);
    bind_builtin<BuiltinId::set_enabled_clock_mask, &set_enabled_clocks>(table);
    bind_builtin<BuiltinId::enable_clocks, &enable_clocks>(table);
    bind_builtin<BuiltinId::disable_clocks, &disable_clocks>(table);
    bind_builtin<BuiltinId::get_enabled_clock_mask, &get_enabled_clocks>(table);
    bind_builtin<BuiltinId::is_clock_enabled, &is_clock_enabled>(table);
    bind_builtin<BuiltinId::is_clock_disabled, &is_clock_disabled>(table);
    bind_builtin<BuiltinId::set_time_scale_1_mask, &set_scale_1_mask>(table);
    bind_builtin<BuiltinId::get_time_scale_1_mask, &get_scale_1_mask>(table);
    bind_builtin<BuiltinId::set_time_scale_1, &set_scale_1>(table);
    bind_builtin<BuiltinId::get_time_scale_1, &get_scale_1>(table);
    bind_builtin<BuiltinId::set_time_scale_2_mask, &set_scale_2_mask>(table);
    bind_builtin<BuiltinId::get_time_scale_2_mask, &get_scale_2_mask>(table);
    bind_builtin<BuiltinId::get_time_scale_2, &get_scale_2>(table);
}

}  // namespace zolt::core
