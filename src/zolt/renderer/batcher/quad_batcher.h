#pragma once
// Screen-facing quads of particles and sprites, collected in a staging area
// and uploaded into one of four shared dynamic vertex buffers; each buffer
// is uploaded once a frame, with one static index stream and one static
// corner stream for all of them. A batch's quads are queued as requests on
// ranges of the current buffer. Once four buffers were filled in a frame,
// its further quads are not drawn. Rendering thread only.
#include <cstdint>

#include "libs/geometry/vector.h"

namespace zolt::renderer {

class Material;
struct RenderInfo;
struct Stream;

constexpr uint32_t quad_buffer_count = 4;
constexpr uint32_t quad_batch_vertex_capacity = 6000;
constexpr uint32_t quad_vertex_size = 32;
// The vertex buffer, the index stream and the corner stream.
constexpr uint32_t quad_stream_count = 3;

struct QuadVertex {
    float x, y, z, w;
    // From a PackedColor: red, green, blue, alpha.
    uint8_t color[4];
    uint8_t not_written[12];
};
static_assert(sizeof(QuadVertex) == quad_vertex_size);

// Rendering command 3.
void initialize_batcher_pools();
// Rendering command 5: a pending batch uploaded, every stream of the quad
// batcher queued for release.
void release_batcher_pools();

void begin_quad_batch(const RenderInfo& info, Material* material);
// w is the w of every corner.
void append_quad(const geometry::Vector3 (&corners)[4], float w, uint32_t packed_color);
// The open batch's quads queued; the next batch starts a new buffer.
void flush_quad_batch();
// One quad as its own request.
void queue_quad(const RenderInfo& info, Material* material, const geometry::Vector3 (&corners)[4],
                uint32_t packed_color);

// begin_render_layers: an open batch uploaded, the frame's buffer count
// back to 0.
void upload_open_quad_batch();
void begin_quad_frame();

// The streams a quad-batch request of that buffer draws with.
void get_quad_streams(uint32_t buffer, const Stream* (&streams)[quad_stream_count]);

struct QuadBatcherState {
    uint32_t current_buffer;
    uint32_t buffers_filled;
    bool batch_open;
    uint32_t batch_start;
    uint32_t vertex_count;
};
QuadBatcherState get_quad_batcher_state();
const QuadVertex* get_quad_staging_vertices();

}  // namespace zolt::renderer
