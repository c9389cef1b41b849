#include "zolt/builtins/dispatch_builtins.h"

#include <cmath>
#include <cstring>

#include "zolt/builtins/builtin_binding.h"

namespace zolt::core {

namespace {

int32_t answer_minus_one() {
    return -1;
}

}  // namespace

float convert_double_to_float(uint32_t low, uint32_t high) {
    const uint64_t bits = uint64_t{high} << 32 | low;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    // FLT_MAX plus half its last place rounds up to infinity; converting a
    // double beyond the float range would be undefined.
    constexpr double overflow = 0x1.ffffffp127;
    if (std::isfinite(value) && std::fabs(value) >= overflow) {
        return value < 0 ? -INFINITY : INFINITY;
    }
    return static_cast<float>(value);
}

void bind_dispatch_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::convert_double_to_float, &convert_double_to_float>(table);
    bind_builtin<BuiltinId::answer_minus_one, &answer_minus_one>(table);
}

}  // namespace zolt::core
