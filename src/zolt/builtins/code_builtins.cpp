#include "zolt/builtins/code_builtins.h"

#include "zolt/core/script/code_server.h"

namespace zolt::core {

ObjectHandle get_code_object_handle(uint32_t chain_index, uint32_t key) {
    return code_server.get_code_object_handle(chain_index, key);
}

uint32_t compute_code_crc() {
    return code_server.compute_code_crc();
}

void release_unused_code_objects() {
    code_server.release_unused_code_objects();
}

}  // namespace zolt::core
