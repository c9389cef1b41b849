#include "zolt/renderer/backend/rendering_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "support/child_process.h"
#include "support/gl_context.h"
#include "support/server_ring.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/test_servers.h"
#include "zolt/core/program/engine.h"

namespace zolt::renderer {
namespace {

std::string trace;

// Notes its per-frame update in the trace.
class UpdateRecordingServer final : public core::ServerBase {
public:
    explicit UpdateRecordingServer(uint32_t type) : ServerBase(type) {}
    const char* get_name() const override { return "UpdateRecordingServer"; }
    uint32_t get_capacity() const override { return 0; }
    core::ServerObject* get_object_address(core::ObjectHandle) override { return nullptr; }
    core::ServerObject* get_object_internal(core::ObjectHandle) override { return nullptr; }
    core::ServerObject* get_object_resolved(core::ObjectHandle) override { return nullptr; }
    void update() override { trace += std::to_string(get_type()) + " "; }
};

class RenderingCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        trace.clear();
        rendering_command_hooks = RenderingCommandHooks{};
    }
    void TearDown() override {
        rendering_command_hooks = RenderingCommandHooks{};
        test::unregister_all_servers();
    }
};

TEST_F(RenderingCommandsTest, CommandNumbersOutsideTheTableAreFatalWithTheNumber) {
    for (const uint32_t command : {0u, 16u, 0x80000001u}) {
        const test::ChildResult result = test::run_in_child([command] { issue_rendering_command(command); });
        EXPECT_EQ(result.exit_code, ExitCode::crash) << command;
        EXPECT_NE(result.standard_error.find("zolt: fatal error: Invalid rendering command " + std::to_string(command)),
                  std::string::npos)
            << result.standard_error;
    }
}

TEST_F(RenderingCommandsTest, FreeAllDeadObjectsPassesUntilTheRendererLetsGoAndMovesBothCounters) {
    // Nothing dead: one pass, each counter once.
    uint32_t issued = read_issued_counter();
    uint32_t completed = read_completed_counter();
    release_dead_render_objects();
    EXPECT_EQ(read_issued_counter() - issued, 1u);
    EXPECT_EQ(read_completed_counter() - completed, 1u);
    EXPECT_EQ(get_completed_rendering_command_count(), read_completed_counter());

    // An object the renderer holds for two more passes: three passes.
    static test::TestServer<2> server(17);
    server.register_server();
    static test::TestObject* held = server.create();
    held->in_use_by_renderer = true;
    server.destroy_object_internal(held);
    static uint32_t passes = 0;
    passes = 0;
    rendering_command_hooks.free_dead_materials = [] {
        if (++passes == 3) {
            held->in_use_by_renderer = false;
        }
    };
    issued = read_issued_counter();
    completed = read_completed_counter();
    issue_rendering_command(free_all_dead_objects_command);
    // The object is released at the start of the fourth pass.
    EXPECT_EQ(passes, 4u);
    EXPECT_FALSE(server.has_dead_objects());
    EXPECT_EQ(read_issued_counter() - issued, 4u);
    EXPECT_EQ(read_completed_counter() - completed, 4u);

    // One that is never let go ends the passes instead of hanging.
    test::TestObject* stuck = server.create();
    stuck->in_use_by_renderer = true;
    server.destroy_object_internal(stuck);
    rendering_command_hooks.free_dead_materials = nullptr;
    issue_rendering_command(free_all_dead_objects_command);
    EXPECT_TRUE(server.has_dead_objects());
    EXPECT_FALSE(is_busy());
    stuck->in_use_by_renderer = false;
}

TEST_F(RenderingCommandsTest, TheServerFrameworkRunsCommandsNineAndTenThroughTheMailboxOnceRegistered) {
    const test::ChildResult result = test::run_in_child([] {
        static uint32_t ninth_passes = 0;
        rendering_command_hooks.destroy_queued_textures = [] {
            // Texture destruction runs in the two dead-object commands only.
            ++ninth_passes;
            std::fprintf(stderr, "inside %d busy %d\n", is_inside_rendering_command() ? 1 : 0, is_busy() ? 1 : 0);
        };
        register_as_rendering_thread();
        const uint32_t completed = read_completed_counter();
        core::run_rendering_command(free_dead_objects_command);
        std::fprintf(stderr, "passes %u completed %u inside %d busy %d\n", ninth_passes,
                     read_completed_counter() - completed, is_inside_rendering_command() ? 1 : 0, is_busy() ? 1 : 0);
        unregister_rendering_thread();
    });
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    EXPECT_NE(result.standard_error.find("inside 1 busy 1\npasses 1 completed 1 inside 0 busy 0\n"), std::string::npos)
        << result.standard_error;
}

TEST_F(RenderingCommandsTest, ACommandIssuedInsideAnotherLeavesTheOuterOneInsideAndBusy) {
    const test::ChildResult result = test::run_in_child([] {
        rendering_command_hooks.finish_particle_update = [] {
            issue_rendering_command(free_dead_objects_command);
            std::fprintf(stderr, "after nested: inside %d framework %d busy %d\n",
                         is_inside_rendering_command() ? 1 : 0, core::is_in_rendering_command() ? 1 : 0,
                         is_busy() ? 1 : 0);
        };
        register_as_rendering_thread();
        issue_rendering_command(update_frame_command);
        std::fprintf(stderr, "after outer: inside %d framework %d busy %d\n", is_inside_rendering_command() ? 1 : 0,
                     core::is_in_rendering_command() ? 1 : 0, is_busy() ? 1 : 0);
    });
    EXPECT_EQ(result.exit_code, 0) << result.standard_error;
    EXPECT_NE(result.standard_error.find("after nested: inside 1 framework 1 busy 1\n"
                                         "after outer: inside 0 framework 0 busy 0\n"),
              std::string::npos)
        << result.standard_error;
}

