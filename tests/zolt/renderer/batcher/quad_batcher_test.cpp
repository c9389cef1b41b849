// The quad batcher: vertices as the staging area holds them, requests on
// ranges of the buffer they were queued in, four buffers a frame, and the
// stream pool's deferred release.
#include <gtest/gtest.h>

#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/batcher_test_support.h"
#include "zolt/renderer/batcher/quad_batcher.h"
#include "zolt/renderer/batcher/render_layer_table.h"
#include "zolt/renderer/batcher/stream_pool.h"

namespace zolt::renderer {
namespace {

using geometry::Vector3;
using test_support::Colour;
using test_support::Pixel;

constexpr uint32_t quads_per_buffer = quad_batch_vertex_capacity / 4;

void queue_offscreen_quads(Material* material, uint32_t count) {
    const Vector3 corners[4] = {{5, 5, 0}, {6, 5, 0}, {6, 6, 0}, {5, 6, 0}};
    for (uint32_t quad = 0; quad < count; ++quad) {
        queue_quad(RenderInfo{}, material, corners, 0xFF000000);
    }
}

class QuadBatcher : public test_support::BatcherWorld {
protected:
    void SetUp() override {
        BatcherWorld::SetUp();
        if (IsSkipped() || HasFatalFailure()) {
            return;
        }
        set_active_render_layers(1u << screen_copy_layer);
        material_ = make_material(test_support::quad_entry, Colour{1, 0, 0}, Colour{1, 0, 0});
    }

    Material* material_ = nullptr;
};

TEST_F(QuadBatcher, VerticesCarryTheirCornersWAndColourBytes) {
    const Vector3 corners[4] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    RenderInfo info;
    begin_quad_batch(info, material_);
    append_quad(corners, 0.25f, 0x80102030);
    const QuadVertex& last = get_quad_staging_vertices()[3];
    EXPECT_EQ(last.x, 10.0f);
    EXPECT_EQ(last.z, 12.0f);
    EXPECT_EQ(last.w, 0.25f);
    EXPECT_EQ(last.color[0], 0x10);
    EXPECT_EQ(last.color[1], 0x20);
    EXPECT_EQ(last.color[2], 0x30);
    EXPECT_EQ(last.color[3], 0x80);
    // A batch is queued as one request when it is closed.
    const uint32_t free_before = get_free_render_request_count();
    append_quad(corners, 0.25f, 0);
    flush_quad_batch();
    EXPECT_EQ(get_free_render_request_count(), free_before - 1);
    // The next batch starts on a quad boundary of its own.
    begin_quad_batch(info, material_);
    EXPECT_EQ(get_quad_batcher_state().batch_start, 8u);
    render_layers(0xFF000000);
}

TEST_F(QuadBatcher, FourBuffersAFrameAreQueuedAndFurtherQuadsWaitForTheNextFrame) {
    const uint32_t free_before = get_free_render_request_count();
    queue_offscreen_quads(material_, 4 * quads_per_buffer + 1);
    EXPECT_EQ(get_free_render_request_count(), free_before - 4 * quads_per_buffer);
    EXPECT_EQ(get_quad_batcher_state().buffers_filled, 4u);
    EXPECT_EQ(get_quad_batcher_state().current_buffer, 0u);

    render_layers(0xFF000000);
    EXPECT_EQ(get_free_render_request_count(), free_before);
    EXPECT_EQ(get_quad_batcher_state().buffers_filled, 0u);
    queue_offscreen_quads(material_, 1);
    EXPECT_EQ(get_free_render_request_count(), free_before - 1);
    render_layers(0xFF000000);
}

TEST_F(QuadBatcher, AQuadPastAFullBufferIsDrawnFromTheNextBuffer) {
    queue_offscreen_quads(material_, quads_per_buffer);
    const Vector3 left_half[4] = {{-1, -1, 0}, {0, -1, 0}, {0, 1, 0}, {-1, 1, 0}};
    queue_quad(RenderInfo{}, material_, left_half, 0xFFFFFFFF);
    EXPECT_EQ(get_quad_batcher_state().current_buffer, 1u);
    EXPECT_EQ(get_quad_batcher_state().vertex_count, 4u);

    render_layers(0xFF0000FF);
    EXPECT_EQ(read_pixel(16, 32), (Pixel{255, 0, 0, 255}));
    EXPECT_EQ(read_pixel(48, 32), (Pixel{0, 0, 255, 255}));
    EXPECT_EQ(get_quad_batcher_state().buffers_filled, 0u);
}

TEST_F(QuadBatcher, ReleasedStreamsAreFreedAtTheNextStreamCreation) {
    const uint32_t free_before = get_free_stream_count();
    StreamDescription description;
    description.format = 12;
    description.data_size = 48;
    Stream* const first = create_stream(description, nullptr);
    EXPECT_EQ(get_free_stream_count(), free_before - 1);
    queue_stream_release(first);
    EXPECT_EQ(get_retired_stream_count(), 1u);
    EXPECT_EQ(get_free_stream_count(), free_before - 1);

    Stream* const second = create_stream(description, nullptr);
    EXPECT_EQ(get_retired_stream_count(), 0u);
    EXPECT_EQ(get_free_stream_count(), free_before - 1);
    queue_stream_release(second);
    release_all_streams();
    EXPECT_EQ(get_free_stream_count(), free_before);
}

}  // namespace
}  // namespace zolt::renderer
