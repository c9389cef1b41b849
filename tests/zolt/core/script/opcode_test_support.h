#pragma once
// Short bytecode programs run one at a time: a case is the words it pushes
// (the last on top) and the instructions that follow. All cases of a test go
// into one code object, so the pack is written once; each run starts a task
// at its case with chosen registers and executes it directly. A case that
// reaches its end sets r7 to a marker, so a fault (the task ended before
// the end) can be told from a finished run. The servers are global: one
// OpcodePrograms at a time.
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "zolt/core/script/task_test_support.h"

namespace zolt::test {

constexpr uint32_t case_finished_marker = 0x600DF00D;
// Pushed below every case's operands: it must come through untouched.
constexpr uint32_t stack_sentinel = 0xA5A5A5A5;

inline uint32_t word_of(float value) {
    return std::bit_cast<uint32_t>(value);
}

inline float float_of(uint32_t word) {
    return std::bit_cast<float>(word);
}

inline std::string push_lines(const std::vector<uint32_t>& words) {
    std::string lines;
    for (const uint32_t word : words) {
        char line[32];
        std::snprintf(line, sizeof line, "    push_word 0x%08" PRIX32 "\n", word);
        lines += line;
    }
    return lines;
}

struct OpcodeRun {
    uint32_t result = 0;  // what execute_task answered
    bool alive = false;   // the task still exists afterwards
    bool finished = false;
    // The whole operand stack, bottom first, the sentinel included.
    std::vector<uint32_t> stack;
    std::array<uint32_t, 8> registers{};
};

class OpcodePrograms {
public:
    // Answers the case's number for run().
    uint32_t add(const std::vector<uint32_t>& pushes, const std::string& code) {
        bodies_.push_back(push_lines({stack_sentinel}) + push_lines(pushes) + code + "    set_r7 " +
                          std::to_string(case_finished_marker) + "\n    end_task\n");
        return static_cast<uint32_t>(bodies_.size() - 1);
    }

    // Assembles every case added so far; run() calls it when needed.
    void build() {
        std::string source = ".code 0 1\n";
        for (size_t index = 0; index < bodies_.size(); ++index) {
            source += ".entry case" + std::to_string(index) + "\n";
        }
        for (size_t index = 0; index < bodies_.size(); ++index) {
            source += "case" + std::to_string(index) + ":\n" + bodies_[index];
        }
        world_ = std::make_unique<ScriptWorld>(std::vector<std::string>{source});
    }

    ScriptWorld& world() {
        if (!world_) {
            build();
        }
        return *world_;
    }

    OpcodeRun run(uint32_t index, const std::array<uint32_t, 8>& registers = {}) {
        ScriptWorld& script_world = world();
        OpcodeRun outcome;
        core::Task* const task = script_world.start(0x4000 + index);
        EXPECT_NE(task, nullptr);
        if (task == nullptr) {
            return outcome;
        }
        for (uint32_t n = 0; n < 8; ++n) {
            task->set_argument(n, registers[n]);
        }
        const core::ObjectHandle handle = task->get_handle();
        outcome.result = ScriptWorld::execute(task);
        outcome.alive = is_alive(handle);
        const core::ScriptContext& context = ScriptWorld::context();
        outcome.stack.assign(context.stack, context.stack + context.stack_index);
        for (uint32_t n = 0; n < 8; ++n) {
            outcome.registers[n] = context.registers[n];
        }
        outcome.finished = !outcome.alive && outcome.registers[7] == case_finished_marker;
        if (outcome.alive) {
            core::destroy_object(task);
        }
        return outcome;
    }

private:
    std::vector<std::string> bodies_;
    std::unique_ptr<ScriptWorld> world_;
};

}  // namespace zolt::test
