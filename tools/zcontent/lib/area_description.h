#pragma once
// The area description: a JSON text giving the loadable areas of a level as
// named sectors (boxes, optionally cut by planes into convex volumes), the
// portals between them, occluders and, where wanted, an explicit partition;
// tools/zcontent/README.md describes every key. The resources are written by
// the engine's own area builder and checked with the engine's own area
// checks, so the tool and the loader cannot disagree.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

struct AreaResource {
    uint32_t id;
    std::vector<uint8_t> data;
};

// Two resources for each area: the layout and the partition. False, with a
// message naming the description, the area, the element and the key, for
// anything it does not accept.
bool compile_area_description(const std::string& text, const std::string& path, std::vector<AreaResource>* out,
                              std::string* error);
bool compile_area_description_file(const std::string& path, std::vector<AreaResource>* out, std::string* error);

}  // namespace zolt::tools
