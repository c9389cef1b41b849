#include <gtest/gtest.h>
#include <cstdio>
#include <string>

#include "libs/utility/dynamic_object_array.h"
#include "libs/utility/fixed_memory_pool.h"
#include "libs/utility/variable_memory_pool.h"
#include "support/child_process.h"

namespace zolt {
namespace {

void exhaust_fixed_pool() {
    static FixedMemoryPool<16, 3> pool;
    for (int index = 0; index < 4; ++index) {
        pool.allocate(16);
    }
}

void exhaust_variable_pool() {
    static VariableMemoryPool<64> pool;
    for (int index = 0; index < 9; ++index) {
        if (pool.allocate(8) == nullptr) {
            halt_due_out_of_memory(pool);
        }
    }
}

void exhaust_dynamic_array() {
    static DynamicObjectArray<uint64_t, 3> array;
    for (int index = 0; index < 4; ++index) {
        array.allocate_object_memory();
    }
}

TEST(MemoryPoolExhaustion, EndsTheProcessWithOutOfMemoryFromTheRoutineThatRanOut) {
    struct Case {
        void (*exhaust)();
        const char* routine;
        ExitCode stored_exit_code;
        ExitCode expected_exit_code;
    };
    const Case cases[] = {
        {exhaust_fixed_pool, "FixedMemoryPoolBase::allocate", ExitCode::unspecified_fatal, ExitCode::crash},
        {exhaust_variable_pool, "halt_due_out_of_memory", ExitCode::unspecified_fatal, ExitCode::crash},
        {exhaust_dynamic_array, "allocate_object_memory", ExitCode::unspecified_fatal, ExitCode::crash},
        {exhaust_fixed_pool, "FixedMemoryPoolBase::allocate", ExitCode::file_input_output, ExitCode::file_input_output},
    };
    for (const Case& c : cases) {
        const test::ChildResult result = test::run_in_child([&] {
            set_fatal_exit_code(c.stored_exit_code);
            c.exhaust();
            std::fprintf(stderr, "went on\n");
        });
        EXPECT_TRUE(result.exited) << c.routine;
        EXPECT_EQ(result.exit_code, c.expected_exit_code) << c.routine;
        EXPECT_EQ(test::count_occurrences(result.standard_error, "zolt: fatal error: out of memory\n"), 1u)
            << result.standard_error;
        EXPECT_NE(result.standard_error.find(c.routine), std::string::npos) << result.standard_error;
        EXPECT_EQ(result.standard_error.find("went on"), std::string::npos) << c.routine;
    }
}

}  // namespace
}  // namespace zolt
