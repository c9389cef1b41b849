// The texture server around its textures: reference counts and the
// destruction queue, render-target slots, the GL texture cache, texture
// units, shadow-map targets, the budget's choices, saving and loading, the
// builtins and the hardware check.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "libs/opengl/opengl_config.h"
#include "libs/opengl/shadowmap_framebuffer.h"
#include "support/child_process.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/texture/texture_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::renderer {
namespace {

using opengl::gl;
using test_support::TextureFixture;
using test_support::TextureWorld;
using State = TextureUploadState;

constexpr uint32_t small_target = 0x10;  // RGBA8, nearest, clamped

uint32_t make_small_target_id(uint32_t slot, uint32_t format_bits = small_target) {
    return make_render_target_id(slot, power_of_two_size_kind, 2, format_bits);
}

TextureFixture make_levels_fixture(uint32_t id, uint32_t segments, bool is_lightmap = false) {
    TextureFixture fixture;
    fixture.id = id;
    fixture.format =
        make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 5, TextureFilter::nearest, 0, is_lightmap);
    fixture.width = fixture.height = 16;
    fixture.streamed_segment_count = segments;
    fixture.surfaces = test_support::make_surfaces(
        fixture.format, 16, 16, 1, [](uint32_t level, uint32_t, uint32_t x, uint32_t y, uint8_t* e) {
            e[0] = static_cast<uint8_t>(level), e[1] = 0, e[2] = static_cast<uint8_t>(x + y), e[3] = 255;
        });
    return fixture;
}

// Without GL: render targets are set up, not uploaded, while the server is
// not registered.
class TextureReferences : public ::testing::Test {
protected:
    void TearDown() override { texture_server.destroy_all_objects(); }
};

TEST_F(TextureReferences, CreatingTwiceCountsDestroyingQueuesAndCreatingAgainRevives) {
    const uint32_t id = make_small_target_id(4);
    TextureObject* const texture = texture_server.create_texture(id);
    const core::ObjectHandle handle = texture->get_handle();
    EXPECT_EQ(core::get_handle_server_type(handle), core::server_type::texture);
    EXPECT_TRUE(texture->owns_itself());
    EXPECT_EQ(texture_server.create_texture(id), texture);
    EXPECT_EQ(texture->get_reference_count(), 2u);

    texture_server.release_texture(texture);
    texture_server.release_texture(texture);
    EXPECT_EQ(texture->get_reference_count(), 0u);
    EXPECT_EQ(texture_server.get_typed_object(handle), texture);  // queued, still alive
    EXPECT_EQ(texture_server.find_texture(id), texture);

    EXPECT_EQ(texture_server.create_texture(id), texture);  // revived
    EXPECT_EQ(texture->get_reference_count(), 1u);
    EXPECT_FALSE(texture_server.destroy_queued_textures());
    EXPECT_EQ(texture_server.get_typed_object(handle), texture);

    texture_server.release_texture(texture);
    EXPECT_TRUE(texture_server.destroy_queued_textures());
    EXPECT_EQ(texture_server.get_typed_object(handle), nullptr);
    EXPECT_EQ(texture_server.find_texture(id), nullptr);
    EXPECT_EQ(texture_server.get_render_target_in_slot(4), nullptr);
}

TEST_F(TextureReferences, ASlotHeldByAQueuedTextureIsFreedAndOneHeldByALiveTextureIsFatal) {
    TextureObject* const first = texture_server.create_texture(make_small_target_id(4));
    const core::ObjectHandle first_handle = first->get_handle();
    texture_server.release_texture(first);
    TextureObject* const second = texture_server.create_texture(make_small_target_id(4, 0x14));
    EXPECT_EQ(texture_server.get_typed_object(first_handle), nullptr);
    EXPECT_EQ(texture_server.get_render_target_in_slot(4), second);

    const test::ChildResult result =
        test::run_in_child([] { texture_server.create_texture(make_small_target_id(4, 0x18)); });
    EXPECT_EQ(result.exit_code, ExitCode::crash);
    EXPECT_NE(result.standard_error.find(
                  "Texture slot 4 is used by live texture 0x00044814 while attempting to create 0x00044818"),
              std::string::npos)
        << result.standard_error;
}

