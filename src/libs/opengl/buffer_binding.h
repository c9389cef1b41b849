#pragma once
// The buffer-binding cache: which buffer object each of four targets has
// bound, so that binding the same buffer again makes no GL call. Code that
// binds buffers behind the cache's back invalidates it. Rendering thread only.
#include <cstdint>

namespace zolt::opengl {

enum BufferTargetIndex : uint32_t {
    array_buffer_target = 0,
    element_array_buffer_target = 1,
    pixel_pack_buffer_target = 2,
    pixel_unpack_buffer_target = 3,
    buffer_target_count = 4,
};

// Whether streams and simple draws use buffer objects: off with
// compatibility_fix_disable_vertex_buffer_objects, else GL 1.5 or
// GL_ARB_vertex_buffer_object.
bool buffer_objects_in_use();

// glBindBuffer (GL 1.5) or glBindBufferARB, unless the cache says it is bound.
void bind_buffer(uint32_t target_index, uint32_t buffer);
void invalidate_buffer_binding(uint32_t target_index);
void invalidate_buffer_bindings();

// Whether the mapped data survived.
bool unmap_pixel_unpack_buffer();

}  // namespace zolt::opengl
