#pragma once
// The pack list: the names of the packs to open, separated by blanks, tabs,
// carriage returns and line feeds, read whole into a buffer of
// pack_list_capacity bytes. Any thread may call.
#include <cstdint>

namespace zolt::io {

constexpr uint32_t pack_list_capacity = 8192;
constexpr uint32_t max_pack_count = 512;

struct PackList {
    uint32_t count = 0;
    const char* names[max_pack_count];  // into the parsed text
    // A name followed the 512th; the loader opens the first 512 in order
    // and then halts with "pack list %s contains too many packs".
    bool has_too_many = false;
};

// Splits text in place: a NUL ends every name.
void parse_pack_list(char* text, PackList* list);

}  // namespace zolt::io
