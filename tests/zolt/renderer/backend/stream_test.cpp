#include "zolt/renderer/backend/stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "libs/opengl/buffer_binding.h"
#include "libs/opengl/opengl_capabilities.h"
#include "libs/opengl/opengl_config.h"
#include "libs/opengl/shader_objects.h"
#include "libs/utility/fatal_error.h"
#include "libs/utility/message_handler.h"
#include "platform/display/egl_test_context.h"
#include "support/child_process.h"
#include "support/gl_context.h"
#include "zolt/renderer/backend/buffer_object_bytes.h"
#include "zolt/renderer/backend/stream_fibres.h"

namespace zolt::renderer {
namespace {

using opengl::compatibility_fix_disable_vertex_buffer_objects;
using opengl::gl;
using test::ScopedValue;

template <typename Function>
Function find_gl_function(const char* name) {
    return reinterpret_cast<Function>(platform::EglTestContext::get_proc_address(name));
}

struct Vertex {
    float position[3];
    uint8_t colour[4];
};
static_assert(sizeof(Vertex) == 16);

constexpr uint32_t colour_offset = 12;
constexpr uint8_t red[4] = {255, 0, 0, 255};
constexpr uint8_t green[4] = {0, 255, 0, 255};
constexpr uint8_t black[4] = {0, 0, 0, 255};

// The left half red, the top right quarter green, the rest left black.
const Vertex scene_vertices[] = {
    {{-1, -1, 0}, {255, 0, 0, 255}}, {{0, -1, 0}, {255, 0, 0, 255}}, {{0, 1, 0}, {255, 0, 0, 255}},
    {{-1, 1, 0}, {255, 0, 0, 255}},  {{0, 0, 0}, {0, 255, 0, 255}},  {{1, 0, 0}, {0, 255, 0, 255}},
    {{1, 1, 0}, {0, 255, 0, 255}},   {{0, 1, 0}, {0, 255, 0, 255}},
};
const uint16_t scene_indices[] = {0, 1, 2, 0, 2, 3, 4, 5, 6, 4, 6, 7};

constexpr uint32_t position_target = make_fibre_target(FibreTargetKind::position, 0);
constexpr uint32_t colour_target = make_fibre_target(FibreTargetKind::colour, 0);
constexpr uint32_t colour_attribute = 1;
constexpr uint32_t generic_colour_target = make_fibre_target(FibreTargetKind::generic_attribute, colour_attribute);
constexpr uint32_t position_fibre = make_fibre_format(FibreSourceFormat::float_3, 0);

uint64_t sum_free_pool_bytes() {
    uint64_t total = 0;
    get_stream_memory_pool().for_each_free_block([&total](void*, uint32_t size) { total += size; });
    return total;
}

void free_stream(Stream& stream) {
    if (stream.has_two_copies()) {
        stream.free_copy(1);
    }
    stream.free_copy(0);
}

class StreamTest : public test::GlContextTest {
protected:
    // The copy's bytes, read back from GL for a buffer object.
    static std::vector<uint8_t> read_copy(const Stream& stream, uint32_t index) {
        std::vector<uint8_t> bytes(stream.size);
        const StreamCopy& copy = stream.copies[index];
        if (copy.memory_block != nullptr) {
            std::memcpy(bytes.data(), copy.memory_block, bytes.size());
            return bytes;
        }
        // A target the binding cache does not keep.
        gl.glBindBuffer(GL_COPY_READ_BUFFER, copy.buffer);
        find_gl_function<PFNGLGETBUFFERSUBDATAPROC>("glGetBufferSubData")(GL_COPY_READ_BUFFER, 0, stream.size,
                                                                          bytes.data());
        gl.glBindBuffer(GL_COPY_READ_BUFFER, 0);
        return bytes;
    }

    static const uint8_t* expected_scene_colour(uint32_t x, uint32_t y) {
        if (x < width / 2) {
            return red;
        }
        return y >= height / 2 ? green : black;
    }

