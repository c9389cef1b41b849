#include "zolt/renderer/batcher/quad_batcher.h"

#include <cstring>
#include <memory>

#include "zolt/renderer/batcher/batcher.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/batcher/stream_pool.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t quad_buffer_format =
    quad_vertex_size | stream_format_two_copies | stream_format_dynamic;  // 0x300020
constexpr uint32_t quad_index_format = 2 | stream_format_index;           // 0x10002
constexpr uint32_t quad_corner_format = 4;
constexpr uint32_t quad_corner_size = 4;

struct QuadBatcher {
    Stream* buffers[quad_buffer_count] = {};
    Stream* index_stream = nullptr;
    Stream* corner_stream = nullptr;
    std::unique_ptr<QuadVertex[]> staging{new QuadVertex[quad_batch_vertex_capacity]()};
    uint32_t current_buffer = 0;
    uint32_t buffers_filled = 0;
    bool batch_open = false;
    uint32_t batch_start = 0;
    uint32_t vertex_count = 0;
    RenderInfo info;
    Material* material = nullptr;
};

QuadBatcher batcher;

bool can_fill_buffers() {
    return batcher.buffers_filled < quad_buffer_count;
}

void queue_range(uint32_t first, uint32_t count) {
    queue_render_request(batcher.info, nullptr, static_cast<uint16_t>(batcher.current_buffer), batcher.material,
                         static_cast<uint16_t>(first), static_cast<uint16_t>(count));
}

void upload() {
    if (batcher.vertex_count != 0 && can_fill_buffers()) {
        Stream* const buffer = batcher.buffers[batcher.current_buffer];
        if (buffer != nullptr) {
            // The other copy: the GPU may still read the one drawn last frame.
            if (buffer->has_two_copies()) {
                buffer->current_copy ^= 1;
            }
            buffer->write(batcher.staging.get(), batcher.vertex_count * quad_vertex_size, 0);
        }
        ++batcher.buffers_filled;
        batcher.current_buffer = (batcher.current_buffer + 1) % quad_buffer_count;
    }
    batcher.batch_open = false;
}

void flush_full_batch() {
    if (can_fill_buffers() && batcher.batch_start < quad_batch_vertex_capacity) {
        queue_range(batcher.batch_start, quad_batch_vertex_capacity - batcher.batch_start);
    }
    upload();
    batcher.vertex_count = 0;
    batcher.batch_start = 0;
    batcher.batch_open = true;
}

Stream* create_static_stream(uint32_t format, const void* data, uint32_t size) {
    StreamDescription description;
    description.format = format;
    description.data_size = size;
    return create_stream(description, data);
}

}  // namespace

void initialize_batcher_pools() {
    uint16_t indices[quad_batch_vertex_capacity];
    for (uint32_t index = 0; index < quad_batch_vertex_capacity; ++index) {
        indices[index] = static_cast<uint16_t>(index);
    }
    batcher.index_stream = create_static_stream(quad_index_format, indices, sizeof indices);

    static constexpr uint8_t quad_corners[4][quad_corner_size] = {
        {0, 0, 0, 0}, {255, 0, 0, 0}, {255, 255, 0, 0}, {0, 255, 0, 0}};
    auto corners = std::make_unique<uint8_t[]>(quad_batch_vertex_capacity * quad_corner_size);
    for (uint32_t vertex = 0; vertex < quad_batch_vertex_capacity; ++vertex) {
        std::memcpy(&corners[vertex * quad_corner_size], quad_corners[vertex % 4], quad_corner_size);
    }
    batcher.corner_stream =
        create_static_stream(quad_corner_format, corners.get(), quad_batch_vertex_capacity * quad_corner_size);

    for (Stream*& buffer : batcher.buffers) {
        buffer = create_static_stream(quad_buffer_format, nullptr, quad_batch_vertex_capacity * quad_vertex_size);
    }
    batcher.current_buffer = 0;
    batcher.buffers_filled = 0;
    batcher.batch_open = false;
    batcher.batch_start = batcher.vertex_count = 0;
}

void release_batcher_pools() {
    if (batcher.batch_open) {
        upload();
    }
    queue_stream_release(batcher.index_stream);
    queue_stream_release(batcher.corner_stream);
    batcher.index_stream = batcher.corner_stream = nullptr;
    for (Stream*& buffer : batcher.buffers) {
        queue_stream_release(buffer);
        buffer = nullptr;
    }
    batcher.batch_open = false;
    batcher.batch_start = batcher.vertex_count = 0;
}

void begin_quad_batch(const RenderInfo& info, Material* material) {
    batcher.info = info;
    batcher.material = material;
    if (!batcher.batch_open) {
        batcher.batch_open = true;
        batcher.vertex_count = 0;
    }
    batcher.vertex_count = (batcher.vertex_count + 3) & ~3u;
    batcher.batch_start = batcher.vertex_count;
}

void append_quad(const geometry::Vector3 (&corners)[4], float w, uint32_t packed_color) {
    if (batcher.vertex_count >= quad_batch_vertex_capacity) {
        flush_full_batch();
    }
    const uint8_t color[4] = {static_cast<uint8_t>(packed_color >> 16), static_cast<uint8_t>(packed_color >> 8),
                              static_cast<uint8_t>(packed_color), static_cast<uint8_t>(packed_color >> 24)};
    // Only the position, w and colour: the rest is never read.
    QuadVertex* vertex = &batcher.staging[batcher.vertex_count];
    for (const geometry::Vector3& corner : corners) {
        vertex->x = corner.x;
        vertex->y = corner.y;
        vertex->z = corner.z;
        vertex->w = w;
        std::memcpy(vertex->color, color, sizeof color);
        ++vertex;
    }
    batcher.vertex_count += 4;
}

void flush_quad_batch() {
    if (can_fill_buffers() && batcher.vertex_count > batcher.batch_start) {
        queue_range(batcher.batch_start, batcher.vertex_count - batcher.batch_start);
    }
}

void queue_quad(const RenderInfo& info, Material* material, const geometry::Vector3 (&corners)[4],
                uint32_t packed_color) {
    begin_quad_batch(info, material);
    append_quad(corners, 1.0f, packed_color);
    flush_quad_batch();
}

void upload_open_quad_batch() {
    if (batcher.batch_open) {
        upload();
    }
}

void begin_quad_frame() {
    batcher.buffers_filled = 0;
}

void get_quad_streams(uint32_t buffer, const Stream* (&streams)[quad_stream_count]) {
    streams[0] = batcher.buffers[buffer % quad_buffer_count];
    streams[1] = batcher.index_stream;
    streams[2] = batcher.corner_stream;
}

QuadBatcherState get_quad_batcher_state() {
    return {batcher.current_buffer, batcher.buffers_filled, batcher.batch_open, batcher.batch_start,
            batcher.vertex_count};
}

const QuadVertex* get_quad_staging_vertices() {
    return batcher.staging.get();
}

}  // namespace zolt::renderer
