#include "zolt/builtins/builtin_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "zolt/builtins/builtin_binding.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/placement/placement.h"
#include "zolt/core/placement/placement_builtins.h"
#include "zolt/core/placement/placement_server.h"
#include "zolt/core/placement/placement_test_support.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/script/task_test_support.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::core {
namespace {

// The row and the body meet at compile time: the body of 532 with its two
// arguments swapped, or with a plain word for the placement, is refused.
void drop_before_swapped(uint32_t time, PlacementHandle placement) {}
void drop_before_untyped(ObjectHandle placement, uint32_t time) {}
static_assert(does_body_match_row<BuiltinId::drop_placement_keyframes_before, &drop_placement_keyframes_before>());
static_assert(!does_body_match_row<BuiltinId::drop_placement_keyframes_before, &drop_before_swapped>());
static_assert(!does_body_match_row<BuiltinId::drop_placement_keyframes_before, &drop_before_untyped>());
static_assert(static_cast<uint32_t>(BuiltinId::quit) == 188);

TEST(BuiltinTable, EveryIdIsBoundOnceByTheFamilyOfItsRow) {
    auto table = std::make_unique<BuiltinTable>();
    for (uint32_t id = 0; id <= last_builtin_id + 1; ++id) {
        EXPECT_FALSE(table->is_bound(id)) << id;
    }
    bind_all_builtins(*table);
    for (uint32_t id = 1; id <= last_builtin_id; ++id) {
        EXPECT_TRUE(table->is_bound(id)) << id;
    }
    // Each family alone binds exactly the rows that name it: no row is left to
    // nobody and no family takes another's.
    for (const BuiltinFamilyBinding& binding : get_builtin_family_bindings()) {
        const std::string_view family = builtin_family_names[static_cast<uint32_t>(binding.family)];
        auto alone = std::make_unique<BuiltinTable>();
        bind_builtin_family(*alone, binding);
        for (const BuiltinRow& row : builtin_rows) {
            EXPECT_EQ(alone->is_bound(row.id), row.family == binding.family) << family << " " << row.name;
        }
    }
}

TEST(BuiltinTable, BindingAnIdTwiceOrCallingAnUnboundOneIsFatal) {
    const test::ChildResult twice = test::run_in_child([] {
        auto table = std::make_unique<BuiltinTable>();
        bind_all_builtins(*table);
        bind_placement_builtins(*table);
    });
    EXPECT_EQ(twice.exit_code, ExitCode::crash);
    EXPECT_NE(twice.standard_error.find("Builtin 529 (set_playback_time) is bound twice"), std::string::npos)
        << twice.standard_error;

    const test::ChildResult unbound = test::run_in_child([] {
        auto table = std::make_unique<BuiltinTable>();
        auto context = std::make_unique<ScriptContext>();
        table->call(*context, 188);
    });
    EXPECT_EQ(unbound.exit_code, ExitCode::crash);
    EXPECT_NE(unbound.standard_error.find("A builtin was called before the builtin table was bound"), std::string::npos)
        << unbound.standard_error;
}

TEST(BuiltinTable, EachNameFindsItsOwnRow) {
    for (const BuiltinRow& row : builtin_rows) {
        EXPECT_EQ(find_builtin_row_by_name(row.name), &row) << row.name;
        EXPECT_TRUE(parse_builtin_arguments(row.arguments).valid) << row.name;
    }
    EXPECT_EQ(find_builtin_row_by_name("request_quit"), nullptr);
    EXPECT_EQ(find_builtin_row(0), nullptr);
    EXPECT_EQ(find_builtin_row(702), nullptr);
}

// Every row of a family without bodies answers as its result kind says and
// leaves everything else alone.
TEST(BuiltinTable, UnbuiltFamiliesAnswerTheNeutralResultOfEachRow) {
    constexpr uint32_t marker = 0xDEADBEEF;
    uint32_t checked = 0;
    for (const BuiltinFamilyBinding& binding : get_builtin_family_bindings()) {
        if (binding.bind != nullptr) {
            continue;
        }
        for (const BuiltinRow& row : builtin_rows) {
            if (row.family != binding.family) {
                continue;
            }
            SCOPED_TRACE(row.name);
            auto context = std::make_unique<ScriptContext>();
            for (uint32_t& word : context->registers) {
                word = marker;
            }
            context->stack_index = 6;
            call_builtin(*context, row.id);
            EXPECT_EQ(context->stack_index, 6u);
            const uint32_t words = row.result == BuiltinKind::none ? 0 : builtin_kinds[uint32_t(row.result)].words;
            for (uint32_t n = 0; n < register_count; ++n) {
                const bool written = n % 2 == 0 && n / 2 < words;
                const uint32_t one = row.result == BuiltinKind::quaternion && n == 6 ? 0x3F800000 : 0;
                EXPECT_EQ(context->registers[n], written ? one : marker) << n;
            }
            ++checked;
        }
    }
    // The families still without bodies shrink as they are built; while any
    // is left, its rows were walked.
    EXPECT_GT(checked, 0u);
}

// Arguments pushed by real bytecode in the order the row lists them, top
// first, so the first argument is pushed last. r1 brings the object handle.
class BuiltinBytecode : public test::PlacementWorld {
protected:
    // One code entry per body.
    void load(const std::vector<std::string>& bodies) {
        std::string source = ".code 0 1\n";
        for (size_t index = 0; index < bodies.size(); ++index) {
            source += ".entry entry_" + std::to_string(index) + "\n";
        }
        for (size_t index = 0; index < bodies.size(); ++index) {
            source += "entry_" + std::to_string(index) + ":\n" + bodies[index] + "    end_task\n";
        }
        world_ = std::make_unique<test::ScriptWorld>(std::vector<std::string>{source});
    }
    const ScriptContext& run(uint32_t entry, uint32_t r1) {
        Task* const task = world_->start(0x4000 + entry);
        EXPECT_NE(task, nullptr);
        task->set_argument(1, r1);
        world_->run();
        return test::ScriptWorld::context();
    }
    void TearDown() override {
        world_.reset();
        PlacementWorld::TearDown();
    }

