#pragma once
// Writes resource packs and pack lists in the formats of libs/io/pack_format.h
// and libs/io/pack_list.h. The writer lays out what it is given, even a pack
// the engine would refuse, so tests can build broken packs; zpack verifies
// what it writes.
#include <cstdint>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"

namespace zolt::tools {

struct PackResource {
    uint32_t id = 0;     // with its language number in bits 24-27
    uint32_t flags = 0;  // io::make_resource_flags(alignment exponent, pool type, not reopened)
    std::vector<uint8_t> data;
    bool allow_packing = true;  // packed when that saves space and decodes in place
};

struct PackDescription {
    uint32_t key = 0;
    uint32_t version = io::pack_engine_version;  // the low 21 bits are free
    std::vector<PackResource> resources;
};

// The header, the data block, the directory at offset 56, then the stored
// bytes of every resource in the order given. False, with a message, when
// the pack would not fit the 32-bit offsets.
bool build_pack(const PackDescription& description, std::vector<uint8_t>* pack, std::string* error);

// Recomputes the directory CRC (when the directory lies inside the pack),
// the data CRC and the header CRC, in that order, after fields were changed.
void seal_pack(std::vector<uint8_t>* pack);

// The pack list text: one name a line. False, with a message, for a name
// that is empty or holds a separator.
bool format_pack_list(const std::vector<std::string>& names, std::string* text, std::string* error);

bool write_file(const std::string& path, const void* bytes, size_t size, std::string* error);
bool read_file(const std::string& path, std::vector<uint8_t>* bytes, std::string* error);

}  // namespace zolt::tools
