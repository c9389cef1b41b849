#include "zolt/core/script_objects/persistent_store.h"

#include "libs/utility/fatal_error.h"
#include "zolt/core/script_objects/array_object.h"
#include "zolt/core/script_objects/array_server.h"

namespace zolt::core {
namespace {

uint32_t persistent_values[persistent_value_count];

ArrayObject* resolve_array(uint32_t handle) {
    if (get_handle_server_type(handle) != server_type::array) {
        return nullptr;
    }
    return static_cast<ArrayObject*>(get_object(handle));
}

ArrayObject* resolve_and_validate_array(uint32_t handle, uint32_t array_start, uint32_t count) {
    ArrayObject* const array = resolve_array(handle);
    if (array == nullptr) {
        ZOLT_PANIC("Value 0x%08x is not valid handle of array object", handle);
    }
    // In 64 bits, so a start near 2^32 cannot wrap past the check.
    if (uint64_t{array_start} + count > array->get_length()) {
        ZOLT_PANIC("The array 0x%08x contains only %u entries range <%u,%u> was requested", handle, array->get_length(),
                   array_start, array_start + count - 1);
    }
    return array;
}

}  // namespace

void set_persistent_value(uint32_t index, uint32_t value) {
    if (index >= persistent_value_count) {
        ZOLT_PANIC("Value index %u is of out range.", index);
    }
    persistent_values[index] = value;
}

uint32_t get_persistent_value(uint32_t index) {
    if (index >= persistent_value_count) {
        ZOLT_PANIC("Value index %u is of out range.", index);
    }
    return persistent_values[index];
}

void clear_persistent_values(uint32_t index, uint32_t count) {
    for (uint32_t offset = 0; offset < count; ++offset) {
        set_persistent_value(index + offset, 0);
    }
}

void set_persistent_values(uint32_t array, uint32_t array_start, uint32_t persistent_start, uint32_t count) {
    if (count == 0) {
        return;
    }
    const ArrayObject* const source = resolve_and_validate_array(array, array_start, count);
    for (uint32_t offset = 0; offset < count; ++offset) {
        set_persistent_value(persistent_start + offset, source->get_element(array_start + offset));
    }
}

void get_persistent_values(uint32_t array, uint32_t array_start, uint32_t persistent_start, uint32_t count) {
    if (count == 0) {
        return;
    }
    ArrayObject* const target = resolve_array(array);
    if (target == nullptr) {
        ZOLT_PANIC("Value 0x%08x is not valid handle of array object", array);
    }
    for (uint32_t offset = 0; offset < count; ++offset) {
        // Read before the write: growing the array may move its storage.
        const uint32_t value = get_persistent_value(persistent_start + offset);
        target->set_element(array_start + offset, value);
    }
}

}  // namespace zolt::core
