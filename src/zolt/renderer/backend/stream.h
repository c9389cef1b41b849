#pragma once
// A stream is one block of vertex or index data for drawing: a GL buffer
// object while buffer objects are in use (buffer_objects_in_use), otherwise a
// block of the stream memory pool. A stream may hold two copies that its
// users write alternately, so that data rewritten every frame never touches
// the copy the GPU may still read; with one copy, copy 1 is copy 0. Buffer
// objects count their bytes in the buffer-object byte counter. The records
// themselves belong to whoever keeps them (the batcher's pool); a record
// holds no GL or pool memory until initialize and none after free_copy.
// Rendering thread only.
#include <cstdint>

#include "libs/utility/variable_memory_pool.h"

namespace zolt::renderer {

// The stream format word.
constexpr uint32_t stream_format_stride_mask = 0xFFF;  // bytes per vertex
constexpr uint32_t stream_format_index = 1u << 16;     // GL_ELEMENT_ARRAY_BUFFER, else GL_ARRAY_BUFFER
constexpr uint32_t stream_format_two_copies = 1u << 20;
constexpr uint32_t stream_format_dynamic = 1u << 21;  // GL_DYNAMIC_DRAW, else GL_STATIC_DRAW

// System-memory streams share this pool; running out of it is fatal.
constexpr uint32_t stream_memory_pool_size = 32u << 20;

struct StreamDescription {
    uint32_t format = 0;
    // Added to the caller's data pointer where the stream is made from it.
    uint32_t source_offset = 0;
    uint32_t data_size = 0;
    // Room after the data, for users that write more later.
    uint32_t extra_size = 0;
};

// One copy is a buffer object or a memory block, never both.
struct StreamCopy {
    uint32_t buffer = 0;
    uint8_t* memory_block = nullptr;
};

struct Stream {
    uint32_t format = 0;
    uint32_t current_copy = 0;
    uint32_t size = 0;
    uint32_t source_offset = 0;
    StreamCopy copies[2];

    uint32_t get_stride() const { return format & stream_format_stride_mask; }
    bool has_two_copies() const { return (format & stream_format_two_copies) != 0; }

    // Both copies made (from data + source offset, or empty with no data);
    // with an extra size the data goes into the current copy and, for two
    // copies, into the other one too, which then becomes current.
    void initialize(const StreamDescription& description, const void* data);
    // Makes copy index anew, from data + source offset when data is given.
    // No buffer name is the fatal exit code 37.
    void create_copy(uint32_t index, const void* data);
    // Gives the copy's buffer object or memory block back and clears it; a
    // one-copy stream clears both indices, as they are the same copy.
    void free_copy(uint32_t index);
    // size bytes from source at offset into the current copy; a range outside
    // the stream is a panic.
    void write(const void* source, uint32_t size, uint32_t offset);

    // A new buffer object of the stream's size holding data + source offset
    // (undefined contents without data); answers its name. Bytes are counted
    // before GL is asked.
    uint32_t create_vbo_memory_block(const void* data);
    // glBufferData of the whole stream from data, with the stream's usage.
    void upload_whole_buffer(uint32_t buffer, const void* data);
    // The whole stream is re-specified (upload_whole_buffer), any other range
    // is a glBufferSubData.
    void upload_buffer_range(uint32_t buffer, const void* source, uint32_t offset, uint32_t size);

    // Where GL finds the byte at offset of the current copy: inside its memory
    // block, or the offset itself within the bound buffer object.
    const void* get_data_pointer(uint32_t offset) const;

    // The fibre format word's source format (stream_fibres.h); an unknown one
    // is a panic.
    static bool get_fibre_normalization(uint32_t fibre_format);
    static int32_t get_fibre_size(uint32_t fibre_format);
    static uint32_t get_fibre_type(uint32_t fibre_format);

    // Points the GL array of target (a fibre target word, stream_fibres.h) at
    // the fibre of stream, enabling the array unless already enabled; with no
    // stream the array is disabled. A buffer-object stream must be bound
    // first (bind_stream_buffer).
    static void setup_to_hardware(uint32_t target, const Stream* stream, uint32_t fibre_format, bool already_enabled);
};

// Binds the current copy's buffer object to the stream's target through the
// binding cache; nothing while buffer objects are not in use.
void bind_stream_buffer(const Stream& stream);

// A byte offset within a bound buffer object, as GL takes it in place of a
// pointer; never narrowed through 32 bits.
inline const void* get_buffer_offset_pointer(uintptr_t offset) {
    return reinterpret_cast<const void*>(offset);
}

const VariableMemoryPoolBase& get_stream_memory_pool();

}  // namespace zolt::renderer
