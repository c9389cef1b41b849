#pragma once
// The shader library compiler: a JSON description (entries, variants, slot
// passes, setups, shader passes, conditions, bindings, tag defaults, library
// textures and constants) beside the GLSL and ARB program texts it names,
// laid out as resource 0x10000 and checked by the engine's own
// check_shader_library before anyone may write it. tools/zcontent/README.md
// describes the description's keys.
#include <cstdint>
#include <string>
#include <vector>

namespace zolt::tools {

// Compiles the description text; path names it in messages and anchors the
// program files it names. False, with a message naming the description, the
// element and the key, for anything it does not accept.
bool compile_shader_library(const std::string& text, const std::string& path, std::vector<uint8_t>* resource,
                            std::string* error);
bool compile_shader_library_file(const std::string& path, std::vector<uint8_t>* resource, std::string* error);

}  // namespace zolt::tools
