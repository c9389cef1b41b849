#include "zolt/core/script/code_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/script/code_server.h"

namespace zolt::core {

CodeHandle get_code_object_handle(uint32_t chain_index, uint32_t key) {
    return {code_server.get_code_object_handle(chain_index, key)};
}

uint32_t compute_code_crc() {
    return code_server.compute_code_crc();
}

void release_unused_code_objects() {
    code_server.release_unused_code_objects();
}

void bind_code_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::get_code_object_handle, &get_code_object_handle>(table);
    bind_builtin<BuiltinId::compute_code_crc, &compute_code_crc>(table);
    bind_builtin<BuiltinId::release_unused_code_objects, &release_unused_code_objects>(table);
}

}  // namespace zolt::core
