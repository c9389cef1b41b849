#include "zolt/builtins/builtin_dispatch.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "zolt/builtins/builtin_helpers.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/core/program/engine.h"
#include "zolt/core/resources/language.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {
namespace {

constexpr uint32_t marker = 0xDEADBEEF;

// A context with a few argument words and every register marked.
std::unique_ptr<ScriptContext> make_context(std::vector<uint32_t> arguments_top_first = {}) {
    auto context = std::make_unique<ScriptContext>();
    for (uint32_t& word : context->registers) {
        word = marker;
    }
    context->stack_index = 10 + static_cast<uint32_t>(arguments_top_first.size());
    for (size_t depth = 0; depth < arguments_top_first.size(); ++depth) {
        context->stack[context->stack_index - 1 - depth] = arguments_top_first[depth];
    }
    context->frame_base = 4;
    context->program_counter = 12;
    return context;
}

void expect_untouched_except_r0(const ScriptContext& context, uint32_t stack_index) {
    EXPECT_EQ(context.stack_index, stack_index);
    EXPECT_EQ(context.frame_base, 4u);
    EXPECT_EQ(context.program_counter, 12u);
    for (uint32_t n = 1; n < register_count; ++n) {
        EXPECT_EQ(context.registers[n], marker) << n;
    }
}

std::vector<uint32_t> range(uint32_t first, uint32_t last) {
    std::vector<uint32_t> ids;
    for (uint32_t id = first; id <= last; ++id) {
        ids.push_back(id);
    }
    return ids;
}

std::vector<uint32_t> join(std::initializer_list<std::vector<uint32_t>> parts) {
    std::vector<uint32_t> ids;
    for (const auto& part : parts) {
        ids.insert(ids.end(), part.begin(), part.end());
    }
    return ids;
}

TEST(BuiltinDispatch, SharedStubsAndUnknownIdsReadNothingAndKeepTheStack) {
    const std::vector<uint32_t> no_operation = join({{0, 702, 16383, 22, 30, 31, 74, 75},
                                                     range(79, 110),
                                                     {122, 123, 130, 131, 212, 217, 218, 219},
                                                     {222, 229, 300, 301, 318},
                                                     range(356, 367)});
    const std::vector<uint32_t> zero =
        join({range(14, 19), range(23, 29), {71, 72, 121, 128, 129, 215, 216, 228, 234, 235, 317, 386, 387}});
    const std::vector<uint32_t> one = {118, 119, 120, 124, 125, 388, 569, 684, 685};
    const struct {
        const std::vector<uint32_t>& ids;
        uint32_t r0;
    } groups[] = {{no_operation, marker}, {zero, 0}, {one, 1}};
    for (const auto& group : groups) {
        for (const uint32_t id : group.ids) {
            SCOPED_TRACE(id);
            auto context = make_context({7, 8, 9});
            call_builtin(*context, id);
            EXPECT_EQ(context->registers[0], group.r0);
            expect_untouched_except_r0(*context, 13);
        }
    }
}

TEST(BuiltinDispatch, BuiltinsOfTheDispatcherItself) {
    const uint32_t saved_language = current_language;
    auto context = make_context({99});
    call_builtin(*context, 182);
    call_builtin(*context, 183);
    EXPECT_EQ(context->registers[0], 99u);
    expect_untouched_except_r0(*context, 11);
    current_language = saved_language;

    call_builtin(*context, 230);
    EXPECT_EQ(context->registers[0], 0xFFFFFFFFu);
    call_builtin(*context, 225);
    EXPECT_EQ(context->registers[0], 0x10200000u);

    const struct {
        double value;
        float expected;
    } doubles[] = {{1.5, 1.5f},
                   {0.1, 0.1f},
                   {-1e300, -INFINITY},
                   {1e-300, 0.0f},
                   {3.4028235e38, FLT_MAX},
                   {3.4028235677973366e38, INFINITY}};
    for (const auto& row : doubles) {
        uint64_t bits;
        std::memcpy(&bits, &row.value, sizeof bits);
        auto doubled = make_context({static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32)});
        call_builtin(*doubled, 76);
        EXPECT_EQ(word_to_float(doubled->registers[0]), row.expected) << row.value;
        expect_untouched_except_r0(*doubled, 12);
    }
    const double not_a_number = std::nan("");
    uint64_t bits;
    std::memcpy(&bits, &not_a_number, sizeof bits);
    auto nan_context = make_context({static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32)});
    call_builtin(*nan_context, 76);
    EXPECT_TRUE(std::isnan(word_to_float(nan_context->registers[0])));
}

