// Display elements in a GL world: the sample library, textures and image
// atlases in a real pack, the elements driven through their properties, and
// the overlay drawn by the frame's rendering command with its pixels read
// back and compared with values computed here.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "support/child_process.h"
#include "support/world_round_trip.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/core/script_objects/dictionary_server.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/backend/rendering_command.h"
#include "zolt/renderer/display/display_server.h"
#include "zolt/renderer/display/image_atlas_format.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/materials/material_server.h"
#include "zolt/renderer/shaders/shader_library.h"
#include "zolt/renderer/shaders/shader_library_data.h"
#include "zolt/renderer/texture/texture_test_support.h"

namespace zolt::renderer {
namespace {

namespace p = display_property;
namespace library = shader_library;

constexpr uint32_t white_page_id = 0x20007100;
constexpr uint32_t split_page_id = 0x20007200;  // 8 x 4: left half red, right half blue
constexpr uint32_t odd_page_id = 0x20007300;    // 6 x 4: one texel column in each of three colours twice
constexpr uint32_t white_atlas = 1;
constexpr uint32_t split_atlas = 2;
constexpr uint32_t odd_atlas = 3;
constexpr uint32_t broken_atlas = 4;

test_support::TextureFixture make_page(uint32_t id, uint32_t width, uint32_t height,
                                       std::function<void(uint32_t x, uint8_t* texel)> fill) {
    test_support::TextureFixture fixture;
    fixture.id = id;
    fixture.format = make_texture_format(TexelFormat::rgba8, TextureTarget::texture_2d, 1, TextureFilter::nearest, 0);
    fixture.width = width;
    fixture.height = height;
    fixture.surfaces =
        test_support::make_surfaces(fixture.format, width, height, 1,
                                    [&](uint32_t, uint32_t, uint32_t x, uint32_t, uint8_t* texel) { fill(x, texel); });
    return fixture;
}

test_support::Bytes make_atlas(uint32_t texture_id, const std::vector<ImageAtlasEntry>& entries) {
    test_support::Bytes bytes(image_atlas_header_size + entries.size() * sizeof(ImageAtlasEntry));
    const ImageAtlasHeader header{texture_id, static_cast<uint32_t>(entries.size())};
    std::memcpy(bytes.data(), &header, sizeof header);
    std::memcpy(bytes.data() + sizeof header, entries.data(), entries.size() * sizeof(ImageAtlasEntry));
    return bytes;
}

// The page's texel bytes lie blue, green, red, alpha.
void put_texel(uint8_t* texel, uint8_t r, uint8_t g, uint8_t b) {
    texel[0] = b;
    texel[1] = g;
    texel[2] = r;
    texel[3] = 255;
}

core::Property vector2(uint32_t id, float x, float y) {
    core::Property value;
    const float values[2] = {x, y};
    value.set_floats(id, values, 2);
    return value;
}

core::Property word(uint32_t id, uint32_t value) {
    core::Property property;
    property.set_u32(id, value);
    return property;
}

core::Property number(uint32_t id, float value) {
    core::Property property;
    property.set_float(id, value);
    return property;
}

class DisplayWorld : public test_support::TextureWorld {
protected:
    void SetUp() override {
        TextureWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        reset_display_modes();
        ASSERT_TRUE(add_display_mode({width, height, 0}));
        ASSERT_TRUE(set_display_mode(1, true));
        extra_resources_ = {
            test::make_resource(get_image_atlas_id(white_atlas),
                                make_atlas(white_page_id, {{{0, 0}, {1, 1}, {16, 8}, {8, 4}}})),
            test::make_resource(get_image_atlas_id(split_atlas),
                                make_atlas(split_page_id, {{{0, 0}, {0.5f, 1}, {8, 8}, {0, 0}},
                                                           {{0.5f, 0}, {0.5f, 1}, {8, 8}, {0, 0}}})),
            // Stored in texels: the page is not a power of two wide.
            test::make_resource(get_image_atlas_id(odd_atlas),
                                make_atlas(odd_page_id, {{{3, 0}, {3, 4}, {12, 8}, {0, 0}}})),
            test::make_resource(get_image_atlas_id(broken_atlas),
                                make_atlas(white_page_id, {{{0.5f, 0}, {0.75f, 1}, {4, 4}, {0, 0}}})),
        };
        open_world({make_page(white_page_id, 4, 4, [](uint32_t, uint8_t* t) { t[0] = t[1] = t[2] = t[3] = 255; }),
                    make_page(split_page_id, 8, 4,
                              [](uint32_t x, uint8_t* t) { put_texel(t, x < 4 ? 255 : 0, 0, x < 4 ? 0 : 255); }),
                    make_page(odd_page_id, 6, 4, [](uint32_t x, uint8_t* t) {
                        put_texel(t, x % 3 == 0 ? 255 : 0, x % 3 == 1 ? 255 : 0, x % 3 == 2 ? 255 : 0);
                    })});
        core::alias_server.register_server();
        core::dictionary_server.register_server();
        material_server.register_server();
        display_server.register_server();
        rendering_command_hooks.read_event_flags = [] { return output_flag_displays; };
    }
    void TearDown() override {
        rendering_command_hooks.read_event_flags = nullptr;
        if (display_server.is_registered()) {
            display_server.unregister_server();
        }
        if (material_server.is_registered()) {
            material_server.unregister_server();
        }
        if (core::dictionary_server.is_registered()) {
            core::dictionary_server.unregister_server();
        }
        if (core::alias_server.is_registered()) {
            core::alias_server.unregister_server();
        }
        core::alias_server.clear_alias(default_material_alias);
        TextureWorld::TearDown();
        library::get_library_state() = {};
        reset_display_modes();
    }

