// The interpreter on fuzzed bytecode: the input becomes the code of one code
// resource with eight entries, and a task started at each entry runs for a
// bounded number of slices. Bytecode may only ever end or stop its task, or
// exhaust a pool (the pools' limits are not what this target is about): any
// other fatal report is a finding, like a sanitizer's. Opcodes that reach outside
// the program under test (starting tasks, creating and destroying objects,
// shaking resources, calls, saved games) become nop wherever they stand.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "libs/system/time_base.h"
#include "support/fuzz_entry.h"
#include "support/outside_opcodes.h"
#include "support/script_servers.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/opcode_table.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/string_server.h"

namespace {

using namespace zolt;
using core::Opcode;

constexpr uint32_t code_size = 2048;
constexpr uint32_t entry_count = 8;
constexpr uint32_t clock_0_selector = 0x20;
constexpr uint32_t slice_limit = 16;

fuzz::ScriptServers& get_servers() {
    static fuzz::ScriptServers servers({fuzz::make_blank_code_resource(0, 1, code_size, entry_count)});
    return servers;
}

void run_program(const uint8_t* data, size_t size) {
    core::CodeObject* const code_object = core::code_server.find_code_object(1, 0);
    fuzz::expect(code_object != nullptr && code_object->get_code_size() == code_size, "the blank code did not load");
    // The harness owns these bytes: the code is rewritten for every input.
    auto* const code = const_cast<uint8_t*>(code_object->get_code_start());
    // The first bytes choose the argument registers of the tasks.
    const size_t argument_size = size < 8 ? size : 8;
    const uint8_t* const program = data + argument_size;
    const size_t program_size = size - argument_size;
    for (uint32_t index = 0; index < code_size; ++index) {
        const uint8_t byte = index < program_size ? program[index] : 0;
        code[index] = test::is_opcode_outside_program(byte) ? 0 : byte;
    }
    const core::ObjectHandle array = core::array_server.create_array(0)->get_handle();
    const core::ObjectHandle string = core::string_server.create_string()->get_handle();
    for (uint32_t entry = 0; entry < entry_count; ++entry) {
        core::Task* const task =
            core::task_server.start_task(core::make_code_reference(0, 1, entry), clock_0_selector, 0);
        fuzz::expect(task != nullptr, "a task did not start");
        const uint32_t candidates[] = {0, array, string, task->get_handle(), 0xFFFFFFFFu, 1, 0x7FFFFFFF, code_size};
        for (uint32_t n = 0; n < core::register_count; ++n) {
            const uint8_t choice = n < argument_size ? data[n] : 0;
            task->set_argument(n, candidates[(choice + entry) % std::size(candidates)]);
        }
    }
    get_servers().run_tasks(slice_limit);
    fuzz::expect(core::task_server.get_context().stack_index <= core::operand_stack_size, "the stack index ran away");
    get_servers().destroy_script_objects();
    fuzz::expect(core::task_server.get_live_count() == 0, "a task outlived its destruction");
    fuzz::expect(code_object->get_reference_count() == 0, "the code kept a reference");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ScriptServers& servers = get_servers();
    if (!servers.is_running()) {
        servers.start();
    }
    if (fuzz::run_until_fatal_report([&] { run_program(data, size); })) {
        return 0;
    }
    if (std::strcmp(fuzz::get_last_fatal_message(), "out of memory") != 0) {
        fuzz::fail_harness("bytecode ended in a fatal report");
    }
    // The pools are left as the report found them: start afresh.
    if (!fuzz::run_until_fatal_report([&] { servers.stop(); })) {
        fuzz::fail_harness("the servers did not stop after a fatal report");
    }
    return 0;
}
