#pragma once
// What a drawable offers the batcher for one view (RenderInfo) and the draw
// the batcher queues in each render layer that takes it (RenderRequest).
// Requests come from a fixed pool of 20000 and live only between a view's
// queuing and its layer pass; the heap nodes carry pool indices. The
// pointers in both records name frame-local things (the view's context,
// rectangles, the mesh being drawn) and never outlive the view. Main
// (rendering) thread only.
#include <cstdint>

#include "libs/geometry/fibonacci_heap.h"
#include "libs/geometry/quaternion.h"
#include "libs/geometry/vector.h"

namespace zolt::opengl {
struct OcclusionQuery;
}

namespace zolt::renderer {

class Material;
class Mesh;
struct ScissorRectangle;
struct Stream;
struct VisibilityContext;

constexpr uint32_t render_request_capacity = 20000;
// Drawn in front of the scene: the depth layer draws it first with a
// collapsed depth range and only the late lighting layers light it.
constexpr uint32_t render_info_kind_in_front = 1;

// Something that hands drawing a value by id (special constant 19).
class RenderValueProvider {
public:
    virtual void get_value(geometry::Vector4* out, uint32_t id) const = 0;

protected:
    ~RenderValueProvider() = default;
};

// The light list word: the count in bits 0-2, the global light in bit 3,
// the global light without shadow in bit 4, light server indices in bytes
// 1 to 7.
constexpr uint64_t light_list_count_mask = 0x7;
constexpr uint64_t light_list_global_light = 0x8;
constexpr uint64_t light_list_global_without_shadow = 0x10;

struct RenderInfo {
    uint32_t kind = 0;
    // Bit i: layer i never receives this drawable's requests.
    uint32_t skipped_layers = 0;
    const ScissorRectangle* clip_rectangle = nullptr;
    // The queuing code's own (a sector clip volume); the batcher ignores it.
    const void* clip_volume = nullptr;
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    geometry::Vector3 scale{1.0f, 1.0f, 1.0f};
    const Mesh* mesh = nullptr;
    float view_depth = 0.0f;
    float eye_distance = 0.0f;
    uint32_t part_index = 0;
    uint32_t object_id = 0;
    const VisibilityContext* visibility_context = nullptr;
    uint64_t light_list = 0;
    uint32_t order_word = 0;
    opengl::OcclusionQuery* occlusion_query = nullptr;
    const RenderValueProvider* value_provider = nullptr;
};

struct RenderRequest {
    FibonacciHeapNode heap_node;
    // The program of the pass drawn first, so that requests sharing a GL
    // program draw together; some layers put their own key here.
    uint32_t sort_key = 0;
    uint8_t sort_bytes[2] = {};
    uint16_t shader_index = 0;
    uint32_t object_id = 0;
    const ScissorRectangle* clip_rectangle = nullptr;
    float view_depth = 0.0f;
    float eye_distance = 0.0f;
    const Mesh* mesh = nullptr;
    uint32_t part_index = 0;
    Material* material = nullptr;
    // Null for a quad-batch request, whose stream word names its buffer.
    const Stream* const* streams = nullptr;
    uint16_t stream_word = 0;
    float scale_value = 1.0f;
    opengl::OcclusionQuery* occlusion_query = nullptr;
    geometry::Vector3 position;
    geometry::Quaternion rotation;
    const RenderValueProvider* value_provider = nullptr;
    uint16_t first_index = 0;
    // 0: the whole index stream.
    uint16_t index_count = 0;
    uint32_t pass_slot = 0;
    uint64_t light_list = 0;
    uint8_t lights_drawn = 0;
    uint32_t next_free = 0;
};

// An empty pool is the fatal "out of memory". The request comes cleared,
// its heap node carrying its pool index.
RenderRequest* allocate_render_request();
void free_render_request(RenderRequest* request);
namespace detail {
// The pool's requests, there from static initialisation on.
extern RenderRequest* const render_requests;
}  // namespace detail
// Comparators call this for every pair: kept to one indexed load.
inline RenderRequest& get_render_request(uint32_t index) {
    return detail::render_requests[index];
}
uint32_t get_free_render_request_count();
// A request filled from what the batcher was offered.
RenderRequest* make_render_request(const RenderInfo& info, const Stream* const* streams, uint16_t stream_word,
                                   Material* material, uint16_t first_index, uint16_t index_count);

}  // namespace zolt::renderer
