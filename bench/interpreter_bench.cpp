#include <benchmark/benchmark.h>

#include <bit>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "libs/system/time_base.h"
#include "zasm/lib/code_assembler.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/string_server.h"
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
constexpr int walk_depth = 18;
// Arrays live in a 512 KiB pool.
constexpr int array_length = 50000;

// One code resource with an entry per program, in a pack of its own folder,
// and the servers a task needs registered over it.
class ScriptBench {
public:
    explicit ScriptBench(const std::string& source) {
        folder_ = std::filesystem::temp_directory_path() /
                  ("zolt_interpreter_bench_" + std::to_string(std::random_device{}()));
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

const std::string walk_depth_text = std::to_string(walk_depth);

// Code shaped as a script compiler emits it: every function takes its
// arguments on the stack (the last pushed is argument 0), reserves its locals
// in its frame, answers in r0 and is called through a code reference; the
// caller drops the arguments. Loops test their condition at the top. The
// Lua programs below are the same functions written plainly.
// clang-format off
const std::string ordinary_source =
    // walk(depth, seed): recursion with two arguments and two locals.
    "calls_start:\n"
    "    push_word " + walk_depth_text + "\n    push_one\n    call code(walk)\n    drop2\n    end_task\n"
    "walk:\n"
    "    reserve 2\n"
    "    push_argument1 1\n    jump_if_not_zero walk_recurse\n"
    "    push_argument1 0\n    push_byte 7\n    modulo_signed\n    pop_r0\n    return_to_caller\n"
    "walk_recurse:\n"
    "    push_argument1 1\n    push_one\n    subtract\n"
    "    push_argument1 0\n    push_byte 3\n    multiply_signed\n    push_one\n    add\n"
    "    push_word 1000\n    modulo_signed\n"
    "    call code(walk)\n    drop2\n    push_r0\n    pop_local1 0\n"
    "    push_argument1 1\n    push_one\n    subtract\n"
    "    push_argument1 0\n    push_local1 0\n    add\n    push_word 1000\n    modulo_signed\n"
    "    call code(walk)\n    drop2\n    push_r0\n    pop_local1 1\n"
    "    push_local1 0\n    push_local1 1\n    add\n    push_one\n    add\n    pop_r0\n    return_to_caller\n"
    // mixed(n): locals total, hash, scale, i, low.
    "mixed_start:\n"
    "    push_word " + loop_text + "\n    call code(mixed)\n    drop1\n    end_task\n"
    "mixed:\n"
    "    reserve 5\n"
    "    push_word 0.0\n    pop_local1 0\n    push_byte 7\n    pop_local1 1\n"
    "    push_word 0.25\n    pop_local1 2\n    push_zero\n    pop_local1 3\n"
    "mixed_next:\n"
    "    push_local1 3\n    push_argument1 0\n    compare_signed\n    jump_if_not_negative mixed_done\n"
    "    push_local1 1\n    push_byte 31\n    multiply_signed\n    push_local1 3\n    add\n"
    "    push_word 65521\n    modulo_signed\n    pop_local1 1\n"
    "    push_local1 1\n    push_byte 255\n    bitwise_and\n    pop_local1 4\n"
    "    push_local1 0\n    push_word 0.999\n    multiply_float\n"
    "    push_local1 4\n    signed_to_float\n    push_local1 2\n    multiply_float\n    add_float\n    pop_local1 0\n"
    "    push_local1 3\n    push_one\n    add\n    pop_local1 3\n"
    "    jump mixed_next\n"
    "mixed_done:\n"
    "    push_local1 0\n    pop_r0\n    return_to_caller\n"
    // vector(n): locals position 0-2, velocity 3-5 (x on top, so x is the
    // highest local), energy 6, i 7.
    "vector_start:\n"
    "    push_word " + loop_text + "\n    call code(vector)\n    drop1\n    end_task\n"
    "vector:\n"
    "    reserve 8\n"
    "    push_words3 0.0, 0.0, 0.0\n    pop_local3 0\n    push_words3 0.25, 0.5, 1.0\n    pop_local3 3\n"
    "    push_word 0.0\n    pop_local1 6\n    push_argument1 0\n    pop_local1 7\n"
    "vector_next:\n"
    "    push_local1 7\n    jump_if_zero vector_done\n"
    "    push_local3 0\n    push_local3 3\n    push_word 0.01\n    scale_vector3\n    add_vector3\n    pop_local3 0\n"
    "    push_local3 3\n    push_word 0.999\n    scale_vector3\n    push_words3 0.0005, -0.001, 0.001\n"
    "    add_vector3\n    pop_local3 3\n"
    "    push_local1 6\n    push_local3 3\n    push_local3 3\n    dot_vector3\n    add_float\n    pop_local1 6\n"
    "    push_local1 7\n    push_one\n    subtract\n    pop_local1 7\n"
    "    jump vector_next\n"
    "vector_done:\n"
    "    push_local1 6\n    push_local3 0\n    add_float\n    add_float\n    add_float\n    pop_r0\n"
    "    return_to_caller\n"
    // dice(n): sums n rolls of builtin 12 (an integer from 1 to 6); locals sum, i.
    "dice_start:\n"
    "    push_word " + loop_text + "\n    call code(dice)\n    drop1\n    end_task\n"
    "dice:\n"
    "    reserve 2\n"
    "    push_zero\n    pop_local1 0\n    push_zero\n    pop_local1 1\n"
    "dice_next:\n"
    "    push_local1 1\n    push_argument1 0\n    compare_signed\n    jump_if_not_negative dice_done\n"
    "    push_byte 6\n    push_one\n    call builtin(12)\n    drop2\n"
    "    push_local1 0\n    push_r0\n    add\n    pop_local1 0\n"
    "    push_local1 1\n    push_one\n    add\n    pop_local1 1\n"
    "    jump dice_next\n"
    "dice_done:\n"
    "    push_local1 0\n    pop_r0\n    return_to_caller\n"
    // array_sum(n): fills a new array of capacity n (arrays grow a word at a
    // time) with i * 7 % 1000 and sums it back; locals array, i, sum.
    "array_start:\n"
    "    push_word " + std::to_string(array_length) + "\n    call code(array_sum)\n    drop1\n    end_task\n"
    "array_sum:\n"
    "    reserve 3\n"
    "    set_r0 7\n    push_argument1 0\n    pop_r2\n    create_object\n    push_r0\n    pop_local1 0\n"
    "    push_zero\n    pop_local1 1\n    push_zero\n    pop_local1 2\n"
    "array_fill_next:\n"
    "    push_local1 1\n    push_argument1 0\n    compare_signed\n    jump_if_not_negative array_read\n"
    "    push_local1 1\n    push_byte 7\n    multiply_signed\n    push_word 1000\n    modulo_signed\n"
    "    push_local1 0\n    pop_r0\n    append_element\n"
    "    push_local1 1\n    push_one\n    add\n    pop_local1 1\n"
    "    jump array_fill_next\n"
    "array_read:\n"
    "    push_zero\n    pop_local1 1\n"
    "array_read_next:\n"
    "    push_local1 1\n    push_argument1 0\n    compare_signed\n    jump_if_not_negative array_done\n"
    "    push_local1 1\n    push_local1 0\n    pop_r0\n    get_element\n"
    "    push_local1 2\n    push_r0\n    add\n    pop_local1 2\n"
    "    push_local1 1\n    push_one\n    add\n    pop_local1 1\n"
    "    jump array_read_next\n"
    "array_done:\n"
    "    push_local1 0\n    pop_r0\n    destroy_object\n"
    "    push_local1 2\n    pop_r0\n    return_to_caller\n";
// clang-format on

// What the programs answer, computed here the same way, so that a program
// that faulted early cannot pass for a fast one.
uint32_t walk(uint32_t depth, uint32_t seed) {
    if (depth == 0) {
        return seed % 7;
    }
    const uint32_t left = walk(depth - 1, (seed * 3 + 1) % 1000);
    const uint32_t right = walk(depth - 1, (seed + left) % 1000);
    return left + right + 1;
}

float mixed(int count) {
    float total = 0.0f;
    int32_t hash = 7;
    const float scale = 0.25f;
    for (int32_t i = 0; i < count; ++i) {
        hash = (hash * 31 + i) % 65521;
        const int32_t low = hash & 255;
        total = total * 0.999f + static_cast<float>(low) * scale;
    }
    return total;
}

uint32_t array_sum(uint32_t count) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) {
        sum += i * 7 % 1000;
    }
    return sum;
}

