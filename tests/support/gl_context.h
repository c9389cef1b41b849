#pragma once
// The GL test harness: a fixture with a current compatibility-profile context
// on Mesa (EGL surfaceless, a pbuffer to read pixels back from) and the
// engine's entry points loaded; a way to run the current test again in a
// fresh process with driver overrides in its environment; a recorder that
// wraps the entry-point slots to see which GL functions the engine calls; and
// scoped changes of flags, switches and slots.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/egl_test_context.h"
#include "support/child_process.h"

namespace zolt::test {

class GlContextTest : public ::testing::Test {
protected:
    static constexpr uint32_t width = 64;
    static constexpr uint32_t height = 64;

    // Skips only when no EGL display can be made at all.
    void SetUp() override;
    void TearDown() override;

    // Bottom row first.
    std::vector<uint8_t> read_stencil_values() const;
    uint32_t count_nonzero_stencil_values() const;
    // RGBA bytes, bottom row first.
    std::vector<uint8_t> read_colors() const;

    platform::EglTestContext context_;
    bool context_made_ = false;
};

// For driver overrides such as MESA_GL_VERSION_OVERRIDE, which the driver
// reads once per process: the test body runs again in a fresh process with
// them in its environment, and only there gets a context.
//     TEST_F(Suite, Name) {
//         if (run_in_child_with({"MESA_GL_VERSION_OVERRIDE=1.5"})) return;
//         ... what the child checks ...
//     }
class GlOverrideTest : public GlContextTest {
protected:
    void SetUp() override;
    // In the first process: runs the child, expects its test to pass and
    // answers true. In the child: answers false.
    bool run_in_child_with(const std::vector<std::string>& environment_overrides);
};

// Whether an EGL display can be made on this machine; the reason when not.
bool can_open_gl_display(std::string* failure);

// Runs the running test again in a new process with the environment
// overrides (NAME=value) set before anything else; there,
// is_gl_child_process() answers true.
ChildResult run_current_test_in_child(std::vector<std::string> environment_overrides);
bool is_gl_child_process();
// Whether the child's output shows its one test passing.
bool child_test_passed(const ChildResult& result);

// Wraps every loaded slot of the entry-point table so that each call is noted
// by name; the slots are put back when it ends. One at a time.
class GlCallRecorder {
public:
    GlCallRecorder();
    ~GlCallRecorder();
    GlCallRecorder(const GlCallRecorder&) = delete;
    GlCallRecorder& operator=(const GlCallRecorder&) = delete;

    uint32_t count(const char* name) const;
    const std::vector<std::string>& calls() const { return calls_; }
    void clear() { calls_.clear(); }

    static void note(const char* name);

private:
    opengl::OpenGLEntryPoints saved_;
    std::vector<std::string> calls_;
};

// Sets a value for the scope and puts the old one back: capability flags,
// configuration switches, single entry-point slots.
template <typename T>
class ScopedValue {
public:
    ScopedValue(T& target, const T& value) : target_(target), saved_(target) { target_ = value; }
    ~ScopedValue() { target_ = saved_; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& target_;
    T saved_;
};

inline bool& extension_flag(opengl::Extension extension) {
    return opengl::capabilities.extensions[static_cast<uint32_t>(extension)];
}

}  // namespace zolt::test
