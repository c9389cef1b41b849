#include <memory>

#include "libs/utility/fatal_error.h"
#include "zolt/renderer/batcher/render_request.h"
#include "zolt/renderer/materials/material.h"

namespace zolt::renderer {

namespace {

constexpr uint32_t no_free_request = 0xFFFFFFFF;

struct RequestPool {
    std::unique_ptr<RenderRequest[]> requests{new RenderRequest[render_request_capacity]};
    uint32_t free_head = 0;
    uint32_t free_count = render_request_capacity;

    RequestPool() {
        for (uint32_t index = 0; index < render_request_capacity; ++index) {
            requests[index].next_free = index + 1 < render_request_capacity ? index + 1 : no_free_request;
        }
    }
};

RequestPool& get_pool() {
    static RequestPool pool;
    return pool;
}

}  // namespace

RenderRequest* const detail::render_requests = get_pool().requests.get();

RenderRequest* allocate_render_request() {
    RequestPool& pool = get_pool();
    if (pool.free_head == no_free_request) {
        ZOLT_PANIC("out of memory");
    }
    const uint32_t index = pool.free_head;
    RenderRequest& request = pool.requests[index];
    pool.free_head = request.next_free;
    --pool.free_count;
    request = RenderRequest{};
    request.heap_node.value = index;
    return &request;
}

void free_render_request(RenderRequest* request) {
    RequestPool& pool = get_pool();
    const auto index = static_cast<uint32_t>(request - pool.requests.get());
    if (index >= render_request_capacity || request->heap_node.value != index) {
        ZOLT_PANIC("render request 0x%p is not from the pool", static_cast<const void*>(request));
    }
    request->next_free = pool.free_head;
    pool.free_head = index;
    ++pool.free_count;
}

uint32_t get_free_render_request_count() {
    return get_pool().free_count;
}

RenderRequest* make_render_request(const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                                   Material* material, uint16_t first_index, uint16_t index_count) {
    RenderRequest* const request = allocate_render_request();
    request->shader_index = static_cast<uint16_t>(material->description.shader_index);
    request->object_id = info.object_id;
    request->clip_rectangle = info.clip_rectangle;
    request->view_depth = info.view_depth;
    request->eye_distance = info.eye_distance;
    request->mesh = info.mesh;
    request->part_index = info.part_index;
    request->material = material;
    request->streams = streams;
    request->stream_word = stream_word;
    request->scale_value = info.scale.x;
    request->occlusion_query = info.occlusion_query;
    request->position = info.position;
    request->rotation = info.rotation;
    request->value_provider = info.value_provider;
    request->first_index = first_index;
    request->index_count = index_count;
    request->light_list = info.light_list;
    return request;
}

}  // namespace zolt::renderer
