#pragma once
// Shader libraries for the library's tests: compiled by the content
// builder's own compiler from description text (fixed-function passes need
// no program files), installed as the loaded library for the test and
// unloaded after it; limits that stand in for a machine.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_limits.h"

namespace zolt::renderer::shader_library::test_support {

inline std::vector<uint8_t> compile_library(const std::string& description) {
    std::vector<uint8_t> resource;
    std::string error;
    EXPECT_TRUE(tools::compile_shader_library(description, "test_library.json", &resource, &error)) << error;
    return resource;
}

inline std::vector<uint8_t> compile_sample_library() {
    std::vector<uint8_t> resource;
    std::string error;
    EXPECT_TRUE(tools::compile_shader_library_file(std::string(ZOLT_CONTENT_SOURCE_PATH) + "/shaders/library.json",
                                                   &resource, &error))
        << error;
    return resource;
}

// Entry 0 as every library needs it: one fixed-function pass in slot 0.
inline std::string get_default_entry() {
    return R"({"index": 0, "variants": [{"passes": [{"slot": "direct", "setups": [[{"vertex": "fixed_function"}]]}]}]})";
}

// A machine with GLSL, ARB programs, shadow maps and generous limits.
inline ShaderLimits make_capable_limits() {
    ShaderLimits limits;
    limits.glsl_usable = limits.arb_vertex_programs = limits.arb_fragment_programs = limits.shadow_maps = true;
    for (uint32_t limit = first_limit; limit <= last_limit; ++limit) {
        limits.limits[limit] = 64;
    }
    return limits;
}

inline uint32_t get_first_variant(uint32_t entry) {
    return read_record<ShaderEntry>(get_library_header().entries, entry).first_variant;
}

// The library installed for one test, and the limits put back after it.
class InstalledLibrary {
public:
    explicit InstalledLibrary(std::vector<uint8_t> resource) : resource_(std::move(resource)) {
        install_library(resource_.data(), static_cast<uint32_t>(resource_.size()));
    }
    ~InstalledLibrary() {
        unload();
        set_shader_limits(saved_limits_);
        get_library_state() = {};
    }
    InstalledLibrary(const InstalledLibrary&) = delete;
    InstalledLibrary& operator=(const InstalledLibrary&) = delete;

private:
    std::vector<uint8_t> resource_;
    ShaderLimits saved_limits_ = get_shader_limits();
};

}  // namespace zolt::renderer::shader_library::test_support
