// Streaming: resource textures climb from their resident levels to full
// resolution as the budget allows, one step at most every 2 frames, through
// reads of their streamed levels on the IO thread, and fall back under
// pressure; reads that cannot be done safely are refused.
#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "libs/opengl/opengl_config.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/builtins/builtin_helpers.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer {
namespace {

using opengl::gl;
using test_support::Pixel;
using test_support::TextureFixture;
using test_support::TextureWorld;
using State = TextureUploadState;

constexpr uint32_t frame_limit = 3000;

// Each level one colour, so the level on screen shows which are uploaded.
Pixel level_colour(uint32_t level) {
    return {static_cast<uint8_t>(40 * level), static_cast<uint8_t>(255 - 30 * level), static_cast<uint8_t>(7 * level),
            255};
}

TextureFixture make_levels_fixture(uint32_t id, uint32_t segments) {
    TextureFixture fixture;
    fixture.id = id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 7, TextureFilter::nearest);
    fixture.width = fixture.height = 64;
    fixture.streamed_segment_count = segments;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, 64, 64, 1, [](uint32_t level, uint32_t, uint32_t, uint32_t, uint8_t* e) {
            const Pixel colour = level_colour(level);
            e[0] = colour[2], e[1] = colour[1], e[2] = colour[0], e[3] = colour[3];
        });
    return fixture;
}

class TextureStreaming : public TextureWorld {
protected:
    // Frames until the texture reaches the state or the frame limit; the
    // states it passed and the level on screen in each.
    struct Climb {
        std::vector<State> states;
        std::vector<Pixel> pixels;
    };
    Climb run_until(TextureObject* texture, State wanted) {
        Climb climb;
        for (uint32_t frame = 0; frame < frame_limit; ++frame) {
            run_frame(texture);
            if (climb.states.empty() || climb.states.back() != texture->get_upload_state()) {
                climb.states.push_back(texture->get_upload_state());
                climb.pixels.push_back(read_pixel(32, 32));
            }
            if (texture->get_upload_state() == wanted) {
                break;
            }
            if (texture_server.is_streaming_pending()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        return climb;
    }
};

TEST_F(TextureStreaming, TwoSegmentsClimbThroughEachStateAndFallBackUnderPressure) {
    const TextureFixture fixture = make_levels_fixture(0x20003000, 2);
    open_world({fixture});
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    const Climb climb = run_until(texture, State::full_resolution);
    EXPECT_EQ(climb.states, (std::vector<State>{State::resident_levels, State::one_segment, State::full_resolution}));
    EXPECT_EQ(climb.pixels, (std::vector<Pixel>{level_colour(2), level_colour(1), level_colour(0)}));
    EXPECT_FALSE(texture->has_streaming_failed());
    EXPECT_NE(texture->get_upload_record().name, texture->get_upload_record().low_resolution_name);
    // The streamed reads went to the pack: the levels resource never loaded.
    const core::ResourceInfo& streamed = core::resource_server.get_loader().get_resource_info(fixture.id | 2);
    EXPECT_FALSE(streamed.has_state(core::resource_state::in_memory | core::resource_state::open));

    // Less than 32 MB free: back to the resident copy, which stays.
    video_memory_limit = 1;
    const Climb fall = run_until(texture, State::resident_levels);
    EXPECT_EQ(fall.states.back(), State::resident_levels);
    EXPECT_EQ(fall.pixels.back(), level_colour(2));
    EXPECT_EQ(texture->get_upload_record().name, texture->get_upload_record().low_resolution_name);
    for (uint32_t frame = 0; frame < 10; ++frame) {
        run_frame(texture);
    }
    EXPECT_EQ(texture->get_upload_state(), State::resident_levels);
    EXPECT_FALSE(texture_server.is_streaming_pending());
}

TEST_F(TextureStreaming, OneSegmentGoesStraightToFullResolution) {
    const TextureFixture fixture = make_levels_fixture(0x20003100, 1);
    open_world({fixture});
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    const Climb climb = run_until(texture, State::full_resolution);
    EXPECT_EQ(climb.states, (std::vector<State>{State::resident_levels, State::full_resolution}));
    EXPECT_EQ(climb.pixels, (std::vector<Pixel>{level_colour(1), level_colour(0)}));
}

TEST_F(TextureStreaming, WithStreamingOffNothingClimbs) {
    const TextureFixture fixture = make_levels_fixture(0x20003200, 2);
    open_world({fixture});
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    test_support::call_texture_builtin(635, {0});
    EXPECT_FALSE(texture_server.is_streaming_enabled());
    for (uint32_t frame = 0; frame < 30; ++frame) {
        run_frame(texture);
    }
    EXPECT_EQ(texture->get_upload_state(), State::resident_levels);
    EXPECT_EQ(test_support::call_texture_builtin(636), 0u);
    EXPECT_EQ(read_pixel(32, 32), level_colour(2));

    test_support::call_texture_builtin(635, {1});
    const Climb climb = run_until(texture, State::full_resolution);
    EXPECT_EQ(climb.states.back(), State::full_resolution);
}

TEST_F(TextureStreaming, PendingReadsAreReportedAndCanBeAbandoned) {
    const TextureFixture fixture = make_levels_fixture(0x20003300, 1);
    open_world({fixture});
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    texture_server.initialize_pending_textures(true);
    texture_server.start_streaming(texture);
    ASSERT_TRUE(texture_server.is_streaming_pending());
    EXPECT_EQ(test_support::call_texture_builtin(636), 1u);
    EXPECT_EQ(texture_server.get_stream_request().resource_id, fixture.id | 2);
    EXPECT_EQ(texture_server.get_stream_request().offset, 0u);
    EXPECT_EQ(texture_server.get_stream_request().size, 64u * 64 * 4);
    test_support::call_texture_builtin(637);
    EXPECT_EQ(test_support::call_texture_builtin(636), 0u);
    EXPECT_TRUE(texture_server.finish_streaming());
    EXPECT_EQ(texture->get_upload_state(), State::resident_levels);
}

// Pixel buffers change how the levels reach the driver, not what arrives.
TEST_F(TextureStreaming, PixelBufferUploadsGiveTheSamePixels) {
    TextureFixture fixture;
    fixture.id = 0x20003400;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 7, TextureFilter::nearest);
    fixture.width = fixture.height = 64;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, 64, 64, 1, [](uint32_t level, uint32_t, uint32_t x, uint32_t y, uint8_t* e) {
            e[0] = static_cast<uint8_t>(x * 3 + level), e[1] = static_cast<uint8_t>(y * 5 + 17 * level),
            e[2] = static_cast<uint8_t>(x ^ y), e[3] = static_cast<uint8_t>(255 - level);
        });
    open_world({fixture}, false);
    auto draw_every_level = [&](uint32_t use_pbo, uint32_t* map_calls) {
        test::ScopedValue<uint32_t> pbo(opengl::compatibility_fix_use_pbo, use_pbo);
        register_texture_server();
        EXPECT_EQ(texture_server.get_upload_pixel_buffers().has_any(), use_pbo == 1);
        TextureObject* const texture = texture_server.create_texture(fixture.id);
        {
            test::GlCallRecorder recorder;
            texture_server.initialize_pending_textures(true);
            *map_calls = recorder.count("glMapBuffer") + recorder.count("glMapBufferARB");
        }
        EXPECT_EQ(texture->get_upload_state(), State::complete);
        gl.glClearColor(0, 0, 0, 0);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        int32_t x = 0;
        for (int32_t size = 32; size >= 1; size /= 2) {
            draw_texture(texture, x, 0, size, size);
            x += size;
        }
        std::vector<uint8_t> colors = read_colors();
        texture_server.unregister_server();
        return colors;
    };
    uint32_t plain_maps = 0;
    uint32_t staged_maps = 0;
    const std::vector<uint8_t> plain = draw_every_level(0, &plain_maps);
    const std::vector<uint8_t> staged = draw_every_level(1, &staged_maps);
    EXPECT_EQ(plain_maps, 0u);
    EXPECT_GE(staged_maps, 1u);
    EXPECT_EQ(plain, staged);
    EXPECT_EQ(plain[0 + 3], 255 - 1);  // the 32-texel quad shows level 1
}

