#include "zolt/renderer/texture/texture_pixel_buffers.h"

#include <cstring>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/opengl_error.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"

namespace zolt::renderer {

namespace {

using opengl::gl;

bool use_core_buffer_functions() {
    return opengl::capabilities.gl_1_5;
}

uint32_t generate_buffer() {
    GLuint name = 0;
    if (use_core_buffer_functions()) {
        gl.glGenBuffers(1, &name);
    } else {
        gl.glGenBuffersARB(1, &name);
    }
    return name;
}

void delete_buffer(uint32_t name) {
    const GLuint buffer = name;
    if (use_core_buffer_functions()) {
        gl.glDeleteBuffers(1, &buffer);
    } else {
        gl.glDeleteBuffersARB(1, &buffer);
    }
}

void specify_buffer(uint32_t size) {
    if (use_core_buffer_functions()) {
        gl.glBufferData(GL_PIXEL_UNPACK_BUFFER, size, nullptr, GL_STREAM_DRAW);
    } else {
        gl.glBufferDataARB(GL_PIXEL_UNPACK_BUFFER, size, nullptr, GL_STREAM_DRAW);
    }
}

void* map_buffer() {
    if (use_core_buffer_functions()) {
        return gl.glMapBuffer(GL_PIXEL_UNPACK_BUFFER, GL_WRITE_ONLY);
    }
    return gl.glMapBufferARB(GL_PIXEL_UNPACK_BUFFER, GL_WRITE_ONLY);
}

uint32_t align_to_4(uint32_t offset) {
    return (offset + 3) & ~3u;
}

}  // namespace

bool are_upload_pixel_buffers_allowed() {
    const uint32_t mode = opengl::compatibility_fix_use_pbo;
    const bool wanted = mode == 1 || (mode == 2 && opengl::capabilities.quirk_nvidia_pixel_buffers);
    return wanted &&
           (opengl::capabilities.gl_1_5 || opengl::is_extension_present(opengl::Extension::ARB_vertex_buffer_object));
}

void UploadPixelBuffers::initialize() {
    ZOLT_SKIP_OPENGL_ERRORS();
    for (Buffer& buffer : buffers_) {
        buffer = {};
    }
    if (!are_upload_pixel_buffers_allowed()) {
        return;
    }
    for (uint32_t index = 0; index < upload_pixel_buffer_count; ++index) {
        const uint32_t name = generate_buffer();
        opengl::bind_buffer(opengl::pixel_unpack_buffer_target, name);
        specify_buffer(upload_pixel_buffer_sizes[index]);
        if (ZOLT_CHECK_OPENGL_ERRORS() != 0) {
            delete_buffer(name);
            opengl::invalidate_buffer_binding(opengl::pixel_unpack_buffer_target);
            continue;
        }
        buffers_[index] = {name, upload_pixel_buffer_sizes[index]};
        add_buffer_object_bytes(upload_pixel_buffer_sizes[index]);
    }
    opengl::bind_buffer(opengl::pixel_unpack_buffer_target, 0);
}

void UploadPixelBuffers::release() {
    bool any = false;
    for (Buffer& buffer : buffers_) {
        if (buffer.name != 0) {
            delete_buffer(buffer.name);
            subtract_buffer_object_bytes(buffer.size);
            any = true;
        }
        buffer = {};
    }
    if (any) {
        // Deleting a bound buffer unbinds it behind the cache.
        opengl::invalidate_buffer_binding(opengl::pixel_unpack_buffer_target);
    }
}

bool UploadPixelBuffers::has_any() const {
    for (const Buffer& buffer : buffers_) {
        if (buffer.name != 0) {
            return true;
        }
    }
    return false;
}

bool UploadPixelBuffers::stage(const uint8_t* const* data, const uint32_t* sizes, uint32_t count,
                               StagedSegment* placements) {
    uint32_t used[upload_pixel_buffer_count] = {};
    uint32_t buffer = 0;
    for (uint32_t segment = 0; segment < count; ++segment) {
        while (buffer < upload_pixel_buffer_count &&
               (buffers_[buffer].name == 0 ||
                uint64_t{align_to_4(used[buffer])} + sizes[segment] > buffers_[buffer].size)) {
            ++buffer;
        }
        if (buffer == upload_pixel_buffer_count) {
            return false;
        }
        used[buffer] = align_to_4(used[buffer]);
        placements[segment] = {buffers_[buffer].name, used[buffer]};
        used[buffer] += sizes[segment];
    }
    bool staged = true;
    for (uint32_t index = 0; index < upload_pixel_buffer_count && staged; ++index) {
        if (used[index] == 0) {
            continue;
        }
        opengl::bind_buffer(opengl::pixel_unpack_buffer_target, buffers_[index].name);
        // Specifying it anew lets the driver hand out fresh memory instead of
        // waiting for uploads still reading the old contents.
        specify_buffer(buffers_[index].size);
        auto* const memory = static_cast<uint8_t*>(map_buffer());
        if (memory == nullptr) {
            staged = false;
            break;
        }
        for (uint32_t segment = 0; segment < count; ++segment) {
            if (placements[segment].buffer == buffers_[index].name) {
                std::memcpy(memory + placements[segment].offset, data[segment], sizes[segment]);
            }
        }
        staged = opengl::unmap_pixel_unpack_buffer();
    }
    opengl::bind_buffer(opengl::pixel_unpack_buffer_target, 0);
    if (!staged) {
        for (uint32_t segment = 0; segment < count; ++segment) {
            placements[segment] = {};
        }
    }
    return staged;
}

}  // namespace zolt::renderer
