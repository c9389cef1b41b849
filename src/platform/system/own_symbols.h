#pragma once
// Names for code addresses of the program's own executable, from its symbol
// table, for crash reports. The table is mapped once, before any crash, so
// that a lookup in signal context only reads memory. Addresses in other
// modules, or an executable without a symbol table, give no name.
#include <cstdint>

namespace zolt::platform {

// Maps /proc/self/exe; false when it has no symbol table.
bool load_own_symbols();

// The (mangled) name of the function that holds address, and the address's
// offset into it; null when none does.
const char* find_own_symbol(uint64_t address, uint64_t* offset);

}  // namespace zolt::platform
