#pragma once
// Opcodes that would reach outside a program under random bytes: starting
// tasks, creating and destroying objects, shaking resources, calls (a random
// code reference names random builtins), saving and loading games. The
// random-bytecode test and the interpreter's fuzz target both leave them out.
#include <cstdint>

#include "zolt/core/script/opcode_table.h"

namespace zolt::test {

inline bool is_opcode_outside_program(uint32_t byte) {
    switch (static_cast<core::Opcode>(byte)) {
    case core::Opcode::start_task:
    case core::Opcode::create_object:
    case core::Opcode::destroy_object:
    case core::Opcode::shake_resources:
    case core::Opcode::call:
    case core::Opcode::call_popped:
    case core::Opcode::save_game:
    case core::Opcode::load_game:
        return true;
    default:
        return false;
    }
}

}  // namespace zolt::test
