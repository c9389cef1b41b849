// The texture server's arithmetic: budget, render-target ids, memory
// estimates, upload states; and textures whose resources do not describe
// them, refused before anything reads their bytes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/child_process.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer {
namespace {

using test_support::Bytes;
using test_support::TextureFixture;

TEST(TextureBudget, DetectedMemoryGivesTheBudget) {
    const struct {
        uint32_t megabytes;
        uint32_t budget;
    } rows[] = {{0, 220}, {128, 220}, {250, 220}, {512, 482}, {730, 700}, {1024, 700}, {24103, 700}};
    for (const auto& row : rows) {
        EXPECT_EQ(compute_video_memory_budget(row.megabytes), row.budget) << row.megabytes;
    }
}

TEST(TextureBudget, LimitsOf4096MegabytesAndMoreCountAsTheyAre) {
    test::ScopedValue<int32_t> limit(video_memory_limit, -5000);
    const uint64_t used = get_buffer_object_bytes();
    EXPECT_EQ(texture_server.get_free_video_memory(), 5000ull * 1024 * 1024 - used);
    video_memory_limit = 4096;
    EXPECT_EQ(texture_server.get_free_video_memory(), 4096ull * 1024 * 1024 - used);
    add_buffer_object_bytes(5000ull * 1024 * 1024);
    EXPECT_EQ(texture_server.get_free_video_memory(), 0u);
    subtract_buffer_object_bytes(5000ull * 1024 * 1024);
}

TEST(RenderTargetIds, IdsDecodeIntoSlotFormatAndSize) {
    const struct {
        uint32_t id;
        RenderTargetSize size;
        uint32_t slot;
    } rows[] = {
        {0x40010, {1024, 768}, 4},  // the display mode
        {0x40410, {512, 384}, 4},   // shifted once
        {make_render_target_id(9, power_of_two_size_kind, 8, 0x10), {256, 256}, 9},
        {make_render_target_id(1, fixed_size_kind, 0, 0x10), {640, 400}, 1},
        {make_render_target_id(1, fixed_size_kind, 4, 0x10), {1024, 768}, 1},
        {make_render_target_id(1, fixed_size_kind, 5, 0x10), {1280, 720}, 1},
        {make_render_target_id(1, fixed_size_kind, 9, 0x10), {1280, 720}, 1},  // past the table: its last row
        {make_render_target_id(127, shadowmap_size_kind, 0, 0x84), {2048, 2048}, 127},
        {make_render_target_id(2, display_size_kind, 15, 0x10), {1, 1}, 2},  // never below one texel
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        const RenderTargetSize size = get_render_target_size(row.id, 1024, 768, 2048);
        EXPECT_EQ(size.width, row.size.width);
        EXPECT_EQ(size.height, row.size.height);
        EXPECT_EQ(get_render_target_slot(row.id), row.slot);
    }
    EXPECT_EQ(get_render_target_format(0x40010), 0x10010u);
    EXPECT_EQ(get_texel_format_bits(get_render_target_format(0x40010)), static_cast<uint32_t>(TexelFormat::rgba8));
}

TEST(TextureUploadStates, SkippedLevelsAndTheNextState) {
    using State = TextureUploadState;
    const struct {
        State state;
        uint32_t segments;
        uint32_t skipped;
        State next;
    } rows[] = {
        {State::complete, 0, 0, State::complete},
        {State::resident_levels, 1, 1, State::full_resolution},
        {State::resident_levels, 2, 2, State::one_segment},
        {State::one_segment, 2, 1, State::full_resolution},
        {State::full_resolution, 2, 0, State::full_resolution},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(get_skipped_level_count(row.state, row.segments), row.skipped);
        EXPECT_EQ(get_next_upload_state(row.state, row.segments), row.next);
    }
    const test::ChildResult failed = test::run_in_child([] { get_next_upload_state(State::failed, 0); });
    EXPECT_NE(failed.standard_error.find("Invalid upload state 1"), std::string::npos) << failed.standard_error;
}

uint32_t format_of(TexelFormat texel, TextureTarget target, uint32_t levels) {
    return make_texture_format(texel, target, levels, TextureFilter::nearest);
}

TextureFixture make_fixture(uint32_t id, uint32_t format, uint32_t width, uint32_t height, uint32_t depth,
                            uint32_t segments) {
    TextureFixture fixture{id, format, width, height, depth, segments, {}, false};
    fixture.surfaces = test_support::make_surfaces(format, width, height, depth,
                                                   [](uint32_t, uint32_t, uint32_t, uint32_t, uint8_t*) {});
    return fixture;
}

// The resource server over one pack, with the texture server not
// registered: textures are set up without GL.
class TextureResourceWorld : public ::testing::Test {
protected:
    void open(const tools::PackDescription& pack) {
        packs_.add_pack("textures.pack", pack);
        packs_.write_pack_list();
        core::resource_server.register_server();
    }
    void TearDown() override {
        texture_server.destroy_all_objects();
        if (core::resource_server.is_registered()) {
            core::resource_server.unregister_server();
        }
    }
    test::PackFolder packs_;
};

TEST_F(TextureResourceWorld, EstimatesCountWholePagesPerLevelAndFace) {
    using State = TextureUploadState;
    const struct {
        TextureFixture fixture;
        State state;
        uint64_t pages;
    } rows[] = {
        // 256 x 256 x 4 bits / 32768: 8 pages.
        {make_fixture(0x20000100, format_of(TexelFormat::dxt1, TextureTarget::texture_2d, 1), 256, 256, 1, 0),
         State::complete, 8},
        // 64 x 64 in 7 levels, 2 streamed: levels 2 to 6 take one page each;
        // state 4 adds level 1 (one page), state 5 level 0 (4 pages), both
        // beside the copy of state 3.
        {make_fixture(0x20000200, format_of(TexelFormat::rgba8, TextureTarget::texture_2d, 7), 64, 64, 1, 2),
         State::resident_levels, 5},
        {make_fixture(0x20000200, format_of(TexelFormat::rgba8, TextureTarget::texture_2d, 7), 64, 64, 1, 2),
         State::one_segment, 6 + 5},
        {make_fixture(0x20000200, format_of(TexelFormat::rgba8, TextureTarget::texture_2d, 7), 64, 64, 1, 2),
         State::full_resolution, 10 + 5},
        {make_fixture(0x20000300, format_of(TexelFormat::rgba8, TextureTarget::cube_map, 1), 16, 16, 1, 0),
         State::complete, 6},
        // The depth counts for 3D textures: 32 x 32 x 32 x 8 bits.
        {make_fixture(0x20000400, format_of(TexelFormat::luminance8, TextureTarget::texture_3d, 1), 32, 32, 32, 0),
         State::complete, 8},
        {make_fixture(0x20000500, format_of(TexelFormat::dxt5, TextureTarget::texture_2d, 3), 4, 4, 1, 0),
         State::complete, 3},
    };
    tools::PackDescription pack;
    uint32_t last_id = 0;
    for (const auto& row : rows) {
        if (row.fixture.id != last_id) {
            test_support::add_texture(pack, row.fixture);
            last_id = row.fixture.id;
        }
    }
    open(pack);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.fixture.id);
        TextureObject* const texture = texture_server.create_texture(row.fixture.id);
        EXPECT_EQ(texture->estimate_texture_bytes(row.state), row.pages * 4096);
    }
    // Render targets are one level: a 640 x 480 RGBA8 target is 300 pages.
    TextureObject* const target = texture_server.create_texture(make_render_target_id(3, fixed_size_kind, 1, 0x10));
    EXPECT_EQ(target->estimate_texture_bytes(State::complete), 300u * 4096);
}