    Display* create(uint32_t image = 0) { return static_cast<Display*>(display_server.create_object_internal(image)); }
    void destroy(Display* display) { display_server.destroy_object_internal(display); }
    void render() { issue_rendering_command(render_frame_command); }
    test_support::Pixel pixel(int32_t x, int32_t y) const { return read_pixel(x, y); }

    // The layer list's slots, lowest layer first.
    std::vector<uint32_t> layer_order() {
        std::vector<uint32_t> order;
        for (uint16_t slot = display_server.get_layer_head(); slot != no_display_record;
             slot = display_server.get_record(slot).next) {
            order.push_back(slot);
        }
        return order;
    }
};

constexpr test_support::Pixel black{0, 0, 0, 255};
constexpr test_support::Pixel white{255, 255, 255, 255};
constexpr test_support::Pixel red{255, 0, 0, 255};
constexpr test_support::Pixel blue{0, 0, 255, 255};

TEST_F(DisplayWorld, ANewElementIsInvisibleWhiteAndThirtyTwoSquare) {
    Display* const display = create();
    core::Property out;
    ASSERT_TRUE(display->get_property(p::size, out));
    EXPECT_EQ(out.get_float(0), 32.0f);
    EXPECT_EQ(out.get_float(1), 32.0f);
    ASSERT_TRUE(display->get_property(90, out));
    EXPECT_EQ(out.get_u32(), 0xFFFFFFFFu);
    ASSERT_TRUE(display->get_property(91, out));
    EXPECT_EQ(out.id, 0x04000000u);
    EXPECT_EQ(out.get_u32(), 0u);
    render();
    EXPECT_EQ(pixel(5, 5), black);
}

TEST_F(DisplayWorld, PropertiesTakeTypedIdsAndRefuseOutOfRangeValues) {
    Display* const display = create();
    core::Property out;
    const struct {
        const char* name;
        core::Property given;
        bool accepted;
        uint32_t read_id;
        uint32_t expected_word;
    } cases[] = {
        {"layer", word(p::layer, static_cast<uint32_t>(-7)), true, 31, static_cast<uint32_t>(-7)},
        {"layer past 16 bits is refused", word(p::layer, 40000), false, 31, static_cast<uint32_t>(-7)},
        {"alpha above one", number(p::alpha, 1.5f), true, 90, 0xFFFFFFFFu},
        {"alpha below zero", number(p::alpha, -0.2f), true, 90, 0x00FFFFFFu},
        {"alpha not a number is refused", number(p::alpha, std::numeric_limits<float>::quiet_NaN()), false, 90,
         0x00FFFFFFu},
        {"colour", word(p::color, 0x80102030u), true, 90, 0x80102030u},
        {"material number", word(p::material_number, 13), true, 412, 13},
    };
    for (const auto& row : cases) {
        EXPECT_EQ(display->set_property(row.given.id, row.given), row.accepted) << row.name;
        ASSERT_TRUE(display->get_property(row.read_id, out)) << row.name;
        EXPECT_EQ(out.get_u32(), row.expected_word) << row.name;
    }
    // A negative or non-finite size changes nothing.
    EXPECT_TRUE(display->set_property(p::size, vector2(p::size, 10, 20)));
    EXPECT_FALSE(display->set_property(p::size, vector2(p::size, -1, 20)));
    EXPECT_FALSE(display->set_property(p::size_x, number(p::size_x, std::numeric_limits<float>::infinity())));
    EXPECT_FALSE(display->set_property(p::position, vector2(p::position, std::numeric_limits<float>::quiet_NaN(), 0)));
    ASSERT_TRUE(display->get_property(p::size_other, out));
    EXPECT_EQ(out.get_float(0), 10.0f);
    EXPECT_EQ(out.get_float(1), 20.0f);
    ASSERT_TRUE(display->get_property(0xfd, out));
    EXPECT_EQ(out.get_float(), 20.0f);
    // Bare keys only read; an unknown typed id goes to the dictionary.
    EXPECT_FALSE(display->set_property(31, word(31, 3)));
    EXPECT_TRUE(display->set_property(0x03000777, word(0x03000777, 42)));
    ASSERT_TRUE(display->get_property(0x03000777, out));
    EXPECT_EQ(out.get_u32(), 42u);
    EXPECT_TRUE(display->remove_property(0x03000777));
}

TEST_F(DisplayWorld, TexturePropertyRefusesOtherSharedObjectsAndBalancesReferences) {
    Display* const display = create();
    TextureObject* const page = texture_server.create_texture(white_page_id);
    const uint32_t references = page->get_reference_count();
    // A shared object that is not a texture: the default material.
    core::ServerObject* const material = material_server.get_default_material();
    core::ServerObject::make_self_owned(material);
    EXPECT_FALSE(display->set_property(p::texture, word(p::texture, material->get_handle())));
    EXPECT_TRUE(display->set_property(p::texture, word(p::texture, page->get_handle())));
    EXPECT_EQ(page->get_reference_count(), references + 1);
    // Naming it again keeps one reference, not two.
    EXPECT_TRUE(display->set_property(p::texture_other, word(p::texture_other, page->get_handle())));
    EXPECT_EQ(page->get_reference_count(), references + 1);
    render();
    EXPECT_EQ(page->get_reference_count(), references + 2) << "the render record holds one";
    destroy(display);
    render();
    EXPECT_EQ(page->get_reference_count(), references);
    texture_server.release_texture(page);
}

TEST_F(DisplayWorld, ImagesComeFromTheAtlasInTexels) {
    Display* const pot = create(split_atlas << 16 | 1);
    core::Property out;
    ASSERT_TRUE(pot->get_property(91, out));
    EXPECT_EQ(out.get_u32(), 1u);
    ASSERT_TRUE(pot->get_property(p::texture_origin, out));
    EXPECT_EQ(out.get_float(0), 4.0f);
    ASSERT_TRUE(pot->get_property(p::texture_extent, out));
    EXPECT_EQ(out.get_float(0), 4.0f);
    EXPECT_EQ(out.get_float(1), 4.0f);
    EXPECT_EQ(display_server.get_cached_atlas_id(), get_image_atlas_id(split_atlas));

    Display* const odd = create(odd_atlas << 16);
    ASSERT_TRUE(odd->get_property(p::texture_origin, out));
    EXPECT_EQ(out.get_float(0), 3.0f);
    ASSERT_TRUE(odd->get_property(p::size, out));
    EXPECT_EQ(out.get_float(0), 12.0f);
    // Its right half (texel columns 3 to 5: red, green, blue) is drawn.
    odd->set_property(p::position, vector2(p::position, 30, 30));
    render();
    EXPECT_EQ(pixel(31, 33), red);
    EXPECT_EQ(pixel(40, 33), blue);
}

TEST_F(DisplayWorld, AMissingImageDrawsNothingAndIsReportedOnce) {
    Display* const first = create(split_atlas << 16 | 9);
    Display* const second = create(split_atlas << 16 | 9);
    core::Property out;
    ASSERT_TRUE(second->get_property(p::texture, out));
    EXPECT_EQ(out.get_u32(), 0u);
    EXPECT_TRUE(display_server.note_missing_image(split_atlas << 16 | 9)) << "already reported";
    render();
    EXPECT_EQ(pixel(4, 4), black);
    destroy(first);
    destroy(second);
}

TEST_F(DisplayWorld, ABrokenAtlasIsRefusedWithItsId) {
    const test::ChildResult result = test::run_in_child([this] { create(broken_atlas << 16); });
    EXPECT_FALSE(result.exited && result.exit_code == 0);
    EXPECT_NE(result.standard_error.find("image atlas 0x3f040000 is broken: a rectangle lies outside its page"),
              std::string::npos)
        << result.standard_error;
}

TEST_F(DisplayWorld, EqualLayersKeepTheOrderTheyEnteredIn) {
    Display* const a = create(white_atlas << 16);
    Display* const b = create(white_atlas << 16);
    Display* const c = create(white_atlas << 16);
    c->set_property(p::layer, word(p::layer, static_cast<uint32_t>(-1)));
    render();
    EXPECT_EQ(layer_order(), (std::vector<uint32_t>{c->get_slot(), a->get_slot(), b->get_slot()}));
    a->set_property(p::layer, word(p::layer, 0));
    render();
    EXPECT_EQ(layer_order(), (std::vector<uint32_t>{c->get_slot(), a->get_slot(), b->get_slot()}))
        << "the same layer again changes nothing";
    a->set_property(p::layer, word(p::layer, 5));
    render();
    a->set_property(p::layer, word(p::layer, 0));
    render();
    EXPECT_EQ(layer_order(), (std::vector<uint32_t>{c->get_slot(), b->get_slot(), a->get_slot()}));
    destroy(b);
    EXPECT_NE(display_server.get_dead_list().get_head(), nullptr) << "waits for the rendering side";
    render();
    EXPECT_EQ(layer_order(), (std::vector<uint32_t>{c->get_slot(), a->get_slot()}));
    EXPECT_EQ(display_server.get_dead_list().get_head(), nullptr);
}

TEST_F(DisplayWorld, HigherLayersDrawOverLowerOnesInTheirColours) {
    Display* const under = create(white_atlas << 16);
    Display* const over = create(white_atlas << 16);
    // Pivot (8, 4) of a 16 x 8 image: centred on its position.
    under->set_property(p::position, vector2(p::position, 20, 20));
    under->set_property(p::color, word(p::color, 0xFF00FF00u));
    under->set_property(p::layer, word(p::layer, 2));
    over->set_property(p::position, vector2(p::position, 28, 20));
    over->set_property(p::color, word(p::color, 0xFFFF0000u));
    over->set_property(p::layer, word(p::layer, 1));
    render();
    EXPECT_EQ(pixel(14, 20), (test_support::Pixel{0, 255, 0, 255}));
    EXPECT_EQ(pixel(25, 20), (test_support::Pixel{0, 255, 0, 255})) << "layer 2 lies over layer 1";
    EXPECT_EQ(pixel(33, 20), red);
    EXPECT_EQ(pixel(11, 20), black);
    EXPECT_EQ(pixel(20, 25), black);
    // Half alpha blends over black.
    over->set_property(p::alpha, number(p::alpha, 0.5f));
    render();
    EXPECT_NEAR(pixel(33, 20)[0], 127, 1);
}

TEST_F(DisplayWorld, RotationTurnsClockwiseAndClippingCutsToTheScreen) {
    Display* const bar = create(split_atlas << 16);
    bar->set_property(p::size, vector2(p::size, 20, 4));
    bar->set_property(p::position, vector2(p::position, 30, 40));
    bar->set_property(p::angle, number(p::angle, 1.25f));
    render();
    // A quarter turn clockwise: the 20-wide bar runs down from (30, 40).
    EXPECT_EQ(pixel(32, 30), red);
    EXPECT_EQ(pixel(32, 45), black);
    EXPECT_EQ(pixel(40, 38), black);

    bar->set_property(p::angle, number(p::angle, 0));
    bar->set_property(p::clip_origin, vector2(p::clip_origin, 35, 0));
    bar->set_property(p::clip_size, vector2(p::clip_size, 100, 100));
    render();
    EXPECT_EQ(pixel(33, 41), black);
    EXPECT_EQ(pixel(37, 41), red);
    // Half a pixel high means no clipping at all.
    bar->set_property(p::clip_size, vector2(p::clip_size, 100, 0.5f));
    render();
    EXPECT_EQ(pixel(33, 41), red);
    // Wholly left of the screen: nothing is drawn.
    bar->set_property(p::clip_origin, vector2(p::clip_origin, -300, 0));
    bar->set_property(p::clip_size, vector2(p::clip_size, 100, 100));
    render();
    EXPECT_EQ(pixel(33, 41), black);
}

TEST_F(DisplayWorld, QuadsShareADrawUntilTheTextureChangesOrFiveHundredAreQueued) {
    TextureObject* const white_page = texture_server.create_texture(white_page_id);
    TextureObject* const split_page = texture_server.create_texture(split_page_id);
    material_server.process_pending();
    OverlayQuad quad;
    quad.size = {1, 1};
    {
        test::GlCallRecorder recorder;
        for (int index = 0; index < 501; ++index) {
            display_server.queue_quad(quad, white_page, nullptr);
        }
        display_server.flush_quads();
        EXPECT_EQ(recorder.count("glDrawArrays"), 2u);
    }
    {
        test::GlCallRecorder recorder;
        for (int index = 0; index < 6; ++index) {
            display_server.queue_quad(quad, index % 2 == 0 ? white_page : split_page, nullptr);
        }
        display_server.flush_quads();
        EXPECT_EQ(recorder.count("glDrawArrays"), 6u);
    }
    display_server.end_2d();
    texture_server.release_texture(white_page);
    texture_server.release_texture(split_page);
}

TEST_F(DisplayWorld, ASavedWorldBringsElementsTheirRecordsAndReferencesBack) {
    Display* const display = create(white_atlas << 16);
    display->set_property(p::layer, word(p::layer, 3));
    display->set_property(p::color, word(p::color, 0xFF0000FFu));
    display->set_property(p::position, vector2(p::position, 20, 20));
    render();
    TextureObject* const page = find_texture_object(display->texture);
    ASSERT_NE(page, nullptr);
    const uint32_t references = page->get_reference_count();
    const core::ObjectHandle handle = display->get_handle();
    ASSERT_TRUE(test::save_and_load_world(3));
    Display* const loaded = display_server.get_typed_object(handle);
    ASSERT_NE(loaded, nullptr);
    core::Property out;
    ASSERT_TRUE(loaded->get_property(31, out));
    EXPECT_EQ(out.get_s32(), 3);
    TextureObject* const loaded_page = find_texture_object(loaded->texture);
    ASSERT_NE(loaded_page, nullptr);
    EXPECT_EQ(loaded_page->get_reference_count(), references);
    render();
    EXPECT_EQ(pixel(20, 20), blue);
    EXPECT_EQ(loaded_page->get_reference_count(), references);
}

}  // namespace
}  // namespace zolt::renderer
