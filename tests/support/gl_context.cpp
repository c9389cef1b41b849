#include "support/gl_context.h"

#include <cstdlib>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/depth_bounds.h"
#include "libs/opengl/shader_objects.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "libs/opengl/stencil_clear_tag.h"
#include "libs/opengl/stencil_operations.h"

namespace zolt::test {

namespace {

constexpr const char* child_marker = "ZOLT_GL_TEST_CHILD";

GlCallRecorder* active_recorder = nullptr;

template <auto Slot, typename Function>
struct RecordingTrampoline;

template <auto Slot, typename Result, typename... Arguments>
struct RecordingTrampoline<Slot, Result (*)(Arguments...)> {
    static inline Result (*original)(Arguments...) = nullptr;
    static inline const char* name = nullptr;

    static Result call(Arguments... arguments) {
        GlCallRecorder::note(name);
        return original(arguments...);
    }
};

template <auto Slot, typename Function>
void wrap_slot(const char* name) {
    using Trampoline = RecordingTrampoline<Slot, Function>;
    Function& slot = opengl::gl.*Slot;
    if (slot == nullptr) {
        return;
    }
    Trampoline::original = slot;
    Trampoline::name = name;
    slot = &Trampoline::call;
}

}  // namespace

void GlContextTest::SetUp() {
    if (!context_.open_display()) {
        GTEST_SKIP() << "no EGL display: " << context_.get_failure();
    }
    ASSERT_TRUE(context_.create(width, height)) << context_.get_failure();
    context_made_ = true;
    opengl::set_entry_point_resolver({&platform::EglTestContext::get_proc_address, nullptr});
    opengl::initialize_entry_points();
    // A new context starts with nothing bound and the default stencil state.
    opengl::invalidate_buffer_bindings();
    opengl::clear_depth_bounds_test_enabled();
    opengl::reset_stencil_state();
    opengl::reset_stencil_clear_tag();
    opengl::gl.glViewport(0, 0, width, height);
}

void GlContextTest::TearDown() {
    if (!context_made_) {
        return;
    }
    opengl::delete_cached_shaders();
    opengl::framebuffer_object_shutdown();
    opengl::reset_entry_points();
    context_.destroy();
}

std::vector<uint8_t> GlContextTest::read_stencil_values() const {
    std::vector<uint8_t> values(width * height);
    opengl::gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    opengl::gl.glReadPixels(0, 0, width, height, GL_STENCIL_INDEX, GL_UNSIGNED_BYTE, values.data());
    return values;
}

uint32_t GlContextTest::count_nonzero_stencil_values() const {
    uint32_t count = 0;
    for (uint8_t value : read_stencil_values()) {
        count += value != 0 ? 1 : 0;
    }
    return count;
}

std::vector<uint8_t> GlContextTest::read_colors() const {
    std::vector<uint8_t> colors(4 * width * height);
    opengl::gl.glPixelStorei(GL_PACK_ALIGNMENT, 1);
    opengl::gl.glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, colors.data());
    return colors;
}

void GlOverrideTest::SetUp() {
    if (is_gl_child_process()) {
        GlContextTest::SetUp();
        return;
    }
    std::string failure;
    if (!can_open_gl_display(&failure)) {
        GTEST_SKIP() << "no EGL display: " << failure;
    }
}

bool GlOverrideTest::run_in_child_with(const std::vector<std::string>& environment_overrides) {
    if (is_gl_child_process()) {
        return false;
    }
    const ChildResult result = run_current_test_in_child(environment_overrides);
    EXPECT_TRUE(child_test_passed(result)) << result.standard_output << result.standard_error;
    return true;
}

bool can_open_gl_display(std::string* failure) {
    platform::EglTestContext context;
    if (context.open_display()) {
        return true;
    }
    *failure = context.get_failure();
    return false;
}

ChildResult run_current_test_in_child(std::vector<std::string> environment_overrides) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    environment_overrides.push_back(std::string(child_marker) + "=1");
    ProgramRun run;
    // The test binary starts slowly under the sanitizers, and ctest runs many at once.
    run.timeout_milliseconds = 100000;
    run.arguments = {std::string("--gtest_filter=") + info->test_suite_name() + "." + info->name()};
    run.environment_overrides = std::move(environment_overrides);
    return run_program("/proc/self/exe", run);
}

bool is_gl_child_process() {
    return std::getenv(child_marker) != nullptr;
}

bool child_test_passed(const ChildResult& result) {
    return result.exited && result.exit_code == 0 &&
           result.standard_output.find("[  PASSED  ] 1 test") != std::string::npos;
}

GlCallRecorder::GlCallRecorder() : saved_(opengl::gl) {
    active_recorder = this;
#define ZOLT_WRAP_ENTRY_POINT(name, type) wrap_slot<&opengl::OpenGLEntryPoints::name, type>(#name);
    ZOLT_OPENGL_ENTRY_POINTS(ZOLT_WRAP_ENTRY_POINT)
#undef ZOLT_WRAP_ENTRY_POINT
}

GlCallRecorder::~GlCallRecorder() {
    opengl::gl = saved_;
    active_recorder = nullptr;
}

uint32_t GlCallRecorder::count(const char* name) const {
    uint32_t count = 0;
    for (const std::string& call : calls_) {
        count += call == name ? 1 : 0;
    }
    return count;
}

void GlCallRecorder::note(const char* name) {
    if (active_recorder != nullptr) {
        active_recorder->calls_.emplace_back(name);
    }
}

}  // namespace zolt::test
