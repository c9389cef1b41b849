#include "libs/opengl/buffer_binding.h"

#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/utility/fatal_error.h"

namespace zolt::opengl {

namespace {

struct CachedBinding {
    bool valid = false;
    uint32_t buffer = 0;
};

constexpr GLenum buffer_targets[buffer_target_count] = {GL_ARRAY_BUFFER, GL_ELEMENT_ARRAY_BUFFER, GL_PIXEL_PACK_BUFFER,
                                                        GL_PIXEL_UNPACK_BUFFER};

CachedBinding cached_bindings[buffer_target_count];

bool use_core_buffer_functions() {
    if (capabilities.gl_1_5) {
        return true;
    }
    if (is_extension_present(Extension::ARB_vertex_buffer_object)) {
        return false;
    }
    ZOLT_PANIC("missing OpenGL entry point");
}

}  // namespace

bool buffer_objects_in_use() {
    return !compatibility_fix_disable_vertex_buffer_objects &&
           (capabilities.gl_1_5 || is_extension_present(Extension::ARB_vertex_buffer_object));
}

void bind_buffer(uint32_t target_index, uint32_t buffer) {
    if (target_index >= buffer_target_count) {
        ZOLT_PANIC("unknown buffer target %u", target_index);
    }
    CachedBinding& cached = cached_bindings[target_index];
    if (cached.valid && cached.buffer == buffer) {
        return;
    }
    cached.valid = true;
    cached.buffer = buffer;
    if (use_core_buffer_functions()) {
        gl.glBindBuffer(buffer_targets[target_index], buffer);
    } else {
        gl.glBindBufferARB(buffer_targets[target_index], buffer);
    }
}

void invalidate_buffer_binding(uint32_t target_index) {
    if (target_index < buffer_target_count) {
        cached_bindings[target_index].valid = false;
    }
}

void invalidate_buffer_bindings() {
    for (CachedBinding& cached : cached_bindings) {
        cached.valid = false;
    }
}

bool unmap_pixel_unpack_buffer() {
    if (use_core_buffer_functions()) {
        return gl.glUnmapBuffer(GL_PIXEL_UNPACK_BUFFER) == GL_TRUE;
    }
    return gl.glUnmapBufferARB(GL_PIXEL_UNPACK_BUFFER) == GL_TRUE;
}

}  // namespace zolt::opengl
