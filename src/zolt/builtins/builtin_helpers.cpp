#include "zolt/builtins/builtin_helpers.h"

#include "libs/utility/fatal_error.h"

namespace zolt::core {

ServerObject* create_object_at_array_element(ServerObject* array, uint32_t element_index, ServerBase* server) {
    if (array->get_element(element_index) != 0) {
        ZOLT_PANIC("The array 0x%08x contains nonzero value at %u element", array->get_handle(), element_index);
    }
    ServerObject* const object = server->create_object_internal(0);
    if (object == nullptr) {
        return nullptr;
    }
    ServerObject::attach_to_owner(object, array);
    array->set_element(element_index, object->get_handle());
    return object;
}

}  // namespace zolt::core