    // Counts the pixels that differ from the scene; names the first.
    uint32_t count_scene_mismatches(std::string* first) const {
        const std::vector<uint8_t> colors = read_colors();
        uint32_t count = 0;
        for (uint32_t y = 0; y < height; ++y) {
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* const found = &colors[4 * (y * width + x)];
                const uint8_t* const expected = expected_scene_colour(x, y);
                if (std::memcmp(found, expected, 4) != 0 && count++ == 0) {
                    *first = "pixel " + std::to_string(x) + "," + std::to_string(y) + " is " +
                             std::to_string(found[0]) + " " + std::to_string(found[1]) + " " +
                             std::to_string(found[2]) + " " + std::to_string(found[3]);
                }
            }
        }
        return count;
    }

    static uint32_t build_generic_colour_program() {
        const char* const vertex_source =
            "#version 110\nattribute vec4 colour;\n"
            "void main() { gl_Position = gl_Vertex; gl_FrontColor = colour; }\n";
        const char* const fragment_source = "#version 110\nvoid main() { gl_FragColor = gl_Color; }\n";
        const uint32_t program = gl.glCreateProgram();
        EXPECT_TRUE(opengl::add_shader(program, 1, 0, &vertex_source, GL_VERTEX_SHADER));
        EXPECT_TRUE(opengl::add_shader(program, 1, 0, &fragment_source, GL_FRAGMENT_SHADER));
        gl.glBindAttribLocation(program, colour_attribute, "colour");
        EXPECT_TRUE(opengl::link_program(program));
        return program;
    }
};

TEST_F(StreamTest, BufferObjectAndSystemMemoryStreamsDrawTheSamePicture) {
    struct Row {
        const char* name;
        bool buffer_objects;
        FibreSourceFormat colour_format;
        bool generic_colour;
    };
    const Row rows[] = {
        {"buffer objects, colour format 1", true, FibreSourceFormat::unsigned_byte_4_normalised, false},
        {"buffer objects, colour format 15", true, FibreSourceFormat::unsigned_byte_4_normalised_alternate, false},
        {"system memory, colour format 1", false, FibreSourceFormat::unsigned_byte_4_normalised, false},
        {"system memory, colour format 15", false, FibreSourceFormat::unsigned_byte_4_normalised_alternate, false},
        {"buffer objects, generic colour", true, FibreSourceFormat::unsigned_byte_4_normalised, true},
        {"system memory, generic colour", false, FibreSourceFormat::unsigned_byte_4_normalised_alternate, true},
    };
    // The vertices stand behind a prefix that the source offset skips.
    constexpr uint32_t prefix = 4;
    std::vector<uint8_t> source(prefix + sizeof scene_vertices, 0xEE);
    std::memcpy(source.data() + prefix, scene_vertices, sizeof scene_vertices);
    const uint32_t generic_program = build_generic_colour_program();

    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedValue<bool> no_buffers(compatibility_fix_disable_vertex_buffer_objects, !row.buffer_objects);
        // Two copies with room to spare: the picture comes from copy 1.
        Stream vertices;
        vertices.initialize({sizeof(Vertex) | stream_format_two_copies | stream_format_dynamic, prefix,
                             sizeof scene_vertices, sizeof(Vertex)},
                            source.data());
        ASSERT_EQ(vertices.current_copy, 1u);
        Stream indices;
        indices.initialize({stream_format_index | sizeof(uint16_t), 0, sizeof scene_indices, 0}, scene_indices);

        gl.glClearColor(0, 0, 0, 1);
        gl.glClear(GL_COLOR_BUFFER_BIT);
        bind_stream_buffer(vertices);
        Stream::setup_to_hardware(position_target, &vertices, position_fibre, false);
        const uint32_t colour_fibre = make_fibre_format(row.colour_format, colour_offset);
        opengl::use_program(row.generic_colour ? generic_program : 0);
        Stream::setup_to_hardware(row.generic_colour ? generic_colour_target : colour_target, &vertices, colour_fibre,
                                  false);
        if (!row.generic_colour) {
            // Inside the bound buffer the pointer is the bare offset, else
            // an address inside the current copy.
            void* pointer = nullptr;
            find_gl_function<decltype(&glGetPointerv)>("glGetPointerv")(GL_COLOR_ARRAY_POINTER, &pointer);
            const uint8_t* const block = vertices.copies[1].memory_block;
            EXPECT_EQ(pointer, row.buffer_objects ? get_buffer_offset_pointer(colour_offset) : block + colour_offset);
        }
        bind_stream_buffer(indices);
        gl.glDrawElements(GL_TRIANGLES, std::size(scene_indices), GL_UNSIGNED_SHORT, indices.get_data_pointer(0));
        std::string first;
        EXPECT_EQ(count_scene_mismatches(&first), 0u) << first;

        Stream::setup_to_hardware(position_target, nullptr, 0, false);
        Stream::setup_to_hardware(row.generic_colour ? generic_colour_target : colour_target, nullptr, 0, false);
        opengl::use_program(0);
        EXPECT_FALSE(find_gl_function<decltype(&glIsEnabled)>("glIsEnabled")(GL_VERTEX_ARRAY));
        EXPECT_FALSE(find_gl_function<decltype(&glIsEnabled)>("glIsEnabled")(GL_COLOR_ARRAY));
        free_stream(vertices);
        free_stream(indices);
    }
    opengl::delete_program(generic_program);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(StreamTest, EveryFibreReachesItsGlArray) {
    struct Row {
        const char* name;
        uint32_t target;
        FibreSourceFormat format;
        uint32_t offset;
        // The fixed-function array, or 0 for a generic attribute.
        GLenum array;
        GLenum size_query;  // 0 for an array of fixed size
        GLenum type_query;
        GLenum stride_query;
        GLenum pointer_query;
        GLint components;
        GLenum type;
        bool normalised;
    };
    using Kind = FibreTargetKind;
    using Format = FibreSourceFormat;
    const Row rows[] = {
        {"position", make_fibre_target(Kind::position, 0), Format::float_3, 0, GL_VERTEX_ARRAY, GL_VERTEX_ARRAY_SIZE,
         GL_VERTEX_ARRAY_TYPE, GL_VERTEX_ARRAY_STRIDE, GL_VERTEX_ARRAY_POINTER, 3, GL_FLOAT, false},
        {"normal", make_fibre_target(Kind::normal, 0), Format::float_3, 12, GL_NORMAL_ARRAY, 0, GL_NORMAL_ARRAY_TYPE,
         GL_NORMAL_ARRAY_STRIDE, GL_NORMAL_ARRAY_POINTER, 3, GL_FLOAT, false},
        {"primary colour, format 1", make_fibre_target(Kind::colour, 0), Format::unsigned_byte_4_normalised, 4,
         GL_COLOR_ARRAY, GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE, GL_COLOR_ARRAY_POINTER, 4,
         GL_UNSIGNED_BYTE, true},
        {"primary colour, format 15", make_fibre_target(Kind::colour, 0), Format::unsigned_byte_4_normalised_alternate,
         4, GL_COLOR_ARRAY, GL_COLOR_ARRAY_SIZE, GL_COLOR_ARRAY_TYPE, GL_COLOR_ARRAY_STRIDE, GL_COLOR_ARRAY_POINTER, 4,
         GL_UNSIGNED_BYTE, true},
        {"secondary colour", make_fibre_target(Kind::colour, 1), Format::unsigned_short_4_normalised, 8,
         GL_SECONDARY_COLOR_ARRAY, GL_SECONDARY_COLOR_ARRAY_SIZE, GL_SECONDARY_COLOR_ARRAY_TYPE,
         GL_SECONDARY_COLOR_ARRAY_STRIDE, GL_SECONDARY_COLOR_ARRAY_POINTER, 4, GL_UNSIGNED_SHORT, true},
        {"texture coordinates 2", make_fibre_target(Kind::texture_coordinates, 2), Format::float_2, 16,
         GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_SIZE, GL_TEXTURE_COORD_ARRAY_TYPE,
         GL_TEXTURE_COORD_ARRAY_STRIDE, GL_TEXTURE_COORD_ARRAY_POINTER, 2, GL_FLOAT, false},
        // Fixed-function texture coordinates take no unsigned types.
        {"texture coordinates 5", make_fibre_target(Kind::texture_coordinates, 5), Format::short_2_normalised, 20,
         GL_TEXTURE_COORD_ARRAY, GL_TEXTURE_COORD_ARRAY_SIZE, GL_TEXTURE_COORD_ARRAY_TYPE,
         GL_TEXTURE_COORD_ARRAY_STRIDE, GL_TEXTURE_COORD_ARRAY_POINTER, 2, GL_SHORT, true},
        {"generic 1", make_fibre_target(Kind::generic_attribute, 1), Format::float_1, 0, 0, 0, 0, 0, 0, 1, GL_FLOAT,
         false},
        {"generic 2", make_fibre_target(Kind::generic_attribute, 2), Format::short_4_normalised, 4, 0, 0, 0, 0, 0, 4,
         GL_SHORT, true},
        {"generic 3", make_fibre_target(Kind::generic_attribute, 3), Format::unsigned_short_2_normalised, 8, 0, 0, 0, 0,
         0, 2, GL_UNSIGNED_SHORT, true},
        {"generic 4", make_fibre_target(Kind::generic_attribute, 4), Format::unsigned_short_1, 12, 0, 0, 0, 0, 0, 1,
         GL_UNSIGNED_SHORT, false},
        {"generic 6, format 1", make_fibre_target(Kind::generic_attribute, 6), Format::unsigned_byte_4_normalised, 16,
         0, 0, 0, 0, 0, 4, GL_UNSIGNED_BYTE, true},
        {"generic 6, format 15", make_fibre_target(Kind::generic_attribute, 6),
         Format::unsigned_byte_4_normalised_alternate, 16, 0, 0, 0, 0, 0, 4, GL_UNSIGNED_BYTE, true},
        {"generic 15", make_fibre_target(Kind::generic_attribute, 15), Format::float_4, 20, 0, 0, 0, 0, 0, 4, GL_FLOAT,
         false},
    };
    constexpr uint32_t stride = 24;
    Stream stream;
    stream.initialize({stride, 0, 2 * stride, 0}, nullptr);
    bind_stream_buffer(stream);
    const auto is_enabled = find_gl_function<decltype(&glIsEnabled)>("glIsEnabled");
    const auto get_pointer = find_gl_function<decltype(&glGetPointerv)>("glGetPointerv");
    const auto get_attribute = find_gl_function<PFNGLGETVERTEXATTRIBIVPROC>("glGetVertexAttribiv");
    const auto get_attribute_pointer = find_gl_function<PFNGLGETVERTEXATTRIBPOINTERVPROC>("glGetVertexAttribPointerv");
    const auto get_integer = [](GLenum name) {
        GLint value = 0;
        gl.glGetIntegerv(name, &value);
        return value;
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const uint32_t fibre = make_fibre_format(row.format, row.offset);
        EXPECT_EQ(Stream::get_fibre_size(fibre), row.components);
        EXPECT_EQ(Stream::get_fibre_type(fibre), row.type);
        EXPECT_EQ(Stream::get_fibre_normalization(fibre), row.normalised);
        Stream::setup_to_hardware(row.target, &stream, fibre, false);
        const uint32_t number = row.target & fibre_target_number_mask;
        void* pointer = nullptr;
        if (row.array != 0) {
            if (row.array == GL_TEXTURE_COORD_ARRAY) {
                EXPECT_EQ(get_integer(GL_CLIENT_ACTIVE_TEXTURE), static_cast<GLint>(GL_TEXTURE0 + number));
            }
            EXPECT_TRUE(is_enabled(row.array));
            // The secondary colour always takes three components.
            if (row.size_query != 0) {
                EXPECT_EQ(get_integer(row.size_query), row.array == GL_SECONDARY_COLOR_ARRAY ? 3 : row.components);
            }
            EXPECT_EQ(get_integer(row.type_query), static_cast<GLint>(row.type));
            EXPECT_EQ(get_integer(row.stride_query), static_cast<GLint>(stride));
            get_pointer(row.pointer_query, &pointer);
        } else {
            GLint enabled = 0, size = 0, type = 0, normalised = 0, attribute_stride = 0;
            get_attribute(number, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
            get_attribute(number, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
            get_attribute(number, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
            get_attribute(number, GL_VERTEX_ATTRIB_ARRAY_NORMALIZED, &normalised);
            get_attribute(number, GL_VERTEX_ATTRIB_ARRAY_STRIDE, &attribute_stride);
            EXPECT_EQ(enabled, GL_TRUE);
            EXPECT_EQ(size, row.components);
            EXPECT_EQ(type, static_cast<GLint>(row.type));
            EXPECT_EQ(normalised != 0, row.normalised);
            EXPECT_EQ(attribute_stride, static_cast<GLint>(stride));
            get_attribute_pointer(number, GL_VERTEX_ATTRIB_ARRAY_POINTER, &pointer);
        }
        EXPECT_EQ(pointer, get_buffer_offset_pointer(row.offset));

        Stream::setup_to_hardware(row.target, nullptr, 0, false);
        if (row.array != 0) {
            EXPECT_FALSE(is_enabled(row.array));
        } else {
            GLint enabled = 1;
            get_attribute(number, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
            EXPECT_EQ(enabled, GL_FALSE);
        }
    }

    // An array already enabled only gets its new pointer.
    test::GlCallRecorder recorder;
    Stream::setup_to_hardware(position_target, &stream, position_fibre, true);
    EXPECT_EQ(recorder.calls(), std::vector<std::string>{"glVertexPointer"});
    recorder.clear();
    Stream::setup_to_hardware(position_target, nullptr, position_fibre, true);
    EXPECT_EQ(recorder.calls(), std::vector<std::string>{"glDisableClientState"});
    free_stream(stream);
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(StreamTest, TheByteCounterFollowsBufferObjectsOnly) {
    struct Row {
        const char* name;
        bool buffer_objects;
        bool two_copies;
        uint64_t counted;
        uint32_t buffers_made;
    };
    constexpr uint32_t size = 1000;
    const Row rows[] = {
        {"one buffer object", true, false, size, 1},
        {"two buffer objects", true, true, 2 * size, 2},
        {"system memory, one copy", false, false, 0, 0},
        {"system memory, two copies", false, true, 0, 0},
    };
    // A stream that stays, so that a byte taken off twice would show.
    Stream bystander;
    bystander.initialize({4, 0, 64, 0}, nullptr);
    const uint64_t counted_before = get_buffer_object_bytes();
    ASSERT_GE(counted_before, 64u);
    const uint64_t pool_free_before = sum_free_pool_bytes();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedValue<bool> no_buffers(compatibility_fix_disable_vertex_buffer_objects, !row.buffer_objects);
        test::GlCallRecorder recorder;
        Stream stream;
        stream.initialize({4 | (row.two_copies ? stream_format_two_copies : 0), 0, size, 0}, nullptr);
        EXPECT_EQ(get_buffer_object_bytes() - counted_before, row.counted);
        EXPECT_EQ(recorder.count("glGenBuffers"), row.buffers_made);
        EXPECT_EQ(sum_free_pool_bytes() < pool_free_before, !row.buffer_objects);
        // Freeing both indices of a one-copy stream frees its copy once.
        stream.free_copy(1);
        stream.free_copy(0);
        EXPECT_EQ(recorder.count("glDeleteBuffers"), row.buffers_made);
        EXPECT_EQ(get_buffer_object_bytes(), counted_before);
        EXPECT_EQ(sum_free_pool_bytes(), pool_free_before);
        EXPECT_EQ(stream.copies[0].buffer, 0u);
        EXPECT_EQ(stream.copies[1].memory_block, nullptr);
    }
    free_stream(bystander);
}

TEST_F(StreamTest, InitialDataFillsEveryCopyAndExtraRoomLeavesTheSecondCurrent) {
    struct Row {
        const char* name;
        bool buffer_objects;
        bool two_copies;
        uint32_t extra_size;
        uint32_t current_copy;
        uint32_t whole_uploads;
        uint32_t partial_uploads;
    };
    const Row rows[] = {
        {"two buffer objects, no room", true, true, 0, 0, 2, 0},
        {"two buffer objects, room", true, true, 8, 1, 2, 2},
        {"one buffer object, room", true, false, 8, 0, 1, 1},
        {"two memory blocks, no room", false, true, 0, 0, 0, 0},
        {"two memory blocks, room", false, true, 8, 1, 0, 0},
        {"one memory block, no room", false, false, 0, 0, 0, 0},
    };
    constexpr uint32_t prefix = 4;
    constexpr uint32_t data_size = 24;
    std::vector<uint8_t> source(prefix + data_size, 0xEE);
    for (uint32_t index = 0; index < data_size; ++index) {
        source[prefix + index] = static_cast<uint8_t>(7 * index + 1);
    }
    const std::vector<uint8_t> data(source.begin() + prefix, source.end());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedValue<bool> no_buffers(compatibility_fix_disable_vertex_buffer_objects, !row.buffer_objects);
        test::GlCallRecorder recorder;
        Stream stream;
        stream.initialize({8 | (row.two_copies ? stream_format_two_copies : 0), prefix, data_size, row.extra_size},
                          source.data());
        EXPECT_EQ(stream.size, data_size + row.extra_size);
        EXPECT_EQ(stream.current_copy, row.current_copy);
        EXPECT_EQ(recorder.count("glBufferData"), row.whole_uploads);
        EXPECT_EQ(recorder.count("glBufferSubData"), row.partial_uploads);
        const bool same_copy = stream.copies[0].buffer == stream.copies[1].buffer &&
                               stream.copies[0].memory_block == stream.copies[1].memory_block;
        EXPECT_EQ(same_copy, !row.two_copies);
        for (uint32_t index = 0; index < 2; ++index) {
            const std::vector<uint8_t> bytes = read_copy(stream, index);
            EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + data_size), data) << "copy " << index;
        }
        free_stream(stream);
    }
}

TEST_F(StreamTest, WritingTheWholeStreamRespecifiesItAndAPartReplacesOnlyThatPart) {
    struct Row {
        const char* name;
        bool buffer_objects;
        bool core_functions;
        const char* whole_call;
        const char* partial_call;
    };
    const Row rows[] = {
        {"buffer objects", true, true, "glBufferData", "glBufferSubData"},
        {"buffer objects through the extension", true, false, "glBufferDataARB", "glBufferSubDataARB"},
        {"system memory", false, true, nullptr, nullptr},
    };
    constexpr uint32_t size = 32;
    std::vector<uint8_t> whole(size);
    for (uint32_t index = 0; index < size; ++index) {
        whole[index] = static_cast<uint8_t>(index + 1);
    }
    const uint8_t part[8] = {90, 91, 92, 93, 94, 95, 96, 97};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedValue<bool> no_buffers(compatibility_fix_disable_vertex_buffer_objects, !row.buffer_objects);
        ScopedValue<bool> core(opengl::capabilities.gl_1_5, row.core_functions);
        Stream stream;
        stream.initialize({4 | stream_format_two_copies | stream_format_dynamic, 0, size, 0}, nullptr);
        test::GlCallRecorder recorder;
        stream.write(whole.data(), size, 0);
        if (row.whole_call != nullptr) {
            EXPECT_EQ(recorder.count(row.whole_call), 1u);
            EXPECT_EQ(recorder.count(row.partial_call), 0u);
        }
        recorder.clear();
        stream.write(part, sizeof part, 8);
        if (row.partial_call != nullptr) {
            EXPECT_EQ(recorder.count(row.whole_call), 0u);
            EXPECT_EQ(recorder.count(row.partial_call), 1u);
        }
        std::vector<uint8_t> expected = whole;
        std::memcpy(expected.data() + 8, part, sizeof part);
        EXPECT_EQ(read_copy(stream, 0), expected);

        // A write reaches the current copy only.
        stream.current_copy = 1;
        stream.write(part, 4, size - 4);
        EXPECT_EQ(read_copy(stream, 0), expected);
        const std::vector<uint8_t> second = read_copy(stream, 1);
        EXPECT_EQ(std::vector<uint8_t>(second.end() - 4, second.end()), std::vector<uint8_t>(part, part + 4));
        free_stream(stream);
    }
    EXPECT_EQ(gl.glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(StreamTest, BrokenGeometryAndExhaustedMemoryEndTheProgram) {
    struct Row {
        const char* name;
        std::function<void()> body;
        const char* message;
    };
    const uint32_t valid_fibre = make_fibre_format(FibreSourceFormat::float_2, 0);
    const Row rows[] = {
        {"source format 11", [] { Stream::get_fibre_size(11u << fibre_format_source_shift); },
         "Malformed geometry data, unrecognizable source format 0xb0000"},
        {"source format 0", [] { Stream::get_fibre_type(0x10); },
         "Malformed geometry data, unrecognizable source format 0x0"},
        {"target kind 5",
         [valid_fibre] {
             Stream stream;
             stream.initialize({8, 0, 16, 0}, nullptr);
             Stream::setup_to_hardware(0x52, &stream, valid_fibre, false);
         },
         "Malformed geometry data, unrecognizable fibre target type 0x00000050"},
        {"target kind 15 without a stream", [] { Stream::setup_to_hardware(0xF0, nullptr, 0, false); },
         "Malformed geometry data, unrecognizable fibre target type 0x000000f0"},
        {"a stream larger than the pool",
         [] {
             compatibility_fix_disable_vertex_buffer_objects = true;
             Stream stream;
             stream.initialize({4, 0, stream_memory_pool_size + 8, 0}, nullptr);
         },
         "out of memory"},
        {"a write past the end",
         [] {
             Stream stream;
             stream.initialize({4, 0, 32, 0}, nullptr);
             const uint8_t bytes[8] = {};
             stream.write(bytes, sizeof bytes, 28);
         },
         "stream write of 8 bytes at offset 28 outside its 32 bytes"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::ChildResult result = test::run_in_child(row.body);
        EXPECT_EQ(result.exit_code, ExitCode::crash);
        EXPECT_NE(result.standard_error.find(std::string("zolt: fatal error: ") + row.message), std::string::npos)
            << result.standard_error;
    }
}

void generate_no_buffer_name(GLsizei count, GLuint* names) {
    std::fill(names, names + count, 0u);
}

void generate_buffer_name_with_error(GLsizei count, GLuint* names) {
    std::fill(names, names + count, 1u);
    gl.glEnable(0xFFFF);
}

void fill_buffer_with_error(GLenum, GLsizeiptr, const void*, GLenum) {
    gl.glEnable(0xFFFF);
}

// Shows the GL error reports of a child on its standard output.
class CheckReportPrinter : public MessageHandler {
public:
    void handle_message(MessageKind kind, const char*, const char*, const char*, uint32_t, const char* format,
                        va_list arguments) override {
        if (kind == MessageKind::Check) {
            std::vprintf(format, arguments);
            std::printf("\n");
        }
    }
};

TEST_F(StreamTest, NoBufferNameEndsWithCode37AndGlErrorsWithTheCurrentCode) {
    const test::ChildResult no_name = test::run_in_child([] {
        gl.glGenBuffers = &generate_no_buffer_name;
        Stream stream;
        stream.initialize({4, 0, 16, 0}, nullptr);
    });
    EXPECT_EQ(no_name.exit_code, ExitCode::vertex_buffer_memory);
    EXPECT_NE(no_name.standard_error.find("zolt: error: Can not allocate memory block for model geometry."),
              std::string::npos)
        << no_name.standard_error;

    struct Row {
        const char* name;
        std::function<void()> break_gl;
    };
    const Row rows[] = {
        {"generating the name", [] { gl.glGenBuffers = &generate_buffer_name_with_error; }},
        {"filling the buffer", [] { gl.glBufferData = &fill_buffer_with_error; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const test::ChildResult result = test::run_in_child([&row] {
            static CheckReportPrinter printer;
            printer.register_handler();
            row.break_gl();
            set_fatal_exit_code(ExitCode::file_input_output);
            Stream stream;
            stream.initialize({4, 0, 16, 0}, nullptr);
            std::printf("went on\n");
        });
        EXPECT_EQ(result.exit_code, ExitCode::file_input_output);
        EXPECT_NE(result.standard_output.find("OpenGL error 1280 detected: invalid enum\n"), std::string::npos)
            << result.standard_output;
        EXPECT_EQ(result.standard_output.find("went on"), std::string::npos);
    }
}

}  // namespace
}  // namespace zolt::renderer
