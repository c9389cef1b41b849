#include <gtest/gtest.h>

#include "libs/opengl/gpu_quirks.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_version.h"

namespace zolt::opengl {
namespace {

struct VersionCase {
    const char* text;
    bool parses;
    uint32_t major, minor, release;
};

TEST(OpenGLVersionText, ParsesMajorMinorAndReleaseOnlyWhereTheyStandAlone) {
    const VersionCase cases[] = {
        {"2.1.8577 ATI Technologies", true, 2, 1, 8577},
        {"1.5", true, 1, 5, 0},
        {"3.0 NVIDIA 180.48", true, 3, 0, 0},
        {"2.1.2.3", true, 2, 1, 0},
        {"4.5 (Compatibility Profile) Mesa 22.3.6", true, 4, 5, 0},
        {"2.1.", true, 2, 1, 0},
        {"2.1.12x", true, 2, 1, 0},
        {"1.1", true, 1, 1, 0},
        {"2.1a", false, 0, 0, 0},
        {"2.", false, 0, 0, 0},
        {".5", false, 0, 0, 0},
        {"OpenGL 2.1", false, 0, 0, 0},
        {"2", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"99999999999.1", true, UINT32_MAX, 1, 0},
    };
    for (const VersionCase& row : cases) {
        OpenGLVersion version;
        EXPECT_EQ(parse_version(row.text, &version), row.parses) << row.text;
        if (row.parses) {
            EXPECT_EQ(version.major, row.major) << row.text;
            EXPECT_EQ(version.minor, row.minor) << row.text;
            EXPECT_EQ(version.release, row.release) << row.text;
        }
    }
    OpenGLVersion version;
    EXPECT_FALSE(parse_version(nullptr, &version));
}

TEST(OpenGLVersionText, ComparesMajorThenMinorThenRelease) {
    const OpenGLVersion version{2, 1, 8577};
    EXPECT_TRUE(is_version_at_least(version, 2, 1, 8577));
    EXPECT_TRUE(is_version_at_least(version, 2, 0, 9999));
    EXPECT_TRUE(is_version_at_least(version, 1, 5, 0));
    EXPECT_FALSE(is_version_at_least(version, 2, 1, 8578));
    EXPECT_FALSE(is_version_at_least(version, 2, 2, 0));
    EXPECT_FALSE(is_version_at_least(version, 3, 0, 0));
}

TEST(OpenGLExtensionList, CountsAWholeNameBetweenBlanksOnly) {
    const char* list = "GL_EXT_texture3D GL_ARB_fragment_program_shadow GL_EXT_bgra";
    EXPECT_FALSE(has_extension(list, "GL_EXT_texture"));
    EXPECT_TRUE(has_extension(list, "GL_EXT_texture3D"));
    EXPECT_FALSE(has_extension(list, "GL_ARB_fragment_program"));
    EXPECT_TRUE(has_extension(list, "GL_EXT_bgra"));
    EXPECT_FALSE(has_extension(list, "gl_ext_bgra"));
    EXPECT_FALSE(has_extension(list, "EXT_bgra"));
    EXPECT_TRUE(has_extension("GL_EXT_texture3D GL_EXT_texture", "GL_EXT_texture"));
    EXPECT_TRUE(has_extension("GL_EXT_texture", "GL_EXT_texture"));
    EXPECT_FALSE(has_extension("", "GL_EXT_texture"));
    EXPECT_FALSE(has_extension(nullptr, "GL_EXT_texture"));
}

TEST(OpenGLExtensionList, NamesEveryExtensionInLookupOrder) {
    EXPECT_STREQ(get_extension_name(Extension::ARB_color_buffer_float), "GL_ARB_color_buffer_float");
    EXPECT_STREQ(get_extension_name(Extension::NV_vertex_program4), "GL_NV_vertex_program4");
    EXPECT_STREQ(get_extension_name(Extension::WGL_ARB_multisample), "WGL_ARB_multisample");
    EXPECT_STREQ(get_extension_name(Extension::WGL_NV_render_texture_rectangle), "WGL_NV_render_texture_rectangle");
    EXPECT_STREQ(get_extension_name(Extension::ARB_multisample), "GL_ARB_multisample");
}

TEST(GpuWords, MatchWordsAndNumberedWordsWithoutLetterCase) {
    EXPECT_TRUE(has_extension_word("NVIDIA Corporation", "nvidia"));
    EXPECT_TRUE(has_extension_word("ATI Technologies Inc.", "ati"));
    EXPECT_FALSE(has_extension_word("Mesa/X.org", "ati"));
    EXPECT_FALSE(has_extension_word("Corporation", "ati"));
    EXPECT_TRUE(has_extension_word("Advanced\tAMD\nDevices", "amd"));
    EXPECT_FALSE(has_extension_word(nullptr, "amd"));

    EXPECT_TRUE(find_numbered_word("RADEON X1950 PRO", "x", 1000, 1999));
    EXPECT_FALSE(find_numbered_word("RADEON X800 PRO", "x", 1000, 1999));
    EXPECT_FALSE(find_numbered_word("RADEON X19500", "x", 1000, 1999));
    EXPECT_FALSE(find_numbered_word("RADEON AX1950", "x", 1000, 1999));
    EXPECT_TRUE(find_numbered_word("X800 and X1300", "x", 1000, 1999));
    EXPECT_TRUE(find_numbered_word("GeForce 7800 GTX/PCI/SSE2", "", 7000, 7999));
    EXPECT_TRUE(find_numbered_word("GeForce 7600GS", "", 7000, 7999));
    EXPECT_FALSE(find_numbered_word("GeForce GTX7800", "", 7000, 7999));
    EXPECT_FALSE(find_numbered_word("GeForce 99999999999999999999", "", 7000, 7999));
}

struct RendererCase {
    const char* renderer;
    bool radeon_x;
    bool geforce_7;
};

TEST(GpuQuirks, RecogniseTheBoardFamiliesFromRendererNames) {
    const RendererCase cases[] = {
        {"ATI RADEON X1950 PRO", true, false},
        {"radeon x1300/x1550 series", true, false},
        {"ATI Radeon X800 Series", false, false},
        {"Radeon HD 4850", false, false},
        {"GeForce 7800 GTX/PCI/SSE2", false, true},
        {"NVIDIA GeForce 7950 GT", false, true},
        {"GeForce 8800 GTX/PCI/SSE2", false, false},
        {"GeForce Go 7400", false, true},
        {"llvmpipe (LLVM 15.0.6, 256 bits)", false, false},
    };
    for (const RendererCase& row : cases) {
        EXPECT_EQ(detect_radeon_x_series(row.renderer), row.radeon_x) << row.renderer;
        EXPECT_EQ(detect_geforce_7_series(row.renderer), row.geforce_7) << row.renderer;
    }
}

TEST(GpuQuirks, RecogniseVendorsAndTheAti2_1_8577DriverSeries) {
    EXPECT_EQ(detect_gpu_vendor("NVIDIA Corporation"), GpuVendor::nvidia);
    EXPECT_EQ(detect_gpu_vendor("ATI Technologies Inc."), GpuVendor::ati);
    EXPECT_EQ(detect_gpu_vendor("AMD"), GpuVendor::ati);
    EXPECT_EQ(detect_gpu_vendor("Microsoft Corporation"), GpuVendor::microsoft);
    EXPECT_EQ(detect_gpu_vendor("Mesa/X.org"), GpuVendor::other);
    EXPECT_EQ(detect_gpu_vendor(nullptr), GpuVendor::other);

    EXPECT_TRUE(detect_ati_driver_2_1_8577(GpuVendor::ati, "2.1.8577 Release"));
    EXPECT_TRUE(detect_ati_driver_2_1_8577(GpuVendor::ati, "2.1.8600"));
    EXPECT_FALSE(detect_ati_driver_2_1_8577(GpuVendor::ati, "2.1.8543 Release"));
    EXPECT_FALSE(detect_ati_driver_2_1_8577(GpuVendor::nvidia, "2.1.8577"));
    // Later AMD drivers do not have the fault; a quirk that held for them
    // would switch their shadow maps off.
    EXPECT_FALSE(detect_ati_driver_2_1_8577(GpuVendor::ati, "4.6 (Compatibility Profile) Mesa 23.0"));
    EXPECT_FALSE(detect_ati_driver_2_1_8577(GpuVendor::ati, "3.3.11672 Compatibility Profile Context"));
}

}  // namespace
}  // namespace zolt::opengl
