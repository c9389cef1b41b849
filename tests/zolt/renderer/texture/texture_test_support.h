#pragma once
// Texture resources for the texture tests, laid out by the shared format
// code, written into a real pack and opened through the real resource
// server; and a GL world with the texture server registered over them, in
// which a texture is drawn over a rectangle with its texels as they are and
// the pixels are read back.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "libs/io/io_thread.h"
#include "libs/opengl/opengl_capabilities.h"
#include "support/gl_context.h"
#include "zolt/builtins/builtin_dispatch.h"
#include "zolt/core/program/builtin_bindings.h"
#include "zolt/core/resources/resource_loader_test_support.h"
#include "zolt/renderer/backend/rendering_commands.h"
#include "zolt/renderer/texture/texture_config.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"

namespace zolt::renderer::test_support {

using Bytes = std::vector<uint8_t>;
using Pixel = std::array<uint8_t, 4>;

// One texture as content would ship it: its format and size, how many top
// levels are streamed, and every surface (level by level, the faces of a
// level in order) without padding.
struct TextureFixture {
    uint32_t id = 0;
    uint32_t format = 0;
    uint32_t width = 1;
    uint32_t height = 1;
    uint32_t depth = 1;
    uint32_t streamed_segment_count = 0;
    std::vector<Bytes> surfaces;
    // The streamed levels stored packed (as the pack tool does when that
    // saves space) instead of as they are.
    bool is_streamed_packable = false;
};

struct TextureResources {
    Bytes header;
    Bytes resident;
    Bytes streamed;
};

inline uint32_t get_face_count(uint32_t format) {
    return get_texture_target_bits(format) == static_cast<uint32_t>(TextureTarget::cube_map) ? 6 : 1;
}

// Calls fill for every element (texel, or 4 x 4 block) of every surface, in
// row order, to write its bytes.
using ElementFiller = std::function<void(uint32_t level, uint32_t face, uint32_t x, uint32_t y, uint8_t* element)>;
inline std::vector<Bytes> make_surfaces(uint32_t format, uint32_t width, uint32_t height, uint32_t depth,
                                        const ElementFiller& fill) {
    const TexelFormatInfo& info = *find_texel_format(get_texel_format_bits(format));
    std::vector<Bytes> surfaces;
    for (uint32_t level = 0; level < get_texture_level_count(format); ++level) {
        const uint32_t w = get_level_dimension(width, level);
        const uint32_t h = get_level_dimension(height, level);
        const uint32_t d = get_level_dimension(depth, level);
        const uint32_t columns = (w + info.block_dimension - 1) / info.block_dimension;
        const uint32_t rows = (h + info.block_dimension - 1) / info.block_dimension;
        for (uint32_t face = 0; face < get_face_count(format); ++face) {
            Bytes surface(get_surface_size(info, w, h, d));
            for (uint32_t index = 0; index * info.element_bytes < surface.size(); ++index) {
                const uint32_t in_slice = index % (columns * rows);
                fill(level, face, in_slice % columns, in_slice / columns, &surface[index * info.element_bytes]);
            }
            surfaces.push_back(std::move(surface));
        }
    }
    return surfaces;
}

inline TextureResources lay_out(const TextureFixture& fixture) {
    TextureHeader header{fixture.format,
                         static_cast<uint16_t>(fixture.width),
                         static_cast<uint16_t>(fixture.height),
                         static_cast<uint16_t>(fixture.depth),
                         0,
                         0,
                         0};
    TextureLayout layout;
    EXPECT_EQ(check_texture_header(&header, sizeof header, &layout), TextureResourceFault::ok);
    if (fixture.streamed_segment_count >= 1) {
        header.first_segment_size = layout.level_sizes[0];
    }
    if (fixture.streamed_segment_count >= 2) {
        header.second_segment_size = layout.level_sizes[1];
    }
    TextureResources resources;
    resources.header.resize(sizeof header);
    std::memcpy(resources.header.data(), &header, sizeof header);
    const uint32_t faces = get_face_count(fixture.format);
    for (size_t index = 0; index < fixture.surfaces.size(); ++index) {
        Bytes& target = index / faces < fixture.streamed_segment_count ? resources.streamed : resources.resident;
        target.insert(target.end(), fixture.surfaces[index].begin(), fixture.surfaces[index].end());
        target.resize(round_up_to_4(target.size()));
    }
    return resources;
}

inline void add_texture(tools::PackDescription& pack, const TextureFixture& fixture) {
    const TextureResources resources = lay_out(fixture);
    pack.resources.push_back(test::make_resource(fixture.id, resources.header));
    pack.resources.push_back(test::make_resource(get_resident_levels_id(fixture.id), resources.resident, 4));
    if (!resources.streamed.empty()) {
        pack.resources.push_back(test::make_resource(get_streamed_levels_id(fixture.id), resources.streamed, 0,
                                                     io::pool_type_deferred, false, fixture.is_streamed_packable));
    }
}

// Calls a builtin with its arguments, the top of the stack first, as a
// script would; answers register 0.
inline uint32_t call_texture_builtin(uint32_t id, std::vector<uint32_t> arguments_top_first = {}) {
    core::bind_all_builtins();
    auto context = std::make_unique<core::ScriptContext>();
    context->stack_index = 4 + static_cast<uint32_t>(arguments_top_first.size());
    for (size_t depth = 0; depth < arguments_top_first.size(); ++depth) {
        context->stack[context->stack_index - 1 - depth] = arguments_top_first[depth];
    }
    core::call_builtin(*context, id);
    return context->registers[0];
}

// The GL world: a pack of the test's textures opened by the resource
// server, the IO thread, and the texture server registered over them.
class TextureWorld : public test::GlContextTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes and opens the pack; registers the texture server unless asked
    // not to.
    void open_world(const std::vector<TextureFixture>& textures, bool register_textures = true);
    // The sample shader library, which bringing the GPU up loads.
    static void add_shader_library(tools::PackDescription& pack);
    // With the shadow-map frame buffer that the shader library's hardware
    // check asks for.
    void register_texture_server();
    // Draws with unit 0 over the rectangle, texels replacing the colour.
    void draw_texture(TextureObject* texture, int32_t x, int32_t y, int32_t width, int32_t height);
    // A cube map sampled along one direction over the rectangle.
    void draw_cube_direction(TextureObject* texture, int32_t x, int32_t y, float dx, float dy, float dz);
    Pixel read_pixel(int32_t x, int32_t y) const;
    // The frame's render command with the texture drawn afterwards, so that
    // it counts as used.
    void run_frame(TextureObject* drawn);

    test::PackFolder packs_;
    // The shader library the world's pack holds in place of the sample's.
    Bytes library_override_;
    // Further resources the world's texture pack holds.
    std::vector<tools::PackResource> extra_resources_;
    test::ScopedValue<int32_t> limit_{video_memory_limit, 200};
    bool io_started_ = false;
};

}  // namespace zolt::renderer::test_support