TEST(TextureShadowmaps, TheCountFollowsTheSizeAndTheMapsAskedFor) {
    const struct {
        uint32_t wanted;
        uint32_t size;
        uint32_t count;
    } rows[] = {{4, 4096, 2}, {4, 2048, 5}, {0, 1024, 1}, {20, 4096, 6}, {5, 8192, 2}, {4, 512, 5}};
    for (const auto& row : rows) {
        EXPECT_EQ(compute_shadowmap_texture_count(row.wanted, row.size), row.count) << row.wanted << " " << row.size;
    }
    EXPECT_EQ(get_shadowmap_texture_id(0), 0x5C084u);
    EXPECT_EQ(get_shadowmap_texture_id(1), 0x6C084u);
}

class TextureServerWorld : public TextureWorld {
protected:
    static void climb_to_full_resolution(TextureObject* texture) {
        for (uint32_t step = 0; step < 4 && texture->get_upload_state() != State::full_resolution; ++step) {
            texture_server.start_streaming(texture);
            while (!texture_server.finish_streaming()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
        ASSERT_EQ(texture->get_upload_state(), State::full_resolution);
    }
};

TEST_F(TextureServerWorld, RegistrationMakesTheShadowmapTargetsOfTheChosenSize) {
    for (const auto& [largest, count] : {std::pair{4096u, 2u}, {2048u, 5u}}) {
        SCOPED_TRACE(largest);
        test::ScopedValue<uint32_t> size(opengl::maximal_shadowmap_size, largest);
        test::ScopedValue<int32_t> wanted(shadowmap_count, 4);
        ASSERT_TRUE(opengl::framebuffer_object_initialize());
        ASSERT_TRUE(opengl::choose_shadowmap_size());
        open_world({});
        EXPECT_EQ(texture_server.get_shadowmap_size(), largest);
        EXPECT_EQ(texture_server.get_shadowmap_texture_count(), count);
        for (uint32_t index = 0; index < count; ++index) {
            const TextureObject* const map = texture_server.get_render_target_in_slot(5 + index);
            ASSERT_NE(map, nullptr);
            EXPECT_EQ(map->get_id(), get_shadowmap_texture_id(index));
            EXPECT_EQ(map->get_width(), largest);
            EXPECT_EQ(map->get_upload_state(), State::complete);
        }
        EXPECT_EQ(texture_server.get_render_target_in_slot(5 + count), nullptr);
        texture_server.unregister_server();
        core::resource_server.unregister_server();
        opengl::framebuffer_object_shutdown();
    }
    test::ScopedValue<uint32_t> off(shadowmaps_enabled, 0);
    ASSERT_TRUE(opengl::framebuffer_object_initialize());
    ASSERT_TRUE(opengl::choose_shadowmap_size());
    open_world({});
    EXPECT_EQ(texture_server.get_shadowmap_texture_count(), 0u);
    EXPECT_EQ(texture_server.get_render_target_in_slot(5), nullptr);
}

TEST_F(TextureServerWorld, UnitsBindOnlyWhatChanged) {
    open_world({});
    TextureObject* const first = texture_server.create_texture(make_small_target_id(20));
    TextureObject* const second = texture_server.create_texture(make_small_target_id(21));
    TextureObject* const failed =
        texture_server.create_texture(make_render_target_id(22, power_of_two_size_kind, 15, 0x10));
    texture_server.initialize_pending_textures(false);
    ASSERT_EQ(failed->get_upload_state(), State::failed);
    auto bound_2d = [] {
        GLint name = 0;
        gl.glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
        return static_cast<uint32_t>(name);
    };

    test::GlCallRecorder recorder;
    texture_server.request_texture(0, first);
    texture_server.commit_texture_units(0, 3);
    EXPECT_EQ(recorder.calls(), std::vector<std::string>{"glBindTexture"});
    EXPECT_EQ(bound_2d(), first->get_upload_record().name);

    recorder.clear();
    texture_server.request_texture(0, first);
    texture_server.commit_texture_units(0, 3);
    EXPECT_TRUE(recorder.calls().empty());

    recorder.clear();
    texture_server.request_texture(0, first);
    texture_server.request_texture(3, second);
    texture_server.commit_texture_units(0, 3);
    EXPECT_EQ(recorder.calls(), (std::vector<std::string>{"glActiveTexture", "glBindTexture", "glActiveTexture"}));
    EXPECT_EQ(texture_server.get_bound_texture(3), second);
    EXPECT_EQ(texture_server.get_active_unit(), 0u);

    // A unit not requested again is emptied; a failed texture binds 0.
    recorder.clear();
    texture_server.request_texture(0, failed);
    texture_server.commit_texture_units(0, 3);
    EXPECT_EQ(recorder.count("glBindTexture"), 2u);
    EXPECT_EQ(texture_server.get_bound_texture(3), nullptr);
    EXPECT_EQ(bound_2d(), 0u);

    // An upload binds and unbinds on the active unit behind the cache; the
    // next request binds again instead of trusting what the cache had.
    texture_server.request_texture(0, first);
    texture_server.commit_texture_units(0, 0);
    texture_server.create_texture(make_small_target_id(23));
    texture_server.initialize_pending_textures(false);
    EXPECT_EQ(bound_2d(), 0u);
    texture_server.request_texture(0, first);
    texture_server.commit_texture_units(0, 0);
    EXPECT_EQ(bound_2d(), first->get_upload_record().name);
}

TEST_F(TextureServerWorld, DestroyedTexturesLeaveTheirGlTexturesInTheCacheUntilReloadOrMemoryNeedsThem) {
    const TextureFixture fixture = make_levels_fixture(0x20004000, 0);
    open_world({fixture});
    TextureObject* texture = texture_server.create_texture(fixture.id);
    texture_server.initialize_pending_textures(true);
    const uint32_t name = texture->get_upload_record().name;
    const uint64_t bytes = get_buffer_object_bytes();
    texture_server.release_texture(texture);
    test_support::call_texture_builtin(633);
    EXPECT_EQ(texture_server.get_cache().get_cached_count(), 1u);
    EXPECT_EQ(get_buffer_object_bytes(), bytes);

    texture = texture_server.create_texture(fixture.id);
    EXPECT_EQ(texture->get_upload_state(), State::complete);
    EXPECT_EQ(texture->get_upload_record().name, name);
    EXPECT_EQ(texture_server.get_cache().get_cached_count(), 0u);

    // Rendering command 6: every texture uploads anew, render targets at once.
    TextureObject* const target = texture_server.create_texture(make_small_target_id(30));
    texture_server.initialize_pending_textures(false);
    issue_rendering_command(reload_textures_command);
    EXPECT_EQ(texture->get_upload_state(), State::not_uploaded);
    EXPECT_EQ(target->get_upload_state(), State::complete);
    texture_server.initialize_pending_textures(true);
    EXPECT_EQ(texture->get_upload_state(), State::complete);

    texture_server.release_texture(texture);
    texture_server.destroy_queued_textures();
    EXPECT_TRUE(texture_server.release_cached_for_memory());
    EXPECT_EQ(texture_server.get_cache().get_cached_count(), 0u);
    EXPECT_EQ(get_buffer_object_bytes(), bytes - texture->estimate_texture_bytes(State::complete) +
                                             target->estimate_texture_bytes(State::complete));
}

TEST_F(TextureServerWorld, DowngradesTakeStaleLightmapsFirstThenNormalTextures) {
    const TextureFixture normal_fixture = make_levels_fixture(0x20005000, 2);
    const TextureFixture lightmap_fixture = make_levels_fixture(0x20005100, 1, true);
    open_world({normal_fixture, lightmap_fixture});
    TextureObject* const normal = texture_server.create_texture(normal_fixture.id);
    TextureObject* const lightmap = texture_server.create_texture(lightmap_fixture.id);
    texture_server.initialize_pending_textures(true);
    climb_to_full_resolution(normal);
    climb_to_full_resolution(lightmap);

    const uint32_t now = read_completed_counter();
    normal->set_last_used_frame(now);
    lightmap->set_last_used_frame(now - 40);  // stale for a lightmap, recent for others
    EXPECT_EQ(texture_server.choose_downgrade_victim(false), lightmap);
    EXPECT_TRUE(TextureServer::worth_downgrading(lightmap, normal));
    lightmap->set_last_used_frame(now);
    EXPECT_EQ(texture_server.choose_downgrade_victim(false), normal);
    EXPECT_TRUE(TextureServer::worth_downgrading(normal, lightmap));
    EXPECT_FALSE(TextureServer::worth_downgrading(normal, normal));

    texture_server.downgrade(normal);
    EXPECT_EQ(normal->get_upload_state(), State::resident_levels);
    EXPECT_EQ(texture_server.choose_downgrade_victim(false), nullptr);
    EXPECT_EQ(texture_server.choose_downgrade_victim(true), lightmap);
    // The lightmap class is offered for upgrades first.
    normal->set_last_used_frame(now);
    texture_server.downgrade(lightmap);
    EXPECT_EQ(texture_server.choose_upgrade_candidate(), lightmap);
}

TEST_F(TextureServerWorld, SavingAndLoadingKeepsIdsAgesAndCounts) {
    const TextureFixture first_fixture = make_levels_fixture(0x20006000, 0);
    const TextureFixture second_fixture = make_levels_fixture(0x20006100, 1);
    open_world({first_fixture, second_fixture});
    TextureObject* const first = texture_server.create_texture(first_fixture.id);
    texture_server.create_texture(first_fixture.id);
    TextureObject* const second = texture_server.create_texture(second_fixture.id);
    TextureObject* const target = texture_server.create_texture(make_small_target_id(40));
    TextureObject* const queued = texture_server.create_texture(make_small_target_id(41));
    for (uint32_t frame = 0; frame < 3; ++frame) {
        run_frame(second);
    }
    texture_server.release_texture(queued);
    second->set_last_used_frame(read_completed_counter() - 7);
    test_support::call_texture_builtin(635, {0});
    struct Saved {
        core::ObjectHandle handle;
        uint32_t id;
        uint32_t count;
        uint32_t age;
    };
    std::vector<Saved> saved;
    for (const TextureObject* texture : {first, second, target, queued}) {
        saved.push_back({texture->get_handle(), texture->get_id(), texture->get_reference_count(),
                         read_completed_counter() - texture->get_last_used_frame()});
    }
    {
        storage::MemorySaveStream stream;
        ASSERT_TRUE(stream.open(3));
        core::save_all_servers(stream);
        ASSERT_TRUE(stream.finish());
    }
    test_support::call_texture_builtin(635, {1});
    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(3));
    ASSERT_TRUE(core::load_all_servers(stream));
    EXPECT_FALSE(texture_server.is_streaming_enabled());
    for (const Saved& expected : saved) {
        SCOPED_TRACE(expected.id);
        TextureObject* const texture = texture_server.get_typed_object(expected.handle);
        ASSERT_NE(texture, nullptr);
        EXPECT_EQ(texture->get_id(), expected.id);
        EXPECT_EQ(texture->get_reference_count(), expected.count);
        EXPECT_EQ(read_completed_counter() - texture->get_last_used_frame(), expected.age);
        EXPECT_EQ(texture_server.find_texture(expected.id), texture);
    }
    // The loaded queue still holds the texture without references.
    EXPECT_TRUE(texture_server.destroy_queued_textures());
    EXPECT_EQ(texture_server.get_typed_object(saved[3].handle), nullptr);
    // Uploaded textures took their GL textures back from the cache.
    EXPECT_EQ(texture_server.get_typed_object(saved[1].handle)->get_upload_state(), State::resident_levels);
}

TEST_F(TextureServerWorld, BuiltinsSetTheOwnerAndMakeTexturesOfLoadedHeaders) {
    const TextureFixture first_fixture = make_levels_fixture(0x20007000, 0);
    const TextureFixture second_fixture = make_levels_fixture(0x20007100, 0);
    open_world({first_fixture, second_fixture});
    core::string_server.register_server();
    core::ServerObject* const owner = core::string_server.create_object_internal(0);
    EXPECT_EQ(test_support::call_texture_builtin(640), texture_server.get_video_memory_budget());
    EXPECT_EQ(test_support::call_texture_builtin(638, {owner->get_handle()}), 0u);
    EXPECT_EQ(test_support::call_texture_builtin(639), owner->get_handle());

    TextureObject* const first = texture_server.create_texture(first_fixture.id);
    EXPECT_EQ(first->get_reference_count(), 2u);
    EXPECT_EQ(first->get_owner(), owner);
    EXPECT_EQ(test_support::call_texture_builtin(638, {0}), owner->get_handle());

    test_support::call_texture_builtin(634, {owner->get_handle()});
    EXPECT_EQ(first->get_reference_count(), 3u);
    TextureObject* const second = texture_server.find_texture(second_fixture.id);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->get_reference_count(), 1u);
    EXPECT_EQ(second->get_owner(), owner);
    EXPECT_EQ(texture_server.get_texture_owner(), 0u);

