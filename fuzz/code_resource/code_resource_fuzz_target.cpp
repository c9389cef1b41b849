// Code resources: the input is a whole code resource. The engine's check
// must agree with the code server, which loads it from a pack and halts on
// what the check refuses; a loaded one runs a task at each of its first
// entries for a bounded number of slices, where a fatal report is an answer
// like any other. zasm's disassembler reads the same bytes, and source it
// writes must assemble to them again.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/fuzz_entry.h"
#include "support/script_servers.h"
#include "zasm/lib/code_assembler.h"
#include "zasm/lib/code_disassembler.h"
#include "zolt/core/script/code_resource_format.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/task_server.h"

namespace {

using namespace zolt;

constexpr uint32_t clock_0_selector = 0x20;
constexpr uint32_t run_entry_limit = 8;
constexpr uint32_t slice_limit = 8;
// Resources are 8-byte aligned in memory, as zasm writes them.
constexpr uint32_t code_alignment_exponent = 3;

void check_disassembly(const uint8_t* data, uint32_t size) {
    const uint32_t id = core::make_code_resource_id(0, 1, 0);
    std::string text;
    std::string error;
    if (!tools::disassemble_code(id, data, size, &text, &error)) {
        return;
    }
    std::vector<tools::AssembledCode> codes;
    fuzz::expect(tools::assemble_code(text, "disassembled.zasm", &codes, &error),
                 "disassembled source does not assemble");
    fuzz::expect(codes.size() == 1 && codes[0].bytes == std::vector<uint8_t>(data, data + size),
                 "disassembled source assembles to other bytes");
}

fuzz::ScriptServers& get_servers() {
    static fuzz::ScriptServers servers({});
    return servers;
}

void load_and_run(bool is_intact) {
    fuzz::ScriptServers& servers = get_servers();
    servers.start();
    core::CodeObject* const code_object = core::code_server.find_code_object(1, 0);
    // A refused resource halts inside the lookup and never comes here.
    fuzz::expect(is_intact && code_object != nullptr, "the code server took a resource the check refuses");
    const uint32_t entries =
        code_object->get_entry_count() < run_entry_limit ? code_object->get_entry_count() : run_entry_limit;
    for (uint32_t entry = 0; entry < entries; ++entry) {
        core::task_server.start_task(core::make_code_reference(0, 1, entry), clock_0_selector, 0);
    }
    servers.run_tasks(slice_limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const auto resource_size = static_cast<uint32_t>(size);
    const core::CodeResourceCheckResult result = core::check_code_resource(data, resource_size);
    char message[512];
    core::describe_code_resource_check(result, core::make_code_resource_id(0, 1, 0), message, sizeof message);
    check_disassembly(data, resource_size);

    tools::PackResource resource;
    resource.id = core::make_code_resource_id(0, 1, 0);
    resource.flags = io::make_resource_flags(code_alignment_exponent, 0, false);
    resource.data.assign(data, data + size);
    fuzz::ScriptServers& servers = get_servers();
    servers.write_pack({resource});
    const bool is_intact = result.check == core::CodeResourceCheck::intact;
    fuzz::run_until_fatal_report([&] { load_and_run(is_intact); });
    if (!fuzz::run_until_fatal_report([&] { servers.stop(); })) {
        fuzz::fail_harness("the servers did not stop after the input");
    }
    return 0;
}
