#include "zolt/builtins/system_builtins.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>

#include "libs/utility/message_handler.h"
#include "platform/online/low_violence.h"
#include "support/builtin_call.h"
#include "support/child_process.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/persistent_store.h"

namespace zolt::core {
namespace {

using test::BuiltinCall;

TEST(SystemBuiltins, SixtyFourBitArithmeticKeepsTheFullProductAndNeverTraps) {
    const struct {
        uint32_t a, b, c, d, expected;
    } multiply_divide[] = {
        {0xFFFFFFFF, 2, 2, 1, 0xFFFFFFFF},
        {0xFFFFFFFF, 0xFFFFFFFF, 1, 1, 1},  // the low word of the quotient
        {10, 3, 4, 1, 7},
        {5, 5, 0, 9, 0},
        {5, 5, 9, 0, 0},
        {0x10000, 0x10000, 0x10000, 0x10000, 1},
    };
    BuiltinCall builtin;
    for (const auto& row : multiply_divide) {
        EXPECT_EQ(builtin.call(77, {row.a, row.b, row.c, row.d}).word(), row.expected) << row.a << " " << row.b;
    }
    const struct {
        uint32_t low, high;
        int32_t divisor;
        uint32_t expected;
    } divide[] = {
        {0, 1, -2, 0x80000000},
        {7, 0, 2, 3},
        {0xFFFFFFF9, 0xFFFFFFFF, 2, 0xFFFFFFFD},  // -7 / 2 truncates toward zero
        {123, 0, 0, 0},
        {0, 0x80000000, -1, 0},  // the smallest value by -1 wraps
        {0, 0x80000000, 1, 0},
    };
    for (const auto& row : divide) {
        EXPECT_EQ(builtin.call(78, {row.low, row.high, static_cast<uint32_t>(row.divisor)}).word(), row.expected)
            << row.low << " " << row.high << " " << row.divisor;
    }
}

TEST(SystemBuiltins, TheLowViolenceQueryIsAskedOnceAndOtherCodesAnswerZeros) {
    const test::ChildResult result = test::run_in_child([] {
        platform::set_low_violence_setting(true);
        BuiltinCall builtin;
        builtin.call(73, {7});
        const bool zeros = builtin.lane(0) == 0 && builtin.lane(2) == 0 && builtin.lane(4) == 0 && builtin.lane(6) == 0;
        builtin.call(73, {low_violence_query});
        const bool ones = builtin.lane(0) == 1 && builtin.lane(2) == 1 && builtin.lane(4) == 1 && builtin.lane(6) == 1;
        platform::set_low_violence_setting(false);
        const bool kept = builtin.call(73, {low_violence_query}).lane(6) == 1;
        _exit(zeros && ones && kept ? 0 : 1);
    });
    EXPECT_EQ(result.exit_code, 0);
    // Without the online service's interface the answer is no.
    const test::ChildResult offline = test::run_in_child([] {
        platform::set_low_violence_setting(std::nullopt);
        _exit(BuiltinCall().call(73, {low_violence_query}).lane(0) == 0 ? 0 : 1);
    });
    EXPECT_EQ(offline.exit_code, 0);
}

TEST(SystemBuiltins, UnsupportedSystemRequestsAreFatal) {
    const struct {
        uint32_t id;
        const char* message;
    } requests[] = {{69, "Zolt rebooting is not supported by this build."},
                    {70, "Zolt quit to demo launcher is not supported by this build."}};
    for (const auto& request : requests) {
        const test::ChildResult result = test::run_in_child([&] { BuiltinCall().call(request.id); });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(request.message), std::string::npos) << result.standard_error;
    }
}

class PersistentValues : public ::testing::Test {
protected:
    PersistentValues() { array_server.register_server(); }
    ~PersistentValues() override {
        clear_persistent_values(0, persistent_value_count);
        array_server.unregister_server();
    }
    BuiltinCall builtin;
};

TEST_F(PersistentValues, SlotsKeepTheirValuesAndClearInRange) {
    builtin.call(191, {99, 5});
    EXPECT_EQ(builtin.call(192, {99}).word(), 5u);
    builtin.call(191, {0, 0xFFFFFFFF});
    builtin.call(191, {1, 3});
    builtin.call(190, {1, 99});
    EXPECT_EQ(get_persistent_value(0), 0xFFFFFFFFu);
    EXPECT_EQ(get_persistent_value(1), 0u);
    EXPECT_EQ(get_persistent_value(99), 0u);
    EXPECT_EQ(builtin.call(191, {3, 1}).word(), test::untouched_register);
}

TEST_F(PersistentValues, CopiesBetweenArraysAndSlots) {
    ArrayObject* const source = array_server.create_array(0);
    for (uint32_t value : {10u, 20u, 30u, 40u}) {
        source->append_element(value);
    }
    builtin.call(193, {source->get_handle(), 1, 50, 3});
    EXPECT_EQ(get_persistent_value(50), 20u);
    EXPECT_EQ(get_persistent_value(52), 40u);

    ArrayObject* const target = array_server.create_array(0);
    builtin.call(194, {target->get_handle(), 0, 50, 3});
    ASSERT_EQ(target->get_length(), 3u);
    EXPECT_EQ(target->get_element(0), 20u);
    EXPECT_EQ(target->get_element(2), 40u);
    // Count 0 checks nothing.
    builtin.call(193, {0, 0, 500, 0});
    builtin.call(194, {0, 0, 500, 0});
}

TEST_F(PersistentValues, BadIndexesAndArraysAreFatalAfterTheSlotsBeforeThem) {
    const struct {
        const char* name;
        void (*call)();
        const char* message;
    } cases[] = {
        {"set at 100",
         [] {
             BuiltinCall().call(191, {100, 1});
         },
         "Value index 100 is of out range."},
        {"get at 100", [] { BuiltinCall().call(192, {100}); }, "Value index 100 is of out range."},
        {"clear past the end",
         [] {
             set_persistent_value(98, 1);
             set_persistent_value(99, 1);
             BuiltinCall().call(190, {98, 3});
         },
         "Value index 100 is of out range."},
        {"copy from a range the array lacks",
         [] {
             ArrayObject* const array = array_server.create_array(0);
             for (uint32_t index = 0; index < 4; ++index) {
                 array->append_element(index);
             }
             BuiltinCall().call(193, {array->get_handle(), 2, 0, 3});
         },
         "contains only 4 entries range <2,4> was requested"},
        {"copy from no array",
         [] {
             BuiltinCall().call(193, {0x00700005, 0, 0, 1});
         },
         "Value 0x00700005 is not valid handle of array object"},
        {"copy into no array",
         [] {
             BuiltinCall().call(194, {0x12345678, 0, 0, 1});
         },
         "Value 0x12345678 is not valid handle of array object"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const test::ChildResult result = test::run_in_child(row.call);
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(row.message), std::string::npos) << result.standard_error;
    }
    // The clear reached slots 98 and 99 before it ended the program: a handler
    // told before the crash report reads them.
    const test::ChildResult cleared = test::run_in_child([] {
        struct SlotWitness final : MessageHandler {
            void handle_message(MessageKind, const char*, const char*, const char*, uint32_t, const char*,
                                va_list) override {
                std::fprintf(stderr, "slots %u %u\n", get_persistent_value(98), get_persistent_value(99));
            }
        };
        set_persistent_value(98, 1);
        set_persistent_value(99, 1);
        static SlotWitness witness;
        witness.register_handler();
        clear_persistent_values(98, 3);
    });
    EXPECT_NE(cleared.standard_error.find("slots 0 0\n"), std::string::npos) << cleared.standard_error;
}

}  // namespace
}  // namespace zolt::core
