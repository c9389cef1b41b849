// The render layers in a GL world: which layers take a request, the depth
// layer's three heaps, the view's pass sequence with its frame-buffer
// copies, the screen-copy layer, the occlusion-proxy rule and the scissor of
// a clip rectangle, checked on the pixels drawn.
#include <gtest/gtest.h>

#include "libs/opengl/occlusion_query.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/batcher/render_layer.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/materials/material_server.h"

namespace zolt::renderer {
namespace {

using test_support::Colour;
using test_support::Pixel;

constexpr Colour red{1, 0, 0};
constexpr Colour blue{0, 0, 1};
constexpr Colour green{0, 1, 0};
constexpr uint32_t packed_black = 0xFF000000;
constexpr uint32_t packed_green = 0xFF00FF00;
constexpr uint32_t packed_magenta = 0xFFFF00FF;
constexpr Pixel red_pixel{255, 0, 0, 255};
constexpr Pixel blue_pixel{0, 0, 255, 255};
constexpr Pixel green_pixel{0, 255, 0, 255};
constexpr Pixel white_pixel{255, 255, 255, 255};
constexpr Pixel magenta_pixel{255, 0, 255, 255};

class RenderLayers : public test_support::BatcherWorld {};

TEST_F(RenderLayers, OnlyPresentActiveLayersWithTheMaterialsSlotsTakeRequests) {
    set_active_render_layers(0xFFFFFFFF);
    EXPECT_EQ(get_layer_activity().active_layers, 0x4001F3FFu);
    EXPECT_EQ(get_layer_activity().active_slots, 0x7FFEu);
    set_active_render_layers(default_viewport_layer_mask);
    EXPECT_EQ(get_layer_activity().active_slots, 0x7FF6u);

    Material* const material = make_material(test_support::layered_entry, red, blue);
    const uint32_t free_before = get_free_render_request_count();
    RenderInfo skipping;
    skipping.skipped_layers = 1u << nmap_layer;
    offer_quad(skipping, material, -1, -1, 1, 1, 0);
    // Depth, depth only, mask and screen copy; the skipped lighting layer and
    // the lighting layer of geometry in front take nothing.
    EXPECT_EQ(get_layer_activity().accepted_layers, 1u << 0 | 1u << 1 | 1u << 5 | 1u << 15);

    RenderInfo in_front;
    in_front.kind = render_info_kind_in_front;
    offer_quad(in_front, material, -1, -1, 1, 1, 0);
    EXPECT_EQ(get_layer_activity().accepted_layers, 1u << 0 | 1u << 1 | 1u << 5 | 1u << 12 | 1u << 15);
    EXPECT_EQ(get_free_render_request_count(), free_before - 9);

    render_layers(packed_black);
    EXPECT_EQ(get_free_render_request_count(), free_before);
    EXPECT_EQ(get_layer_activity().accepted_layers, 0u);
}

TEST_F(RenderLayers, TheDepthLayerDrawsGeometryInFrontFirstThenTheMainHeapThenBackToFront) {
    Material* const layered = make_material(test_support::layered_entry, red, blue);
    Material* const late = make_material(test_support::back_to_front_entry, green, green);
    set_active_render_layers(1u << depth_layer);
    clear_to(packed_black);

    // Far away, but squeezed to the nearest depth: the main heap's nearer
    // quad stays behind it. Its own setup draws it in the second colour.
    RenderInfo in_front;
    in_front.kind = render_info_kind_in_front;
    offer_quad(in_front, layered, -1, -1, 0, 1, 0.5f);
    offer_quad(RenderInfo{}, layered, -1, -1, 1, 1, -0.5f);
    // Drawn last, without a depth test, over the top quarter.
    offer_quad(RenderInfo{}, late, -1, 0.5f, 1, 1, 0);

    RenderLayer* const depth = get_render_layer(depth_layer);
    depth->begin_frame(depth_layer);
    depth->render_request_pass(depth_layer, true);
    EXPECT_EQ(read_pixel(16, 16), blue_pixel);
    EXPECT_EQ(read_pixel(48, 16), red_pixel);
    EXPECT_EQ(read_pixel(16, 60), green_pixel);
    EXPECT_EQ(read_pixel(48, 60), green_pixel);
    EXPECT_FALSE(get_frame_buffer_state().depth_range_collapsed);
    EXPECT_EQ(get_free_render_request_count(), render_request_capacity);
}

TEST_F(RenderLayers, TheViewShowsLaterLayersOverTheClearColourAndKeepsEachCopy) {
    Material* const layered = make_material(test_support::layered_entry, red, blue);
    offer_quad(RenderInfo{}, layered, 0, -1, 1, 1, 0);
    render_layers(packed_green);

    // Layer 15 draws the quad in the second colour over the clear colour;
    // both of the quad's triangles are there.
    EXPECT_EQ(read_pixel(16, 32), green_pixel);
    EXPECT_EQ(read_pixel(36, 60), blue_pixel);
    EXPECT_EQ(read_pixel(60, 4), blue_pixel);
    // The depth layer's colour, over opaque white, went into the first copy;
    // the finished frame into the second.
    EXPECT_EQ(read_texel(get_screen_copy(ScreenCopy::depth_layer_colour), 16, 32), white_pixel);
    EXPECT_EQ(read_texel(get_screen_copy(ScreenCopy::depth_layer_colour), 48, 32), red_pixel);
    EXPECT_EQ(read_texel(get_screen_copy(ScreenCopy::finished_frame), 16, 32), green_pixel);
    EXPECT_EQ(read_texel(get_screen_copy(ScreenCopy::finished_frame), 48, 32), blue_pixel);
}

TEST_F(RenderLayers, TheScreenCopyLayerCopiesOnlyForItsOwnRequestsAndInactiveLayersDrawNothing) {
    TextureObject* const scene = get_screen_copy(ScreenCopy::scene_so_far);
    ASSERT_NE(scene, nullptr);
    clear_to(packed_magenta);
    scene->copy_from_frame_buffer(0, 0, width, height);
    render_layers(packed_black);
    EXPECT_EQ(read_texel(scene, 8, 8), magenta_pixel);

    // The lighting layer would draw the entry's slot-4 pass: left out.
    const uint32_t unlit_layers = default_viewport_layer_mask & ~(1u << nmap_layer);
    Material* const layered = make_material(test_support::layered_entry, red, blue);
    set_active_render_layers(unlit_layers & ~(1u << screen_copy_layer));
    offer_quad(RenderInfo{}, layered, -1, -1, 1, 1, 0);
    render_layers(packed_green);
    EXPECT_EQ(read_pixel(32, 32), green_pixel);
    EXPECT_EQ(get_free_render_request_count(), render_request_capacity);

    set_active_render_layers(unlit_layers);
    offer_quad(RenderInfo{}, layered, -1, -1, 1, 1, 0);
    render_layers(packed_black);
    EXPECT_EQ(read_pixel(32, 32), blue_pixel);
    // The scene as layer 15 found it: the clear colour.
    EXPECT_EQ(read_texel(scene, 8, 8), (Pixel{0, 0, 0, 255}));
}

TEST_F(RenderLayers, AClipRectangleScissorsTheDrawAndAnEmptyOneDrawsNothing) {
    Material* const layered = make_material(test_support::layered_entry, red, blue);
    const ScissorRectangle empty{20, 20, 10, 10};
    const ScissorRectangle corner{0, 0, 16, 16};
    RenderInfo clipped;
    clipped.clip_rectangle = &empty;
    offer_quad(clipped, layered, -1, -1, 1, 1, 0);
    render_layers(packed_green);
    EXPECT_EQ(read_pixel(10, 10), green_pixel);

    clipped.clip_rectangle = &corner;
    offer_quad(clipped, layered, -1, -1, 1, 1, 0);
    render_layers(packed_green);
    EXPECT_EQ(read_pixel(8, 8), blue_pixel);
    EXPECT_EQ(read_pixel(40, 40), green_pixel);
}

TEST_F(RenderLayers, AnObjectIsDrawnOnlyWhenItsProxySawSamplesInTheSameFrame) {
    if (!opengl::occlusion_queries_usable()) {
        GTEST_SKIP() << "no occlusion queries";
    }
    Material* const layered = make_material(test_support::layered_entry, red, blue);
    Material* const proxy = material_server.get_default_material();
    ASSERT_NE(proxy, nullptr);
    material_server.process_pending();
    ASSERT_TRUE(proxy->has_pass(1));
    opengl::OcclusionQuery* const query = opengl::allocate_occlusion_query();
    ASSERT_NE(query, nullptr);
    RenderInfo with_query;
    with_query.occlusion_query = query;

    for (const bool hidden : {true, false}) {
        if (hidden) {
            // Nearest depth everywhere before the proxy is drawn.
            RenderInfo in_front;
            in_front.kind = render_info_kind_in_front;
            in_front.skipped_layers = ~(1u << depth_layer);
            offer_quad(in_front, layered, -1, -1, 1, 1, 0);
        }
        offer_quad(with_query, proxy, -1, -1, 1, 1, 0.5f);
        RenderInfo object_info = with_query;
        object_info.skipped_layers = 1u << depth_layer;
        offer_quad(object_info, layered, -1, -1, 1, 1, 0);
        render_layers(packed_green);
        EXPECT_EQ(read_pixel(32, 32), hidden ? green_pixel : blue_pixel) << (hidden ? "hidden" : "seen");
    }
    opengl::free_occlusion_query(query);
}

TEST_F(RenderLayers, ALayersMaterialIsTheOneBehindItsAliasOrAnewOneWithItsShader) {
    Material* const made = get_layer_material(glow_material_alias, test_support::layered_entry);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->description.shader_index, test_support::layered_entry);
    EXPECT_TRUE(made->is_modifiable());
    EXPECT_EQ(get_layer_material(glow_material_alias, 2), made);

    Material* const chosen = make_material(test_support::quad_entry, red, red);
    core::alias_server.clear_alias(glow_material_alias);
    ASSERT_TRUE(core::alias_server.set_alias(glow_material_alias, chosen->get_handle()));
    EXPECT_EQ(get_layer_material(glow_material_alias, 2), chosen);
    core::alias_server.clear_alias(glow_material_alias);
}

}  // namespace
}  // namespace zolt::renderer
