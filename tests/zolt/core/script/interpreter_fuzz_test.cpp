#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>

#include "libs/system/time_base.h"
#include "support/outside_opcodes.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script/task_test_support.h"

namespace zolt::core {
namespace {

using test::ScriptWorld;

constexpr uint32_t fuzz_code_size = 2048;
constexpr uint32_t fuzz_entry_count = 8;

class ProgramWriter {
public:
    explicit ProgramWriter(std::mt19937& random) : random_(random) {}

    // A byte that decodes as an allowed opcode wherever a jump lands.
    uint8_t any_byte() {
        for (;;) {
            const uint8_t byte = static_cast<uint8_t>(random_());
            if (!test::is_opcode_outside_program(byte)) {
                return byte;
            }
        }
    }

    // A small value that is an allowed byte too.
    uint8_t small_byte() {
        for (;;) {
            const uint8_t byte = static_cast<uint8_t>(random_() % 8);
            if (!test::is_opcode_outside_program(byte)) {
                return byte;
            }
        }
    }

    uint32_t any_word() {
        switch (random_() % 4) {
        case 0:
            // Mostly inside the code, sometimes just past it.
            for (;;) {
                const uint32_t offset = random_() % (fuzz_code_size + 16);
                if (!test::is_opcode_outside_program(offset & 0xFF) && !test::is_opcode_outside_program(offset >> 8)) {
                    return offset;
                }
            }
        case 1:
            return small_byte();
        default: {
            // Large enough that no array or string could grow to it: the
            // pools' own limits are not what this test is about.
            uint32_t word = 0;
            while (word < 0x80) {
                word = any_byte();
            }
            for (int index = 0; index < 3; ++index) {
                word = word << 8 | any_byte();
            }
            return word;
        }
        }
    }

    void write(uint8_t* code) {
        uint32_t at = 0;
        auto put = [&](uint8_t byte) {
            if (at < fuzz_code_size) {
                code[at++] = byte;
            }
        };
        auto put_word = [&](uint32_t word) {
            for (int index = 0; index < 4; ++index) {
                put(static_cast<uint8_t>(word >> (8 * index)));
            }
        };
        while (at < fuzz_code_size) {
            if (random_() % 64 == 0) {
                put(any_byte());
                continue;
            }
            const uint8_t opcode = any_byte();
            put(opcode);
            if (opcode >= opcode_count) {
                continue;
            }
            const OperandKind kind = opcode_table[opcode].operand;
            if (kind == OperandKind::byte || kind == OperandKind::signed_byte) {
                put(random_() % 2 == 0 ? small_byte() : any_byte());
                continue;
            }
            if (kind == OperandKind::none) {
                continue;
            }
            while (at % 4 != 0 && at < fuzz_code_size) {
                put(any_byte());
            }
            if (kind == OperandKind::text) {
                const uint32_t count = random_() % 8 == 0 ? any_word() : small_byte();
                put_word(count);
                for (uint32_t unit = 0; unit < 2 * count && unit < 12; ++unit) {
                    put(any_byte());
                }
                continue;
            }
            for (uint32_t word = 0; word < get_operand_word_count(kind); ++word) {
                put_word(any_word());
            }
        }
    }

private:
    std::mt19937& random_;
};

std::string make_fuzz_source() {
    std::string source = ".code 0 1\n";
    for (uint32_t entry = 0; entry < fuzz_entry_count; ++entry) {
        source += ".entry " + std::to_string(entry * (fuzz_code_size / fuzz_entry_count)) + "\n";
    }
    source += "    .byte 0";
    for (uint32_t index = 1; index < fuzz_code_size; ++index) {
        source += index % 32 == 0 ? "\n    .byte 0" : ", 0";
    }
    return source + "\n";
}

// A cooperative thread that is always due: every slice end yields.
class DueThread {
public:
    DueThread() { schedule_thread(&thread_, get_time() - 1); }
    ~DueThread() { unlink_thread(&thread_); }

private:
    static void step(Thread*) {}
    Thread thread_{step};
};

TEST(InterpreterFuzz, RandomBytecodeOnlyEverEndsOrStopsItsTask) {
    ScriptWorld world({make_fuzz_source()});
    CodeObject* const code_object = code_server.find_code_object(1, 0);
    ASSERT_NE(code_object, nullptr);
    ASSERT_EQ(code_object->get_code_size(), fuzz_code_size);
    // The test owns these bytes: the code is rewritten for every program.
    auto* const code = const_cast<uint8_t*>(code_object->get_code_start());

    std::mt19937 random(20240611);
    ProgramWriter writer(random);
    DueThread due;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    uint32_t programs = 0;
    while (std::chrono::steady_clock::now() < end) {
        ++programs;
        writer.write(code);
        ArrayObject* const array = array_server.create_array(0);
        String* const string = string_server.create_string();
        const ObjectHandle array_handle = array->get_handle();
        const ObjectHandle string_handle = string->get_handle();
        for (uint32_t run = 0; run < 4; ++run) {
            Task* const task = world.start(0x4000 + random() % fuzz_entry_count);
            ASSERT_NE(task, nullptr);
            const uint32_t candidates[] = {0, array_handle, string_handle, task->get_handle(), writer.any_word()};
            for (uint32_t n = 0; n < register_count; ++n) {
                task->set_argument(n, candidates[random() % std::size(candidates)]);
            }
        }
        world.run(16);
        const ScriptContext& context = ScriptWorld::context();
        ASSERT_LE(context.stack_index, operand_stack_size);
        for (ServerBase* const server :
             {static_cast<ServerBase*>(&task_server), static_cast<ServerBase*>(&array_server),
              static_cast<ServerBase*>(&string_server)}) {
            while (ServerObject* const left = server->get_live_list().get_tail()) {
                destroy_object(left);
            }
        }
    }
    EXPECT_GT(programs, 0u);
    EXPECT_EQ(task_server.get_live_count(), 0u);
    EXPECT_EQ(code_object->get_reference_count(), 0u);
}

}  // namespace
}  // namespace zolt::core
