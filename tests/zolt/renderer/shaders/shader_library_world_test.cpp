// The library in a GL world: brought up by the texture server from its pack,
// checked against the machine, texture tags taking references through the
// texture server, the global slots, a saved and loaded world, and the
// builtins called as scripts call them.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "libs/opengl/opengl_config.h"
#include "shader_library_test_support.h"
#include "support/child_process.h"
#include "zolt/core/object_server/property.h"
#include "zolt/core/object_server/server_base.h"
#include "zolt/core/object_server/server_object.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_test_support.h"
#include "zolt/storage/load_stream_memory.h"
#include "zolt/storage/save_stream_memory.h"

namespace zolt::renderer::shader_library {
namespace {

using renderer::test_support::call_texture_builtin;
using renderer::test_support::TextureFixture;

constexpr uint32_t material_texture_id = 0x20007000;
// The sample library's library texture.
constexpr uint32_t library_texture_id = 0x20000010;

TextureFixture make_fixture(uint32_t id) {
    TextureFixture fixture;
    fixture.id = id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest, 0);
    fixture.width = fixture.height = 4;
    fixture.surfaces = renderer::test_support::make_surfaces(
        fixture.format, 4, 4, 1, [](uint32_t, uint32_t, uint32_t, uint32_t, uint8_t* e) { e[0] = e[3] = 255; });
    return fixture;
}

class HandleObject final : public core::ServerObject {
public:
    void initialize(uint32_t) override {}
    void finalize() override {}
    bool get_property(uint32_t id, core::Property& out) const override {
        const auto found = words_.find(id);
        if (found == words_.end()) {
            return false;
        }
        out.set_u32(id, found->second);
        return true;
    }
    std::map<uint32_t, uint32_t> words_;
};

class ShaderLibraryWorld : public renderer::test_support::TextureWorld {
protected:
    void open() { open_world({make_fixture(material_texture_id), make_fixture(library_texture_id)}); }
    void TearDown() override {
        TextureWorld::TearDown();
        get_library_state() = {};
    }
};

TEST_F(ShaderLibraryWorld, BringingTheGpuUpLoadsTheLibraryAndDetectsTheLimits) {
    get_library_state().global_condition_flags = 3;
    get_library_state().script_words[1] = 9;
    open();
    ASSERT_NE(get_loaded_library().data, nullptr);
    EXPECT_EQ(get_library_header().version, shader_library_version);
    const ShaderLimits& limits = get_shader_limits();
    EXPECT_TRUE(limits.glsl_usable);
    EXPECT_TRUE(limits.shadow_maps);
    EXPECT_GE(limits.limits[5], 16u);
    EXPECT_GE(limits.limits[12], 16u);
    EXPECT_GT(limits.limits[8], 0u);
    EXPECT_EQ(get_library_state().global_condition_flags, 3u);
    EXPECT_EQ(get_library_state().script_words[1], 0u);
    EXPECT_EQ(get_library_state().state_bytes[0], 1);
    EXPECT_TRUE(check_hardware_support());
    const core::ObjectHandle resource = get_library_state().resource;
    const auto* const object = static_cast<const core::ResourceObject*>(core::get_object(resource));
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(get_loaded_library().data, object->get_data());
    core::notify_all_resources_moved();
    EXPECT_EQ(get_loaded_library().data, object->get_data());
    EXPECT_EQ(get_library_state().resource, resource);

    texture_server.unregister_server();
    EXPECT_EQ(get_loaded_library().data, nullptr);
    EXPECT_EQ(core::get_object(resource), nullptr);
}

TEST_F(ShaderLibraryWorld, WithoutGlslAndArbProgramsStartUpEndsWithExitCode45) {
    // The packs are read here: the child has no IO thread.
    open_world({}, false);
    const test::ChildResult result = test::run_in_child([this] {
        opengl::compatibility_fix_disable_glsl_shaders = true;
        test::extension_flag(opengl::Extension::ARB_vertex_program) = false;
        test::extension_flag(opengl::Extension::ARB_fragment_program) = false;
        register_texture_server();
    });
    EXPECT_EQ(result.exit_code, ExitCode::graphics_below_minimum);
    EXPECT_NE(result.standard_error.find("Current hardware is not supported by shader library."), std::string::npos)
        << result.standard_error;
}

TEST_F(ShaderLibraryWorld, TextureTagsResolveToSlotsOrToNewReferences) {
    open();
    TextureObject* const material = texture_server.create_texture(material_texture_id);
    const uint32_t material_references = material->get_reference_count();
    HandleObject object;
    const uint32_t handle_property = core::make_property_id(core::property_type::object_link, 1);
    const uint32_t id_property = core::make_property_id(core::property_type::unsigned_integer, 2);
    const uint32_t other_handle_property = core::make_property_id(core::property_type::object_link, 3);
    object.words_ = {{handle_property, material->get_handle()},
                     {id_property, material_texture_id},
                     {other_handle_property, get_library_state().resource}};
    const uint32_t textures[] = {material_texture_id};
    const uint32_t words[] = {make_tag_word(4, 0),
                              make_tag_word(5, 0),
                              make_tag_word(6, handle_property),
                              make_tag_word(6, id_property),
                              make_tag_word(6, other_handle_property),
                              make_tag_word(1, 2),
                              make_tag_word(2, 3),
                              make_tag_word(3, 0),
                              0,
                              make_tag_word(4, 1)};
    ShaderLibraryContext context;
    context.source_object = &object;
    context.textures = {textures, 1};
    context.texture_tags = {words, 10};

    TextureObject* texture = nullptr;
    bool dynamic = true;
    for (const uint32_t tag : {0u, 2u, 3u}) {
        SCOPED_TRACE(tag);
        EXPECT_EQ(resolve_texture_tag(tag, context, &texture, &dynamic), &texture);
        EXPECT_EQ(texture, material);
        EXPECT_EQ(dynamic, tag != 0);
    }
    EXPECT_EQ(material->get_reference_count(), material_references + 3);
    EXPECT_EQ(resolve_texture_tag(1, context, &texture, &dynamic), &texture);
    EXPECT_EQ(texture->get_id(), library_texture_id);
    // A handle of another server's object names no texture.
    EXPECT_EQ(resolve_texture_tag(4, context, &texture, &dynamic), nullptr);

    TextureObject* const* const renderer_slot = resolve_texture_tag(5, context, &texture, &dynamic);
    ASSERT_EQ(renderer_slot, get_renderer_texture_slot(2));
    set_renderer_texture(2, material);
    EXPECT_EQ(*renderer_slot, material);
    EXPECT_EQ(resolve_texture_tag(6, context, &texture, &dynamic), get_committed_global_texture_slot(3));
    // No view, an unused tag, a material texture past the table, a tag past the table.
    for (const uint32_t tag : {7u, 8u, 9u, 10u}) {
        EXPECT_EQ(resolve_texture_tag(tag, context, &texture, &dynamic), nullptr) << tag;
    }
    const uint32_t bad[] = {make_tag_word(7, 0)};
    context.texture_tags = {bad, 1};
    const test::ChildResult result = test::run_in_child([&] { resolve_texture_tag(0, context, &texture, &dynamic); });
    EXPECT_NE(result.standard_error.find("Unsupported texture source type 7"), std::string::npos)
        << result.standard_error;
}

TEST_F(ShaderLibraryWorld, GlobalSlotsTakeTexturesFromScriptsAndCommitOncePerFrame) {
    open();
    TextureObject* const texture = texture_server.create_texture(material_texture_id);
    const uint32_t references = texture->get_reference_count();
    const core::ObjectHandle handle = texture->get_handle();
    // 617: slot on top, the texture below it.
    call_texture_builtin(617, {16, handle});
    call_texture_builtin(617, {4, get_library_state().resource});
    EXPECT_EQ(call_texture_builtin(616, {4}), 0u);
    call_texture_builtin(617, {4, handle});
    EXPECT_EQ(call_texture_builtin(616, {4}), handle);
    EXPECT_EQ(call_texture_builtin(616, {16}), 0u);
    EXPECT_EQ(get_committed_global_texture(4), nullptr);

    ASSERT_NE(rendering_command_hooks.begin_shader_library_frame, nullptr);
    rendering_command_hooks.begin_shader_library_frame();
    EXPECT_EQ(get_committed_global_texture(4), texture);
    EXPECT_EQ(texture->get_reference_count(), references + 1);
    commit_global_textures();
    EXPECT_EQ(texture->get_reference_count(), references + 1);

    call_texture_builtin(617, {4, 0});
    EXPECT_EQ(call_texture_builtin(616, {4}), 0u);
    commit_global_textures();
    EXPECT_EQ(get_committed_global_texture(4), nullptr);
    EXPECT_EQ(texture->get_reference_count(), references);

    // A texture destroyed before the commit leaves the slot empty.
    call_texture_builtin(617, {5, handle});
    for (uint32_t reference = 0; reference < references; ++reference) {
        texture_server.release_texture(texture);
    }
    texture_server.destroy_queued_textures();
    EXPECT_EQ(call_texture_builtin(616, {5}), 0u);
    commit_global_textures();
    EXPECT_EQ(get_committed_global_texture(5), nullptr);
}

TEST_F(ShaderLibraryWorld, ASavedWorldBringsBackTheGlobalTexturesWordsAndUserVectors) {
    open();
    TextureObject* const texture = texture_server.create_texture(material_texture_id);
    set_global_texture(2, texture->get_handle());
    commit_global_textures();
    const core::ObjectHandle handle = texture->get_handle();
    const uint32_t references = texture->get_reference_count();
    ConstantValue vector;
    vector.set_floats(1.0f, -2.0f, 3.5f, 4.0f);
    set_user_vector(5, vector);
    ShaderLibraryState& state = get_library_state();
    state.global_condition_flags = 0x30;
    state.shader_time = 123456;
    state.script_words[3] = 77;
    state.state_bytes[1] = 0;
    const ShaderLibraryState saved = state;
    {
        storage::MemorySaveStream stream;
        ASSERT_TRUE(stream.open(3));
        core::save_all_servers(stream);
        ASSERT_TRUE(stream.finish());
    }
    set_user_vector(5, {});
    state = {};
    storage::MemoryLoadStream stream;
    ASSERT_TRUE(stream.open(3));
    ASSERT_TRUE(core::load_all_servers(stream));

    TextureObject* const loaded = get_committed_global_texture(2);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_handle(), handle);
    EXPECT_EQ(loaded->get_reference_count(), references);
    EXPECT_EQ(get_global_texture(2), handle);
    commit_global_textures();
    EXPECT_EQ(loaded->get_reference_count(), references);
    EXPECT_EQ(std::memcmp(get_user_vector(5).words, vector.words, sizeof vector.words), 0);
    EXPECT_EQ(state.resource, saved.resource);
    EXPECT_EQ(state.global_condition_flags, 0x30u);
    EXPECT_EQ(state.shader_time, 123456u);
    EXPECT_EQ(state.script_words[3], 77u);
    EXPECT_EQ(state.state_bytes[0], 1);
    EXPECT_EQ(state.state_bytes[1], 0);
    ASSERT_NE(get_loaded_library().data, nullptr);
    EXPECT_EQ(get_library_header().version, shader_library_version);
}

