#include "zolt/renderer/backend/buffer_object_bytes.h"

namespace zolt::renderer {

namespace {
uint64_t buffer_object_bytes = 0;
}  // namespace

void add_buffer_object_bytes(uint64_t bytes) {
    buffer_object_bytes += bytes;
}

void subtract_buffer_object_bytes(uint64_t bytes) {
    buffer_object_bytes = bytes < buffer_object_bytes ? buffer_object_bytes - bytes : 0;
}

uint64_t get_buffer_object_bytes() {
    return buffer_object_bytes;
}

}  // namespace zolt::renderer
