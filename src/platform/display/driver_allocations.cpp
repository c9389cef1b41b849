#include "platform/display/driver_allocations.h"

// Present only when a leak checker is linked in.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace zolt::platform {

DriverAllocationScope::DriverAllocationScope() {
    if (&__lsan_disable != nullptr) {
        __lsan_disable();
    }
}

DriverAllocationScope::~DriverAllocationScope() {
    if (&__lsan_enable != nullptr) {
        __lsan_enable();
    }
}

}  // namespace zolt::platform
