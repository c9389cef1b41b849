#pragma once
// The disassembler: code resources back into the assembler's source, so that
// assembling the text gives the same bytes again. Code is followed from the
// entries and the jump and local call targets; bytes no path reaches, and
// anything the assembler would not write the same way, come out as .byte and
// .word data.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

// Appends the source of one code resource to text. False, with a message,
// when the bytes are not a code resource in the assembler's layout: the
// header, the entry table right after it, then the code to the end.
bool disassemble_code(uint32_t resource_id, const uint8_t* bytes, uint32_t size, std::string* text, std::string* error);

struct PackedResource {
    uint32_t id = 0;
    std::vector<uint8_t> bytes;  // unpacked
};

// Every resource of a pack, unpacked, after the engine's checks of the pack
// and of each resource's CRC. False, with a message, when any fails.
bool read_pack_resources(const std::vector<uint8_t>& pack, std::vector<PackedResource>* resources, std::string* error);

// The source of every code resource in the pack; other resources are named
// in comments.
bool disassemble_pack(const std::vector<uint8_t>& pack, std::string* text, std::string* error);

}  // namespace zolt::tools