TEST(BuiltinDispatch, ArgumentsBelowTheStackReadAsZero) {
    auto context = make_context();
    context->stack_index = 0;
    call_builtin(*context, 183);
    const uint32_t saved_language = current_language;
    call_builtin(*context, 182);
    EXPECT_EQ(current_language, 0u);
    current_language = saved_language;
    EXPECT_EQ(get_stack_word(*context, 0), 0u);
}

TEST(BuiltinDispatch, NeighbourStubsAnswerAsForAHandleThatNamesNothing) {
    const struct {
        uint32_t id;
        uint32_t r0;
    } cases[] = {{566, 0}, {567, 0}, {650, 0},          {649, marker},     {238, marker},     {239, 0},
                 {244, 1}, {246, 3}, {251, 0xFFFFFFFF}, {265, 0xFFFFFFFF}, {278, 0xFFFFFFFF}, {284, marker},
                 {587, 0}, {605, 0}, {658, marker},     {659, 0},          {660, 0xBF800000}, {662, 0xBF800000}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.id);
        auto context = make_context({1, 2, 3, 4});
        call_builtin(*context, row.id);
        EXPECT_EQ(context->registers[0], row.r0);
        EXPECT_EQ(context->stack_index, 14u);
    }
    auto context = make_context();
    call_builtin(*context, 242);
    EXPECT_EQ(word_to_float(context->registers[0]), 0.0f);
    EXPECT_EQ(word_to_float(context->registers[2]), 0.0f);
    EXPECT_EQ(word_to_float(context->registers[4]), 1.0f);
    EXPECT_EQ(context->registers[1], marker);
    EXPECT_EQ(context->registers[6], marker);
}

class StringWorld : public ::testing::Test {
protected:
    StringWorld() { string_server.register_server(); }
    ~StringWorld() override { string_server.unregister_server(); }
};

TEST_F(StringWorld, StringAndStatisticsBuiltinsTakeTheirArgumentsInCallOrder) {
    String* const string = string_server.create_string();
    string->append_c_string("abcb");
    const ObjectHandle handle = string->get_handle();

    // 220: start, unit, string (string on top).
    auto find = make_context({handle, u'b', 2});
    call_builtin(*find, 220);
    EXPECT_EQ(find->registers[0], 3u);
    auto at = make_context({handle, 1});
    call_builtin(*at, 221);
    EXPECT_EQ(at->registers[0], static_cast<uint32_t>(u'b'));

    // 204: server type, string.
    auto name = make_context({handle, server_type::string});
    call_builtin(*name, 204);
    EXPECT_EQ(std::u16string(string->get_text(), string->get_length()), u"StringServer");
    EXPECT_EQ(name->registers[0], marker);
    auto refused = make_context({handle, 60});
    call_builtin(*refused, 204);
    EXPECT_EQ(string->get_length(), 12u);

    const struct {
        uint32_t id;
        uint32_t r0;
    } statistics[] = {{205, 1}, {206, string_capacity}, {207, string_capacity - 1}, {208, 1}, {209, sizeof(String)}};
    for (const auto& row : statistics) {
        auto context = make_context({server_type::string});
        call_builtin(*context, row.id);
        EXPECT_EQ(context->registers[0], row.r0) << row.id;
    }
    auto usage = make_context({server_type::string});
    call_builtin(*usage, 210);
    EXPECT_EQ(word_to_float(usage->registers[0]), 1.0f / string_capacity);

    auto clear = make_context({handle});
    call_builtin(*clear, 21);
    EXPECT_EQ(string->get_length(), 0u);
}

