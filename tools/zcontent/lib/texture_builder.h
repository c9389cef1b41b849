#pragma once
// Builds one texture of a manifest: reads its PNG sources, makes its
// mipmaps, encodes its texels and lays out its three resources.
#include <string>
#include <vector>

#include "content_manifest.h"
#include "png_reader.h"
#include "texture_layout.h"

namespace zolt::tools {

// False, with a message naming the manifest, the texture and the key or the
// source file at fault.
bool build_texture(const ContentManifest& manifest, const TextureEntry& texture, TextureResources* resources,
                   std::string* error);

// The same from images already read, one for each source path.
bool build_texture_from_images(const ContentManifest& manifest, const TextureEntry& texture,
                               const std::vector<SourceImage>& faces, TextureResources* resources, std::string* error);

}  // namespace zolt::tools