// Entries: 0 integer loop, 1 float loop, 2 fib, 3 builtin loop, and the
// first two again with the counter in a register (4, 5). Counters run down
// to zero, as the Lua programs do. The loops keep the counter on the operand
// stack, as code for a stack machine keeps its loop variable; the register
// forms show what the extra pushes and pops cost. Entries 6 to 15 are the
// compiler-shaped programs above, each a start and its function.
// clang-format off
const std::string zolt_source =
    ".code 0 1\n.entry int_loop\n.entry float_loop\n.entry fib_start\n.entry builtin_loop\n"
    ".entry int_loop_registers\n.entry float_loop_registers\n"
    ".entry calls_start\n.entry walk\n.entry mixed_start\n.entry mixed\n.entry vector_start\n.entry vector\n"
    ".entry dice_start\n.entry dice\n.entry array_start\n.entry array_sum\n"
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
    "    drop1\n    end_task\n"
    + ordinary_source;
// clang-format on

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

void interp_calls_zolt(benchmark::State& state) {
    const uint32_t expected = walk(walk_depth, 1);
    run_zolt(state, 6, &expected);
}
void interp_mixed_loop_zolt(benchmark::State& state) {
    const uint32_t expected = std::bit_cast<uint32_t>(mixed(loop_count));
    run_zolt(state, 8, &expected);
}
void interp_vector_loop_zolt(benchmark::State& state) {
    run_zolt(state, 10, nullptr);
}
void interp_dice_loop_zolt(benchmark::State& state) {
    run_zolt(state, 12, nullptr);
}
void interp_array_zolt(benchmark::State& state) {
    const uint32_t expected = array_sum(array_length);
    run_zolt(state, 14, &expected);
}

