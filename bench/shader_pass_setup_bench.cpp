// Setting up shader passes for 1000 requests sorted by program (10 GLSL
// programs, two target setups, the same fibres), each drawing one triangle:
// with the shader library's caches, against the same run with every cache
// forgotten before each request. Each side also reports the GL calls it
// makes per request, counted by wrapping every entry-point slot. On Mesa's
// software renderer, through EGL without a window system.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/egl_test_context.h"
#include "zcontent/lib/shader_library_compiler.h"
#include "zolt/renderer/backend/stream.h"
#include "zolt/renderer/backend/stream_fibres.h"
#include "zolt/renderer/shaders/shader_attribute_targets.h"
#include "zolt/renderer/shaders/shader_draw.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/shaders/shader_pass_setup.h"
#include "zolt/renderer/shaders/shader_program_glsl.h"
#include "zolt/renderer/shaders/shader_program_setup.h"
#include "zolt/renderer/shaders/shader_target_setup.h"

namespace {

using namespace zolt;
using namespace zolt::renderer;
using namespace zolt::renderer::shader_library;

constexpr uint32_t request_count = 1000;
constexpr uint32_t program_count = 10;

uint64_t gl_call_count = 0;

template <typename Function, auto Slot>
struct CountedSlot;

template <typename Result, typename... Arguments, auto Slot>
struct CountedSlot<Result (*)(Arguments...), Slot> {
    static inline Result (*real)(Arguments...) = nullptr;
    static Result call(Arguments... arguments) {
        ++gl_call_count;
        return real(arguments...);
    }
};

template <auto Slot>
void count_slot() {
    auto& slot = opengl::gl.*Slot;
    using Function = std::remove_reference_t<decltype(slot)>;
    if (slot != nullptr) {
        CountedSlot<Function, Slot>::real = slot;
        slot = &CountedSlot<Function, Slot>::call;
    }
}

void count_every_slot() {
#define ZOLT_COUNT_SLOT(name, type) count_slot<&opengl::OpenGLEntryPoints::name>();
    ZOLT_OPENGL_ENTRY_POINTS(ZOLT_COUNT_SLOT)
#undef ZOLT_COUNT_SLOT
}

std::string make_description() {
    std::string passes;
    for (uint32_t program = 1; program <= program_count; ++program) {
        passes += std::string(program > 1 ? "," : "") +
                  R"({"vertex": {"glsl": "vertex"}, "pixel": {"glsl": "pixel"}, "program_index": )" +
                  std::to_string(program) + R"(, "target_setup": {"cull": "off", "depth": ")" +
                  (program % 2 == 0 ? "off" : "less_equal") + R"(", "blend": ")" +
                  (program % 2 == 0 ? "off" : "alpha") +
                  R"("}, "fibre_bindings": [{"tag": 1, "target": "position"}, {"tag": 2, "target": "colour"}]})";
    }
    return R"({"glsl_shaders": {"vertex": {"sources": ["bench.vert"]}, "pixel": {"sources": ["bench.frag"]}},
      "entries": [{"index": 0, "variants": [{"passes": [{"slot": "direct", "setups": [[
        {"vertex": "fixed_function"}]]}]}]},
        {"index": 1, "variants": [{"passes": [{"slot": "direct", "setups": [[)" +
           passes + "]]}]}]}]}";
}

struct Vertex {
    float position[3];
    uint8_t colour[4];
};

struct PassSetupWorld {
    platform::EglTestContext context;
    std::vector<uint8_t> library;
    std::vector<ShaderPass> passes;  // by program, 1 to 10
    Stream vertices;
    Stream indices;
    const Stream* streams[2] = {&vertices, &indices};
    uint32_t fibre_tags[3] = {};
    bool ready = false;

    PassSetupWorld() {
        if (!context.create(64, 64)) {
            return;
        }
        opengl::set_entry_point_resolver({&platform::EglTestContext::get_proc_address, nullptr});
        opengl::initialize_entry_points();
        const std::filesystem::path folder =
            std::filesystem::temp_directory_path() / ("shader_pass_setup_bench_" + std::to_string(::getpid()));
        std::filesystem::create_directories(folder);
        std::ofstream(folder / "bench.vert") << "void main() { gl_Position = gl_Vertex; gl_FrontColor = gl_Color; }\n";
        std::ofstream(folder / "bench.frag") << "void main() { gl_FragColor = gl_Color; }\n";
        std::string error;
        const bool compiled =
            tools::compile_shader_library(make_description(), (folder / "library.json").string(), &library, &error);
        std::filesystem::remove_all(folder);
        if (!compiled) {
            return;
        }
        install_library(library.data(), static_cast<uint32_t>(library.size()));
        reset_gl_caches();
        ShaderLibraryHeader header;
        std::memcpy(&header, library.data(), sizeof header);
        for (uint32_t index = 0; index < header.shader_passes.count; ++index) {
            const ShaderPass pass = read_record<ShaderPass>(header.shader_passes, index);
            if (pass.program_index != 0) {
                passes.push_back(pass);
            }
        }
        static const Vertex triangle[] = {
            {{-1, -1, 0}, {255, 0, 0, 255}}, {{1, -1, 0}, {255, 0, 0, 255}}, {{0, 1, 0}, {255, 0, 0, 255}}};
        static const uint16_t triangle_indices[] = {0, 1, 2};
        vertices.initialize({sizeof(Vertex), 0, sizeof triangle, 0}, triangle);
        indices.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof triangle_indices, 0}, triangle_indices);
        fibre_tags[0] = 1u << fibre_source_stream_shift;
        fibre_tags[1] = make_fibre_format(FibreSourceFormat::float_3, 0);
        fibre_tags[2] = make_fibre_format(FibreSourceFormat::unsigned_byte_4_normalised, 12);
        // Programs are built before either side is timed.
        for (const ShaderPass& pass : passes) {
            set_up_and_draw(pass);
        }
        opengl::gl.glFinish();
        count_every_slot();
        ready = passes.size() == program_count;
    }

    void set_up_and_draw(const ShaderPass& pass) {
        ShaderLibraryContext context;
        context.fibre_tags = {fibre_tags, 3};
        setup_shader_pass(pass, ShaderPassInput{nullptr, nullptr, streams, 2}, context);
        draw_indexed(0, 0);
    }
};

PassSetupWorld& get_world() {
    static PassSetupWorld world;
    return world;
}

// Without caches: everything forgotten, without GL calls, before each
// request.
void forget_caches() {
    reset_attribute_caches();
    reset_target_setup_cache();
    reset_program_setup_cache();
    forget_current_glsl_program();
    invalidate_texture_cache();
}

void run_requests(benchmark::State& state, bool with_caches) {
    PassSetupWorld& world = get_world();
    if (!world.ready) {
        state.SkipWithError("no GL context or no library");
        return;
    }
    uint64_t calls = 0;
    uint64_t requests = 0;
    for (auto _ : state) {
        const uint64_t calls_before = gl_call_count;
        for (uint32_t request = 0; request < request_count; ++request) {
            if (!with_caches) {
                forget_caches();
            }
            world.set_up_and_draw(world.passes[request * program_count / request_count]);
        }
        opengl::gl.glFinish();
        calls += gl_call_count - calls_before;
        requests += request_count;
    }
    state.counters["gl_calls_per_request"] = static_cast<double>(calls) / static_cast<double>(requests);
    state.SetItemsProcessed(static_cast<int64_t>(requests));
}

void shader_pass_setup_zolt(benchmark::State& state) {
    run_requests(state, true);
}

void shader_pass_setup_uncached(benchmark::State& state) {
    run_requests(state, false);
}

}  // namespace

BENCHMARK(shader_pass_setup_zolt)->Name("shader_pass_setup_1000_requests/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(shader_pass_setup_uncached)->Name("shader_pass_setup_1000_requests/uncached")->Unit(benchmark::kMillisecond);
