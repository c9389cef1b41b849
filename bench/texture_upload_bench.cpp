// Uploading a full mipmap chain through the texture object's upload path
// (levels read from the resident resource, filtering, wrapping, the byte
// counter), against bare glTexImage2D / glCompressedTexImage2D calls on the
// same bytes. Both sides finish the upload with glFinish. On Mesa's
// software renderer, through EGL without a window system.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/glext.h>
#include <stdlib.h>

#include <bit>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "libs/io/pack_format.h"
#include "libs/opengl/opengl_capabilities.h"
#include "platform/display/egl_test_context.h"
#include "zolt/core/config/config_support_variables.h"
#include "zolt/core/resources/resource_server.h"
#include "zolt/renderer/texture/texture_resource_format.h"
#include "zolt/renderer/texture/texture_server.h"
#include "zpack/lib/pack_writer.h"

namespace {

using namespace zolt;
using renderer::TexelFormat;
using renderer::TextureTarget;

constexpr uint32_t rgba8_id = 0x20100000;
constexpr uint32_t dxt5_id = 0x20100100;

struct ChainTexture {
    uint32_t id;
    uint32_t format;
    uint32_t size;
    std::vector<std::vector<uint8_t>> levels;
};

ChainTexture make_chain(uint32_t id, TexelFormat texel, uint32_t size, uint32_t seed) {
    const uint32_t level_count = static_cast<uint32_t>(std::bit_width(size));
    ChainTexture chain{id,
                       renderer::make_texture_format(texel, TextureTarget::texture_2d, level_count,
                                                     renderer::TextureFilter::trilinear),
                       size,
                       {}};
    const renderer::TexelFormatInfo& info = *renderer::find_texel_format(static_cast<uint32_t>(texel));
    std::mt19937 random(seed);
    for (uint32_t level = 0; level < level_count; ++level) {
        const uint32_t edge = renderer::get_level_dimension(size, level);
        std::vector<uint8_t> bytes(renderer::round_up_to_4(renderer::get_surface_size(info, edge, edge, 1)));
        for (uint8_t& byte : bytes) {
            byte = static_cast<uint8_t>(random());
        }
        chain.levels.push_back(std::move(bytes));
    }
    return chain;
}

// A GL context, and a pack of both chains opened by the resource server,
// made once for every benchmark of the run.
struct UploadWorld {
    platform::EglTestContext context;
    ChainTexture rgba8 = make_chain(rgba8_id, TexelFormat::rgba8, 1024, 1);
    ChainTexture dxt5 = make_chain(dxt5_id, TexelFormat::dxt5, 2048, 2);
    std::string folder;
    std::string list_path;
    bool ready = false;

    UploadWorld() {
        if (!context.create(4, 4)) {
            return;
        }
        opengl::set_entry_point_resolver({&platform::EglTestContext::get_proc_address, nullptr});
        opengl::initialize_entry_points();
        opengl::gl.glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        char pattern[] = "/tmp/zolt-texture-bench-XXXXXX";
        if (mkdtemp(pattern) == nullptr) {
            return;
        }
        folder = pattern;
        tools::PackDescription pack;
        for (const ChainTexture* chain : {&rgba8, &dxt5}) {
            renderer::TextureHeader header{
                chain->format, static_cast<uint16_t>(chain->size), static_cast<uint16_t>(chain->size), 1, 0, 0, 0};
            std::vector<uint8_t> header_bytes(sizeof header);
            std::memcpy(header_bytes.data(), &header, sizeof header);
            std::vector<uint8_t> resident;
            for (const auto& level : chain->levels) {
                resident.insert(resident.end(), level.begin(), level.end());
            }
            pack.resources.push_back({chain->id, 0, header_bytes, false});
            pack.resources.push_back(
                {renderer::get_resident_levels_id(chain->id), io::make_resource_flags(4, 0, false), resident, false});
        }
        std::vector<uint8_t> bytes;
        std::string error;
        const std::string pack_path = folder + "/textures.pack";
        std::string list_text;
        if (!tools::build_pack(pack, &bytes, &error) ||
            !tools::write_file(pack_path, bytes.data(), bytes.size(), &error) ||
            !tools::format_pack_list({pack_path}, &list_text, &error)) {
            return;
        }
        list_path = folder + "/pack.list";
        if (!tools::write_file(list_path, list_text.data(), list_text.size(), &error)) {
            return;
        }
        pack_list = list_path.c_str();
        core::resource_server.register_server();
        ready = true;
    }

