#pragma once
// The system builtins that belong to no other family: the unsupported system
// requests (69, 70), the system query (73), 64-bit multiply-divide and
// divide (77, 78), and the persistent values (190-194,
// persistent_store.h). Main thread only.
#include <cstdint>

#include "libs/geometry/vector.h"
#include "zolt/builtins/builtin_table.h"

namespace zolt::core {

constexpr uint32_t low_violence_query = 42;

void bind_system_builtins(BuiltinTable& table);

[[noreturn]] void reboot();
[[noreturn]] void quit_to_demo_launcher();
// For code 42 all ones when the online service asks for low violence, else
// zeros; the service is asked once per process.
geometry::Vector4 query_system(uint32_t code);
// The low 32 bits of (a b) / (c d) in unsigned 64 bits; 0 when c d is 0.
uint32_t multiply_divide_64(uint32_t a, uint32_t b, uint32_t c, uint32_t d);
// The low 32 bits of the signed 64-bit quotient of high:low by divisor,
// truncated toward zero; 0 for divisor 0. The one quotient that does not fit
// (the smallest value by -1) wraps instead of trapping.
uint32_t divide_64(uint32_t low, uint32_t high, int32_t divisor);

}  // namespace zolt::core
