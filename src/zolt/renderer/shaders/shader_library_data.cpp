#include "zolt/renderer/shaders/shader_library_data.h"

namespace zolt::renderer::shader_library {

namespace {
LoadedShaderLibrary loaded_library;
}  // namespace

const LoadedShaderLibrary& get_loaded_library() {
    return loaded_library;
}

void set_loaded_library(const uint8_t* data, uint32_t size) {
    loaded_library = {data, size};
}

}  // namespace zolt::renderer::shader_library
