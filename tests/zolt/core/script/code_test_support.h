#pragma once
// Code resources for the code server's tests, assembled by zasm and written
// into packs of a temporary folder; the resource and code servers registered
// over them for one test.
#include <gtest/gtest.h>

#include <string>

#include "zasm/lib/code_assembler.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script/code_server.h"

namespace zolt::test {

inline tools::AssembledCode assemble_one(const std::string& source) {
    std::vector<tools::AssembledCode> codes;
    std::string error;
    EXPECT_TRUE(tools::assemble_code(source, "test.zasm", &codes, &error)) << error;
    EXPECT_EQ(codes.size(), 1u);
    return codes.empty() ? tools::AssembledCode{} : codes[0];
}

// Code of the chain and key with entries 0 .. entry_count - 1, entry n at
// code offset n; options go on the .code line (language <n>, id <id>).
inline std::string make_code_source(uint32_t chain_index, uint32_t key, uint32_t entry_count,
                                    const std::string& options = "") {
    std::string source = ".code " + std::to_string(chain_index) + " " + std::to_string(key) + " " + options + "\n";
    for (uint32_t index = 0; index < entry_count; ++index) {
        source += ".entry e" + std::to_string(index) + "\n";
    }
    for (uint32_t index = 0; index < entry_count; ++index) {
        source += "e" + std::to_string(index) + ": nop\n";
    }
    return source + "    end_task\n";
}

inline tools::PackResource make_code_resource(uint32_t chain_index, uint32_t key, uint32_t entry_count,
                                              const std::string& options = "") {
    return tools::make_code_pack_resource(assemble_one(make_code_source(chain_index, key, entry_count, options)));
}

inline tools::PackResource make_raw_code_resource(uint32_t id, Bytes bytes) {
    return make_resource(id, std::move(bytes), 3, 0, false, false);
}

// The resource server over the folder's packs and the code server, both
// unregistered when the test ends, code first.
class CodeServers {
public:
    explicit CodeServers(PackFolder& packs) {
        packs.write_pack_list();
        core::resource_server.register_server();
        core::code_server.register_server();
    }
    ~CodeServers() {
        if (core::code_server.is_registered()) {
            core::code_server.unregister_server();
        }
        if (core::resource_server.is_registered()) {
            core::resource_server.unregister_server();
        }
    }
    CodeServers(const CodeServers&) = delete;
    CodeServers& operator=(const CodeServers&) = delete;
};

}  // namespace zolt::test
