#include "platform/display/video_memory.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/sdl_window.h"
#include "support/child_process.h"
#include "support/gl_context.h"
#include "xvfb_server.h"

namespace zolt::platform {
namespace {

using opengl::gl;

class VideoMemory : public test::GlContextTest {};

TEST_F(VideoMemory, AnEglContextAnswersWithoutGlErrors) {
    const uint32_t megabytes = query_video_memory_megabytes();
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    // Without the two memory extensions only GLX could tell, and no GLX
    // context is current.
    const char* const extensions = reinterpret_cast<const char*>(gl.glGetString(GL_EXTENSIONS));
    ASSERT_NE(extensions, nullptr);
    if (std::strstr(extensions, "GL_NVX_gpu_memory_info") == nullptr &&
        std::strstr(extensions, "GL_ATI_meminfo") == nullptr) {
        EXPECT_EQ(megabytes, 0u);
    }
}

// Mesa tells its renderer's memory through GLX; without a current context
// nothing is asked.
TEST(VideoMemoryUnderX, MesaAnswersForItsGlxContextOnly) {
    test::XvfbServer server;
    if (!test::XvfbServer::is_installed()) {
        GTEST_SKIP() << server.get_failure();
    }
    ASSERT_TRUE(server.is_running()) << server.get_failure();
    const std::string display = server.get_display();
    const test::ChildResult result = test::run_in_child([&display] {
        unsetenv("SDL_VIDEODRIVER");
        unsetenv("WAYLAND_DISPLAY");
        setenv("DISPLAY", display.c_str(), 1);
        if (!open_video() || std::strcmp(get_video_driver_name(), "x11") != 0) {
            std::printf("no x11\n");
            return;
        }
        PixelFormatRequest request;
        request.red_bits = request.green_bits = request.blue_bits = 8;
        const int32_t format = choose_pixel_format(request);
        WindowGeometry geometry;
        geometry.width = geometry.height = 64;
        DisplayWindow* const window = create_display_window("video memory", geometry, format, false);
        GlContext* const context = window != nullptr ? create_gl_context(window) : nullptr;
        if (context == nullptr || !make_gl_context_current(window, context)) {
            std::printf("no context: %s\n", get_display_error());
            return;
        }
        std::printf("current %u\n", query_video_memory_megabytes());
        make_gl_context_current(nullptr, nullptr);
        std::printf("released %u\n", query_video_memory_megabytes());
        delete_gl_context(context);
        destroy_display_window(window);
        close_video();
    });
    ASSERT_EQ(result.exit_code, 0) << result.standard_error;
    unsigned current = 0;
    unsigned released = 1;
    ASSERT_EQ(std::sscanf(result.standard_output.c_str(), "current %u\nreleased %u", &current, &released), 2)
        << result.standard_output;
    EXPECT_GT(current, 0u);
    EXPECT_EQ(released, 0u);
}

}  // namespace
}  // namespace zolt::platform