TEST_F(ShaderLibraryWorld, BuiltinsSetTheWordsAndIssueTheirCommands) {
    open();
    call_texture_builtin(614, {60000123});
    EXPECT_EQ(call_texture_builtin(615), 60000123u);
    EXPECT_NEAR(get_shader_time_fraction(), 123.0f / 60000000.0f, 1e-9f);
    call_texture_builtin(621, {0xA5});
    EXPECT_EQ(call_texture_builtin(622), 0xA5u);
    for (uint32_t word = 0; word < script_word_count; ++word) {
        call_texture_builtin(627 + word, {10 + word});
        EXPECT_EQ(get_library_state().script_words[word], 10 + word);
    }
    static uint32_t resets = 0;
    resets = 0;
    rendering_command_hooks.reset_shader_programs = [] { ++resets; };
    call_texture_builtin(619);
    EXPECT_EQ(resets, 1u);
    static uint32_t reloads = 0;
    reloads = 0;
    rendering_command_hooks.reload_textures = [] { ++reloads; };
    call_texture_builtin(626);
    call_texture_builtin(632);
    EXPECT_EQ(reloads, 2u);
    EXPECT_EQ(call_texture_builtin(623), 1u);
    for (const uint32_t id : {624u, 625u}) {
        const test::ChildResult result = test::run_in_child([id] { call_texture_builtin(id, {1}); });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find("An unsupported debugging function was called from bytecode."),
                  std::string::npos)
            << result.standard_error;
    }
}

}  // namespace
}  // namespace zolt::renderer::shader_library
