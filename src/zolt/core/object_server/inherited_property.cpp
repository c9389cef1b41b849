#include "zolt/core/object_server/inherited_property.h"

#include "zolt/core/object_server/server_base.h"

namespace zolt::core {

const ServerObject* find_inherited_property(const ServerObject* object, uint32_t id, Property& out) {
    // Parent links are script data and may form a loop: Brent's cycle check
    // remembers one object and moves it forward at every power of two steps,
    // so a loop is seen within a few rounds of it.
    const ServerObject* remembered = nullptr;
    uint32_t steps_since_remembered = 0;
    uint32_t steps_to_remember = 1;
    while (object != nullptr) {
        if (object->get_property(id, out)) {
            return object;
        }
        Property parent;
        if (!object->get_property(parent_link_property, parent) || parent.get_u32() == 0) {
            return nullptr;
        }
        if (steps_since_remembered == steps_to_remember) {
            remembered = object;
            steps_since_remembered = 0;
            steps_to_remember *= 2;
        }
        ++steps_since_remembered;
        object = resolve_handle(parent.get_u32());
        if (object == remembered) {
            return nullptr;
        }
    }
    return nullptr;
}

bool get_inherited_property(const ServerObject* object, uint32_t id, Property& out) {
    return find_inherited_property(object, id, out) != nullptr;
}

}  // namespace zolt::core
