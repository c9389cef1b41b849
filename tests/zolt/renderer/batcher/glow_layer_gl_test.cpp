// The glow layer on llvmpipe with the sample shader library: with nothing
// to glow (the default parameters, or the blur on with a zero scale) the
// frame comes back unchanged; a bright spot spreads as far as the blur's
// taps reach at the reduced size, and no farther.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "zolt/renderer/backend/frame_buffer.h"
#include "zolt/renderer/batcher/render_layer_glow.h"
#include "zolt/renderer/batcher/render_view_hooks.h"
#include "zolt/renderer/batcher/sample_library_world.h"
#include "zolt/renderer/batcher/screen_copies.h"
#include "zolt/renderer/shaders/shader_gl_state.h"
#include "zolt/renderer/shaders/shader_tags.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zolt/renderer/viewport/viewport.h"

namespace zolt::renderer {
namespace {

namespace library = shader_library;
using opengl::gl;
using test_support::Pixel;

constexpr uint32_t glow_layer_index = 16;
// The white spot: 2 by 2 pixels with its lower left corner here.
constexpr int32_t spot = 32;

ViewportRender glow_view;

class GlowLayer : public test_support::SampleLibraryWorld {
protected:
    void SetUp() override {
        SampleLibraryWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        saved_hooks_ = render_view_hooks;
        render_view_hooks.get_current_view = [] { return static_cast<const ViewportRender*>(&glow_view); };
        glow_view = ViewportRender{};
        layer_.initialize(glow_layer_index);
        texture_server.initialize_pending_textures(false);
        layer_.update(glow_layer_index);
    }
    void TearDown() override {
        render_view_hooks = saved_hooks_;
        SampleLibraryWorld::TearDown();
    }

    // Black with the white spot, kept as the finished frame the way the
    // layers keep it before the glow.
    std::vector<Pixel> draw_frame() {
        library::reset_state();
        set_viewport(0, 0, width, height);
        clear_frame_buffer(0xFF000000u);
        gl.glEnable(GL_SCISSOR_TEST);
        gl.glScissor(spot, spot, 2, 2);
        gl.glClearColor(1, 1, 1, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        gl.glDisable(GL_SCISSOR_TEST);
        TextureObject* const finished = get_screen_copy(ScreenCopy::finished_frame);
        EXPECT_NE(finished, nullptr);
        finished->copy_from_frame_buffer(0, 0, width, height);
        library::set_renderer_texture(0, finished);
        return read_frame();
    }

    std::vector<Pixel> read_frame() const {
        std::vector<Pixel> pixels;
        for (int32_t y = 0; y < static_cast<int32_t>(height); ++y) {
            for (int32_t x = 0; x < static_cast<int32_t>(width); ++x) {
                pixels.push_back(read_pixel(x, y));
            }
        }
        return pixels;
    }

    std::vector<Pixel> run_glow() {
        layer_.render_request_pass(glow_layer_index, true);
        library::reset_state();
        return read_frame();
    }

    RenderLayerGlow layer_;
    RenderViewHooks saved_hooks_;
};

TEST_F(GlowLayer, WithNothingToGlowTheFrameComesBackUnchanged) {
    ASSERT_NE(layer_.get_layer_material_in_use(), nullptr) << "the sample's glow material";
    struct Row {
        const char* what;
        geometry::Vector4 blur;
        geometry::Vector4 scale;
    };
    const Row rows[] = {
        {"the viewport's defaults: the blur off", {1, 1, 1, 0}, {0, 0, 0, 0}},
        {"the blur on, nothing scaled in", {0, 1, 0, 0}, {0, 0, 0, 0}},
        {"the blur off, whatever the scale", {1, 1, 1, 0}, {1, 1, 1, 1}},
    };
    for (const Row& row : rows) {
        glow_view.parameters.glow_262 = row.blur;
        glow_view.parameters.glow_257 = row.scale;
        const std::vector<Pixel> before = draw_frame();
        EXPECT_EQ(run_glow(), before) << row.what;
    }
}

TEST_F(GlowLayer, ABrightSpotSpreadsAsFarAsTheBlurReaches) {
    glow_view.parameters.glow_262 = {0, 1, 0, 0};
    glow_view.parameters.glow_257 = {1, 1, 1, 1};
    glow_view.parameters.glow_blur_iterations = 1;
    const std::vector<Pixel> before = draw_frame();
    const std::vector<Pixel> after = run_glow();
    // At half size the spot is one texel; the taps at +-2.5 texels reach 3
    // texels each way, and magnifying back blends one texel more: at most
    // (3 + 1) x 2 pixels from the spot's centre, and surely within 3 x 2 - 2.
    const float centre = spot + 1.0f;
    const float reach = (3 + 1) * 2.0f;
    const float sure = 3 * 2.0f - 2;
    uint32_t brightened = 0, candidates = 0;
    for (int32_t y = 0; y < static_cast<int32_t>(height); ++y) {
        for (int32_t x = 0; x < static_cast<int32_t>(width); ++x) {
            const float dx = std::abs(x + 0.5f - centre), dy = std::abs(y + 0.5f - centre);
            const Pixel& pixel = after[static_cast<size_t>(y) * width + x];
            const Pixel& was = before[static_cast<size_t>(y) * width + x];
            if (dx > reach || dy > reach) {
                EXPECT_EQ(pixel, was) << x << ", " << y;
            } else if (dx <= sure && dy <= sure && was[0] == 0) {
                EXPECT_GT(pixel[0], 0) << x << ", " << y;
                EXPECT_EQ(pixel[0], pixel[1]) << x << ", " << y;
                brightened += pixel[0] > 0 ? 1 : 0;
                ++candidates;
            }
        }
    }
    EXPECT_EQ(brightened, candidates);
    // The 8 by 8 pixels around the spot, less the spot.
    EXPECT_EQ(candidates, 60u);
    // The spot itself stays white.
    EXPECT_EQ(after[static_cast<size_t>(spot) * width + spot][0], 255);
}

}  // namespace
}  // namespace zolt::renderer
