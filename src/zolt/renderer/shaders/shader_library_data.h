#pragma once
// The shader library's resource as it is loaded: checked once when it is
// loaded, then read in place by selection and by the GL setup through these
// accessors. Null and 0 while no library is loaded. Rendering thread only.
#include <cstdint>
#include <cstring>

#include "zolt/renderer/shaders/shader_library_format.h"

namespace zolt::renderer::shader_library {

struct LoadedShaderLibrary {
    const uint8_t* data = nullptr;
    uint32_t size = 0;
};

const LoadedShaderLibrary& get_loaded_library();
// Only the library's loader sets it, after check_shader_library accepted it.
void set_loaded_library(const uint8_t* data, uint32_t size);

// Record index of a table of the loaded library; the check made every index
// the records hold fit their tables.
template <typename Record>
Record read_record(const TableLocation& table, uint32_t index) {
    Record record;
    std::memcpy(&record, get_loaded_library().data + table.offset + size_t{index} * sizeof(Record), sizeof(Record));
    return record;
}

}  // namespace zolt::renderer::shader_library
