// The content builder's manifest reader on any text: it answers, never
// crashes, and what it accepts is something the builder can act on without
// guessing: resource texture ids, one or six sources as the target needs,
// level and segment counts a texture can hold. A refusal names the manifest.
#include <cstdint>
#include <string>

#include "support/fuzz_entry.h"
#include "zcontent/lib/content_manifest.h"

namespace {

namespace fuzz = zolt::fuzz;
using namespace zolt;

constexpr const char* manifest_path = "fuzz/manifest.json";

void check_accepted(const tools::ContentManifest& manifest) {
    fuzz::expect(!manifest.pack_file.empty(), "an accepted manifest names no pack file");
    for (const tools::TextureEntry& texture : manifest.textures) {
        fuzz::expect(renderer::is_resource_texture_id(texture.id) && (texture.id & 3) == 0,
                     "an accepted texture id is not a texture header id");
        const size_t faces = texture.target == renderer::TextureTarget::cube_map ? 6 : 1;
        fuzz::expect(texture.source_paths.size() == faces, "an accepted texture has the wrong number of sources");
        fuzz::expect(texture.level_count <= renderer::max_texture_level_count,
                     "an accepted texture has more levels than a texture holds");
        fuzz::expect(texture.streamed_segment_count <= renderer::max_streamed_segment_count,
                     "an accepted texture has more streamed segments than a texture holds");
        fuzz::expect(texture.target != renderer::TextureTarget::texture_3d,
                     "an accepted texture has a target the builder does not make");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) {
        return 0;
    }
    const std::string text(reinterpret_cast<const char*>(data), size);
    tools::ContentManifest manifest;
    std::string error;
    if (tools::parse_content_manifest(text, manifest_path, &manifest, &error)) {
        check_accepted(manifest);
    } else {
        fuzz::expect(error.find(manifest_path) != std::string::npos, "a refusal does not name the manifest");
    }
    return 0;
}
