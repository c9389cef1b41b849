#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "libs/system/time_base.h"
#include "zasm/lib/code_assembler.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"
#include "zpack/lib/pack_writer.h"

#ifdef ZOLT_BENCH_HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#endif

namespace {

constexpr int loop_count = 1000000;
constexpr int fib_argument = 24;
constexpr uint32_t clock_0_selector = 0x20;

// One code resource with an entry per program, in a pack of its own folder,
// and the servers a task needs registered over it.
class ScriptBench {
public:
    explicit ScriptBench(const std::string& source) {
        folder_ = std::filesystem::temp_directory_path() / ("zolt_interpreter_bench_" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(folder_);
        std::vector<zolt::tools::AssembledCode> codes;
        std::string error;
        zolt::tools::PackDescription description;
        if (!zolt::tools::assemble_code(source, "bench.zasm", &codes, &error) || codes.size() != 1) {
            std::fprintf(stderr, "interpreter bench: %s\n", error.c_str());
            return;
        }
        description.resources.push_back(zolt::tools::make_code_pack_resource(codes[0]));
        std::vector<uint8_t> pack;
        std::string list_text;
        const std::string pack_path = (folder_ / "code.pack").string();
        list_path_ = (folder_ / "pack.list").string();
        if (!zolt::tools::build_pack(description, &pack, &error) ||
            !zolt::tools::write_file(pack_path, pack.data(), pack.size(), &error) ||
            !zolt::tools::format_pack_list({pack_path}, &list_text, &error) ||
            !zolt::tools::write_file(list_path_, list_text.data(), list_text.size(), &error)) {
            std::fprintf(stderr, "interpreter bench: %s\n", error.c_str());
            return;
        }
        saved_pack_list_ = zolt::pack_list;
        zolt::pack_list = list_path_.c_str();
        zolt::core::resource_server.register_server();
        zolt::core::code_server.register_server();
        zolt::core::string_server.register_server();
        zolt::core::array_server.register_server();
        zolt::core::task_server.register_server();
        ready_ = true;
    }
    ~ScriptBench() {
        if (ready_) {
            zolt::core::task_server.unregister_server();
            zolt::core::array_server.unregister_server();
            zolt::core::string_server.unregister_server();
            zolt::core::code_server.unregister_server();
            zolt::core::resource_server.unregister_server();
            zolt::pack_list = saved_pack_list_;
        }
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    ScriptBench(const ScriptBench&) = delete;
    ScriptBench& operator=(const ScriptBench&) = delete;

    bool is_ready() const { return ready_; }

    // Runs entry `entry` to its end from a run of the wake events, as the
    // engine runs tasks; answers r0 as it ends.
    uint32_t run(uint32_t entry) {
        zolt::core::task_server.start_task(0x4000 + entry, clock_0_selector, 0);
        while (zolt::core::run_stand_in_wake_events() != 0) {
        }
        return zolt::core::task_server.get_context().registers[0];
    }

private:
    std::filesystem::path folder_;
    std::string list_path_;
    const char* saved_pack_list_ = nullptr;
    bool ready_ = false;
};

const std::string loop_text = std::to_string(loop_count);

// Entries: 0 integer loop, 1 float loop, 2 fib, 3 builtin loop, and the
// first two again with the counter in a register (4, 5). Counters run down
// to zero, as the Lua programs do. The loops keep the counter on the operand
// stack, as code for a stack machine keeps its loop variable; the register
// forms show what the extra pushes and pops cost.
const std::string zolt_source =
    ".code 0 1\n.entry int_loop\n.entry float_loop\n.entry fib_start\n.entry builtin_loop\n"
    ".entry int_loop_registers\n.entry float_loop_registers\n"
    "int_loop:\n"
    "    set_r2 0\n"
    "    push_word " + loop_text + "\n"
    "int_on_stack_next:\n"
    "    dup1\n    push_r2\n    add\n    pop_r2\n"
    "    decrement\n    dup1\n"
    "    jump_if_not_zero int_on_stack_next\n"
    "    drop1\n    push_r2\n    pop_r0\n    end_task\n"
    "float_loop:\n"
    "    set_r2 0.0\n"
    "    push_word " + loop_text + "\n"
    "float_on_stack_next:\n"
    "    push_r2\n    push_word 0.5\n    add_float\n    push_word 0.999\n    multiply_float\n    pop_r2\n"
    "    decrement\n    dup1\n"
    "    jump_if_not_zero float_on_stack_next\n"
    "    drop1\n    push_r2\n    pop_r0\n    end_task\n"
    "int_loop_registers:\n"
    "    set_r2 0\n"
    "    set_r3 " + loop_text + "\n"
    "int_next:\n"
    "    push_r2\n    push_r3\n    add\n    pop_r2\n"
    "    push_r3\n    decrement\n    dup1\n    pop_r3\n"
    "    jump_if_not_zero int_next\n"
    "    push_r2\n    pop_r0\n    end_task\n"
    "float_loop_registers:\n"
    "    set_r2 0.0\n"
    "    set_r3 " + loop_text + "\n"
    "float_next:\n"
    "    push_r2\n    push_word 0.5\n    add_float\n    push_word 0.999\n    multiply_float\n    pop_r2\n"
    "    push_r3\n    decrement\n    dup1\n    pop_r3\n"
    "    jump_if_not_zero float_next\n"
    "    push_r2\n    pop_r0\n    end_task\n"
    "fib_start:\n"
    "    push_word " + std::to_string(fib_argument) + "\n"
    "    call_local fib\n"
    "    drop1\n    end_task\n"
    "fib:\n"
    "    push_argument1 0\n    push_word 2\n    compare_signed\n"
    "    jump_if_not_negative fib_recurse\n"
    "    push_argument1 0\n    pop_r0\n    return_to_caller\n"
    "fib_recurse:\n"
    "    push_argument1 0\n    decrement\n    call_local fib\n    drop1\n"
    "    push_r0\n"
    "    push_argument1 0\n    push_word 2\n    subtract\n    call_local fib\n    drop1\n"
    "    push_r0\n    add\n    pop_r0\n    return_to_caller\n"
    "builtin_loop:\n"
    "    push_word " + loop_text + "\n"
    "builtin_next:\n"
    "    call builtin(0)\n"
    "    decrement\n    dup1\n"
    "    jump_if_not_zero builtin_next\n"
    "    drop1\n    end_task\n";

void wait_for_ever(zolt::core::Thread*) {}

// In a running game other cooperative threads (the frame timer, the sound
// timer) always wait in the run list, so the slice test after every builtin
// call reads the clock.
void run_zolt(benchmark::State& state, uint32_t entry, const uint32_t* expected, bool with_waiting_thread = false) {
    ScriptBench bench(zolt_source);
    if (!bench.is_ready()) {
        state.SkipWithError("the script world did not start");
        return;
    }
    zolt::core::Thread waiting_thread(wait_for_ever);
    if (with_waiting_thread) {
        constexpr uint32_t one_hour = 360000000;
        zolt::core::schedule_thread(&waiting_thread, zolt::get_time() + one_hour);
    }
    // A program that faulted would end early and look fast.
    if (expected != nullptr && bench.run(entry) != *expected) {
        state.SkipWithError("the program's result is wrong");
        return;
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(bench.run(entry));
    }
}

void interp_int_loop_zolt(benchmark::State& state) {
    const uint32_t sum = static_cast<uint32_t>(uint64_t{loop_count} * (loop_count + 1) / 2);
    run_zolt(state, 0, &sum);
}
void interp_float_loop_zolt(benchmark::State& state) {
    run_zolt(state, 1, nullptr);
}
void interp_int_loop_registers_zolt(benchmark::State& state) {
    const uint32_t sum = static_cast<uint32_t>(uint64_t{loop_count} * (loop_count + 1) / 2);
    run_zolt(state, 4, &sum);
}
void interp_float_loop_registers_zolt(benchmark::State& state) {
    run_zolt(state, 5, nullptr);
}
void interp_fib_zolt(benchmark::State& state) {
    const uint32_t fib_24 = 46368;
    run_zolt(state, 2, &fib_24);
}
void interp_builtin_loop_zolt(benchmark::State& state) {
    run_zolt(state, 3, nullptr);
}
void interp_builtin_loop_in_game_zolt(benchmark::State& state) {
    run_zolt(state, 3, nullptr, true);
}

BENCHMARK(interp_int_loop_zolt)->Name("interp_int_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_float_loop_zolt)->Name("interp_float_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_int_loop_registers_zolt)->Name("interp_int_loop_registers/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_float_loop_registers_zolt)
    ->Name("interp_float_loop_registers/zolt")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(interp_fib_zolt)->Name("interp_fib/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_zolt)->Name("interp_builtin_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_in_game_zolt)->Name("interp_builtin_loop_in_game/zolt")->Unit(benchmark::kMillisecond);

#ifdef ZOLT_BENCH_HAVE_LUA

int do_nothing(lua_State*) {
    return 0;
}

const std::string lua_source =
    "local n = " + loop_text + "\n"
    "function int_loop()\n"
    "  local s, i = 0, n\n"
    "  while i ~= 0 do s = s + i; i = i - 1 end\n"
    "  return s\n"
    "end\n"
    "function float_loop()\n"
    "  local x, i = 0.0, n\n"
    "  while i ~= 0 do x = (x + 0.5) * 0.999; i = i - 1 end\n"
    "  return x\n"
    "end\n"
    "local function fib(k)\n"
    "  if k < 2 then return k end\n"
    "  return fib(k - 1) + fib(k - 2)\n"
    "end\n"
    "function fib_start() return fib(" + std::to_string(fib_argument) + ") end\n"
    "function builtin_loop()\n"
    "  local f, i = do_nothing, n\n"
    "  while i ~= 0 do f(); i = i - 1 end\n"
    "end\n";

void run_lua(benchmark::State& state, const char* function) {
    lua_State* const lua = luaL_newstate();
    luaL_openlibs(lua);
    lua_register(lua, "do_nothing", do_nothing);
    if (luaL_dostring(lua, lua_source.c_str()) != LUA_OK) {
        state.SkipWithError(lua_tostring(lua, -1));
        lua_close(lua);
        return;
    }
    for (auto _ : state) {
        lua_getglobal(lua, function);
        lua_call(lua, 0, 1);
        benchmark::DoNotOptimize(lua_tonumber(lua, -1));
        lua_pop(lua, 1);
    }
    lua_close(lua);
}

void interp_int_loop_lua(benchmark::State& state) {
    run_lua(state, "int_loop");
}
void interp_float_loop_lua(benchmark::State& state) {
    run_lua(state, "float_loop");
}
void interp_fib_lua(benchmark::State& state) {
    run_lua(state, "fib_start");
}
void interp_builtin_loop_lua(benchmark::State& state) {
    run_lua(state, "builtin_loop");
}

BENCHMARK(interp_int_loop_lua)->Name("interp_int_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_float_loop_lua)->Name("interp_float_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_fib_lua)->Name("interp_fib/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_lua)->Name("interp_builtin_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_lua)->Name("interp_builtin_loop_in_game/lua")->Unit(benchmark::kMillisecond);

#endif

}  // namespace