TEST_F(TextureResourceWorld, SmallestCompressedLevelsStillTakeOneBlock) {
    const TextureFixture fixture =
        make_fixture(0x20000600, format_of(TexelFormat::dxt5, TextureTarget::texture_2d, 3), 4, 4, 1, 0);
    EXPECT_EQ(test_support::lay_out(fixture).resident.size(), 3u * 16);
    tools::PackDescription pack;
    test_support::add_texture(pack, fixture);
    open(pack);
    TextureObject* const texture = texture_server.create_texture(fixture.id);
    EXPECT_EQ(texture->get_level_count(), 3u);
    EXPECT_EQ(texture->get_compression_block_dimension(), 4u);
    EXPECT_EQ(texture->get_in_resource_surface_element_size(), 16u);
    EXPECT_EQ(texture->get_upload_state(), TextureUploadState::not_uploaded);
}

// A texture whose resources do not describe it is a fatal error naming it,
// before any of its bytes are read.
TEST_F(TextureResourceWorld, TexturesThatDoNotMatchTheirDataAreRefusedByName) {
    auto header_of = [](uint32_t format, uint16_t width, uint16_t height, uint16_t depth, uint32_t first,
                        uint32_t second) {
        TextureHeader header{format, width, height, depth, 0, first, second};
        Bytes bytes(sizeof header);
        std::memcpy(bytes.data(), &header, sizeof header);
        return bytes;
    };
    const uint32_t rgba8 = format_of(TexelFormat::rgba8, TextureTarget::texture_2d, 1);
    const uint32_t rgba8_levels = format_of(TexelFormat::rgba8, TextureTarget::texture_2d, 3);
    const struct {
        uint32_t id;
        Bytes header;
        uint32_t resident_size;
        int32_t streamed_size;  // -1: none
        const char* message;
    } rows[] = {
        {0x20000010, header_of(rgba8, 4, 4, 1, 0, 0), 60, -1,
         "Malformed texture 0x20000010: the resident levels' size differs from what the header describes"},
        {0x20000020, header_of(0xA0, 4, 4, 1, 0, 0), 64, -1,
         "Malformed texture with unrecognized texel format 0xa0\ntexture 0x20000020"},
        {0x20000030, header_of(rgba8 | 0x3000, 4, 4, 1, 0, 0), 64, -1,
         "Malformed texture, with unrecognizable format 0x13010\ntexture 0x20000030"},
        {0x20000040, header_of(format_of(TexelFormat::dxt1, TextureTarget::texture_3d, 1), 4, 4, 4, 0, 0), 8, -1,
         "Unsupported combination of texture format and compression flags.\ntexture 0x20000040"},
        {0x20000050, header_of(rgba8_levels, 4, 4, 1, 60, 0), 20, 64,
         "Malformed texture 0x20000050: a streamed segment's size differs from its level's"},
        {0x20000060, header_of(rgba8_levels, 4, 4, 1, 64, 16), 4, 60,
         "Malformed texture 0x20000060: its streamed levels (resource 0x20000062) are not the size"},
        {0x20000070, header_of(rgba8_levels, 4, 4, 1, 64, 0), 20, -1,
         "Malformed texture 0x20000070: its streamed levels (resource 0x20000072) are missing"},
        {0x20000080, Bytes(12), 4, -1, "Malformed texture 0x20000080: the header resource is shorter than 20 bytes"},
    };
    tools::PackDescription pack;
    for (const auto& row : rows) {
        pack.resources.push_back(test::make_resource(row.id, row.header));
        pack.resources.push_back(test::make_resource(row.id | 1, Bytes(row.resident_size, 0x55)));
        if (row.streamed_size >= 0) {
            pack.resources.push_back(test::make_resource(row.id | 2, Bytes(row.streamed_size, 0x66), 0,
                                                         io::pool_type_deferred, false, false));
        }
    }
    open(pack);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        const test::ChildResult result = test::run_in_child([&row] { texture_server.create_texture(row.id); });
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(row.message), std::string::npos) << result.standard_error;
    }
}

TEST(TextureIds, IdsOfNeitherKindAndUnknownResourcesAreFatal) {
    const test::ChildResult neither = test::run_in_child([] { texture_server.create_texture(0x10000000); });
    EXPECT_NE(neither.standard_error.find("texture id 0x10000000 names neither a resource texture nor a render target"),
              std::string::npos)
        << neither.standard_error;
    const test::ChildResult unknown = test::run_in_child([] {
        test::PackFolder packs;
        packs.add_pack("empty.pack", tools::PackDescription{});
        packs.write_pack_list();
        core::resource_server.register_server();
        texture_server.find_texture(0x20000400);
    });
    EXPECT_NE(unknown.standard_error.find("resource 0x20000400 not found"), std::string::npos)
        << unknown.standard_error;
}

}  // namespace
}  // namespace zolt::renderer
