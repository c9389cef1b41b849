#pragma once
// The language whose resource and code variants the loader prefers. Main
// thread only.
#include <cstdint>

namespace zolt {

// Language of resource and code variants, 1 to 13.
extern uint32_t current_language;
// Configuration: the language the engine starts with.
extern uint32_t default_language;

}  // namespace zolt
