#include "zolt/renderer/backend/stream.h"

#include <cstring>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_error.h"
#include "libs/utility/fatal_error.h"
#include "platform/system/process.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"

namespace zolt::renderer {

namespace {

using opengl::gl;

// Made on first use, so that a process that draws nothing reserves nothing.
VariableMemoryPool<stream_memory_pool_size>& get_pool() {
    static VariableMemoryPool<stream_memory_pool_size> pool;
    return pool;
}

uint32_t get_target_index(const Stream& stream) {
    return (stream.format & stream_format_index) != 0 ? opengl::element_array_buffer_target
                                                      : opengl::array_buffer_target;
}

GLenum get_target(const Stream& stream) {
    return (stream.format & stream_format_index) != 0 ? GL_ELEMENT_ARRAY_BUFFER : GL_ARRAY_BUFFER;
}

GLenum get_usage(const Stream& stream) {
    return (stream.format & stream_format_dynamic) != 0 ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
}

bool use_core_buffer_functions() {
    if (opengl::capabilities.gl_1_5) {
        return true;
    }
    if (opengl::is_extension_present(opengl::Extension::ARB_vertex_buffer_object)) {
        return false;
    }
    ZOLT_PANIC("missing OpenGL entry point");
}

const uint8_t* add_offset(const void* data, uint32_t offset) {
    return data != nullptr ? static_cast<const uint8_t*>(data) + offset : nullptr;
}

// The errors were reported one by one already; the process ends without
// another report.
void end_on_reported_errors() {
    if (ZOLT_CHECK_OPENGL_ERRORS() > 0) {
        platform::end_process_now(get_exit_code_number(get_fatal_exit_code()));
    }
}

void check_copy_index(uint32_t index) {
    if (index > 1) {
        ZOLT_PANIC("stream copy %u does not exist", index);
    }
}

}  // namespace

void Stream::initialize(const StreamDescription& description, const void* data) {
    format = description.format;
    source_offset = description.source_offset;
    size = description.data_size + description.extra_size;
    current_copy = 0;
    copies[0] = {};
    copies[1] = {};
    // With room to spare the copies are made empty and the data written into
    // them, so that the bytes past it are never read from the caller.
    const void* const copy_data = description.extra_size == 0 ? data : nullptr;
    create_copy(0, copy_data);
    if (has_two_copies()) {
        create_copy(1, copy_data);
    } else {
        copies[1] = copies[0];
    }
    if (data == nullptr || description.extra_size == 0) {
        return;
    }
    const uint8_t* const source = add_offset(data, source_offset);
    write(source, description.data_size, 0);
    if (has_two_copies()) {
        current_copy = 1;
        write(source, description.data_size, 0);
    }
}

void Stream::create_copy(uint32_t index, const void* data) {
    check_copy_index(index);
    copies[index] = {};
    if (opengl::buffer_objects_in_use()) {
        copies[index].buffer = create_vbo_memory_block(data);
        return;
    }
    auto* const block = static_cast<uint8_t*>(get_pool().allocate(size));
    if (block == nullptr) {
        halt_due_out_of_memory(get_pool());
    }
    if (data != nullptr) {
        std::memcpy(block, add_offset(data, source_offset), size);
    }
    copies[index].memory_block = block;
}

void Stream::free_copy(uint32_t index) {
    check_copy_index(index);
    StreamCopy& copy = copies[index];
    if (copy.buffer != 0) {
        subtract_buffer_object_bytes(size);
        opengl::invalidate_buffer_bindings();
        if (use_core_buffer_functions()) {
            gl.glDeleteBuffers(1, &copy.buffer);
        } else {
            gl.glDeleteBuffersARB(1, &copy.buffer);
        }
    } else if (copy.memory_block != nullptr) {
        get_pool().free(copy.memory_block, size);
    }
    copy = {};
    if (!has_two_copies()) {
        copies[0] = {};
        copies[1] = {};
    }
}

void Stream::write(const void* source, uint32_t byte_count, uint32_t offset) {
    if (offset > size || byte_count > size - offset) {
        ZOLT_PANIC("stream write of %u bytes at offset %u outside its %u bytes", byte_count, offset, size);
    }
    const StreamCopy& copy = copies[current_copy];
    if (copy.buffer != 0) {
        upload_buffer_range(copy.buffer, source, offset, byte_count);
    } else if (copy.memory_block != nullptr && byte_count > 0) {
        std::memcpy(copy.memory_block + offset, source, byte_count);
    }
}

uint32_t Stream::create_vbo_memory_block(const void* data) {
    add_buffer_object_bytes(size);
    ZOLT_SKIP_OPENGL_ERRORS();
    GLuint buffer = 0;
    if (use_core_buffer_functions()) {
        gl.glGenBuffers(1, &buffer);
    } else {
        gl.glGenBuffersARB(1, &buffer);
    }
    end_on_reported_errors();
    if (buffer == 0) {
        set_fatal_exit_code(ExitCode::vertex_buffer_memory);
        ZOLT_ERROR("Can not allocate memory block for model geometry.");
    }
    upload_whole_buffer(buffer, add_offset(data, source_offset));
    end_on_reported_errors();
    return buffer;
}

void Stream::upload_whole_buffer(uint32_t buffer, const void* data) {
    opengl::bind_buffer(get_target_index(*this), buffer);
    if (use_core_buffer_functions()) {
        gl.glBufferData(get_target(*this), size, data, get_usage(*this));
    } else {
        gl.glBufferDataARB(get_target(*this), size, data, get_usage(*this));
    }
}

void Stream::upload_buffer_range(uint32_t buffer, const void* source, uint32_t offset, uint32_t byte_count) {
    // Re-specifying the whole store lets the driver hand out fresh memory
    // instead of waiting for draws that still read the old contents.
    if (offset == 0 && byte_count == size) {
        upload_whole_buffer(buffer, source);
        return;
    }
    opengl::bind_buffer(get_target_index(*this), buffer);
    if (use_core_buffer_functions()) {
        gl.glBufferSubData(get_target(*this), offset, byte_count, source);
    } else {
        gl.glBufferSubDataARB(get_target(*this), offset, byte_count, source);
    }
}

const void* Stream::get_data_pointer(uint32_t offset) const {
    const uint8_t* const block = copies[current_copy].memory_block;
    return block != nullptr ? block + offset : get_buffer_offset_pointer(offset);
}

void bind_stream_buffer(const Stream& stream) {
    if (!opengl::buffer_objects_in_use()) {
        return;
    }
    opengl::bind_buffer(get_target_index(stream), stream.copies[stream.current_copy].buffer);
}

const VariableMemoryPoolBase& get_stream_memory_pool() {
    return get_pool();
}

}  // namespace zolt::renderer
