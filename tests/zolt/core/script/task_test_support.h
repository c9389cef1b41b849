#pragma once
// A script world for the task and interpreter tests: code assembled by zasm
// into a pack of a temporary folder, the resource, code, string, array and
// task servers registered over it, and the stand-in wake queue to run the
// tasks. Everything is unregistered when the world ends, tasks first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zolt/core/script/code_test_support.h"
#include "zolt/core/script/interpreter.h"
#include "zolt/core/script/task_server.h"
#include "zolt/core/script/task_wake_events.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/script_objects/string_server.h"

namespace zolt::test {

constexpr uint32_t clock_0_selector = 0x20;

class ScriptWorld {
public:
    explicit ScriptWorld(const std::vector<std::string>& sources) {
        tools::PackDescription description;
        for (const std::string& source : sources) {
            description.resources.push_back(tools::make_code_pack_resource(assemble_one(source)));
        }
        packs_.add_pack("code.pack", description);
        servers_ = std::make_unique<CodeServers>(packs_);
        core::string_server.register_server();
        core::array_server.register_server();
        core::task_server.register_server();
    }
    ~ScriptWorld() {
        core::task_server.unregister_server();
        core::array_server.unregister_server();
        core::string_server.unregister_server();
        servers_.reset();
        core::clear_stand_in_wake_events();
    }
    ScriptWorld(const ScriptWorld&) = delete;
    ScriptWorld& operator=(const ScriptWorld&) = delete;

    // A task due now on clock 0; null when the code does not exist.
    core::Task* start(uint32_t code_reference, uint32_t delay = 0) {
        return core::task_server.start_task(code_reference, clock_0_selector, delay);
    }

    // Runs the stand-in queue until nothing is due or a run yields `limit`
    // times; answers the number of runs that yielded.
    uint32_t run(uint32_t limit = 100) {
        uint32_t yields = 0;
        while (yields < limit && core::get_task_clock_hooks().get_first_due_event() != 0) {
            yields += core::run_stand_in_wake_events();
        }
        return yields;
    }

    // Runs one task directly, as a firing of its wake event does.
    static uint32_t execute(core::Task* task) {
        core::task_server.set_current_task(task);
        const uint32_t result = core::execute_task(task, core::task_server.get_context());
        core::task_server.set_current_task(nullptr);
        return result;
    }

    static core::ScriptContext& context() { return core::task_server.get_context(); }

private:
    PackFolder packs_;
    std::unique_ptr<CodeServers> servers_;
};

inline bool is_alive(core::ObjectHandle task) {
    return core::find_task(task) != nullptr;
}

// An array for tasks to report through: r1 of a task holds its handle and
// the task appends words with append_element.
inline core::ArrayObject* make_report_array() {
    return core::array_server.create_array(0);
}

inline std::vector<uint32_t> read_array(const core::ArrayObject* array) {
    return std::vector<uint32_t>(array->get_elements(), array->get_elements() + array->get_length());
}

}  // namespace zolt::test