    ~UploadWorld() {
        if (ready) {
            core::resource_server.unregister_server();
        }
        if (!folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }
};

UploadWorld& get_world() {
    static UploadWorld world;
    return world;
}

void upload_chain_zolt(benchmark::State& state, uint32_t id) {
    UploadWorld& world = get_world();
    if (!world.ready) {
        state.SkipWithError("no EGL context or pack");
        return;
    }
    renderer::TextureObject* const texture = renderer::texture_server.create_texture(id);
    for (auto _ : state) {
        GLuint name = texture->clone();
        opengl::gl.glFinish();
        if (name == 0) {
            state.SkipWithError("the upload failed");
            break;
        }
        opengl::gl.glDeleteTextures(1, &name);
    }
    renderer::texture_server.release_texture(texture);
    renderer::texture_server.destroy_queued_textures();
}

void upload_chain_bare(benchmark::State& state, const ChainTexture& chain, bool is_compressed) {
    UploadWorld& world = get_world();
    if (!world.ready) {
        state.SkipWithError("no EGL context or pack");
        return;
    }
    const opengl::OpenGLEntryPoints& gl = opengl::gl;
    for (auto _ : state) {
        GLuint name = 0;
        gl.glGenTextures(1, &name);
        gl.glBindTexture(GL_TEXTURE_2D, name);
        for (uint32_t level = 0; level < chain.levels.size(); ++level) {
            const auto edge = static_cast<GLsizei>(renderer::get_level_dimension(chain.size, level));
            if (is_compressed) {
                const auto size = static_cast<GLsizei>(((edge + 3) / 4) * ((edge + 3) / 4) * 16);
                gl.glCompressedTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_COMPRESSED_RGBA_S3TC_DXT5_EXT,
                                          edge, edge, 0, size, chain.levels[level].data());
            } else {
                gl.glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, edge, edge, 0, GL_BGRA,
                                GL_UNSIGNED_BYTE, chain.levels[level].data());
            }
        }
        gl.glBindTexture(GL_TEXTURE_2D, 0);
        gl.glFinish();
        gl.glDeleteTextures(1, &name);
    }
}

void texture_upload_rgba8_1024_zolt(benchmark::State& state) {
    upload_chain_zolt(state, rgba8_id);
}
void texture_upload_rgba8_1024_bare(benchmark::State& state) {
    upload_chain_bare(state, get_world().rgba8, false);
}
void texture_upload_dxt5_2048_zolt(benchmark::State& state) {
    upload_chain_zolt(state, dxt5_id);
}
void texture_upload_dxt5_2048_bare(benchmark::State& state) {
    upload_chain_bare(state, get_world().dxt5, true);
}

}  // namespace

BENCHMARK(texture_upload_rgba8_1024_zolt)->Name("texture_upload_rgba8_1024/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(texture_upload_rgba8_1024_bare)
    ->Name("texture_upload_rgba8_1024/gl_tex_image")
    ->Unit(benchmark::kMillisecond);
BENCHMARK(texture_upload_dxt5_2048_zolt)->Name("texture_upload_dxt5_2048/zolt")->Unit(benchmark::kMillisecond);
BENCHMARK(texture_upload_dxt5_2048_bare)
    ->Name("texture_upload_dxt5_2048/gl_compressed_tex_image")
    ->Unit(benchmark::kMillisecond);