// The streaming buffer holds 20 MB: a larger level is never read into it.
TEST_F(TextureStreaming, ALevelLargerThanTheBufferIsRefusedNotRead) {
    TextureFixture fixture;
    fixture.id = 0x20003500;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 2, TextureFilter::nearest);
    fixture.width = 2564;
    fixture.height = 2048;
    fixture.streamed_segment_count = 1;
    fixture.surfaces = {test_support::Bytes(2564u * 2048 * 4), test_support::Bytes(1282u * 1024 * 4)};
    ASSERT_GT(fixture.surfaces[0].size(), streaming_buffer_size);
    open_world({fixture});
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    for (uint32_t frame = 0; frame < 10; ++frame) {
        run_frame(texture);
    }
    EXPECT_EQ(texture->get_upload_state(), State::resident_levels);
    EXPECT_TRUE(texture->has_streaming_failed());
    EXPECT_FALSE(texture_server.is_streaming_pending());
    EXPECT_EQ(texture_server.choose_upgrade_candidate(), nullptr);
}

// A packed resource's bytes at an offset are not its levels.
TEST_F(TextureStreaming, PackedStreamedLevelsAreRefusedNotRead) {
    TextureFixture fixture = make_levels_fixture(0x20003600, 2);
    fixture.is_streamed_packable = true;
    open_world({fixture});
    const core::ResourceInfo& streamed = core::resource_server.get_loader().get_resource_info(fixture.id | 2);
    ASSERT_LT(streamed.stored_size, streamed.unpacked_size);
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    for (uint32_t frame = 0; frame < 10; ++frame) {
        run_frame(texture);
    }
    EXPECT_EQ(texture->get_upload_state(), State::resident_levels);
    EXPECT_TRUE(texture->has_streaming_failed());
    EXPECT_EQ(read_pixel(32, 32), level_colour(2));
}

}  // namespace
}  // namespace zolt::renderer
