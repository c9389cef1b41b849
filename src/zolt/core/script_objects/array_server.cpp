#include "zolt/core/script_objects/array_server.h"

#include <algorithm>
#include <functional>

namespace zolt::core {

ArrayServer array_server;

uint32_t* ArrayServer::allocate_elements(uint32_t count) {
    uint32_t* const elements = try_allocate_elements(count);
    if (elements == nullptr) {
        halt_due_out_of_memory(pool_);
    }
    return elements;
}

uint32_t* ArrayServer::try_allocate_elements(uint32_t count) {
    const uint32_t size = count * static_cast<uint32_t>(sizeof(uint32_t));
    if (void* const block = pool_.allocate(size)) {
        return static_cast<uint32_t*>(block);
    }
    compact();
    return static_cast<uint32_t*>(pool_.allocate(size));
}

void ArrayServer::free_elements(uint32_t* elements, uint32_t count) {
    pool_.free(elements, count * static_cast<uint32_t>(sizeof(uint32_t)));
}

void ArrayServer::compact() {
    uint32_t count = 0;
    const ObjectList& live = get_live_list();
    for (ServerObject* object = live.get_head(); object != nullptr;) {
        ArrayObject* const array = static_cast<ArrayObject*>(object);
        if (array->elements_ != nullptr) {
            compaction_list_[count++] = array;
        }
        object = ObjectList::get_next(object) != live.get_head() ? ObjectList::get_next(object) : nullptr;
    }
    std::sort(compaction_list_, compaction_list_ + count, [](const ArrayObject* a, const ArrayObject* b) {
        return std::less<const uint32_t*>()(a->elements_, b->elements_);
    });
    for (uint32_t index = 0; index < count; ++index) {
        ArrayObject* const array = compaction_list_[index];
        const uint32_t size = array->capacity_ * static_cast<uint32_t>(sizeof(uint32_t));
        void* const moved = pool_.slide(array->elements_, size, array->elements_, size, 0);
        if (moved != nullptr) {
            array->elements_ = static_cast<uint32_t*>(moved);
        }
    }
}

}  // namespace zolt::core