    // The owner takes its textures with it.
    const core::ObjectHandle second_handle = second->get_handle();
    core::destroy_object(owner);
    EXPECT_EQ(texture_server.get_typed_object(second_handle), nullptr);
    core::string_server.unregister_server();
}

TEST_F(TextureServerWorld, DummyDrawsDrawEveryUploadedRenderTargetOnce) {
    open_world({});
    texture_server.create_texture(make_small_target_id(50));
    texture_server.create_texture(make_small_target_id(51));
    texture_server.initialize_pending_textures(false);
    {
        test::GlCallRecorder recorder;
        issue_rendering_command(render_frame_command);
        EXPECT_EQ(recorder.count("glBegin"), 0u);
    }
    test::ScopedValue<bool> dummy(opengl::compatibility_fix_dummy_draw_textures, true);
    test::GlCallRecorder recorder;
    issue_rendering_command(render_frame_command);
    EXPECT_EQ(recorder.count("glBegin"), 2u);
    EXPECT_EQ(texture_server.get_bound_texture(0), nullptr);
}

TEST_F(TextureServerWorld, FrameBufferCopiesAndClonesKeepTheirTexels) {
    const TextureFixture fixture = make_levels_fixture(0x20008000, 1);
    open_world({fixture});
    TextureObject* const target = texture_server.create_texture(make_small_target_id(60));
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    texture_server.initialize_pending_textures(true);
    gl.glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    target->copy_from_frame_buffer(0, 0, 64, 64);  // clipped to the 4 x 4 target
    gl.glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    gl.glClear(GL_COLOR_BUFFER_BIT);
    draw_texture(target, 0, 0, 4, 4);
    EXPECT_EQ(read_pixel(3, 3), (test_support::Pixel{255, 0, 255, 255}));

    // A clone is the resident levels in a GL texture of the caller's.
    const uint64_t bytes = get_buffer_object_bytes();
    GLuint clone = texture->clone();
    ASSERT_NE(clone, 0u);
    EXPECT_NE(clone, texture->get_upload_record().name);
    EXPECT_EQ(get_buffer_object_bytes(), bytes);
    gl.glBindTexture(GL_TEXTURE_2D, clone);
    GLint width = 0;
    gl.glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 8);  // the top streamed level is not resident
    gl.glBindTexture(GL_TEXTURE_2D, 0);
    gl.glDeleteTextures(1, &clone);
    EXPECT_EQ(target->clone(), 0u);
}

GLint units_reported = 0;
void get_integer_with_few_units(GLenum name, GLint* value) {
    *value = name == GL_MAX_TEXTURE_IMAGE_UNITS_ARB ? units_reported : 0;
}

TEST_F(TextureServerWorld, FewerThanSixteenUnitsEndTheProgram) {
    const test::ChildResult result = test::run_in_child([] {
        units_reported = 8;
        gl.glGetIntegerv = &get_integer_with_few_units;
        texture_server.register_server();
    });
    EXPECT_EQ(result.exit_code, ExitCode::graphics_below_minimum);
    EXPECT_NE(result.standard_error.find("The system claims to support only 8 texture units however 16 is required."),
              std::string::npos)
        << result.standard_error;
}

}  // namespace
}  // namespace zolt::renderer
