#include "zolt/core/script/opcode_table.h"

#include <cstring>

namespace zolt::core {

namespace {

// The list must number its rows 0, 1, 2 ... so that the enum and the table agree.
constexpr bool is_numbered_in_order() {
    uint32_t expected = 0;
    bool in_order = true;
#define ZOLT_OPCODE_CHECK(number, name, operand, pops, pushes, flags) in_order = in_order && (number) == expected++;
    ZOLT_OPCODE_LIST(ZOLT_OPCODE_CHECK)
#undef ZOLT_OPCODE_CHECK
    return in_order && expected == opcode_count;
}
static_assert(is_numbered_in_order());

}  // namespace

int find_opcode_by_name(const char* name) {
    for (uint32_t opcode = 0; opcode < opcode_count; ++opcode) {
        if (std::strcmp(opcode_table[opcode].name, name) == 0)
            return static_cast<int>(opcode);
    }
    return -1;
}

bool find_next_instruction(const uint8_t* code, uint32_t code_size, uint32_t opcode_offset, uint32_t* next_offset) {
    if (opcode_offset >= code_size)
        return false;
    const OpcodeInfo* info = find_opcode_info(code[opcode_offset]);
    if (info == nullptr)
        return false;
    // 64-bit sums: offsets near 4 GiB must not wrap into the code.
    uint64_t next = 0;
    switch (info->operand) {
    case OperandKind::none:
        next = uint64_t{opcode_offset} + 1;
        break;
    case OperandKind::byte:
    case OperandKind::signed_byte:
        next = uint64_t{opcode_offset} + 2;
        break;
    case OperandKind::text: {
        const uint64_t count_offset = (uint64_t{opcode_offset} + 4) & ~uint64_t{3};
        if (count_offset + 4 > code_size)
            return false;
        uint32_t count = 0;
        std::memcpy(&count, code + count_offset, 4);
        next = count_offset + 4 + uint64_t{count} * 2;
        break;
    }
    default:
        next = ((uint64_t{opcode_offset} + 4) & ~uint64_t{3}) + 4u * get_operand_word_count(info->operand);
        break;
    }
    if (next > code_size)
        return false;
    *next_offset = static_cast<uint32_t>(next);
    return true;
}

}  // namespace zolt::core
