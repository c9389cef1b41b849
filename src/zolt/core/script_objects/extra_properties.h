#pragma once
// The property dictionary that objects keep for the ids their class does not
// define: created in the dictionary server by the first set, destroyed with
// the object. The object holds only the dictionary's handle. Main thread
// only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/core/object_server/property.h"

namespace zolt::core {

bool get_extra_property(ObjectHandle dictionary, uint32_t id, Property& out);
// Creates the dictionary on the first set; a refused first set leaves none.
bool set_extra_property(ObjectHandle& dictionary, uint32_t id, const Property& value);
bool remove_extra_property(ObjectHandle dictionary, uint32_t id);
// Clears the handle.
void destroy_extra_properties(ObjectHandle& dictionary);

}  // namespace zolt::core
