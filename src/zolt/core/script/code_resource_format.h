#pragma once
// The code resource, one definition for the engine's code objects and the
// assembler. A code resource is eight little-endian u32 header words, an
// entry table of u32 offsets counted from the first code byte, and the
// bytecode. The code starts at a multiple of 4 inside a resource loaded at
// an address aligned to at least 4, so the aligned operands of the bytecode
// are aligned in memory. The check answers which rule a resource breaks, in
// the order the engine applies them; halting is the caller's. Any thread
// may call.
#include <bit>
#include <cstdint>

namespace zolt::core {

static_assert(std::endian::native == std::endian::little, "code resources are read as little-endian words");

struct CodeResourceHeader {
    uint32_t identity;  // bits 28-31 chain index, bits 14-27 key, bits 0-13 not used
    uint32_t entry_table_offset;
    uint32_t entry_count;
    uint32_t code_offset;
    uint32_t code_end_offset;
    uint32_t constants_version;
    uint32_t instruction_set_version;
    uint32_t builtins_version;
};

static_assert(sizeof(CodeResourceHeader) == 32);

constexpr uint32_t code_resource_header_size = 32;
constexpr uint32_t code_constants_version = 0x4ABA5CE5;
constexpr uint32_t code_instruction_set_version = 0x00020004;
constexpr uint32_t code_builtins_version = 0x4ABA587D;
constexpr uint32_t code_alignment = 4;

constexpr uint32_t code_chain_count = 16;
constexpr uint32_t max_code_key = 0x3FFF;
constexpr uint32_t max_entry_index = 0x3FFF;
// In a code reference, chain index 15 marks a builtin call.
constexpr uint32_t builtin_chain_index = 15;

// The identity word and the code reference share the chain and key fields.
constexpr uint32_t make_code_identity(uint32_t chain_index, uint32_t key) {
    return (chain_index & 0xF) << 28 | (key & max_code_key) << 14;
}
constexpr uint32_t make_code_reference(uint32_t chain_index, uint32_t key, uint32_t entry_index) {
    return make_code_identity(chain_index, key) | (entry_index & max_entry_index);
}
constexpr uint32_t make_builtin_reference(uint32_t builtin_id) {
    return make_code_reference(builtin_chain_index, 0, builtin_id);
}
constexpr uint32_t get_code_chain_index(uint32_t identity_or_reference) {
    return identity_or_reference >> 28;
}
constexpr uint32_t get_code_key(uint32_t identity_or_reference) {
    return (identity_or_reference >> 14) & max_code_key;
}
constexpr uint32_t get_code_entry_index(uint32_t reference) {
    return reference & max_entry_index;
}

// The resource id of a code object: top nibble 1, the language number in
// bits 24-27 (0xF: the current language), the chain index in bits 16-19 and
// the key in bits 0-15. The code server looks key 0 up as key 1.
constexpr uint32_t code_resource_language_current = 0xF;
constexpr uint32_t make_code_resource_id(uint32_t chain_index, uint32_t key,
                                         uint32_t language = code_resource_language_current) {
    return 0x10000000u | (language & 0xF) << 24 | (chain_index & 0xF) << 16 | (key & 0xFFFF);
}
// Whether an id has the shape of a code resource id, whatever its language.
constexpr bool is_code_resource_id(uint32_t id) {
    return (id & 0xF0F00000u) == 0x10000000u;
}

constexpr uint32_t align_code_offset(uint32_t offset) {
    return (offset + code_alignment - 1) & ~(code_alignment - 1);
}

CodeResourceHeader read_code_resource_header(const void* bytes);
void write_code_resource_header(const CodeResourceHeader& header, void* bytes);
// One entry of an entry table read in place; the table need not be aligned.
uint32_t read_code_entry(const uint8_t* entry_table, uint32_t index);

enum class CodeResourceCheck : uint32_t {
    intact,
    too_short,  // fewer bytes than the header
    // The three version words, in this order.
    constants_version,
    instruction_set_version,
    builtins_version,
    // The tables must lie inside the resource before anything is derived.
    entry_table_outside,    // entry table offset + 4 x entry count past the end
    code_outside,           // code end before the code offset, or past the end
    code_offset_unaligned,  // code offset not a multiple of 4
};

// The header as read (zero when too short) and the size, for the message.
struct CodeResourceCheckResult {
    CodeResourceCheck check = CodeResourceCheck::intact;
    CodeResourceHeader header = {};
    uint32_t size = 0;
};

// Reads nothing outside the size bytes.
CodeResourceCheckResult check_code_resource(const void* bytes, uint32_t size);

// The engine's fatal message for a failed check of the resource with this id.
void describe_code_resource_check(const CodeResourceCheckResult& result, uint32_t resource_id, char* buffer,
                                  uint32_t capacity);

}  // namespace zolt::core
