#include "support/script_servers.h"

#include "support/fuzz_entry.h"

#include <unistd.h>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "libs/system/time_base.h"
#include "zasm/lib/code_assembler.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/main_thread/scheduler.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_server.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::fuzz {

ScriptServers::ScriptServers(const std::vector<tools::PackResource>& resources) {
    const char* const temporary = std::getenv("TMPDIR");
    std::string pattern = std::string(temporary != nullptr ? temporary : "/tmp") + "/zolt_fuzz_XXXXXX";
    folder_.assign(pattern.begin(), pattern.end());
    folder_.push_back('\0');
    if (mkdtemp(folder_.data()) == nullptr) {
        fail_harness("cannot make a temporary folder");
    }
    write_pack(resources);
}

void ScriptServers::write_pack(const std::vector<tools::PackResource>& resources) {
    tools::PackDescription description;
    description.resources = resources;
    std::vector<uint8_t> pack;
    std::string error;
    const std::string pack_path = std::string(folder_.data()) + "/code.pack";
    const std::string list_path = std::string(folder_.data()) + "/pack.list";
    std::string list_text;
    if (!tools::build_pack(description, &pack, &error) ||
        !tools::write_file(pack_path, pack.data(), pack.size(), &error) ||
        !tools::format_pack_list({pack_path}, &list_text, &error) ||
        !tools::write_file(list_path, list_text.data(), list_text.size(), &error)) {
        fail_harness(error.c_str());
    }
    list_path_.assign(list_path.begin(), list_path.end());
    list_path_.push_back('\0');
}

ScriptServers::~ScriptServers() {
    if (is_running_) {
        stop();
    }
    const std::string folder(folder_.data());
    unlink((folder + "/code.pack").c_str());
    unlink((folder + "/pack.list").c_str());
    rmdir(folder.c_str());
}

void ScriptServers::start() {
    pack_list = list_path_.data();
    core::resource_server.register_server();
    core::code_server.register_server();
    core::string_server.register_server();
    core::array_server.register_server();
    core::task_server.register_server();
    is_running_ = true;
}

void ScriptServers::stop() {
    is_running_ = false;
    for (core::ServerBase* server :
         {static_cast<core::ServerBase*>(&core::task_server), static_cast<core::ServerBase*>(&core::array_server),
          static_cast<core::ServerBase*>(&core::string_server), static_cast<core::ServerBase*>(&core::code_server),
          static_cast<core::ServerBase*>(&core::resource_server)}) {
        if (server->is_registered()) {
            server->unregister_server();
        }
    }
    core::clear_stand_in_wake_events();
}

void ScriptServers::destroy_script_objects() {
    for (core::ServerBase* server :
         {static_cast<core::ServerBase*>(&core::task_server), static_cast<core::ServerBase*>(&core::array_server),
          static_cast<core::ServerBase*>(&core::string_server)}) {
        while (core::ServerObject* const left = server->get_live_list().get_tail()) {
            core::destroy_object(left);
        }
    }
}

namespace {

void step_always_due_thread(core::Thread*) {}
core::Thread always_due_thread{step_always_due_thread};

}  // namespace

void ScriptServers::run_tasks(uint32_t limit) {
    // Another thread always due makes every slice end give way, so a task
    // that waits with no delay cannot keep one run going for ever.
    core::schedule_thread(&always_due_thread, get_time() - 1);
    uint32_t yields = 0;
    while (yields < limit && core::get_task_clock_hooks().get_first_due_event() != 0) {
        yields += core::run_stand_in_wake_events();
    }
    core::unlink_thread(&always_due_thread);
}

tools::PackResource make_blank_code_resource(uint32_t chain_index, uint32_t key, uint32_t code_size,
                                             uint32_t entry_count) {
    std::string source = ".code " + std::to_string(chain_index) + " " + std::to_string(key) + "\n";
    for (uint32_t entry = 0; entry < entry_count; ++entry) {
        source += ".entry " + std::to_string(entry * (code_size / entry_count)) + "\n";
    }
    for (uint32_t index = 0; index < code_size; ++index) {
        source += index % 32 == 0 ? "\n    .byte 0" : ", 0";
    }
    source += "\n";
    std::vector<tools::AssembledCode> codes;
    std::string error;
    if (!tools::assemble_code(source, "blank.zasm", &codes, &error) || codes.size() != 1) {
        fail_harness(error.c_str());
    }
    return tools::make_code_pack_resource(codes[0]);
}

}  // namespace zolt::fuzz
