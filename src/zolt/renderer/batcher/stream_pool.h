#pragma once
// The renderer's stream records: 50000 on a free list, and a release ring of
// streams their users gave up while the GPU may still read them. A released
// stream keeps its GL or pool memory until the next stream is made (or the
// renderer shuts down), which is always after the frame that drew with it
// was handed to GL. Rendering thread only.
#include <cstdint>

#include "zolt/renderer/backend/stream.h"

namespace zolt::renderer {

constexpr uint32_t stream_pool_capacity = 50000;

// Frees the release ring first; an empty pool is the fatal "out of memory".
Stream* create_stream(const StreamDescription& description, const void* data);
// Stamped with the rendering-command issue counter; null is ignored.
void queue_stream_release(Stream* stream);
// Both copies of every stream on the ring freed, the records back in the
// pool.
void release_retired_streams();
void release_all_streams();

uint32_t get_free_stream_count();
uint32_t get_retired_stream_count();

}  // namespace zolt::renderer
