#include "zolt/builtins/system_builtins.h"

#include <limits>

#include "libs/utility/fatal_error.h"
#include "platform/online/low_violence.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script_objects/persistent_store.h"

namespace zolt::core {
namespace {

struct LowViolenceAnswer {
    bool is_asked = false;
    bool is_low_violence = false;
};
LowViolenceAnswer low_violence_answer;

void set_persistent_values_body(ArrayHandle array, uint32_t array_start, uint32_t persistent_start, uint32_t count) {
    set_persistent_values(array.value, array_start, persistent_start, count);
}

void get_persistent_values_body(ArrayHandle array, uint32_t array_start, uint32_t persistent_start, uint32_t count) {
    get_persistent_values(array.value, array_start, persistent_start, count);
}

}  // namespace

void reboot() {
    ZOLT_PANIC("Zolt rebooting is not supported by this build.");
}

void quit_to_demo_launcher() {
    ZOLT_PANIC("Zolt quit to demo launcher is not supported by this build.");
}

geometry::Vector4 query_system(uint32_t code) {
    if (code != low_violence_query) {
        return {0.0f, 0.0f, 0.0f, 0.0f};
    }
    if (!low_violence_answer.is_asked) {
        low_violence_answer.is_low_violence = platform::query_low_violence_setting().value_or(false);
        low_violence_answer.is_asked = true;
    }
    const float value = low_violence_answer.is_low_violence ? 1.0f : 0.0f;
    return {value, value, value, value};
}

uint32_t multiply_divide_64(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    const uint64_t divisor = uint64_t{c} * d;
    if (divisor == 0) {
        return 0;
    }
    return static_cast<uint32_t>(uint64_t{a} * b / divisor);
}

uint32_t divide_64(uint32_t low, uint32_t high, int32_t divisor) {
    if (divisor == 0) {
        return 0;
    }
    const auto dividend = static_cast<int64_t>(uint64_t{high} << 32 | low);
    if (dividend == std::numeric_limits<int64_t>::min() && divisor == -1) {
        return 0;  // the low word of the wrapped quotient
    }
    return static_cast<uint32_t>(static_cast<uint64_t>(dividend / divisor));
}

void bind_system_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::reboot, &reboot>(table);
    bind_builtin<BuiltinId::quit_to_demo_launcher, &quit_to_demo_launcher>(table);
    bind_builtin<BuiltinId::query_system, &query_system>(table);
    bind_builtin<BuiltinId::multiply_divide_64, &multiply_divide_64>(table);
    bind_builtin<BuiltinId::divide_64, &divide_64>(table);
    bind_builtin<BuiltinId::clear_persistent_values, &clear_persistent_values>(table);
    bind_builtin<BuiltinId::set_persistent_value, &set_persistent_value>(table);
    bind_builtin<BuiltinId::get_persistent_value, &get_persistent_value>(table);
    bind_builtin<BuiltinId::set_persistent_values, &set_persistent_values_body>(table);
    bind_builtin<BuiltinId::get_persistent_values, &get_persistent_values_body>(table);
}

}  // namespace zolt::core
