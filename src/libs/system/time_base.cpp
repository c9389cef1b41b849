#include "libs/system/time_base.h"

#include "platform/system/clock.h"

namespace zolt {

uint32_t get_time() {
    return platform::read_milliseconds() * 100u;
}

uint32_t wait_until(uint32_t target) {
    for (;;) {
        const uint32_t now = get_time();
        const int32_t remaining = static_cast<int32_t>(target - now);
        if (remaining <= 0) {
            return now;
        }
        if (remaining < 100) {
            continue;
        }
        if (remaining < 300) {
            platform::sleep_milliseconds(0);
            platform::sleep_milliseconds(1);
        } else if (remaining < 2000) {
            platform::sleep_milliseconds(1);
        } else {
            platform::sleep_milliseconds(17);
        }
    }
}

}  // namespace zolt
