#include "zolt/builtins/event_builtins.h"

#include "zolt/builtins/builtin_helpers.h"
#include "zolt/core/events/event_server.h"

namespace zolt::core {
namespace {

constexpr uint32_t clock_bits_mask = 0x1F;

// What builtins 151 to 158 read of a clock; also 160 to 167 for the clock
// being run.
void read_clock(ScriptContext& context, uint32_t read, uint32_t clock_number) {
    const Clock* const clock = event_server.find_clock(clock_number);
    if (clock == nullptr) {
        set_result(context, 0);
        return;
    }
    switch (read) {
    case 0:
        set_result(context, clock->queue.get_time());
        break;
    case 1:
        set_result(context, clock->previous_target);
        break;
    case 2:
        set_result(context, clock->target - 1);
        break;
    case 3:
        set_result(context, clock->target);
        break;
    case 4:
        set_result(context, event_server.get_whole_seconds(clock_number));
        break;
    case 5:
        set_float_result(context, event_server.get_second_fraction(clock_number));
        break;
    case 6:
        set_float_result(context, event_server.get_time_of_day(clock_number));
        break;
    default:
        set_result(context, clock->target - clock->previous_target);
        break;
    }
}

bool is_clock_enabled(uint32_t clock_number) {
    const uint32_t index = event_server.resolve_clock(clock_number & clock_bits_mask);
    return index < clock_count && (event_server.get_enabled_mask() & get_clock_mask_bit(index)) != 0;
}

}  // namespace

void call_event_builtin(ScriptContext& context, uint32_t id) {
    const uint32_t top = get_stack_word(context, 0);
    if (id >= 151 && id <= 158) {
        read_clock(context, id - 151, top);
        return;
    }
    if (id >= 160 && id <= 167) {
        read_clock(context, id - 160, clock_being_run_number);
        return;
    }
    switch (id) {
    case 148:
        set_result(context, event_server.make_clock_selector(top));
        break;
    case 149:
        set_result(context, event_server.make_clock_selector(clock_being_run_number));
        break;
    case 150:
        event_server.set_clock_time(top, get_stack_word(context, 1));
        break;
    case 159:
        event_server.set_clock_time(clock_being_run_number, top);
        break;
    case 168:
        event_server.set_next_enabled_mask(top);
        break;
    case 169:
        event_server.set_next_enabled_mask(event_server.get_next_enabled_mask() | top);
        break;
    case 170:
        event_server.set_next_enabled_mask(event_server.get_next_enabled_mask() & ~top);
        break;
    case 171:
        set_result(context, event_server.get_enabled_mask() & ~clock_bits_mask);
        break;
    case 172:
        set_result(context, is_clock_enabled(top) ? 1 : 0);
        break;
    case 173:
        set_result(context, event_server.find_clock(top) != nullptr && !is_clock_enabled(top) ? 1 : 0);
        break;
    case 174:
        event_server.set_scale_1_mask(top);
        break;
    case 175:
        set_result(context, event_server.get_scale_1_mask());
        break;
    case 176:
        event_server.set_scale_1(get_stack_float(context, 0));
        break;
    case 177:
        set_float_result(context, event_server.get_scale_1());
        break;
    case 178:
        event_server.set_scale_2_mask(top);
        event_server.set_scale_2(1.0f);
        break;
    case 179:
        set_result(context, event_server.get_scale_2_mask());
        break;
    case 180:
        set_float_result(context, event_server.get_scale_2());
        break;
    default:
        break;
    }
}

}  // namespace zolt::core