TEST_F(RenderingCommandsTest, FrameUpdatesServersInTheirFixedOrderAndDrawsWhatTheOutputFlagsAsk) {
    static UpdateRecordingServer servers[] = {
        UpdateRecordingServer(38), UpdateRecordingServer(39), UpdateRecordingServer(27), UpdateRecordingServer(28),
        UpdateRecordingServer(25), UpdateRecordingServer(30), UpdateRecordingServer(26), UpdateRecordingServer(41),
        UpdateRecordingServer(29), UpdateRecordingServer(34), UpdateRecordingServer(36), UpdateRecordingServer(37),
        UpdateRecordingServer(33), UpdateRecordingServer(17),
    };
    for (UpdateRecordingServer& server : servers) {
        server.register_server();
    }
    static uint32_t flags = 0;
    RenderingCommandHooks& hooks = rendering_command_hooks;
    hooks.read_event_flags = [] { return flags; };
    hooks.relink_portals = [] { trace += "portals "; };
    hooks.update_pending_visuals = [] { trace += "visuals "; };
    hooks.begin_shader_library_frame = [] { trace += "shaders "; };
    hooks.update_render_layers = [] { trace += "layers "; };
    hooks.render_viewports = [] {
        trace += "viewports ";
        return true;
    };
    hooks.draw_fullscreen_movies = [] { trace += "movies "; };
    hooks.draw_displays = [] { trace += "displays "; };
    hooks.finish_particle_update = [] { trace += "particles"; };

    issue_rendering_command(update_frame_command);
    EXPECT_EQ(trace, "portals visuals shaders 33 37 36 34 29 layers 41 26 30 25 28 27 39 38 particles");

    trace.clear();
    flags = 0x7001F;
    issue_rendering_command(render_frame_command);
    EXPECT_EQ(trace,
              "portals visuals shaders 33 37 36 34 29 layers 41 26 30 25 28 27 39 38 viewports movies displays "
              "particles");

    // While the loading screen is up, a frame draws the loading screen alone.
    hooks.render_loading_screen = [] { trace = "loading screen"; };
    flags = output_flag_viewports;
    issue_rendering_command(begin_loading_screen_command);
    EXPECT_TRUE(is_loading_screen_mode());
    trace.clear();
    issue_rendering_command(render_frame_command);
    EXPECT_EQ(trace, "loading screen");
    issue_rendering_command(end_loading_screen_command);
    EXPECT_FALSE(is_loading_screen_mode());
}

TEST_F(RenderingCommandsTest, RegistrationIsOnceAndOnlyItsThreadUnregisters) {
    const test::ChildResult twice = test::run_in_child([] {
        register_as_rendering_thread();
        register_as_rendering_thread();
    });
    EXPECT_EQ(twice.exit_code, ExitCode::crash);
    EXPECT_NE(twice.standard_error.find("Rendering thread can not be registered more than once"), std::string::npos);

    const test::ChildResult other = test::run_in_child([] {
        static uint32_t shutdowns = 0;
        rendering_command_hooks.shut_down_renderer = [] { ++shutdowns; };
        register_as_rendering_thread();
        std::thread([] { unregister_rendering_thread(); }).join();
    });
    EXPECT_EQ(other.exit_code, ExitCode::crash);
    EXPECT_NE(
        other.standard_error.find("Rendering thread must be called from the thread which created the registration"),
        std::string::npos)
        << other.standard_error;
}

using OpaqueBlackFrameTest = test::GlContextTest;

TEST_F(OpaqueBlackFrameTest, AFrameWithNothingDrawnIsClearedToOpaqueBlackBeforeTheDisplays) {
    opengl::gl.glClearColor(1.0f, 0.5f, 0.25f, 0.0f);
    opengl::gl.glClear(GL_COLOR_BUFFER_BIT);
    static uint32_t flags = 0;
    static std::vector<uint8_t> at_displays;
    static decltype(this) self = nullptr;
    self = this;
    rendering_command_hooks = RenderingCommandHooks{};
    rendering_command_hooks.read_event_flags = [] { return flags; };
    rendering_command_hooks.draw_displays = [] { at_displays = self->read_colors(); };
    for (const uint32_t case_flags : {0x40000u, 0x50000u}) {
        at_displays.clear();
        flags = case_flags;
        issue_rendering_command(render_frame_command);
        ASSERT_EQ(at_displays.size(), size_t{width} * height * 4) << case_flags;
        for (size_t index = 0; index < at_displays.size(); index += 4) {
            ASSERT_EQ(at_displays[index], 0);
            ASSERT_EQ(at_displays[index + 1], 0);
            ASSERT_EQ(at_displays[index + 2], 0);
            ASSERT_EQ(at_displays[index + 3], 255);
        }
    }
    rendering_command_hooks = RenderingCommandHooks{};
}

}  // namespace
}  // namespace zolt::renderer
