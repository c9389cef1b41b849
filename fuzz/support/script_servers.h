#pragma once
// The servers a script needs, over code resources in a pack of a temporary
// folder written by the pack tools: resource, code, string, array and task
// servers, registered in that order and unregistered in reverse. A target
// keeps them up across inputs and restarts them after a fatal report, which
// may leave any of them half way.
#include <cstdint>
#include <vector>

#include "zpack/lib/pack_writer.h"

namespace zolt::fuzz {

class ScriptServers {
public:
    // Writes the pack and its list; the list is what the loader reads.
    explicit ScriptServers(const std::vector<tools::PackResource>& resources);
    // Replaces the pack, for the next start.
    void write_pack(const std::vector<tools::PackResource>& resources);
    ~ScriptServers();
    ScriptServers(const ScriptServers&) = delete;
    ScriptServers& operator=(const ScriptServers&) = delete;

    void start();
    void stop();
    bool is_running() const { return is_running_; }

    // Tasks, arrays and strings left by the last input, destroyed.
    void destroy_script_objects();
    // Runs the stand-in wake queue until nothing is due or `limit` runs yielded.
    void run_tasks(uint32_t limit);

private:
    std::vector<char> folder_;
    std::vector<char> list_path_;
    bool is_running_ = false;
};

// A code resource of code_size zero bytes (nop) assembled by zasm, with
// entry_count entries spread evenly over the code.
tools::PackResource make_blank_code_resource(uint32_t chain_index, uint32_t key, uint32_t code_size,
                                             uint32_t entry_count);

}  // namespace zolt::fuzz
