#pragma once
// Properties looked up through parent links: an object that does not answer
// an id passes the question to the object named by its parent link property,
// and so on up the chain. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/server_object.h"

namespace zolt::core {

// The object a visual (for one) inherits its properties from.
constexpr uint32_t parent_link_property = 0x10000B3;

// The first object on the parent chain that answers the id, or null. The
// walk ends at a link of 0, one that names nothing, or a link back into the
// chain already walked.
const ServerObject* find_inherited_property(const ServerObject* object, uint32_t id, Property& out);
// Whether some object on the parent chain answered the id.
bool get_inherited_property(const ServerObject* object, uint32_t id, Property& out);

}  // namespace zolt::core
