#include "zolt/core/script_objects/extra_properties.h"

#include "zolt/core/script_objects/dictionary_server.h"

namespace zolt::core {

namespace {

// Enough for the few extra properties a script sets; the table grows.
constexpr uint32_t extra_property_buckets = 5;

Dictionary* find_dictionary(ObjectHandle handle) {
    if (handle == 0 || !dictionary_server.is_registered()) {
        return nullptr;
    }
    return dictionary_server.get_typed_object(handle);
}

}  // namespace

bool get_extra_property(ObjectHandle dictionary, uint32_t id, Property& out) {
    const Dictionary* const found = find_dictionary(dictionary);
    return found != nullptr && found->get_property(id, out);
}

bool set_extra_property(ObjectHandle& dictionary, uint32_t id, const Property& value) {
    if (Dictionary* const found = find_dictionary(dictionary)) {
        return found->set_property(id, value);
    }
    if (!dictionary_server.is_registered()) {
        return false;
    }
    Dictionary* const created = dictionary_server.create_dictionary(extra_property_buckets);
    if (!created->set_property(id, value)) {
        destroy_object(created);
        return false;
    }
    dictionary = created->get_handle();
    return true;
}

bool remove_extra_property(ObjectHandle dictionary, uint32_t id) {
    Dictionary* const found = find_dictionary(dictionary);
    return found != nullptr && found->remove_property(id);
}

void destroy_extra_properties(ObjectHandle& dictionary) {
    if (Dictionary* const found = find_dictionary(dictionary)) {
        destroy_object(found);
    }
    dictionary = 0;
}

}  // namespace zolt::core