    std::unique_ptr<test::ScriptWorld> world_;
};

TEST_F(BuiltinBytecode, ArgumentsReachTheBodyInTheOrderOfTheRow) {
    const struct {
        const char* body;
        uint32_t r0;
    } cases[] = {
        // find_character: string, unit, start.
        {"    push_byte 2\n    push_byte 98\n    push_r1\n    call builtin(find_character)\n    drop3\n", 3},
        // character_at: string, index.
        {"    push_byte 2\n    push_r1\n    call builtin(character_at)\n    drop2\n", u'c'},
        // convert_double_to_float: low word, high word of 1.5.
        {"    push_word 0x3FF80000\n    push_zero\n    call builtin(convert_double_to_float)\n    drop2\n", 0x3FC00000},
    };
    std::vector<std::string> bodies;
    for (const auto& c : cases) {
        bodies.push_back(c.body);
    }
    // write_server_name: string, server type.
    bodies.push_back("    push_byte 8\n    push_r1\n    call builtin(write_server_name)\n    drop2\n");
    // A vector takes three words with x uppermost: a box of half size 1 along x only.
    bodies.push_back(
        "    push_zero\n    push_zero\n    push_word 1.0\n    call builtin(random_vector3_in_box)\n    drop3\n");
    load(bodies);
    String* const string = string_server.create_string();
    string->append_c_string("abcb");
    const ObjectHandle text = string->get_handle();

    for (uint32_t index = 0; index < std::size(cases); ++index) {
        SCOPED_TRACE(cases[index].body);
        EXPECT_EQ(run(index, text).registers[0], cases[index].r0);
    }
    run(std::size(cases), text);
    EXPECT_EQ(std::u16string(string->get_text(), string->get_length()), u"StringServer");
    const ScriptContext& box = run(std::size(cases) + 1, 0);
    EXPECT_LE(std::fabs(word_to_float(box.registers[0])), 1.0f);
    EXPECT_EQ(word_to_float(box.registers[2]), 0.0f);
    EXPECT_EQ(word_to_float(box.registers[4]), 0.0f);
}

TEST_F(BuiltinBytecode, ThePlacementOfBuiltin532IsOnTopAndTheTimeBelowIt) {
    Placement* const placement = create();
    Property on;
    on.set_u32(placement_property::tracked, 1);
    ASSERT_TRUE(placement->set_property(placement_property::tracked, on));
    for (uint32_t time = 100; time <= 400; time += 100) {
        set_record_time(time);
        placement->set_local_position({static_cast<float>(time), 0, 0});
    }
    set_playback_time(150);
    load({"    push_word 250\n    push_r1\n    call builtin(drop_placement_keyframes_before)\n    drop2\n"});
    run(0, placement->get_handle());
    EXPECT_EQ(placement->get_track()->positions.count(placement_server.get_position_keyframes()), 2u);
}

}  // namespace
}  // namespace zolt::core
