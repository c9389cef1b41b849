#pragma once
// The animation description: a JSON text naming the skeleton and animation
// resources of a pack, each imported from a skin or an animation of a glTF
// file, with the events of each animation; tools/zcontent/README.md
// describes every key.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

struct AnimationResource {
    uint32_t id;
    std::vector<uint8_t> data;
};

// Reads the description and every glTF file it names, and builds the
// resources. False, with a message naming the file, the entry and the key,
// for anything it does not accept.
bool compile_animation_description(const std::string& text, const std::string& path,
                                   std::vector<AnimationResource>* out, std::string* error);
bool compile_animation_description_file(const std::string& path, std::vector<AnimationResource>* out,
                                        std::string* error);

}  // namespace zolt::tools