TEST(BuiltinDispatch, QuitAndTheUnsupportedBuiltins) {
    const test::ChildResult quit = test::run_in_child([] {
        auto context = make_context();
        std::fprintf(stderr, "before %d\n", is_quit_requested() ? 1 : 0);
        call_builtin(*context, 188);
        std::fprintf(stderr, "after %d\n", is_quit_requested() ? 1 : 0);
    });
    EXPECT_EQ(quit.exit_code, 0);
    EXPECT_NE(quit.standard_error.find("before 0\nafter 1\n"), std::string::npos) << quit.standard_error;

    const struct {
        uint32_t id;
        const char* message;
    } fatal[] = {{112, "Sign-in UI is not implemented"},
                 {113, "Friends UI is not implemented"},
                 {114, "Party UI is not implemented"},
                 {115, "Community sessions UI is not implemented"},
                 {116, "Achievements UI is not implemented"},
                 {117, "Gamer card UI is not implemented"},
                 {571, "Builtin project_to_screen() should be fixed before it can be used again."}};
    for (const auto& row : fatal) {
        const test::ChildResult result = test::run_in_child([&] {
            auto context = make_context();
            call_builtin(*context, row.id);
        });
        EXPECT_EQ(result.exit_code, ExitCode::crash) << row.id;
        EXPECT_NE(result.standard_error.find(std::string("zolt: fatal error: ") + row.message), std::string::npos)
            << result.standard_error;
    }
}

TEST(BuiltinDispatch, ObjectsCreatedAtArrayElementsBecomeTheArraysChildren) {
    array_server.register_server();
    string_server.register_server();
    ArrayObject* const array = array_server.create_array(0);
    array->set_element(2, 0);
    ServerObject* const created = create_object_at_array_element(array, 1, &string_server);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(array->get_element(1), created->get_handle());
    EXPECT_EQ(created->get_owner(), array);

    const test::ChildResult result =
        test::run_in_child([&] { create_object_at_array_element(array, 1, &string_server); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    char expected[80];
    std::snprintf(expected, sizeof expected, "The array 0x%08x contains nonzero value at 1 element",
                  array->get_handle());
    EXPECT_NE(result.standard_error.find(expected), std::string::npos) << result.standard_error;
    array_server.unregister_server();
    string_server.unregister_server();
}

}  // namespace
}  // namespace zolt::core

#include "zolt/renderer/backend/frame_pacing.h"

namespace zolt::core {
namespace {

TEST(BuiltinDispatch, DisplayAndPacingBuiltinsWithoutADisplay) {
    auto disable = make_context({0});
    call_builtin(*disable, 570);
    EXPECT_TRUE(renderer::get_frame_pacing_state().late_frame_dropping_disabled);
    auto enable = make_context({7});
    call_builtin(*enable, 570);
    EXPECT_FALSE(renderer::get_frame_pacing_state().late_frame_dropping_disabled);

    auto reserved = make_context();
    reserved->registers[0] = 99;
    call_builtin(*reserved, 652);
    EXPECT_EQ(word_to_float(reserved->registers[0]), 0.0f);

    // No display is open: the mode table is empty and a mode outside it is a zero vector.
    auto count = make_context();
    call_builtin(*count, 653);
    auto mode = make_context({12345});
    mode->registers[0] = mode->registers[2] = mode->registers[4] = 77;
    call_builtin(*mode, 654);
    EXPECT_EQ(mode->registers[0], 0u);
    EXPECT_EQ(mode->registers[2], 0u);
    EXPECT_EQ(mode->registers[4], 0u);
    auto set = make_context({12345});
    call_builtin(*set, 655);
    EXPECT_EQ(set->registers[0], 0u);
}

}  // namespace
}  // namespace zolt::core
