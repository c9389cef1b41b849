#pragma once
// The pack a manifest describes: every resource built in memory, the pack
// checked as the engine loads it, and only then written, under a temporary
// name renamed into place, so a failed build never leaves a pack behind.
#include <cstdint>
#include <string>
#include <vector>

#include "content_manifest.h"
#include "texture_layout.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {

// Header and resident levels are ordinary resources. The streamed levels
// are read at an offset on demand, so they are stored as they are and
// loaded only while open.
void add_texture_resources(uint32_t id, const TextureResources& resources, PackDescription* description);

// Every resource of the manifest, built; false with the first fault.
bool build_content_pack(const ContentManifest& manifest, PackDescription* description, std::string* error);

// Builds and checks the pack, then writes it to path through a temporary
// file in the same folder.
bool write_content_pack(const PackDescription& description, const std::string& path, std::string* error);

}  // namespace zolt::tools
