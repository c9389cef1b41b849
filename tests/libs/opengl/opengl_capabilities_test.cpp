#include "libs/opengl/opengl_capabilities.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "libs/opengl/core_or_extension.h"
#include "libs/opengl/gpu_quirks.h"
#include "libs/opengl/opengl_config.h"
#include "support/child_process.h"
#include "support/gl_context.h"

namespace zolt::opengl {
namespace {

using test::ScopedValue;

// A driver made of strings: every function it knows resolves to an address
// that is never called, except glGetString, which answers from the strings.
struct FakeDriver {
    const char* version = "2.1";
    const char* vendor = "Fake Vendor";
    const char* renderer = "Fake Renderer";
    const char* extensions = "";
    const char* wgl_extensions = nullptr;
    std::set<std::string> missing;
};

FakeDriver fake_driver;

void never_called() {
    std::abort();
}

const GLubyte* fake_get_string(GLenum name) {
    const char* text = nullptr;
    switch (name) {
    case GL_VERSION:
        text = fake_driver.version;
        break;
    case GL_VENDOR:
        text = fake_driver.vendor;
        break;
    case GL_RENDERER:
        text = fake_driver.renderer;
        break;
    case GL_EXTENSIONS:
        text = fake_driver.extensions;
        break;
    default:
        break;
    }
    return reinterpret_cast<const GLubyte*>(text);
}

void* fake_get_proc_address(const char* name) {
    if (fake_driver.missing.count(name) != 0) {
        return nullptr;
    }
    if (std::strcmp(name, "glGetString") == 0) {
        return reinterpret_cast<void*>(&fake_get_string);
    }
    return reinterpret_cast<void*>(&never_called);
}

const char* fake_get_wgl_extensions() {
    return fake_driver.wgl_extensions;
}

class FakeDriverCapabilities : public ::testing::Test {
protected:
    void SetUp() override {
        fake_driver = FakeDriver{};
        set_entry_point_resolver({&fake_get_proc_address, &fake_get_wgl_extensions});
    }
    void TearDown() override {
        reset_entry_points();
        set_entry_point_resolver({});
    }
};

TEST_F(FakeDriverCapabilities, FlagsFollowTheVersionAndBothExtensionStrings) {
    fake_driver.version = "2.1.8577 ATI";
    fake_driver.vendor = "ATI Technologies Inc.";
    fake_driver.renderer = "ATI RADEON X1950 PRO";
    fake_driver.extensions = "GL_ARB_occlusion_query GL_EXT_depth_bounds_test GL_ARB_pixel_buffer_object";
    fake_driver.wgl_extensions = "WGL_ARB_pixel_format WGL_EXT_swap_control";
    initialize_entry_points();

    EXPECT_TRUE(capabilities.gl_1_2 && capabilities.gl_1_3 && capabilities.gl_1_4 && capabilities.gl_1_5);
    EXPECT_TRUE(capabilities.gl_2_0 && capabilities.gl_2_1);
    EXPECT_FALSE(capabilities.gl_3_0);
    EXPECT_TRUE(is_extension_present(Extension::ARB_occlusion_query));
    EXPECT_TRUE(is_extension_present(Extension::EXT_depth_bounds_test));
    EXPECT_TRUE(is_extension_present(Extension::WGL_EXT_swap_control));
    EXPECT_TRUE(is_extension_present(Extension::WGL_ARB_pixel_format));
    EXPECT_NE(gl.wglSwapIntervalEXT, nullptr);
    EXPECT_FALSE(is_extension_present(Extension::ARB_imaging));
    EXPECT_FALSE(is_extension_present(Extension::WGL_ARB_multisample));
    EXPECT_EQ(gl.glBlendEquationEXT, nullptr);

    EXPECT_EQ(capabilities.gpu_vendor, GpuVendor::ati);
    EXPECT_TRUE(capabilities.quirk_radeon_x_series);
    EXPECT_FALSE(capabilities.quirk_geforce_7_series);
    EXPECT_FALSE(capabilities.quirk_nvidia_pixel_buffers);
    EXPECT_TRUE(capabilities.quirk_ati_driver_2_1_8577);
    EXPECT_EQ(get_driver_quirk_flag(), 0u);

    reset_entry_points();
    EXPECT_FALSE(capabilities.gl_1_2 || is_extension_present(Extension::ARB_occlusion_query));
    EXPECT_EQ(gl.glGetString, nullptr);
    EXPECT_EQ(get_driver_quirk_flag(), 1u);
}

TEST_F(FakeDriverCapabilities, APartlyLoadedTableLeavesItsFlagFalseAndKeepsWhatItFound) {
    fake_driver.version = "2.0";
    fake_driver.extensions = "GL_ARB_occlusion_query GL_ARB_vertex_buffer_object";
    fake_driver.missing = {"glGenQueriesARB", "glMapBuffer"};
    initialize_entry_points();

    EXPECT_FALSE(is_extension_present(Extension::ARB_occlusion_query));
    EXPECT_EQ(gl.glGenQueriesARB, nullptr);
    EXPECT_NE(gl.glBeginQueryARB, nullptr);
    EXPECT_TRUE(is_extension_present(Extension::ARB_vertex_buffer_object));
    EXPECT_FALSE(capabilities.gl_1_5);
    EXPECT_NE(gl.glBindBuffer, nullptr);
    EXPECT_TRUE(capabilities.gl_1_4);
    EXPECT_TRUE(capabilities.gl_2_0);
}

TEST_F(FakeDriverCapabilities, NvidiaQuirksNeedTheVendorAndTheBoard) {
    fake_driver.vendor = "NVIDIA Corporation";
    fake_driver.renderer = "GeForce 7800 GTX/PCI/SSE2";
    fake_driver.extensions = "GL_ARB_pixel_buffer_object";
    initialize_entry_points();
    EXPECT_EQ(capabilities.gpu_vendor, GpuVendor::nvidia);
    EXPECT_TRUE(capabilities.quirk_geforce_7_series);
    EXPECT_TRUE(capabilities.quirk_nvidia_pixel_buffers);
    EXPECT_FALSE(capabilities.quirk_radeon_x_series);

    fake_driver.vendor = "Mesa/X.org";
    initialize_entry_points();
    EXPECT_FALSE(capabilities.quirk_geforce_7_series);
    EXPECT_FALSE(capabilities.quirk_nvidia_pixel_buffers);
}

TEST_F(FakeDriverCapabilities, WithoutOpenGL1_1TheProcessEndsWithExitCode36) {
    struct Row {
        const char* version;
        const char* missing;
    };
    const Row rows[] = {{"2.1", "glViewport"}, {"1.0", ""}, {"OpenGL", ""}, {"2.1", "glGetString"}};
    for (const Row& row : rows) {
        const test::ChildResult result = test::run_in_child([&row] {
            fake_driver.version = row.version;
            fake_driver.missing = {row.missing};
            initialize_entry_points();
        });
        EXPECT_TRUE(result.exited) << row.version << " " << row.missing;
        EXPECT_EQ(result.exit_code, ExitCode::opengl_initialization) << row.version << " " << row.missing;
        EXPECT_NE(result.standard_error.find("zolt: error: OpenGL core initialization failed"), std::string::npos)
            << result.standard_error;
    }
}

class LlvmpipeCapabilities : public test::GlContextTest {};

TEST_F(LlvmpipeCapabilities, AreWhatTheDriverReports) {
    EXPECT_TRUE(capabilities.gl_1_2 && capabilities.gl_1_3 && capabilities.gl_1_4 && capabilities.gl_1_5);
    EXPECT_TRUE(capabilities.gl_2_0 && capabilities.gl_2_1 && capabilities.gl_3_0);
    EXPECT_TRUE(is_version_at_least(4, 5, 0));
    EXPECT_FALSE(is_version_at_least(4, 6, 0));
    EXPECT_TRUE(glsl_usable());
    EXPECT_TRUE(vertex_programs_usable());
    EXPECT_TRUE(is_extension_present(Extension::ARB_vertex_program));
    EXPECT_TRUE(is_extension_present(Extension::ARB_fragment_program));
    EXPECT_TRUE(is_extension_present(Extension::EXT_framebuffer_object));
    EXPECT_TRUE(is_extension_present(Extension::ATI_separate_stencil));
    EXPECT_TRUE(is_extension_present(Extension::EXT_stencil_two_side));
    EXPECT_FALSE(is_extension_present(Extension::EXT_depth_bounds_test));
    EXPECT_FALSE(is_extension_present(Extension::EXT_stencil_clear_tag));
    EXPECT_FALSE(is_extension_present(Extension::ARB_imaging));
    EXPECT_FALSE(is_extension_present(Extension::NV_fence));
    EXPECT_EQ(gl.glDepthBoundsEXT, nullptr);
    EXPECT_EQ(capabilities.gpu_vendor, GpuVendor::other);
    EXPECT_FALSE(capabilities.quirk_radeon_x_series || capabilities.quirk_geforce_7_series ||
                 capabilities.quirk_nvidia_pixel_buffers || capabilities.quirk_ati_driver_2_1_8577);

    ScopedValue<bool> no_glsl(compatibility_fix_disable_glsl_shaders, true);
    EXPECT_FALSE(glsl_usable());
    EXPECT_TRUE(vertex_programs_usable());
}

class DriverOverrides : public test::GlOverrideTest {};

TEST_F(DriverOverrides, WithoutGlslOrAssemblyProgramsTheDriverIsRecognisedAsSuch) {
    if (run_in_child_with({"MESA_GL_VERSION_OVERRIDE=1.5",
                           "MESA_EXTENSION_OVERRIDE=-GL_ARB_vertex_program -GL_ARB_fragment_program "
                           "-GL_ARB_vertex_shader"})) {
        return;
    }
    EXPECT_TRUE(capabilities.gl_1_5);
    EXPECT_FALSE(capabilities.gl_2_0);
    EXPECT_FALSE(is_extension_present(Extension::ARB_vertex_program));
    EXPECT_FALSE(is_extension_present(Extension::ARB_vertex_shader));
    EXPECT_TRUE(is_extension_present(Extension::ARB_shader_objects));
    EXPECT_FALSE(glsl_usable());
    EXPECT_FALSE(vertex_programs_usable());
}

}  // namespace
}  // namespace zolt::opengl