BENCHMARK(interp_int_loop_zolt)->Name("interp_int_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_float_loop_zolt)->Name("interp_float_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_int_loop_registers_zolt)->Name("interp_int_loop_registers/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_float_loop_registers_zolt)->Name("interp_float_loop_registers/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_fib_zolt)->Name("interp_fib/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_zolt)->Name("interp_builtin_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_in_game_zolt)->Name("interp_builtin_loop_in_game/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_calls_zolt)->Name("interp_calls/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_mixed_loop_zolt)->Name("interp_mixed_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_vector_loop_zolt)->Name("interp_vector_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_dice_loop_zolt)->Name("interp_dice_loop/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_array_zolt)->Name("interp_array/zolt")->Unit(benchmark::kMillisecond);

#ifdef ZOLT_BENCH_HAVE_LUA

int do_nothing(lua_State*) {
    return 0;
}

// clang-format off
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
    "end\n"
    "local function walk(depth, seed)\n"
    "  if depth == 0 then return seed % 7 end\n"
    "  local left = walk(depth - 1, (seed * 3 + 1) % 1000)\n"
    "  local right = walk(depth - 1, (seed + left) % 1000)\n"
    "  return left + right + 1\n"
    "end\n"
    "function calls_start() return walk(" + walk_depth_text + ", 1) end\n"
    "local function mixed(count)\n"
    "  local total, hash, scale = 0.0, 7, 0.25\n"
    "  for i = 0, count - 1 do\n"
    "    hash = (hash * 31 + i) % 65521\n"
    "    local low = hash & 255\n"
    "    total = total * 0.999 + low * scale\n"
    "  end\n"
    "  return total\n"
    "end\n"
    "function mixed_start() return mixed(n) end\n"
    "local function vector(count)\n"
    "  local px, py, pz = 0.0, 0.0, 0.0\n"
    "  local vx, vy, vz = 1.0, 0.5, 0.25\n"
    "  local energy = 0.0\n"
    "  for i = 1, count do\n"
    "    px, py, pz = px + vx * 0.01, py + vy * 0.01, pz + vz * 0.01\n"
    "    vx, vy, vz = vx * 0.999 + 0.001, vy * 0.999 - 0.001, vz * 0.999 + 0.0005\n"
    "    energy = energy + (vx * vx + vy * vy + vz * vz)\n"
    "  end\n"
    "  return energy + px + py + pz\n"
    "end\n"
    "function vector_start() return vector(n) end\n"
    "local function dice(count)\n"
    "  local sum, random = 0, math.random\n"
    "  for i = 1, count do sum = sum + random(1, 6) end\n"
    "  return sum\n"
    "end\n"
    "function dice_start() return dice(n) end\n"
    "local function array_sum(count)\n"
    "  local t = {}\n"
    "  for i = 0, count - 1 do t[#t + 1] = i * 7 % 1000 end\n"
    "  local sum = 0\n"
    "  for i = 1, #t do sum = sum + t[i] end\n"
    "  return sum\n"
    "end\n"
    "function array_start() return array_sum(" + std::to_string(array_length) + ") end\n";
// clang-format on

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

void interp_calls_lua(benchmark::State& state) {
    run_lua(state, "calls_start");
}
void interp_mixed_loop_lua(benchmark::State& state) {
    run_lua(state, "mixed_start");
}
void interp_vector_loop_lua(benchmark::State& state) {
    run_lua(state, "vector_start");
}
void interp_dice_loop_lua(benchmark::State& state) {
    run_lua(state, "dice_start");
}
void interp_array_lua(benchmark::State& state) {
    run_lua(state, "array_start");
}

BENCHMARK(interp_int_loop_lua)->Name("interp_int_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_float_loop_lua)->Name("interp_float_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_fib_lua)->Name("interp_fib/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_lua)->Name("interp_builtin_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_builtin_loop_lua)->Name("interp_builtin_loop_in_game/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_calls_lua)->Name("interp_calls/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_mixed_loop_lua)->Name("interp_mixed_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_vector_loop_lua)->Name("interp_vector_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_dice_loop_lua)->Name("interp_dice_loop/lua")->Unit(benchmark::kMillisecond);
BENCHMARK(interp_array_lua)->Name("interp_array/lua")->Unit(benchmark::kMillisecond);

#endif

}  // namespace
